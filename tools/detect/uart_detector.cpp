// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/uart_detector.h"

#include "detect/in_order.h"
#include "detect/measure_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace wavemill::detect {

namespace {

/// The rates serial lines are set to that the board can follow: at least
/// two samples a bit (about 24,900 bit/s).
constexpr std::array<double, 12> kStandardBitRates{110,  150,  300,  600,  1200,  1800,
                                                   2400, 4800, 7200, 9600, 14400, 19200};
/// Fewer samples a bit cannot be told apart by the board.
constexpr double kMinBitSamples = 2.0;
/// A pulse at the active level is at most the start bit, 8 zero data bits
/// and a zero parity bit.
constexpr int kLongestActiveBits = 10;
/// A pulse is a whole number n of bits when within 5 % of n bits (the rate)
/// and the sampling of its two edges of it: one sample, or up to two where
/// the edges jitter, but never more than 30 % of a bit, so that n stays
/// plain even at two or three samples a bit.
constexpr double kWholeBitSlackSamples = 1.0;
constexpr double kJitterSlackSamples = 2.0;
constexpr double kJitterSlackBits = 0.3;
constexpr double kWholeBitSlack = 0.05;
/// A pulse of one sample is a glitch, shorter than any bit the board can see.
constexpr double kGlitchSamples = 1.0;
/// No serial line runs slower than the slowest standard rate (110 bit/s).
constexpr double kSlowestBitRate = 110 * (1 - kBitRateSnap);
/// A rate that is no standard one needs this many frames.
constexpr int kMinFramesAtOtherRates = 20;
/// Data bits that change from frame to frame, fewest in serial data: pulses
/// that only ever set one bit are a pulse train, not characters.
constexpr int kMinVaryingBits = 2;
/// Bit 7 that is the parity of bits 0 to 6 this often is called so.
constexpr double kParityLikeShare = 0.95;
/// The shortest pulses, at this quantile, are taken as one bit long; the
/// pulses up to 25 % and a sample longer are one bit too.
constexpr double kShortestQuantile = 0.02;
constexpr double kOneBitSpread = 0.25;
constexpr double kOneBitSlackSamples = 1.0;
/// Characters of decoded text shown.
constexpr int kShownCharacters = 120;

struct BitFit
{
    double bit = 0; // samples
    double fit = 0; // share of active pulses that are whole bits
    int pulses = 0;
};

bool wholeBits(double width, double bit, int *bits)
{
    const double n = std::round(width / bit);
    if (n < 1 || n > kLongestActiveBits)
        return false;
    const double sampling =
        std::max(kWholeBitSlackSamples, std::min(kJitterSlackSamples, kJitterSlackBits * bit));
    if (std::fabs(width - n * bit) > sampling + kWholeBitSlack * n * bit)
        return false;
    *bits = int(n);
    return true;
}

/// The bit from the pulses one bit long, refined by least squares over
/// every pulse that is a whole number of bits. A one-bit pulse covers
/// floor(bit) or ceil(bit) samples as the edges fall between samples, and
/// bit samples on average, so their mean is the bit even at two or three
/// samples a bit.
BitFit fitBit(const std::vector<double> &widths)
{
    BitFit result;
    result.pulses = int(widths.size());
    if (widths.empty())
        return result;
    std::vector<double> sorted(widths);
    const auto at = std::size_t(double(sorted.size()) * kShortestQuantile);
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(at), sorted.end());
    double bit = meanAtMost(widths, sorted[at] * (1 + kOneBitSpread) + kOneBitSlackSamples);
    for (int round = 0; round < 2; ++round) {
        double nw = 0;
        double nn = 0;
        for (const double w : widths) {
            int n = 0;
            if (wholeBits(w, bit, &n)) {
                nw += n * w;
                nn += double(n) * n;
            }
        }
        if (nn > 0)
            bit = nw / nn;
    }
    int whole = 0;
    int n = 0;
    for (const double w : widths)
        whole += wholeBits(w, bit, &n);
    result.bit = bit;
    result.fit = double(whole) / double(widths.size());
    return result;
}

/// The frame formats tried: 8N1, and 8E1 and 8O1 with their parity bit
/// before the stop bit.
enum class Parity { None, Even, Odd };

