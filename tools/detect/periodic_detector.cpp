// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/periodic_detector.h"

#include "detect/measure_text.h"
#include "detect/sigrok_reading.h"

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
/// A level held this many median periods is a pause between bursts.
constexpr double kGapPeriods = 4;
/// Below this many samples a period a signal may be an alias of a faster
/// one (a 38 kHz carrier shows as 11.8 kHz): the board cannot tell them apart.
constexpr double kAliasSamples = 10;
/// A period that misses the median by more than the tolerance still counts
/// as steady when its edge falls within two samples (and 8 % of a period)
/// of a clock that follows the edges: each edge a sample astray moves a
/// period by two, not the clock. The clock takes a quarter of each miss.
constexpr double kPhaseToleranceSamples = 2.0;
constexpr double kPhaseToleranceShare = 0.08;
constexpr double kClockFollowing = 0.25;
/// A run of one sample is a glitch where the signal's runs are at least
/// this long at the median: it is read as the level around it.
constexpr double kGlitchFreeRunSamples = 4;
/// Bursts of fewer periods than this (at the median) are no periodic
/// signal: a remote's repeat code has one.
constexpr double kMinPeriodsPerBurst = 3;
/// The duty is constant when the middle 80 % of the periods' duties lie
/// within kDutySpread (or kDutySpreadSamples and the periods' own jitter).
constexpr double kDutyLowQuantile = 0.1;
constexpr double kDutyHighQuantile = 0.9;

struct Period
{
    double length; // samples from one edge of its kind to the next
    double high;   // samples high in it
    bool gap;      // it holds a pause between bursts
};

/// The whole periods from one rising (or falling) edge to the next.
std::vector<Period> periodsOf(const std::vector<Run> &runs, bool rising)
{
    std::vector<Period> periods;
    periods.reserve(runs.size() / 2 + 1);
    std::int64_t last = -1;
    double high = 0;
    for (std::size_t i = 1; i < runs.size(); ++i) {
        if (runs[i].high != rising) {
            if (last >= 0 && !rising)
                high += double(runs[i].length); // the high run of a period that began falling
            continue;
        }
        if (last >= 0)
            periods.push_back({double(runs[i].start - last), high, false});
        last = runs[i].start;
        high = rising ? double(runs[i].length) : 0;
    }
    return periods;
}

