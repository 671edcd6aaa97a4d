// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/infrared_detector.h"

#include "detect/measure_text.h"
#include "signals/infrared_codes.h"

#include "core/sample_period.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace wavemill::detect {

namespace {

using namespace wavemill::board;

/// Spaces inside a code are at most NEC's leader space (4.5 ms); a longer
/// stretch of idle level ends a burst.
constexpr double kBurstGapUs = 7000;
/// A leader's mark and space each within 10 % of the family's.
constexpr double kLeaderTolerance = 0.10;
/// A bit's mark or space within 30 % of its nominal length; bi-phase halves
/// within 30 % of one unit of a whole number of units.
constexpr double kPulseTolerance = 0.30;
/// Plus one sample, which the sampling alone may add or take.
constexpr double kSlackUs = kSamplePeriodUs;
/// SIRC sends 12, 15 or 20 bits.
constexpr std::array<int, 3> kSircBits{12, 15, 20};
/// Codes shown in a description before "and N more".
constexpr int kShownCodes = 6;

/// A burst of a receiver's output: mark, space, mark, ..., mark, in µs.
using Burst = std::vector<double>;

/// One burst read as a frame of a family.
struct Frame
{
    QString family;
    bool repeat = false; // NEC's repeat code
    std::vector<bool> bits;
    double leaderError = 0; // the larger relative error of leader mark and space
    double leaderMarkUs = 0;
    double leaderSpaceUs = 0;
    /// Sums to average the bit timings over the frames.
    double markSum = 0, zeroSum = 0, oneSum = 0, unitSum = 0;
    int marks = 0, zeros = 0, ones = 0, units = 0;
};

double relativeError(double measured, double nominal)
{
    return std::fabs(measured - nominal) / nominal;
}

bool near(double measured, double nominal)
{
    return std::fabs(measured - nominal) <= kPulseTolerance * nominal + kSlackUs;
}

bool leaderFits(const Burst &b, double markUs, double spaceUs, Frame &f)
{
    if (b.size() < 3)
        return false;
    f.leaderError = std::max(relativeError(b[0], markUs), relativeError(b[1], spaceUs));
    f.leaderMarkUs = b[0];
    f.leaderSpaceUs = b[1];
    return f.leaderError <= kLeaderTolerance;
}

std::optional<Frame> readPulseDistance(const Burst &b, const PulseDistanceTiming &t)
{
    Frame f;
    f.family = QString::fromLatin1(t.name);
    if (b.size() != 2 * std::size_t(t.bits) + 3 ||
        !leaderFits(b, t.leaderMarkUs, t.leaderSpaceUs, f))
        return std::nullopt;
    for (std::size_t i = 0; i <= std::size_t(t.bits); ++i) {
        const double mark = b[2 + 2 * i];
        if (!near(mark, t.bitMarkUs))
            return std::nullopt;
        f.markSum += mark;
        ++f.marks;
        if (i == std::size_t(t.bits))
            break; // the closing mark
        const double space = b[3 + 2 * i];
        if (near(space, t.zeroSpaceUs)) {
            f.bits.push_back(false);
            f.zeroSum += space;
            ++f.zeros;
        } else if (near(space, t.oneSpaceUs)) {
            f.bits.push_back(true);
            f.oneSum += space;
            ++f.ones;
        } else {
            return std::nullopt;
        }
    }
    return f;
}

std::optional<Frame> readNecRepeat(const Burst &b)
{
    Frame f;
    f.family = QStringLiteral("NEC");
    f.repeat = true;
    if (b.size() != 3 || !leaderFits(b, kNec.leaderMarkUs, kNecRepeatSpaceUs, f) ||
        !near(b[2], kNec.bitMarkUs))
        return std::nullopt;
    f.markSum = b[2];
    f.marks = 1;
    return f;
}

std::optional<Frame> readPulseWidth(const Burst &b, const PulseWidthTiming &t)
{
    Frame f;
    f.family = QString::fromLatin1(t.name);
    const std::size_t bits = b.size() / 2;
    if (b.size() % 2 != 1 ||
        std::find(kSircBits.begin(), kSircBits.end(), int(bits)) == kSircBits.end() ||
        !leaderFits(b, t.leaderMarkUs, t.spaceUs, f))
        return std::nullopt;
    for (std::size_t i = 0; i < bits; ++i) {
        const double space = b[1 + 2 * i];
        const double mark = b[2 + 2 * i];
        if (!near(space, t.spaceUs))
            return std::nullopt;
        if (near(mark, t.zeroMarkUs)) {
            f.bits.push_back(false);
            f.zeroSum += mark;
            ++f.zeros;
        } else if (near(mark, t.oneMarkUs)) {
            f.bits.push_back(true);
            f.oneSum += mark;
            ++f.ones;
        } else {
            return std::nullopt;
        }
    }
    return f;
}

/// The halves (true: mark) of a bi-phase stretch from b[from], each run a
/// whole number of units from 1 to \a most; empty when a run is not.
std::vector<bool> halves(const Burst &b, std::size_t from, double unitUs, int most, Frame &f)
{
    std::vector<bool> out;
    for (std::size_t i = from; i < b.size(); ++i) {
        const double n = std::round(b[i] / unitUs);
        if (n < 1 || n > most || std::fabs(b[i] - n * unitUs) > kPulseTolerance * unitUs + kSlackUs)
            return {};
        f.unitSum += b[i];
        f.units += int(n);
        out.insert(out.end(), std::size_t(n), i % 2 == 0);
    }
    return out;
}

/// Reads \a count bi-phase bits of \a width halves each from \a h at \a at;
/// \a markFirstIsOne tells the family's convention. False on equal halves.
bool biphaseBits(const std::vector<bool> &h, std::size_t &at, int count, int width,
                 bool markFirstIsOne, std::vector<bool> &bits)
{
    for (int i = 0; i < count; ++i) {
        const bool first = h[at];
        for (int k = 1; k < width; ++k) {
            if (h[at + std::size_t(k)] != (k < width / 2 ? first : !first))
                return false;
        }
        bits.push_back(first == markFirstIsOne);
        at += std::size_t(width);
    }
    return true;
}

std::optional<Frame> readRc5(const Burst &b)
{
    Frame f;
    f.family = QStringLiteral("RC-5");
    // The burst opens with the mark of the first start bit, whose space is idle.
    std::vector<bool> h{false};
    const std::vector<bool> rest = halves(b, 0, kRc5HalfBitUs, 2, f);
    if (rest.empty())
        return std::nullopt;
    h.insert(h.end(), rest.begin(), rest.end());
    constexpr std::size_t kHalves = 2 * std::size_t(kRc5Bits);
    if (h.size() == kHalves - 1)
        h.push_back(false); // a closing space runs into the idle level
    if (h.size() != kHalves)
        return std::nullopt;
    std::size_t at = 0;
    if (!biphaseBits(h, at, kRc5Bits, 2, false, f.bits) || !f.bits[0])
        return std::nullopt;
    f.leaderError = relativeError(f.unitSum / f.units, kRc5HalfBitUs);
    return f;
}

std::optional<Frame> readRc6(const Burst &b)
{
    Frame f;
    f.family = QStringLiteral("RC-6");
    const double t = kRc6UnitUs;
    if (!leaderFits(b, kRc6LeaderMarkUnits * t, kRc6LeaderSpaceUnits * t, f))
        return std::nullopt;
    std::vector<bool> h = halves(b, 2, t, 3, f);
    // Start and mode bits of 2 units, the toggle bit of 4, 16 bits of 2.
    constexpr std::size_t kUnits = 2 * (1 + kRc6ModeBits) + 4 + 2 * 16;
    if (h.size() == kUnits - 1)
        h.push_back(false);
    if (h.size() != kUnits)
        return std::nullopt;
    std::size_t at = 0;
    if (!biphaseBits(h, at, 1 + kRc6ModeBits, 2, true, f.bits) ||
        !biphaseBits(h, at, 1, 4, true, f.bits) || !biphaseBits(h, at, 16, 2, true, f.bits))
        return std::nullopt;
    // A start bit of 1 and mode 0: the only mode whose frame is 16 bits.
    if (!f.bits[0] || f.bits[1] || f.bits[2] || f.bits[3])
        return std::nullopt;
    return f;
}

/// The frame a burst reads as, of the family whose leader it fits best.
std::optional<Frame> readBurst(const Burst &b)
{
    std::vector<Frame> reads;
    for (const PulseDistanceTiming *t : {&kNec, &kSamsung, &kJvc, &kKaseikyo}) {
        if (auto f = readPulseDistance(b, *t))
            reads.push_back(*f);
    }
    for (auto *read : {&readNecRepeat, &readRc6, &readRc5}) {
        if (auto f = read(b))
            reads.push_back(*f);
    }
    if (auto f = readPulseWidth(b, kSirc))
        reads.push_back(*f);
    if (reads.empty())
        return std::nullopt;
    return *std::min_element(reads.begin(), reads.end(), [](const Frame &x, const Frame &y) {
        return x.leaderError < y.leaderError;
    });
}

/// The bursts between stretches of idle level of at least kBurstGapUs,
/// leaving out the ones the capture's start or end cuts.
std::vector<Burst> bursts(const PulseTrain &train, bool idleHigh)
{
    const std::vector<Run> &runs = train.runs();
    const double gap = usToSamples(kBurstGapUs);
    std::vector<Burst> out;
    Burst current;
    bool cut = true; // the stretch before the first long idle began before the capture
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run &run = runs[i];
        const bool idle = run.high == idleHigh;
        if (idle && run.length >= gap) {
            if (!cut && !current.empty())
                out.push_back(current);
            current.clear();
            cut = false;
            continue;
        }
        current.push_back(samplesToUs(run.length));
    }
    return out; // the last stretch is cut by the end, or is idle
}

