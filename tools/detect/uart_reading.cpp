// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/uart_reading.h"

#include "detect/measure_text.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>

namespace wavemill::detect {

namespace {

/// The rates serial lines are set to that the board can follow: at least
/// two samples a bit (about 24,900 bit/s).
constexpr std::array<double, 12> kStandardBitRates{110,  150,  300,  600,  1200,  1800,
                                                   2400, 4800, 7200, 9600, 14400, 19200};
/// Fewer samples a bit cannot be told apart by the board.
constexpr double kMinBitSamples = 2.0;
/// A pulse at the active level is at most the start bit and 9 zero data
/// bits (or 8 and a zero parity bit); one at the idle level within a frame
/// at most 9 one data bits and the stop bit.
constexpr int kLongestActiveBits = 10;
/// Idle pulses this short are nearly all inside frames, where they are whole
/// bits; longer ones are mostly the idle time between frames.
constexpr int kLongestIdleBitsFitted = 4;
/// The longest pulses (in bits) each round of the bit's refinement takes.
constexpr std::array<int, 6> kRefiningBits{2, 3, 4, 6, 10, 10};
/// A stretch of one level longer than this many bits is no part of a frame:
/// the line idles, or (at the active level) breaks.
constexpr double kLongStretchBits = 12;
/// A pulse is a whole number n of bits when within 5 % of n bits (the rate)
/// and the sampling of its two edges: one sample, or up to two where the
/// edges jitter (a sample each way, as at 9600 bit/s with an edge a sample
/// astray), but never more than 35 % of a bit, so that n stays plain even at
/// two or three samples a bit.
constexpr double kWholeBitSlackSamples = 1.0;
constexpr double kJitterSlackSamples = 2.0;
constexpr double kJitterSlackBits = 0.35;
constexpr double kWholeBitSlack = 0.05;
/// A pulse of one sample is a glitch, shorter than any bit the board can see.
constexpr double kGlitchSamples = 1.0;
/// No serial line runs slower than the slowest standard rate (110 bit/s).
constexpr double kSlowestBitRate = 110 * (1 - kBitRateSnap);
/// The shortest pulses, at this quantile, are taken as one bit long; the
/// pulses up to 25 % and a sample longer are one bit too.
constexpr double kShortestQuantile = 0.02;
constexpr double kOneBitSpread = 0.25;
constexpr double kOneBitSlackSamples = 1.0;
/// A distortion beyond 40 % of a bit leaves too little of a short pulse for
/// its middle to be read: no line reads that way.
constexpr double kMostDistortion = 0.4;
/// The stop bit's place is looked for from 5 data bits to 9 (or 8 and a
/// parity bit): all uart reads.
constexpr int kFirstStopIndex = 6;
constexpr int kLastStopIndex = 10;
/// Framings that frame within 2 % of the best one are rivals; the longest
/// of them is taken, less top data bits that are always 1: those are the
/// stop bit and the idle line after it.
constexpr double kFramingMargin = 0.02;
constexpr double kStopLikeShare = 0.98;
/// A parity bit is taken when it makes the ones even (or odd) in 95 % of
/// the frames, among at least eight different characters, and is not always
/// the same: by chance, eight different bytes show a parity one time in 64.
constexpr double kParityShare = 0.95;
constexpr int kMinParityCharacters = 8;
constexpr int kMinDataBits = 5;
/// Two stop bits are read where this many frames follow the one before one
/// bit after its stop bit, and none at once.
constexpr int kMinOneBitApart = 4;

bool wholeBits(double width, double bit, int most, int *bits)
{
    const double n = std::floor(width / bit + 0.5); // widths are positive
    if (n < 1 || n > most)
        return false;
    const double sampling =
        std::max(kWholeBitSlackSamples, std::min(kJitterSlackSamples, kJitterSlackBits * bit));
    if (std::fabs(width - n * bit) > sampling + kWholeBitSlack * n * bit)
        return false;
    *bits = int(n);
    return true;
}

/// The pulses of a trace between its first and last run (which the capture
/// cuts), by level, glitches left out.
struct Pulses
{
    std::vector<double> active;
    std::vector<double> idle;
    int glitches = 0;
};

Pulses pulsesOf(const std::vector<Run> &runs, bool idleHigh)
{
    Pulses p;
    p.active.reserve(runs.size() / 2 + 1);
    p.idle.reserve(runs.size() / 2 + 1);
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        const auto length = double(runs[i].length);
        if (length <= kGlitchSamples)
            ++p.glitches;
        else
            (runs[i].high == idleHigh ? p.idle : p.active).push_back(length);
    }
    return p;
}

/// The mean of the shortest pulses: those up to kOneBitSpread (and a
/// sample) over the kShortestQuantile quantile. A one-bit pulse covers
/// floor(bit) or ceil(bit) samples as the edges fall between samples, and
/// bit samples on average, so their mean is the bit even at two or three
/// samples a bit.
double shortestMean(const std::vector<double> &widths)
{
    std::vector<double> sorted(widths);
    const auto at = std::size_t(double(sorted.size()) * kShortestQuantile);
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(at), sorted.end());
    return meanAtMost(widths, sorted[at] * (1 + kOneBitSpread) + kOneBitSlackSamples);
}