double quantile(std::vector<double> values, double q)
{
    const auto at = values.begin() + std::ptrdiff_t(double(values.size() - 1) * q);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

double median(std::vector<double> values)
{
    return quantile(std::move(values), 0.5);
}

/// \a runs with the glitches (runs of one sample) read as the level around
/// them, where the runs are long enough at the median to tell them; their
/// count in \a glitches. Empty when there are none to take out.
std::vector<Run> withoutGlitches(const std::vector<Run> &runs, int *glitches)
{
    *glitches = 0;
    const auto isGlitch = [&](std::size_t i) {
        return runs[i].length == 1 && i > 0 && i + 1 < runs.size();
    };
    std::size_t ones = 0;
    for (std::size_t i = 0; i < runs.size(); ++i)
        ones += isGlitch(i);
    if (ones == 0)
        return {};
    std::vector<double> lengths;
    lengths.reserve(runs.size());
    for (std::size_t i = 1; i + 1 < runs.size(); ++i)
        lengths.push_back(double(runs[i].length));
    if (median(lengths) < kGlitchFreeRunSamples)
        return {};
    std::vector<Run> out;
    out.reserve(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        Run run = runs[i];
        if (isGlitch(i)) {
            ++*glitches;
            run.high = !run.high;
        }
        if (!out.empty() && out.back().high == run.high)
            out.back().length += run.length;
        else
            out.push_back(run);
    }
    return out;
}

struct Fit
{
    std::vector<Period> periods;
    double median = 0;
    double tolerance = 0;
    double phaseTolerance = 0;
    int steady = 0;
    int onClock = 0; // of them steady only by the clock that follows the edges
    int gaps = 0;
    double periodsPerBurst = 0; // at the median
    double confidence = 0;
};

Fit fit(std::vector<Period> periods)
{
    Fit f;
    std::vector<double> lengths;
    lengths.reserve(periods.size());
    for (const Period &p : periods)
        lengths.push_back(p.length);
    f.median = median(lengths);
    f.tolerance = std::max(kPeriodToleranceSamples, kPeriodTolerance * f.median);
    f.phaseTolerance =
        std::max(f.tolerance, std::min(kPhaseToleranceSamples, kPhaseToleranceShare * f.median));
    int inBursts = 0;
    double clock = 0; // how far the last edge was late on the clock, less what the clock took
    std::vector<double> burstSizes;
    double burst = 0;
    for (Period &p : periods) {
        p.gap = p.length > kGapPeriods * f.median;
        f.gaps += p.gap;
        if (p.gap) {
            burstSizes.push_back(burst);
            burst = 0;
            clock = 0;
            continue;
        }
        ++inBursts;
        ++burst;
        const double miss = p.length - f.median + clock; // the edge against the clock
        if (std::fabs(p.length - f.median) <= f.tolerance) {
            ++f.steady;
        } else if (std::fabs(miss) <= f.phaseTolerance) {
            ++f.steady;
            ++f.onClock;
        }
        clock = std::fabs(miss) <= f.phaseTolerance ? (1 - kClockFollowing) * miss : 0;
    }
    burstSizes.push_back(burst);
    f.periodsPerBurst = median(burstSizes);
    f.confidence = inBursts > 0 ? double(f.steady) / double(inBursts) : 0;
    f.periods = std::move(periods);
    return f;
}

/// What sigrok's pwm decoder read, set against the timings' period and mean
/// duty: the median period, as one cut by a glitch is one of many.
QStringList comparePwm(const std::vector<sigrok::Annotation> &annotations, double periodUs,
                       double duty, double sampleUs)
{
    PwmReading r = pwmReading(annotations);
    if (r.periodsUs.empty())
        return {QStringLiteral("sigrok pwm decoder: no periods")};
    const double theirPeriod = median(r.periodsUs);
    double theirDuty = 0;
    for (const double each : r.duties)
        theirDuty += each / double(r.duties.size());
    QStringList lines{QStringLiteral("sigrok pwm decoder: %1 periods, the median %2, mean duty %3")
                          .arg(countText(qint64(r.periodsUs.size())), microsecondsText(theirPeriod),
                               percentText(theirDuty, 1))};
    // A sample either way at each edge; sigrok rounds its periods to a tenth.
    if (std::fabs(theirPeriod - periodUs) > 2 * sampleUs + 0.05 * periodUs ||
        std::fabs(theirDuty - duty) * periodUs > 2 * sampleUs + 0.02 * periodUs)
        lines << QStringLiteral("sigrok's pwm reading differs from the timings': %1 at %2 where "
                                "they give %3 at %4")
                     .arg(microsecondsText(theirPeriod), percentText(theirDuty, 1),
                          microsecondsText(periodUs), percentText(duty, 1));
    return lines;
}

/// The lengths of the runs that are pauses (longer than kGapPeriods
/// periods) and of the bursts between them, leaving out those the capture
/// cuts.
void burstTimes(const std::vector<Run> &runs, double period, std::vector<double> &on,
                std::vector<double> &off)
{
    double burst = -1; // -1 until a pause has been seen
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const bool cut = i == 0 || i + 1 == runs.size();
        if (double(runs[i].length) > kGapPeriods * period) {
            if (burst > 0)
                on.push_back(burst);
            if (!cut)
                off.push_back(double(runs[i].length));
            burst = 0;
        } else if (burst >= 0) {
            burst += double(runs[i].length);
        }
    }
}

/// sigrok's pwm decoder reads each period's duty and length, on the trace's
/// high pulses (its default polarity).
void readWithPwm(TraceDescription &d, double periodUs, double duty, double sampleUs)
{
    d.decoders = {{QStringLiteral("pwm"), {}}};
    d.channel = QStringLiteral("data");
    d.compareWithSigrok = [periodUs, duty, sampleUs](const std::vector<sigrok::Annotation> &a) {
        return comparePwm(a, periodUs, duty, sampleUs);
    };
}

} // namespace