struct Reading
{
    int bursts = 0;
    std::vector<Frame> frames; // of the family most bursts read as
    QString family;
    double confidence = 0;
};

Reading read(const PulseTrain &train, bool idleHigh)
{
    Reading r;
    const std::vector<Burst> all = bursts(train, idleHigh);
    r.bursts = int(all.size());
    std::map<QString, std::vector<Frame>> byFamily;
    for (const Burst &b : all) {
        if (auto f = readBurst(b))
            byFamily[f->family].push_back(*f);
    }
    for (auto &[family, frames] : byFamily) {
        if (frames.size() > r.frames.size()) {
            r.family = family;
            r.frames = std::move(frames);
        }
    }
    if (r.bursts > 0)
        r.confidence = double(r.frames.size()) / r.bursts;
    return r;
}

std::uint32_t valueLsbFirst(const std::vector<bool> &bits, std::size_t from, int count)
{
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i)
        v |= std::uint32_t(bits[from + std::size_t(i)]) << i;
    return v;
}

std::uint32_t valueMsbFirst(const std::vector<bool> &bits, std::size_t from, int count)
{
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i)
        v = v << 1 | std::uint32_t(bits[from + std::size_t(i)]);
    return v;
}

QString hex(std::uint32_t value, int digits)
{
    return QStringLiteral("0x") +
           QString::number(value, 16).rightJustified(digits, QLatin1Char('0')).toUpper();
}