/// A bit and how much shorter than whole bits the active level's pulses are
/// (the idle level's as much longer), in samples.
struct BitModel
{
    double bit = 0;
    double distortion = 0;
};

/// Least squares over the pulses that are whole bits at \a m: an active
/// pulse of n bits lasts n bit - distortion, an idle one n bit + distortion,
/// so the sum of a pulse and the next (one edge to the next of its kind) is
/// whole bits whatever the distortion. The short pulses come first, whose
/// number of bits is plain, then ever longer ones: at two or three samples
/// a bit a long pulse fits n bits or n + 1 within the sampling until the
/// bit is known closely.
BitModel refine(const Pulses &p, BitModel m)
{
    for (const int most : kRefiningBits) {
        double snn = 0; // sum of n n
        double ssn = 0; // sum of s n, s = +1 active, -1 idle
        double snw = 0; // sum of n w
        double ssw = 0; // sum of s w
        double count = 0;
        const auto add = [&](double w, double s, int longest) {
            int n = 0;
            if (!wholeBits(w + s * m.distortion, m.bit, std::min(most, longest), &n))
                return;
            snn += double(n) * n;
            ssn += s * n;
            snw += n * w;
            ssw += s * w;
            ++count;
        };
        for (const double w : p.active)
            add(w, 1, kLongestActiveBits);
        for (const double w : p.idle)
            add(w, -1, kLongestIdleBitsFitted);
        if (count == 0)
            break;
        // w = n bit - s distortion; the normal equations of the two unknowns.
        const double det = snn * count - ssn * ssn;
        if (det > 1e-6 * snn * count) {
            m.bit = (snw * count - ssn * ssw) / det;
            m.distortion = (ssn * snw - snn * ssw) / det;
        } else {
            m.bit = (snw + m.distortion * ssn) / snn; // one level's pulses alone
        }
    }
    return m;
}

/// The active pulses at \a m that are whole bits and that are breaks.
struct BitFit
{
    int pulses = 0; // breaks apart
    int whole = 0;
    int multiBit = 0; // whole and two bits or more
    int oneBit = 0;   // whole and one bit
    int longer = 0;    // whole and three bits or more
    double share() const { return pulses > 0 ? double(whole) / pulses : 0; }
};

bool isBreak(double width, const BitModel &m)
{
    return width + m.distortion > (kLongestActiveBits + 0.5) * m.bit;
}

BitFit fitOf(const Pulses &p, const BitModel &m)
{
    BitFit f;
    for (const double w : p.active) {
        if (isBreak(w, m))
            continue;
        ++f.pulses;
        int n = 0;
        const bool whole = wholeBits(w + m.distortion, m.bit, kLongestActiveBits, &n);
        f.whole += whole;
        f.multiBit += whole && n >= 2;
        f.oneBit += whole && n == 1;
        f.longer += whole && n >= 3;
    }
    return f;
}

