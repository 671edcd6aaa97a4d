// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/too_fast_detector.h"

#include "detect/measure_text.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace wavemill::detect {

namespace {

/// A high and a low pulse that together last at most this many samples,
/// one of them a single sample: the level went and came back faster than
/// the board can follow (a quarter of the sample rate).
constexpr std::int64_t kFastCycleSamples = 4;
/// The first form needs this many pulses of one sample in such cycles, and
/// this share of all pulses: a few stray glitches on a slow signal are no
/// fast signal, nor is a clock whose two-sample pulses now and then come
/// out one sample long (an alias, which the periodic reading tells).
constexpr int kMinFastCycles = 8;
constexpr double kMinFastShare = 0.05;
/// The second form: every pulse at the active level at most this long (a
/// pulse of n samples lasted anywhere from n - 1 to n + 1, a quarter either
/// way at four), at least this many of them...
constexpr std::int64_t kLongestUnreadablePulse = 4;
constexpr int kMinLonePulses = 3;
/// ... and the idle level between them at least this long at the median:
/// each pulse stands alone, its content inside it.
constexpr double kLoneGapSamples = 25;
/// Pulse widths shown one by one, 1 to this many samples.
constexpr std::int64_t kShownWidths = 4;
/// A serial line is read from two samples a bit on; rates shown for scale:
/// MIDI's 31,250 bit/s and DMX's 250,000 bit/s.
constexpr double kMinSamplesPerBit = 2;
constexpr double kMidiBitRate = 31250;
constexpr double kDmxBitRate = 250000;

double median(std::vector<double> values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

QString samplesText(std::int64_t samples)
{
    return samples == 1 ? QStringLiteral("1 sample") : QStringLiteral("%1 samples").arg(samples);
}

/// One sample's time, and what the rate means for the fastest signals.
QString scaleLine(const PulseTrain &train)
{
    const double rate = train.sampleRateHz();
    return QStringLiteral("one sample is %1 (%2 samples a second), and a pulse of n samples "
                          "lasted from n - 1 to n + 1; a serial line needs %3 samples a bit, so "
                          "at most %4 bit/s reads here, while 31,250 bit/s (MIDI) has bits of "
                          "%5 samples and 250,000 bit/s (DMX) of %6")
        .arg(train.durationOfSamples(1), countText(std::llround(rate)),
             QString::number(kMinSamplesPerBit), countText(qint64(rate / kMinSamplesPerBit)),
             QString::number(rate / kMidiBitRate, 'f', 1),
             QString::number(rate / kDmxBitRate, 'f', 1));
}

/// The first form: cycles of a pulse of one sample and its neighbour.
std::optional<TraceDescription> fastCycles(const PulseTrain &train)
{
    const std::vector<Run> &runs = train.runs();
    const std::size_t pulses = runs.size() - 2; // the first and last are cut
    std::vector<std::int64_t> widths(kShownWidths + 1, 0);
    int fast = 0; // pulses of one sample in a cycle of at most four
    std::int64_t first = -1;
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        if (runs[i].length <= kShownWidths)
            ++widths[std::size_t(runs[i].length)];
        if (runs[i].length != 1)
            continue;
        const bool before = i > 1 && runs[i - 1].length + 1 <= kFastCycleSamples;
        const bool after = i + 2 < runs.size() && runs[i + 1].length + 1 <= kFastCycleSamples;
        if (before || after) {
            ++fast;
            if (first < 0)
                first = runs[i].start;
        }
    }
    if (fast < kMinFastCycles || double(fast) < kMinFastShare * double(pulses))
        return std::nullopt;

    TraceDescription d;
    d.kind = QStringLiteral("too_fast");
    d.confidence = 1;
    const double oneShare = double(widths[1]) / double(pulses);
    d.title = QStringLiteral("too fast to read at this sample rate: %1 of the pulses last one "
                             "sample, in cycles of %2 or less")
                  .arg(percentText(oneShare, 1), samplesText(kFastCycleSamples));
    d.evidence << QStringLiteral("%1 of %2 pulses (%3) last one sample (%4); %5 of them make a "
                                 "whole cycle with a pulse beside them within %6 (%7)")
                      .arg(countText(widths[1]), countText(qint64(pulses)),
                           percentText(oneShare, 1), train.durationOfSamples(1), countText(fast),
                           samplesText(kFastCycleSamples),
                           train.durationOfSamples(double(kFastCycleSamples)));
    QStringList shares;
    for (std::int64_t w = 1; w <= kShownWidths; ++w)
        shares << QStringLiteral("%1: %2").arg(
            samplesText(w), percentText(double(widths[std::size_t(w)]) / double(pulses), 1));
    d.evidence << QStringLiteral("pulses by width: %1").arg(shares.join(QStringLiteral(", ")));
    d.evidence << scaleLine(train);
    d.fields.insert(QStringLiteral("form"), QStringLiteral("fast cycles"));
    d.fields.insert(QStringLiteral("one_sample_share"), oneShare);
    d.fields.insert(QStringLiteral("fast_cycles"), fast);
    d.fields.insert(QStringLiteral("sample_rate_hz"), train.sampleRateHz());
    d.firstFrameSample = first;
    d.frameSamples = kFastCycleSamples;
    return d;
}

/// The second form: short pulses, each alone at the active level.
std::optional<TraceDescription> lonePulses(const PulseTrain &train, bool activeHigh)
{
    const std::vector<Run> &runs = train.runs();
    std::vector<double> gaps;
    std::vector<std::int64_t> starts;
    std::int64_t shortest = kLongestUnreadablePulse;
    std::int64_t longest = 0;
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        if (runs[i].high != activeHigh) {
            gaps.push_back(double(runs[i].length));
            continue;
        }
        if (runs[i].length > kLongestUnreadablePulse)
            return std::nullopt;
        shortest = std::min(shortest, runs[i].length);
        longest = std::max(longest, runs[i].length);
        starts.push_back(runs[i].start);
    }
    if (int(starts.size()) < kMinLonePulses || gaps.empty() || median(gaps) < kLoneGapSamples)
        return std::nullopt;
    std::vector<double> spacings;
    for (std::size_t i = 1; i < starts.size(); ++i)
        spacings.push_back(double(starts[i] - starts[i - 1]));