/// What one frame carries, in the family's own terms.
QString codeText(const Frame &f)
{
    if (f.family == QLatin1String("NEC")) {
        const std::uint32_t a = valueLsbFirst(f.bits, 0, 8);
        const std::uint32_t na = valueLsbFirst(f.bits, 8, 8);
        const std::uint32_t c = valueLsbFirst(f.bits, 16, 8);
        const std::uint32_t nc = valueLsbFirst(f.bits, 24, 8);
        const QString address =
            na == (~a & 0xFF) ? hex(a, 2) : hex(a | na << 8, 4) + QStringLiteral(" (extended)");
        return QStringLiteral("address %1 command %2%3")
            .arg(address, hex(c, 2),
                 nc == (~c & 0xFF) ? QString() : QStringLiteral(" (inverse wrong)"));
    }
    if (f.family == QLatin1String("RC-5")) {
        // The second start bit is the inverted seventh command bit in extended RC-5.
        const std::uint32_t command = valueMsbFirst(f.bits, 8, 6) | (f.bits[1] ? 0 : 64);
        return QStringLiteral("address %1 command %2 toggle %3")
            .arg(valueMsbFirst(f.bits, 3, 5))
            .arg(command)
            .arg(int(f.bits[2]));
    }
    if (f.family == QLatin1String("RC-6"))
        return QStringLiteral("address %1 command %2 toggle %3")
            .arg(hex(valueMsbFirst(f.bits, 5, 8), 2), hex(valueMsbFirst(f.bits, 13, 8), 2))
            .arg(int(f.bits[4]));
    // Families without a decoder: the bits as sent, first bit least significant.
    const int count = int(f.bits.size());
    QString bytes;
    for (int at = 0; at < count; at += 8)
        bytes += (bytes.isEmpty() ? QString() : QStringLiteral(" ")) +
                 hex(valueLsbFirst(f.bits, std::size_t(at), std::min(8, count - at)), 2);
    return QStringLiteral("%1 bits: %2").arg(count).arg(bytes);
}