struct Framing
{
    Parity parity = Parity::None;
    int frames = 0;
    int framed = 0;      // with start, stop and (if any) parity bit right
    int falseStarts = 0; // edges whose start bit did not last to its middle
    QByteArray bytes;    // of the framed frames
    std::int64_t firstFramed = -1; // the start of the first framed frame
};

int frameBits(Parity parity)
{
    return parity == Parity::None ? 10 : 11;
}

/// Every frame from the first start edge on, the next frame looked for after
/// the stop bit. Each bit is taken at the sample nearest its middle: the
/// edge fell somewhere in the sample period before the first sample at the
/// new level, half a sample earlier on average. (At two or three samples a
/// bit, as at 19200 bit/s, sampling later than that misses bits.) A start
/// bit gone by its middle is a glitch, which a receiver ignores too.
Framing checkFrames(const PulseTrain &train, bool idleHigh, double bit, Parity parity)
{
    Framing f;
    f.parity = parity;
    const std::vector<Run> &runs = train.runs();
    const int stopBit = frameBits(parity) - 1;
    const auto point = [&](std::int64_t start, int bitNumber) {
        return std::int64_t(std::llround(double(start) - 0.5 + (bitNumber + 0.5) * bit));
    };
    const auto one = [&](std::int64_t start, int bitNumber) {
        return train.level(point(start, bitNumber)) == idleHigh;
    };
    std::int64_t after = 0; // a start edge must come later than this sample
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const Run &run = runs[i];
        if (run.high == idleHigh || run.start <= after)
            continue;
        const std::int64_t stopAt = point(run.start, stopBit);
        if (stopAt >= train.samples())
            break; // cut off by the end of the capture
        if (one(run.start, 0)) {
            ++f.falseStarts;
            after = run.start;
            continue;
        }
        ++f.frames;
        int byte = 0;
        int ones = 0;
        for (int k = 0; k < 8; ++k) {
            byte |= int(one(run.start, 1 + k)) << k;
            ones += one(run.start, 1 + k);
        }
        const bool parityRight = parity == Parity::None ||
                                 (ones + int(one(run.start, 9))) % 2 == int(parity == Parity::Odd);
        if (one(run.start, stopBit) && parityRight) {
            if (f.framed == 0)
                f.firstFramed = run.start;
            ++f.framed;
            f.bytes.append(char(byte));
        }
        after = stopAt;
    }
    return f;
}

double share(int part, int whole)
{
    return whole > 0 ? double(part) / double(whole) : 0;
}

/// The data bits that are not the same in every byte, as a mask.
int varyingMask(const QByteArray &bytes)
{
    int all = 0xFF;
    int any = 0;
    for (const char c : bytes) {
        all &= std::uint8_t(c);
        any |= std::uint8_t(c);
    }
    return any ^ all;
}

int varyingBits(const QByteArray &bytes)
{
    int count = 0;
    for (int k = 0; k < 8; ++k)
        count += (varyingMask(bytes) >> k) & 1;
    return count;
}

/// The share of bytes whose bit 7 makes bits 0 to 7 even (\a odd false) or odd.
double bit7ParityShare(const QByteArray &bytes, bool odd)
{
    int matching = 0;
    for (const char c : bytes) {
        int ones = 0;
        for (int k = 0; k < 8; ++k)
            ones += (std::uint8_t(c) >> k) & 1;
        matching += ones % 2 == int(odd);
    }
    return share(matching, int(bytes.size()));
}

struct Candidate
{
    bool idleHigh = true;
    BitFit bit;
    int glitches = 0;
    double measured = 0; // bit/s
    double used = 0;     // bit/s
    bool standard = false;
    Framing framing;
    int varying = 0;
    double confidence = 0;
};