/// The bit, from two first guesses refined: the mean of the shortest active
/// and idle pulses is one bit (with a distortion of half their difference),
/// or, where the line has no one-bit idle pulses, the shortest active
/// pulses are. The one under which more pulses are whole bits is taken, the
/// first on a tie: it rests on both levels.
std::optional<BitModel> measureBit(const Pulses &p)
{
    const double active = shortestMean(p.active);
    std::vector<BitModel> guesses;
    if (!p.idle.empty()) {
        const double idle = shortestMean(p.idle);
        guesses.push_back({(active + idle) / 2, (idle - active) / 2});
    }
    // The second guess only where the first one's distortion is more than the sampling's.
    if (guesses.empty() || std::fabs(guesses.front().distortion) > kWholeBitSlackSamples / 2)
        guesses.push_back({active, 0});
    std::optional<BitModel> best;
    double bestShare = -1;
    for (const BitModel &guess : guesses) {
        const BitModel m = refine(p, guess);
        if (!(m.bit >= kMinBitSamples) || std::fabs(m.distortion) > kMostDistortion * m.bit)
            continue;
        const double share = fitOf(p, m).share();
        if (share > bestShare) {
            best = m;
            bestShare = share;
        }
    }
    return best;
}

/// Values of up to ten bits: at most this many different ones.
constexpr std::size_t kValues = 1024;

/// The frames found with the stop bit at one place, and what the framing
/// choice reads of their characters.
struct Trial
{
    int stopIndex = 0;
    int frames = 0;
    int framed = 0;
    int falseStarts = 0;
    int breaks = 0;
    int backToBack = 0;
    int oneBitApart = 0;
    std::array<int, 16> ones{}; // characters framed with each bit 1
    int even = 0;               // characters framed with an even number of ones
    std::bitset<kValues> seen;  // the values framed
    /// Characters with their stop bit right, and breaks; kept only when asked.
    std::vector<UartEvent> events;
};

int ones(unsigned value)
{
    int count = 0;
    for (; value != 0; value >>= 1)
        count += int(value & 1);
    return count;
}

/// Every frame from the first start edge on, the next one looked for after
/// the stop bit, with the stop bit at \a stopIndex. Each bit is taken at the
/// sample nearest its middle: the edge fell somewhere in the sample period
/// before the first sample at the new level, half a sample earlier on
/// average; a distortion moves the middle of each pulse by half its own.
/// (At two or three samples a bit, as at 19200 bit/s, sampling later than
/// that misses bits.) A start bit gone by its middle is a glitch, which a
/// receiver ignores too; an active level held past the stop bit is a break.
Trial tryStopIndex(const PulseTrain &train, bool idleHigh, const BitModel &m, int stopIndex,
                   bool keepEvents)
{
    Trial t;
    t.stopIndex = stopIndex;
    const std::vector<Run> &runs = train.runs();
    std::size_t at = 0; // the run that holds the last sample looked at
    const auto levelAt = [&](std::int64_t sample) {
        while (at + 1 < runs.size() && runs[at + 1].start <= sample)
            ++at;
        while (at > 0 && runs[at].start > sample)
            --at;
        return runs[at].high;
    };
    // The sample nearest the middle (floor of x + 0.5: the samples are positive).
    const double middle = 0.5 * m.bit - m.distortion / 2;
    const auto point = [&](std::int64_t start, int bitNumber) {
        return std::int64_t(double(start) + bitNumber * m.bit + middle);
    };
    const auto one = [&](std::int64_t start, int bitNumber) {
        return levelAt(point(start, bitNumber)) == idleHigh;
    };
    std::int64_t after = 0; // a start edge must come later than this sample
    double lastEnd = -1;    // where the last framed frame's stop bit ended
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const Run &run = runs[i];
        if (run.high == idleHigh || run.start <= after)
            continue;
        const std::int64_t stopAt = point(run.start, stopIndex);
        if (stopAt >= train.samples() || i + 1 == runs.size())
            break; // cut off by the end of the capture
        if (run.start + run.length > stopAt) {
            if (keepEvents)
                t.events.push_back({run.start, true, 0, run.length});
            ++t.breaks;
            after = run.start + run.length;
            lastEnd = -1;
            continue;
        }
        if (one(run.start, 0)) {
            ++t.falseStarts;
            after = run.start;
            continue;
        }
        ++t.frames;
        std::uint16_t value = 0;
        for (int k = 1; k < stopIndex; ++k)
            value |= std::uint16_t(int(one(run.start, k)) << (k - 1));
        if (one(run.start, stopIndex)) {
            if (lastEnd >= 0) {
                const double apart = (double(run.start) - lastEnd) / m.bit;
                t.backToBack += std::fabs(apart) < 0.5;
                t.oneBitApart += apart >= 0.5 && apart < 1.5;
            }
            ++t.framed;
            for (int k = 0; k + 1 < stopIndex; ++k)
                t.ones[std::size_t(k)] += (value >> k) & 1;
            t.even += ones(value) % 2 == 0;
            t.seen.set(value);
            if (keepEvents)
                t.events.push_back({run.start, false, value, 0});
            lastEnd = double(run.start) + (stopIndex + 1) * m.bit;
        } else {
            lastEnd = -1;
        }
        after = stopAt;
    }
    return t;
}