QString sigrokDecoder(const QString &family)
{
    if (family == QLatin1String("NEC"))
        return QStringLiteral("ir_nec");
    if (family == QLatin1String("RC-5"))
        return QStringLiteral("ir_rc5");
    if (family == QLatin1String("RC-6"))
        return QStringLiteral("ir_rc6");
    return {};
}

/// The nominal timings a family's frames are read against, for the evidence.
QString nominalTimings(const QString &family)
{
    const auto distance = [](const PulseDistanceTiming &t) {
        return QStringLiteral("leader %1 + %2, bit mark %3, spaces %4 / %5")
            .arg(microsecondsText(t.leaderMarkUs), microsecondsText(t.leaderSpaceUs),
                 microsecondsText(t.bitMarkUs), microsecondsText(t.zeroSpaceUs),
                 microsecondsText(t.oneSpaceUs));
    };
    if (family == QLatin1String("NEC"))
        return distance(kNec);
    if (family == QLatin1String("Samsung"))
        return distance(kSamsung);
    if (family == QLatin1String("JVC"))
        return distance(kJvc);
    if (family == QLatin1String("Kaseikyo"))
        return distance(kKaseikyo);
    if (family == QLatin1String("SIRC"))
        return QStringLiteral("leader %1, spaces %2, bit marks %3 / %4")
            .arg(microsecondsText(kSirc.leaderMarkUs), microsecondsText(kSirc.spaceUs),
                 microsecondsText(kSirc.zeroMarkUs), microsecondsText(kSirc.oneMarkUs));
    if (family == QLatin1String("RC-5"))
        return QStringLiteral("bi-phase, half-bit %1, 14 bits")
            .arg(microsecondsText(kRc5HalfBitUs));
    return QStringLiteral("leader %1 + %2, bi-phase unit %3")
        .arg(microsecondsText(kRc6LeaderMarkUnits * kRc6UnitUs),
             microsecondsText(kRc6LeaderSpaceUnits * kRc6UnitUs), microsecondsText(kRc6UnitUs));
}