std::optional<Candidate> tryPolarity(const PulseTrain &train, bool idleHigh)
{
    const std::vector<Run> &runs = train.runs();
    Candidate c;
    c.idleHigh = idleHigh;
    std::vector<double> widths;
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        if (runs[i].high == idleHigh)
            continue;
        if (double(runs[i].length) <= kGlitchSamples)
            ++c.glitches;
        else
            widths.push_back(double(runs[i].length));
    }
    if (int(widths.size()) < kMinUartFrames)
        return std::nullopt;
    c.bit = fitBit(widths);
    if (c.bit.bit < kMinBitSamples)
        return std::nullopt;
    c.measured = 1e6 / train.toUs(c.bit.bit);
    if (c.measured < kSlowestBitRate)
        return std::nullopt;
    const double standard = standardBitRate(c.measured);
    c.standard = standard > 0;
    c.used = c.standard ? standard : std::round(c.measured);
    for (const Parity parity : {Parity::None, Parity::Even, Parity::Odd}) {
        Framing f = checkFrames(train, idleHigh, train.toSamples(1e6 / c.used), parity);
        // A parity bit must earn its place: 8N1 unless a parity frames more.
        if (parity == Parity::None ||
            share(f.framed, f.frames) > share(c.framing.framed, c.framing.frames) + 0.05)
            c.framing = std::move(f);
    }
    if (c.framing.frames < (c.standard ? kMinUartFrames : kMinFramesAtOtherRates))
        return std::nullopt;
    c.varying = varyingBits(c.framing.bytes);
    c.confidence = std::min(c.bit.fit, share(c.framing.framed, c.framing.frames));
    if (c.varying < kMinVaryingBits)
        c.confidence = 0;
    return c;
}