std::optional<TraceDescription> describePeriodic(const PulseTrain &train)
{
    int glitches = 0;
    const std::vector<Run> cleaned = withoutGlitches(train.runs(), &glitches);
    const std::vector<Run> &runs = cleaned.empty() ? train.runs() : cleaned;
    // A train of pulses of changing width is steady on one edge only: the
    // rising one when its pulses are high, the falling one when they are low.
    std::vector<Period> rising = periodsOf(runs, true);
    std::vector<Period> falling = periodsOf(runs, false);
    if (int(std::max(rising.size(), falling.size())) < kMinPeriods)
        return std::nullopt;
    Fit f = int(rising.size()) >= kMinPeriods ? fit(std::move(rising)) : Fit{};
    if (int(falling.size()) >= kMinPeriods) {
        Fit other = fit(std::move(falling));
        if (other.confidence > f.confidence)
            f = std::move(other);
    }
    if (f.steady == 0 || (f.gaps > 0 && f.periodsPerBurst < kMinPeriodsPerBurst))
        return std::nullopt;

    int summed = 0; // periods within the tolerance of the median
    double sum = 0;
    double sumSquares = 0;
    double shortest = f.median;
    double longest = f.median;
    double dutyLow = 1;
    double dutyHigh = 0;
    double dutySum = 0;
    std::vector<double> duties;
    for (const Period &p : f.periods) {
        if (p.gap || std::fabs(p.length - f.median) > f.tolerance)
            continue;
        ++summed;
        sum += p.length;
        sumSquares += p.length * p.length;
        shortest = std::min(shortest, p.length);
        longest = std::max(longest, p.length);
        const double duty = p.high / p.length;
        dutyLow = std::min(dutyLow, duty);
        dutyHigh = std::max(dutyHigh, duty);
        dutySum += duty;
        duties.push_back(duty);
    }
    if (summed == 0)
        return std::nullopt;
    const double mean = sum / summed;
    const double rms = std::sqrt(std::max(0.0, sumSquares / summed - mean * mean));
    const double duty = dutySum / summed;

    TraceDescription d;
    d.kind = QStringLiteral("periodic");
    d.confidence = f.confidence;
    const double frequencyHz = 1e6 / train.toUs(mean);
    d.fields.insert(QStringLiteral("frequency_hz"), frequencyHz);
    d.firstFrameSample = runs.size() > 1 ? runs[1].start : -1;
    d.frameSamples = std::llround(mean);
    d.fields.insert(QStringLiteral("duty"), duty);
    const QString frequency = QString::number(frequencyHz, 'f', frequencyHz < 100 ? 2 : 1);
    // The middle of the duties, as an edge a sample astray moves one duty by
    // as much as the period's own jitter.
    const double dutySpread =
        quantile(duties, kDutyHighQuantile) - quantile(duties, kDutyLowQuantile);
    const bool constantDuty =
        dutySpread <= std::max(kDutySpread, (kDutySpreadSamples + 2 * rms) / mean);
    QString what;
    if (constantDuty &&
        std::fabs(duty - 0.5) <= std::max(kClockDutyTolerance, kPeriodToleranceSamples / mean))
        what = QStringLiteral("a clock (square wave) at %1 Hz, duty %2")
                   .arg(frequency, percentText(duty, 1));
    else if (constantDuty)
        what = QStringLiteral("PWM at %1 Hz, duty %2").arg(frequency, percentText(duty, 1));
    else
        what = QStringLiteral("PWM at %1 Hz, duty from %2 to %3 (mean %4)")
                   .arg(frequency, percentText(dutyLow, 1), percentText(dutyHigh, 1),
                        percentText(duty, 1));

    if (mean < kAliasSamples)
        what += QStringLiteral(", or an alias of a faster signal");
    std::vector<double> on;
    std::vector<double> off;
    if (f.gaps > 0)
        burstTimes(runs, f.median, on, off);
    if (f.gaps > 0 && !off.empty()) {
        d.fields.insert(QStringLiteral("bursts"), qint64(f.gaps));
        d.title = QStringLiteral("periodic in bursts: %1").arg(what);
        QString onText =
            on.empty() ? QStringLiteral("cut by the capture") : train.durationOfSamples(median(on));
        d.evidence << QStringLiteral("in bursts: on for %1, off for %2 (medians of %3 bursts "
                                     "and %4 pauses of more than %5 periods)")
                          .arg(onText, train.durationOfSamples(median(off)),
                               countText(qint64(on.size())), countText(qint64(off.size())),
                               QString::number(kGapPeriods));
    } else {
        d.title = QStringLiteral("periodic: %1").arg(what);
    }
    d.evidence << QStringLiteral("%1 of %2 periods (%3) within %4 of the median period %5")
                      .arg(countText(f.steady), countText(qint64(f.periods.size()) - f.gaps),
                           shareText(d.confidence, kConfidenceThreshold),
                           train.durationOfSamples(f.tolerance), train.durationOfSamples(f.median));
    if (f.onClock > 0)
        d.evidence << QStringLiteral("%1 of them off the median by more, but with their edge "
                                     "within %2 of a steady clock: edges astray, not the period")
                          .arg(countText(f.onClock), train.durationOfSamples(f.phaseTolerance));
    if (glitches > 0)
        d.evidence << QStringLiteral("%1 glitches of one sample read as the level around them")
                          .arg(countText(glitches));
    d.evidence << QStringLiteral("jitter %1 peak to peak, %2 rms (one sample is %3)")
                      .arg(train.durationOfSamples(longest - shortest),
                           train.durationOfSamples(rms), train.durationOfSamples(1));
    if (mean < kAliasSamples)
        d.evidence << QStringLiteral("%1 samples a period, near the board's sample limit "
                                     "(%2 kHz): this may be an alias of something faster, such "
                                     "as a carrier at %3 or %4 kHz")
                          .arg(
                              QString::number(mean, 'f', 1),
                              QString::number(train.sampleRateHz() / 1000, 'f', 1),
                              QString::number((train.sampleRateHz() - frequencyHz) / 1000, 'f', 1),
                              QString::number((train.sampleRateHz() + frequencyHz) / 1000, 'f', 1));
    else
        readWithPwm(d, train.toUs(mean), duty, train.samplePeriodUs());
    return d;
}

} // namespace wavemill::detect