QString measuredTimings(const std::vector<Frame> &frames)
{
    Frame sum;
    int leaders = 0;
    for (const Frame &f : frames) {
        if (f.leaderMarkUs > 0 && !f.repeat) {
            sum.leaderMarkUs += f.leaderMarkUs;
            sum.leaderSpaceUs += f.leaderSpaceUs;
            ++leaders;
        }
        sum.markSum += f.markSum;
        sum.marks += f.marks;
        sum.zeroSum += f.zeroSum;
        sum.zeros += f.zeros;
        sum.oneSum += f.oneSum;
        sum.ones += f.ones;
        sum.unitSum += f.unitSum;
        sum.units += f.units;
    }
    QStringList parts;
    if (leaders > 0)
        parts << QStringLiteral("leader %1 + %2")
                     .arg(microsecondsText(sum.leaderMarkUs / leaders),
                          microsecondsText(sum.leaderSpaceUs / leaders));
    if (sum.marks > 0)
        parts << QStringLiteral("bit mark %1").arg(microsecondsText(sum.markSum / sum.marks));
    if (sum.zeros > 0 && sum.ones > 0)
        parts << QStringLiteral("0 / 1 %1 / %2")
                     .arg(microsecondsText(sum.zeroSum / sum.zeros),
                          microsecondsText(sum.oneSum / sum.ones));
    if (sum.units > 0)
        parts << QStringLiteral("unit %1").arg(microsecondsText(sum.unitSum / sum.units));
    return parts.join(QStringLiteral(", "));
}

} // namespace

std::optional<TraceDescription> describeInfrared(const PulseTrain &train)
{
    Reading best;
    bool idleHigh = true;
    for (const bool idle : {true, false}) {
        Reading r = read(train, idle);
        if (r.confidence > best.confidence) {
            best = std::move(r);
            idleHigh = idle;
        }
    }
    const auto whole = std::count_if(best.frames.begin(), best.frames.end(),
                                     [](const Frame &f) { return !f.repeat; });
    if (whole == 0)
        return std::nullopt;

    TraceDescription d;
    d.kind = TraceDescription::Kind::Infrared;
    d.family = best.family;
    d.confidence = best.confidence;
    d.idleHigh = idleHigh;
    const QString polarity = idleHigh ? QStringLiteral("idle high, as a receiver gives it")
                                      : QStringLiteral("idle low (inverted)");
    d.title = QStringLiteral("infrared remote control, %1, %2").arg(best.family, polarity);

    const auto repeats = qint64(best.frames.size()) - whole;
    d.evidence << QStringLiteral("%1 of %2 bursts (%3) read as %4: %5 frames%6")
                      .arg(countText(qint64(best.frames.size())), countText(best.bursts),
                           percentText(best.confidence), best.family, countText(whole),
                           repeats > 0 ? QStringLiteral(" and %1 repeat codes").arg(repeats)
                                       : QString());
    d.evidence << QStringLiteral("measured: %1; %2: %3")
                      .arg(measuredTimings(best.frames), best.family, nominalTimings(best.family));
    QStringList codes;
    for (const Frame &f : best.frames) {
        if (f.repeat)
            continue;
        const QString code = codeText(f);
        if (codes.isEmpty() || codes.back() != code)
            codes << code;
    }
    const qint64 more = qint64(codes.size()) - kShownCodes;
    d.evidence << QStringLiteral("codes read from the timings: %1%2")
                      .arg(codes.mid(0, kShownCodes).join(QStringLiteral("; ")),
                           more > 0 ? QStringLiteral("; and %1 more").arg(more) : QString());

    d.decoder = sigrokDecoder(best.family);
    if (d.decoder.isEmpty()) {
        d.evidence << QStringLiteral("sigrok has no decoder for %1").arg(best.family);
    } else {
        d.channel = QStringLiteral("ir");
        d.options.insert(QStringLiteral("polarity"),
                         idleHigh ? QStringLiteral("active-low") : QStringLiteral("active-high"));
    }
    return d;
}

} // namespace wavemill::detect