/// The bytes sigrok's uart decoder read (its rx-data annotations, in its
/// default hexadecimal format) set against the framing check's \a ours.
/// sigrok's decoder takes each bit late in it; at two or three samples a
/// bit it can misread what the framing check read whole, and then the
/// framing check's reading comes first.
QStringList compareBytes(const QByteArray &ours, const std::vector<sigrok::Annotation> &annotations)
{
    QByteArray theirs;
    int warnings = 0;
    for (const sigrok::Annotation &a : annotations) {
        warnings += a.annotationClass == QLatin1String("rx-warnings");
        if (a.annotationClass != QLatin1String("rx-data") || a.texts.isEmpty())
            continue;
        bool ok = false;
        const int value = a.texts.front().toInt(&ok, 16);
        if (ok)
            theirs.append(char(value));
    }
    const QString sigrokLine =
        QStringLiteral("sigrok uart decoder: %1 bytes%2: \"%3\"")
            .arg(countText(theirs.size()),
                 warnings > 0 ? QStringLiteral(", %1 warnings").arg(warnings) : QString(),
                 escapedText(theirs, kShownCharacters));
    if (theirs == ours)
        return {sigrokLine};
    const QString ourLine = QStringLiteral("read by the framing check, each bit in its middle: "
                                           "%1 bytes: \"%2\"")
                                .arg(countText(ours.size()), escapedText(ours, kShownCharacters));
    const auto alike = qint64(matchedInOrder(std::vector<char>(ours.begin(), ours.end()),
                                             std::vector<char>(theirs.begin(), theirs.end())));
    const QString differ =
        QStringLiteral("sigrok's reading differs from the framing check's: it "
                       "reads %1 of the %2 bytes framed, and %3 others")
            .arg(countText(alike), countText(ours.size()), countText(theirs.size() - alike));
    if (warnings > 0)
        return {ourLine, sigrokLine, differ};
    return {sigrokLine, ourLine, differ};
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

std::optional<TraceDescription> describeUart(const PulseTrain &train)
{
    std::optional<Candidate> best;
    for (const bool idleHigh : {true, false}) {
        const auto c = tryPolarity(train, idleHigh);
        if (c && (!best || c->confidence > best->confidence))
            best = c;
    }
    if (!best)
        return std::nullopt;
    const Candidate &c = *best;
    const Framing &f = c.framing;
    const QString format = f.parity == Parity::None   ? QStringLiteral("8N1")
                           : f.parity == Parity::Even ? QStringLiteral("8E1")
                                                      : QStringLiteral("8O1");
    const QString rate = QString::number(c.used, 'f', 0);

    TraceDescription d;
    d.kind = QStringLiteral("uart");
    d.confidence = c.confidence;
    d.fields.insert(QStringLiteral("bit_rate"), c.used);
    d.fields.insert(QStringLiteral("measured_bit_rate"), c.measured);
    d.fields.insert(QStringLiteral("idle_high"), c.idleHigh);
    d.fields.insert(QStringLiteral("frame"), format);
    d.firstFrameSample = f.firstFramed;
    d.frameSamples = std::llround(frameBits(f.parity) * train.toSamples(1e6 / c.used));
    const QString idle =
        c.idleHigh ? QStringLiteral("idle high") : QStringLiteral("idle low (inverted)");
    d.title = QStringLiteral("UART at %1 bit/s%2, %3, %4")
                  .arg(rate, c.standard ? QString() : QStringLiteral(" (not a standard rate)"),
                       idle, format);
    const QString level = c.idleHigh ? QStringLiteral("low") : QStringLiteral("high");
    d.evidence << QStringLiteral("bit %1 (%2 samples) from %3 %4 pulses, %5 of them whole bits "
                                 "(1 to 9)")
                      .arg(train.durationText(c.bit.bit), QString::number(c.bit.bit, 'f', 2),
                           countText(c.bit.pulses), level, percentText(c.bit.fit));
    if (c.glitches > 0)
        d.evidence << QStringLiteral("%1 %2 pulses of one sample left out as glitches")
                          .arg(countText(c.glitches), level);
    if (c.standard)
        d.evidence << QStringLiteral("measured %1 bit/s, %2 from %3")
                          .arg(QString::number(c.measured, 'f', 0),
                               percentText(std::fabs(c.measured - c.used) / c.used, 1), rate);
    else
        d.evidence << QStringLiteral("measured %1 bit/s, no standard rate within %2, so %3 "
                                     "frames are needed")
                          .arg(QString::number(c.measured, 'f', 0), percentText(kBitRateSnap),
                               countText(kMinFramesAtOtherRates));
    d.evidence << QStringLiteral("%1 of %2 frames (%3) with their start and stop bit%4 at %5 "
                                 "bit/s, %6")
                      .arg(countText(f.framed), countText(f.frames),
                           percentText(share(f.framed, f.frames)),
                           f.parity == Parity::None
                               ? QString()
                               : QStringLiteral(" and parity bit (%1)")
                                     .arg(f.parity == Parity::Even ? QStringLiteral("even")
                                                                   : QStringLiteral("odd")),
                           rate, idle);
    if (f.falseStarts > 0)
        d.evidence << QStringLiteral("%1 false starts (a start bit gone by its middle) ignored, "
                                     "as a receiver does")
                          .arg(countText(f.falseStarts));
    if (c.varying < kMinVaryingBits)
        d.evidence << QStringLiteral("only %1 of the 8 data bits ever change: pulses that only "
                                     "set a bit or two are no serial characters")
                          .arg(c.varying);
    // 7E1 and 7O1 frame as 8N1 with the parity in bit 7, which then changes.
    for (const bool odd : {false, true}) {
        const double parityShare = bit7ParityShare(f.bytes, odd);
        if (c.confidence >= kConfidenceThreshold && f.parity == Parity::None &&
            (varyingMask(f.bytes) & 0x80) != 0 && parityShare >= kParityLikeShare)
            d.evidence << QStringLiteral("bit 7 makes the ones of a byte %1 in %2 of the frames: "
                                         "it looks like parity, %3 rather than 8N1")
                              .arg(odd ? QStringLiteral("odd") : QStringLiteral("even"),
                                   percentText(parityShare),
                                   odd ? QStringLiteral("7O1") : QStringLiteral("7E1"));
    }
    sigrok::DecoderChoice uart{QStringLiteral("uart"), {{QStringLiteral("baudrate"), rate}}};
    if (f.parity != Parity::None)
        uart.settings.append({QStringLiteral("parity"), f.parity == Parity::Even
                                                            ? QStringLiteral("even")
                                                            : QStringLiteral("odd")});
    uart.settings.append(
        {QStringLiteral("invert_rx"), c.idleHigh ? QStringLiteral("no") : QStringLiteral("yes")});
    d.decoders = {uart};
    d.channel = QStringLiteral("rx");
    d.compareWithSigrok = [bytes = f.bytes](const std::vector<sigrok::Annotation> &a) {
        return compareBytes(bytes, a);
    };
    return d;
}

} // namespace wavemill::detect