    TraceDescription d;
    d.kind = QStringLiteral("too_fast");
    d.confidence = 1;
    const QString level = activeHigh ? QStringLiteral("high") : QStringLiteral("low");
    const QString widths = shortest == longest
                               ? QStringLiteral("%1 (%2)").arg(
                                     samplesText(longest), train.durationOfSamples(double(longest)))
                               : QStringLiteral("%1 to %2 (%3 to %4)")
                                     .arg(QString::number(shortest), samplesText(longest),
                                          train.durationOfSamples(double(shortest)),
                                          train.durationOfSamples(double(longest)));
    d.title = QStringLiteral("too fast to read at this sample rate: every %1 pulse lasts %2, too "
                             "short to show what it carries")
                  .arg(level, widths);
    d.evidence << QStringLiteral("%1 %2 pulses, every one %3, each alone between stretches of "
                                 "idle %4 (median %5)")
                      .arg(countText(qint64(starts.size())), level, widths,
                           activeHigh ? QStringLiteral("low") : QStringLiteral("high"),
                           train.durationOfSamples(median(gaps)));
    const auto [low, high] = std::minmax_element(spacings.begin(), spacings.end());
    d.evidence << QStringLiteral("one pulse every %1 (from %2 to %3): how often something happens "
                                 "is all the board can tell of it")
                      .arg(train.durationOfSamples(median(spacings)), train.durationOfSamples(*low),
                           train.durationOfSamples(*high));
    d.evidence << scaleLine(train);
    d.fields.insert(QStringLiteral("form"), QStringLiteral("lone pulses"));
    d.fields.insert(QStringLiteral("active_high"), activeHigh);
    d.fields.insert(QStringLiteral("longest_pulse_samples"), qint64(longest));
    d.fields.insert(QStringLiteral("sample_rate_hz"), train.sampleRateHz());
    d.firstFrameSample = starts.front();
    d.frameSamples = longest;
    return d;
}

} // namespace

std::optional<TraceDescription> describeTooFast(const PulseTrain &train)
{
    if (train.runs().size() < 2 + kMinLonePulses)
        return std::nullopt;
    if (auto d = fastCycles(train))
        return d;
    for (const bool activeHigh : {true, false}) {
        if (auto d = lonePulses(train, activeHigh))
            return d;
    }
    return std::nullopt;
}

} // namespace wavemill::detect