/// The share of the characters of \a t whose bit \a k is 1.
double shareOfOnes(const Trial &t, int k)
{
    return t.framed > 0 ? double(t.ones[std::size_t(k)]) / t.framed : 0;
}

/// The parity whose bit, the top one of \a bits, makes the ones even or odd
/// in kParityShare of the characters of \a t; None when neither does.
Parity parityOf(const Trial &t, int bits)
{
    if (bits - 1 < kMinDataBits || int(t.seen.count()) < kMinParityCharacters)
        return Parity::None;
    const double top = shareOfOnes(t, bits - 1);
    if (top <= 0 || top >= 1)
        return Parity::None; // a bit that never changes is no parity bit
    const double evenShare = double(t.even) / t.framed;
    if (evenShare >= kParityShare)
        return Parity::Even;
    if (1 - evenShare >= kParityShare)
        return Parity::Odd;
    return Parity::None;
}

/// The trials' shares framed, where breaks beyond those of the longest
/// framing count as failed frames: a framing too short calls the longest
/// characters breaks.
std::vector<double> framedShares(const std::vector<Trial> &trials)
{
    const int breaks = trials.back().breaks;
    std::vector<double> shares;
    for (const Trial &t : trials) {
        const int tried = t.frames + std::max(0, t.breaks - breaks);
        shares.push_back(tried > 0 && t.frames >= kMinUartFrames ? double(t.framed) / tried : 0);
    }
    return shares;
}

/// The trial whose stop bit the frames show: the longest framing of those
/// that frame about as well as any, less top data bits that are always 1.
int chooseStopIndex(const std::vector<Trial> &trials)
{
    const std::vector<double> shares = framedShares(trials);
    const double best = *std::max_element(shares.begin(), shares.end());
    const auto rival = [&](std::size_t i) { return shares[i] > 0 && shares[i] >= best - kFramingMargin; };
    std::size_t pick = trials.size() - 1;
    while (pick > 0 && !rival(pick))
        --pick;
    while (pick > 0 && rival(pick - 1) &&
           shareOfOnes(trials[pick], trials[pick].stopIndex - 2) >= kStopLikeShare)
        --pick;
    return trials[pick].stopIndex;
}

/// Samples in runs longer than kLongStretchBits at the idle level and at
/// the active level, the runs the capture cuts included.
std::pair<std::int64_t, std::int64_t> longStretches(const std::vector<Run> &runs, bool idleHigh,
                                                    double bit)
{
    std::int64_t idle = 0;
    std::int64_t active = 0;
    for (const Run &run : runs) {
        if (double(run.length) > kLongStretchBits * bit)
            (run.high == idleHigh ? idle : active) += run.length;
    }
    return {idle, active};
}

int varyingBits(const std::vector<std::uint16_t> &values, int bits)
{
    unsigned all = (1u << bits) - 1;
    unsigned any = 0;
    for (const std::uint16_t v : values) {
        all &= v;
        any |= v;
    }
    return ones(any ^ all);
}

} // namespace

