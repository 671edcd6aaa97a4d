// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/uart_detector.h"

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
/// A start bit, 8 data bits and a stop bit; a pulse at the active level is
/// at most the start bit and 8 zero bits.
constexpr int kFrameBits = 10;
constexpr int kLongestActiveBits = 9;
/// A pulse is a whole number n of bits when within one sample (the sampling)
/// and 5 % of n bits (the rate) of it.
constexpr double kWholeBitSlackSamples = 1.0;
constexpr double kWholeBitSlack = 0.05;
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
    if (std::fabs(width - n * bit) > kWholeBitSlackSamples + kWholeBitSlack * n * bit)
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
    std::vector<double> sorted(widths);
    const auto at = std::size_t(double(sorted.size()) * kShortestQuantile);
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(at), sorted.end());
    const double oneBitLimit = sorted[at] * (1 + kOneBitSpread) + kOneBitSlackSamples;
    double sum = 0;
    int count = 0;
    for (const double w : widths) {
        if (w <= oneBitLimit) {
            sum += w;
            ++count;
        }
    }
    double bit = sum / count;
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

struct Framing
{
    int frames = 0;
    int framed = 0;
    QByteArray bytes; // of the framed frames
};

/// Every frame from the first start edge on, the next frame looked for after
/// the stop bit. Each bit is taken at the sample nearest its middle: the
/// edge fell somewhere in the sample period before the first sample at the
/// new level, half a sample earlier on average. (At two or three samples a
/// bit, as at 19200 bit/s, sampling later than that misses bits.)
Framing checkFrames(const PulseTrain &train, bool idleHigh, double bit)
{
    Framing f;
    const std::vector<Run> &runs = train.runs();
    const int samples = kCaptureSamples;
    const auto point = [&](int start, int bitNumber) {
        return int(std::lround(start - 0.5 + (bitNumber + 0.5) * bit));
    };
    int after = 0; // a start edge must come later than this sample
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const Run &run = runs[i];
        if (run.high == idleHigh || run.start <= after)
            continue;
        const int stopAt = point(run.start, kFrameBits - 1);
        if (stopAt >= samples)
            break; // cut off by the end of the capture
        ++f.frames;
        const bool started = train.level(point(run.start, 0)) != idleHigh;
        const bool stopped = train.level(stopAt) == idleHigh;
        if (started && stopped) {
            ++f.framed;
            int byte = 0;
            for (int k = 0; k < 8; ++k)
                byte |= int(train.level(point(run.start, 1 + k)) == idleHigh) << k;
            f.bytes.append(char(byte));
        }
        after = started ? stopAt : point(run.start, 0);
    }
    return f;
}

struct Candidate
{
    bool idleHigh = true;
    BitFit bit;
    double measured = 0; // bit/s
    double used = 0;     // bit/s
    Framing framing;
    double confidence = 0;
};

std::optional<Candidate> tryPolarity(const PulseTrain &train, bool idleHigh)
{
    const std::vector<Run> &runs = train.runs();
    std::vector<double> widths;
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        if (runs[i].high != idleHigh)
            widths.push_back(runs[i].length);
    }
    if (int(widths.size()) < kMinUartFrames)
        return std::nullopt;
    Candidate c;
    c.idleHigh = idleHigh;
    c.bit = fitBit(widths);
    if (c.bit.bit < kMinBitSamples)
        return std::nullopt;
    c.measured = 1e6 / samplesToUs(c.bit.bit);
    const double standard = standardBitRate(c.measured);
    c.used = standard > 0 ? standard : std::round(c.measured);
    c.framing = checkFrames(train, idleHigh, usToSamples(1e6 / c.used));
    if (c.framing.frames < kMinUartFrames)
        return std::nullopt;
    c.confidence = std::min(c.bit.fit, double(c.framing.framed) / double(c.framing.frames));
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
    qsizetype alike = 0;
    for (qsizetype i = 0; i < std::min(ours.size(), theirs.size()); ++i)
        alike += ours[i] == theirs[i];
    const QString differ = QStringLiteral("sigrok's reading differs from the framing check's: "
                                          "%1 of its %2 bytes alike, in order")
                               .arg(countText(alike), countText(ours.size()));
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

    TraceDescription d;
    d.kind = QStringLiteral("uart");
    d.confidence = c.confidence;
    d.fields.insert(QStringLiteral("bit_rate"), c.used);
    d.fields.insert(QStringLiteral("measured_bit_rate"), c.measured);
    d.fields.insert(QStringLiteral("idle_high"), c.idleHigh);
    const QString idle =
        c.idleHigh ? QStringLiteral("idle high") : QStringLiteral("idle low (inverted)");
    const bool standard = standardBitRate(c.measured) > 0;
    d.title = QStringLiteral("UART at %1 bit/s%2, %3, 8N1")
                  .arg(QString::number(c.used, 'f', 0),
                       standard ? QString() : QStringLiteral(" (not a standard rate)"), idle);
    const QString level = c.idleHigh ? QStringLiteral("low") : QStringLiteral("high");
    d.evidence << QStringLiteral("bit %1 (%2 samples) from %3 %4 pulses, %5 of them whole bits "
                                 "(1 to 9)")
                      .arg(durationText(c.bit.bit), QString::number(c.bit.bit, 'f', 2),
                           countText(c.bit.pulses), level, percentText(c.bit.fit));
    if (standard)
        d.evidence << QStringLiteral("measured %1 bit/s, %2 from %3")
                          .arg(QString::number(c.measured, 'f', 0),
                               percentText(std::fabs(c.measured - c.used) / c.used, 1),
                               QString::number(c.used, 'f', 0));
    else
        d.evidence << QStringLiteral("measured %1 bit/s, no standard rate within %2")
                          .arg(QString::number(c.measured, 'f', 0), percentText(kBitRateSnap));
    d.evidence << QStringLiteral("%1 of %2 frames (%3) with their start and stop bit at %4 "
                                 "bit/s, %5")
                      .arg(countText(c.framing.framed), countText(c.framing.frames),
                           percentText(double(c.framing.framed) / c.framing.frames),
                           QString::number(c.used, 'f', 0), idle);
    d.decoder.id = QStringLiteral("uart");
    d.decoder.settings.append({QStringLiteral("baudrate"), QString::number(c.used, 'f', 0)});
    d.decoder.settings.append(
        {QStringLiteral("invert_rx"), c.idleHigh ? QStringLiteral("no") : QStringLiteral("yes")});
    d.channel = QStringLiteral("rx");
    d.compareWithSigrok = [bytes = c.framing.bytes](const std::vector<sigrok::Annotation> &a) {
        return compareBytes(bytes, a);
    };
    return d;
}

} // namespace wavemill::detect
