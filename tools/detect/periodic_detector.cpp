// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/periodic_detector.h"

#include "detect/measure_text.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace wavemill::detect {

namespace {

/// A period counts as steady within 2 % of the median period, or within
/// 1.5 samples for short ones: sampling alone moves an edge by up to one.
constexpr double kPeriodTolerance = 0.02;
constexpr double kPeriodToleranceSamples = 1.5;
/// A duty cycle that moves by less than this (or 2.5 samples) is constant.
constexpr double kDutySpread = 0.02;
constexpr double kDutySpreadSamples = 2.5;
/// Within this of one half (or 1.5 samples), a constant duty makes a clock.
constexpr double kClockDutyTolerance = 0.02;

struct Period
{
    double length; // samples from one rising edge to the next
    double high;   // samples high after the first of them
};

} // namespace

std::optional<TraceDescription> describePeriodic(const PulseTrain &train)
{
    const std::vector<Run> &runs = train.runs();
    // Whole periods: from a rising edge (a high run after a low one) to the next.
    std::vector<Period> periods;
    int lastRise = -1;
    int highAfterRise = 0;
    for (std::size_t i = 1; i < runs.size(); ++i) {
        if (!runs[i].high)
            continue;
        if (lastRise >= 0)
            periods.push_back({double(runs[i].start - lastRise), double(highAfterRise)});
        lastRise = runs[i].start;
        highAfterRise = runs[i].length;
    }
    if (int(periods.size()) < kMinPeriods)
        return std::nullopt;

    std::vector<double> lengths;
    lengths.reserve(periods.size());
    for (const Period &p : periods)
        lengths.push_back(p.length);
    std::nth_element(lengths.begin(), lengths.begin() + std::ptrdiff_t(lengths.size() / 2),
                     lengths.end());
    const double median = lengths[lengths.size() / 2];
    const double tolerance = std::max(kPeriodToleranceSamples, kPeriodTolerance * median);

    double sum = 0;
    double sumSquares = 0;
    double shortest = median;
    double longest = median;
    double dutyLow = 1;
    double dutyHigh = 0;
    double dutySum = 0;
    int steady = 0;
    for (const Period &p : periods) {
        if (std::fabs(p.length - median) > tolerance)
            continue;
        ++steady;
        sum += p.length;
        sumSquares += p.length * p.length;
        shortest = std::min(shortest, p.length);
        longest = std::max(longest, p.length);
        const double duty = p.high / p.length;
        dutyLow = std::min(dutyLow, duty);
        dutyHigh = std::max(dutyHigh, duty);
        dutySum += duty;
    }
    const double mean = sum / steady;
    const double rms = std::sqrt(std::max(0.0, sumSquares / steady - mean * mean));
    const double duty = dutySum / steady;

    TraceDescription d;
    d.kind = QStringLiteral("periodic");
    d.confidence = double(steady) / double(periods.size());
    const double frequencyHz = 1e6 / samplesToUs(mean);
    d.fields.insert(QStringLiteral("frequency_hz"), frequencyHz);
    d.fields.insert(QStringLiteral("duty"), duty);
    const QString frequency = QString::number(frequencyHz, 'f', frequencyHz < 100 ? 2 : 1);
    const bool constantDuty =
        dutyHigh - dutyLow <= std::max(kDutySpread, kDutySpreadSamples / mean);
    if (constantDuty &&
        std::fabs(duty - 0.5) <= std::max(kClockDutyTolerance, kPeriodToleranceSamples / mean))
        d.title = QStringLiteral("periodic: a clock (square wave) at %1 Hz, duty %2")
                      .arg(frequency, percentText(duty, 1));
    else if (constantDuty)
        d.title =
            QStringLiteral("periodic: PWM at %1 Hz, duty %2").arg(frequency, percentText(duty, 1));
    else
        d.title = QStringLiteral("periodic: PWM at %1 Hz, duty from %2 to %3 (mean %4)")
                      .arg(frequency, percentText(dutyLow, 1), percentText(dutyHigh, 1),
                           percentText(duty, 1));
    d.evidence << QStringLiteral("%1 of %2 periods (%3) within %4 of the median period %5")
                      .arg(countText(steady), countText(qint64(periods.size())),
                           percentText(d.confidence), durationText(tolerance),
                           durationText(median));
    d.evidence << QStringLiteral("jitter %1 peak to peak, %2 rms (one sample is %3)")
                      .arg(durationText(longest - shortest), durationText(rms), durationText(1));
    return d;
}

} // namespace wavemill::detect