double standardBitRate(double measured)
{
    for (const double rate : kStandardBitRates) {
        if (std::fabs(measured - rate) <= kBitRateSnap * rate)
            return rate;
    }
    return 0;
}

QString UartFraming::text() const
{
    const char parityLetter = parity == Parity::None ? 'N' : parity == Parity::Even ? 'E' : 'O';
    return QStringLiteral("%1%2%3").arg(dataBits).arg(QLatin1Char(parityLetter)).arg(stopBits);
}

std::vector<std::uint16_t> UartReading::values() const
{
    std::vector<std::uint16_t> out;
    for (const UartEvent &e : events) {
        if (!e.isBreak)
            out.push_back(e.value);
    }
    return out;
}

std::optional<UartReading> readUart(const PulseTrain &train, bool idleHigh)
{
    const Pulses pulses = pulsesOf(train.runs(), idleHigh);
    if (int(pulses.active.size()) < kMinUartFrames)
        return std::nullopt;
    const std::optional<BitModel> model = measureBit(pulses);
    if (!model)
        return std::nullopt;
    UartReading r;
    r.idleHigh = idleHigh;
    r.bit = model->bit;
    r.distortion = model->distortion;
    r.glitches = pulses.glitches;
    const BitFit fit = fitOf(pulses, *model);
    r.pulses = fit.pulses;
    r.wholePulses = fit.whole;
    r.multiBitPulses = fit.multiBit;
    r.oneBitPulses = fit.oneBit;
    r.longPulses = fit.longer;
    r.measured = 1e6 / train.toUs(r.bit);
    if (r.measured < kSlowestBitRate)
        return std::nullopt;
    const double standard = standardBitRate(r.measured);
    r.standard = standard > 0;
    r.used = r.standard ? standard : std::round(r.measured);
    const BitModel used{r.usedBit(train), r.distortion};
    std::tie(r.longIdleSamples, r.longActiveSamples) = longStretches(train.runs(), idleHigh, used.bit);
    if (r.longActiveSamples > r.longIdleSamples)
        return std::nullopt; // the line rests at the other level

    std::vector<Trial> trials;
    for (int stop = kFirstStopIndex; stop <= kLastStopIndex; ++stop)
        trials.push_back(tryStopIndex(train, idleHigh, used, stop, false));
    Trial t = tryStopIndex(train, idleHigh, used, chooseStopIndex(trials), true);
    const int bits = t.stopIndex - 1; // between the start and the stop bit
    r.framing.parity = parityOf(t, bits);
    r.framing.dataBits = bits - (r.framing.parity == Parity::None ? 0 : 1);
    r.framing.stopBits = t.backToBack == 0 && t.oneBitApart >= kMinOneBitApart ? 2 : 1;
    r.backToBack = t.backToBack;
    r.oneBitApart = t.oneBitApart;
    r.frames = t.frames;
    r.falseStarts = t.falseStarts;
    r.breaks = t.breaks;
    const unsigned dataMask = (1u << r.framing.dataBits) - 1;
    for (UartEvent &e : t.events) {
        if (!e.isBreak && r.framing.parity != Parity::None &&
            ones(e.value) % 2 != int(r.framing.parity == Parity::Odd))
            continue; // a parity error
        if (!e.isBreak) {
            e.value = std::uint16_t(e.value & dataMask);
            ++r.framed;
            if (r.firstFramed < 0)
                r.firstFramed = e.start;
        }
        r.events.push_back(e);
    }
    if (r.frames < (r.standard ? kMinUartFrames : kMinFramesAtOtherRates))
        return std::nullopt;
    r.varyingBits = varyingBits(r.values(), r.framing.dataBits);
    r.confidence = std::min(r.bitFit(), r.framedShare());
    if (r.varyingBits < kMinVaryingBits || r.breaks > kMostBreaksPerCharacter * r.framed ||
        !r.severalWidths() || !r.characterWidths())
        r.confidence = 0;
    return r;
}

} // namespace wavemill::detect
