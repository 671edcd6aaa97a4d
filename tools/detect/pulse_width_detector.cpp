// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/pulse_width_detector.h"

#include "detect/measure_text.h"
#include "detect/sigrok_reading.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace wavemill::detect {

namespace {

constexpr int kMinPulses = 8;
/// Servo and RC channel pulses: 0.4 to 2.6 ms (1 to 2 ms, 0.5 to 2.5 ms
/// extended), one every 2.5 ms (a fast digital servo) to 30 ms.
constexpr double kServoShortestUs = 400, kServoLongestUs = 2600;
constexpr double kServoPeriodMinUs = 2500, kServoPeriodMaxUs = 30000;
/// A width that holds still (this share of the pulses within two samples of
/// the median width, as a sample of jitter at each edge gives) is a plain
/// PWM, which the periodic reading names with its duty: a servo's position
/// moves.
constexpr double kStillShare = 0.9;
constexpr double kStillSamples = 2;
/// PPM: marker pulses of 0.1 to 0.6 ms, all of one width within two
/// samples; channels 0.6 to 2.4 ms apart; a sync gap from 2.5 ms; 4 to 16
/// channels a frame.
constexpr double kMarkerShortestUs = 100, kMarkerLongestUs = 600;
constexpr double kMarkerSpreadSamples = 2;
constexpr double kChannelMinUs = 600, kChannelMaxUs = 2400;
constexpr double kSyncFromUs = 2500;
constexpr int kMinChannels = 4, kMaxChannels = 16;
/// A PPM frame lasts 20 to 30 ms or so (22.5 ms the common one): a code of
/// two spacings repeated every 50 ms and more is a remote's, not PPM.
constexpr double kLongestFrameUs = 40000;
constexpr int kMinFrames = 3;
/// Width sensors: pulses of 50 µs to 100 ms; at least 1.5 times as wide at
/// the widest as at the narrowest; widths spread over at least 8 bins of 5 %
/// with no bin holding 30 % of them; no whole numbers of one unit (within
/// 5 % and a sample) for 80 % of them; and a period that is not steady (fewer
/// than half the periods within 2 % of the median).
constexpr double kSensorShortestUs = 50, kSensorLongestUs = 100000;
constexpr double kMinWidthRange = 1.5;
constexpr double kBinShare = 0.05;
constexpr int kMinBins = 8;
constexpr double kMaxBinShare = 0.30;
constexpr double kUnitFitShare = 0.80;
constexpr double kSteadyShare = 0.5;
constexpr double kSteadyTolerance = 0.02;
/// A sensor sends on and on: its longest period is at most this many times
/// its median one. A code's frames, bursts with long gaps between them, are
/// not a sensor's stream.
constexpr double kMostPeriodSpread = 10;
/// A measured value moves on from pulse to pulse: the median change is at
/// most this share of the median width (serial data and codes jump about).
constexpr double kSmoothShare = 0.10;
/// Speed of sound at 20 °C, for the ranger hint: a width is there and back.
constexpr double kSoundMetresPerUs = 343e-6;

struct Pulse
{
    std::int64_t start;
    double width;  // samples
    double period; // samples to the next pulse's start; 0 for the last
};

std::vector<Pulse> pulsesOf(const PulseTrain &train, bool activeHigh)
{
    std::vector<Pulse> pulses;
    const std::vector<Run> &runs = train.runs();
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        if (runs[i].high != activeHigh)
            continue;
        if (!pulses.empty())
            pulses.back().period = double(runs[i].start - pulses.back().start);
        pulses.push_back({runs[i].start, double(runs[i].length), 0});
    }
    return pulses;
}

double median(std::vector<double> values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

struct Stats
{
    double low = 0, high = 0, mean = 0, median = 0, deviation = 0;
};

Stats statsOf(const std::vector<double> &values)
{
    Stats s;
    if (values.empty())
        return s;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    s.low = *low;
    s.high = *high;
    double sum = 0;
    double squares = 0;
    for (const double v : values) {
        sum += v;
        squares += v * v;
    }
    s.mean = sum / double(values.size());
    s.deviation = std::sqrt(std::max(0.0, squares / double(values.size()) - s.mean * s.mean));
    s.median = median(values);
    return s;
}

/// Statistics of values in microseconds.
QString statsText(const Stats &s)
{
    return QStringLiteral("from %1 to %2, mean %3, median %4, standard deviation %5")
        .arg(microsecondsText(s.low), microsecondsText(s.high), microsecondsText(s.mean),
             microsecondsText(s.median), microsecondsText(s.deviation));
}

/// The pwm decoder's widths (duty times period) and periods, in µs.
void sigrokWidths(const std::vector<sigrok::Annotation> &annotations, std::vector<double> *widths,
                  std::vector<double> *periods)
{
    PwmReading r = pwmReading(annotations);
    *periods = std::move(r.periodsUs);
    for (std::size_t k = 0; k < std::min(r.duties.size(), periods->size()); ++k)
        widths->push_back(r.duties[k] * (*periods)[k]);
}

QStringList compareWidths(const Stats &ours, bool periodsAreValues,
                          const std::vector<sigrok::Annotation> &annotations)
{
    std::vector<double> widths;
    std::vector<double> periods;
    sigrokWidths(annotations, &widths, &periods);
    if (periods.empty())
        return {QStringLiteral("sigrok pwm decoder: no periods")};
    const std::vector<double> &values = periodsAreValues ? periods : widths;
    std::vector<double> inRange;
    // A PPM stream's sync gaps are periods too; its channels are those below it.
    for (const double v : values) {
        if (!periodsAreValues || v < kSyncFromUs)
            inRange.push_back(v);
    }
    const Stats theirs = statsOf(inRange);
    QStringList lines{QStringLiteral("sigrok pwm decoder: %1 periods; %2 from %3 to %4, mean %5")
                          .arg(countText(qint64(periods.size())),
                               periodsAreValues ? QStringLiteral("channels (periods below %1)")
                                                      .arg(microsecondsText(kSyncFromUs))
                                                : QStringLiteral("widths"),
                               microsecondsText(theirs.low), microsecondsText(theirs.high),
                               microsecondsText(theirs.mean))};
    // A sample either way at each end.
    if (std::fabs(theirs.low - ours.low) > 0.05 * ours.low + 50 ||
        std::fabs(theirs.high - ours.high) > 0.05 * ours.high + 50)
        lines << QStringLiteral("sigrok's pwm reading differs from the timings': %1 to %2 where "
                                "they give %3 to %4")
                     .arg(microsecondsText(theirs.low), microsecondsText(theirs.high),
                          microsecondsText(ours.low), microsecondsText(ours.high));
    return lines;
}

TraceDescription base(bool activeHigh, const std::vector<Pulse> &pulses)
{
    TraceDescription d;
    d.kind = QStringLiteral("pulse_width");
    d.fields.insert(QStringLiteral("active_high"), activeHigh);
    d.firstFrameSample = pulses.front().start;
    d.decoders = {{QStringLiteral("pwm"),
                   {{QStringLiteral("polarity"),
                     activeHigh ? QStringLiteral("active-high") : QStringLiteral("active-low")}}}};
    d.channel = QStringLiteral("data");
    return d;
}

/// Servo or RC channel pulses.
std::optional<TraceDescription> servo(const PulseTrain &train, bool activeHigh)
{
    const std::vector<Pulse> pulses = pulsesOf(train, activeHigh);
    if (int(pulses.size()) < kMinPulses)
        return std::nullopt;
    int fit = 0;
    int checks = 0;
    std::vector<double> widths;
    std::vector<double> periods;
    for (const Pulse &p : pulses) {
        const double us = train.toUs(p.width);
        ++checks;
        fit += us >= kServoShortestUs && us <= kServoLongestUs;
        widths.push_back(us);
        if (p.period > 0) {
            const double period = train.toUs(p.period);
            ++checks;
            fit += period >= kServoPeriodMinUs && period <= kServoPeriodMaxUs;
            periods.push_back(period);
        }
    }
    const double confidence = double(fit) / double(checks);
    if (confidence < 0.5)
        return std::nullopt;
    // A receiver sends its channel at a steady frame rate, whatever the
    // position; a period that wanders with the width is a sensor's.
    const double frame = median(periods);
    int steady = 0;
    for (const double us : periods)
        steady += std::fabs(us - frame) <= kSteadyTolerance * frame + train.toUs(1);
    if (double(steady) < kSteadyShare * double(periods.size()))
        return std::nullopt;
    const Stats w = statsOf(widths);
    int still = 0;
    for (const double us : widths)
        still += std::fabs(us - w.median) <= train.toUs(kStillSamples);
    if (double(still) >= kStillShare * double(widths.size()))
        return std::nullopt;
    const Stats p = statsOf(periods);
    TraceDescription d = base(activeHigh, pulses);
    d.confidence = confidence;
    d.title = QStringLiteral("servo or RC channel pulses, %1: %2 to %3 wide, one every %4 "
                             "(%5 Hz)")
                  .arg(activeHigh ? QStringLiteral("high") : QStringLiteral("low"),
                       microsecondsText(w.low), microsecondsText(w.high),
                       microsecondsText(p.median), QString::number(1e6 / p.median, 'f', 1));
    d.evidence << QStringLiteral("%1 pulses, widths %2")
                      .arg(countText(qint64(widths.size())), statsText(w));
    d.evidence << QStringLiteral("periods from %1 to %2 (median %3); %4 of %5 widths and periods "
                                 "within a servo's 0.4 to 2.6 ms and 2.5 to 30 ms")
                      .arg(microsecondsText(p.low), microsecondsText(p.high),
                           microsecondsText(p.median), countText(fit), countText(checks));
    d.evidence << QStringLiteral("the width moves over %1: a position that changes")
                      .arg(microsecondsText(w.high - w.low));
    d.fields.insert(QStringLiteral("form"), QStringLiteral("servo"));
    d.fields.insert(QStringLiteral("median_width_us"), w.median);
    d.fields.insert(QStringLiteral("width_min_us"), w.low);
    d.fields.insert(QStringLiteral("width_max_us"), w.high);
    d.fields.insert(QStringLiteral("period_us"), p.median);
    d.fields.insert(QStringLiteral("frequency_hz"), 1e6 / p.median);
    d.frameSamples = std::llround(train.toSamples(p.median));
    d.compareWithSigrok = [w](const std::vector<sigrok::Annotation> &a) {
        return compareWidths(w, false, a);
    };
    return d;
}

/// An RC receiver's PPM stream.
std::optional<TraceDescription> ppm(const PulseTrain &train, bool activeHigh)
{
    const std::vector<Pulse> pulses = pulsesOf(train, activeHigh);
    if (int(pulses.size()) < kMinPulses)
        return std::nullopt;
    std::vector<double> widths;
    widths.reserve(pulses.size());
    for (const Pulse &p : pulses)
        widths.push_back(p.width);
    const double marker = median(widths);
    if (train.toUs(marker) < kMarkerShortestUs || train.toUs(marker) > kMarkerLongestUs)
        return std::nullopt;
    // Frames: the channels between two sync gaps.
    std::vector<std::vector<double>> frames;
    std::vector<double> current;
    bool synced = false;
    int markersOff = 0;
    for (const Pulse &p : pulses) {
        markersOff += std::fabs(p.width - marker) > kMarkerSpreadSamples;
        if (p.period <= 0)
            break;
        const double us = train.toUs(p.period);
        if (us >= kSyncFromUs) {
            if (synced)
                frames.push_back(current);
            current.clear();
            synced = true;
        } else if (synced) {
            current.push_back(us);
        }
    }
    if (int(frames.size()) < kMinFrames)
        return std::nullopt;
    std::map<std::size_t, int> bySize;
    for (const auto &f : frames)
        ++bySize[f.size()];
    const auto most =
        std::max_element(bySize.begin(), bySize.end(),
                         [](const auto &a, const auto &b) { return a.second < b.second; });
    const std::size_t channels = most->first;
    if (int(channels) < kMinChannels || int(channels) > kMaxChannels)
        return std::nullopt;
    int whole = 0;
    std::vector<Stats> byChannel(channels);
    std::vector<std::vector<double>> values(channels);
    std::vector<double> all;
    for (const auto &f : frames) {
        bool fits = f.size() == channels;
        for (const double v : f)
            fits = fits && v >= kChannelMinUs && v <= kChannelMaxUs;
        whole += fits;
        if (!fits)
            continue;
        for (std::size_t c = 0; c < channels; ++c) {
            values[c].push_back(f[c]);
            all.push_back(f[c]);
        }
    }
    const double confidence = std::min(double(whole) / double(frames.size()),
                                       1 - double(markersOff) / double(pulses.size()));
    if (whole == 0)
        return std::nullopt;
    const Stats range = statsOf(all);
    TraceDescription d = base(activeHigh, pulses);
    d.confidence = confidence;
    // A frame from one sync gap's end to the next one's.
    std::vector<std::int64_t> frameStarts;
    for (std::size_t k = 1; k < pulses.size(); ++k) {
        if (train.toUs(pulses[k - 1].period) >= kSyncFromUs)
            frameStarts.push_back(pulses[k].start);
    }
    const double frameUs = train.toUs(double(frameStarts.back() - frameStarts.front())) /
                           double(frameStarts.size() - 1);
    if (frameUs > kLongestFrameUs)
        return std::nullopt;
    d.title = QStringLiteral("RC receiver PPM stream, pulses %1: %2 channels a frame every %3, "
                             "channels from %4 to %5")
                  .arg(activeHigh ? QStringLiteral("high") : QStringLiteral("low"))
                  .arg(channels)
                  .arg(microsecondsText(frameUs), microsecondsText(range.low),
                       microsecondsText(range.high));
    d.evidence << QStringLiteral("%1 of %2 frames whole: %3 channels between two sync gaps (from "
                                 "%4), each %5 to %6 from pulse to pulse")
                      .arg(countText(whole), countText(qint64(frames.size())))
                      .arg(channels)
                      .arg(microsecondsText(kSyncFromUs), microsecondsText(kChannelMinUs),
                           microsecondsText(kChannelMaxUs));
    d.evidence << QStringLiteral("marker pulses %1 wide, %2 of %3 within %4 samples of it")
                      .arg(train.durationOfSamples(marker),
                           countText(qint64(pulses.size()) - markersOff),
                           countText(qint64(pulses.size())), QString::number(kMarkerSpreadSamples));
    QStringList perChannel;
    for (std::size_t c = 0; c < channels; ++c) {
        const Stats s = statsOf(values[c]);
        perChannel << QStringLiteral("%1: %2").arg(c + 1).arg(
            s.high - s.low < train.toUs(2)
                ? microsecondsText(s.mean)
                : QStringLiteral("%1 to %2")
                      .arg(microsecondsText(s.low), microsecondsText(s.high)));
    }
    d.evidence << QStringLiteral("channels: %1").arg(perChannel.join(QStringLiteral(", ")));
    d.fields.insert(QStringLiteral("form"), QStringLiteral("ppm"));
    d.fields.insert(QStringLiteral("median_width_us"), train.toUs(marker));
    d.fields.insert(QStringLiteral("channels"), qint64(channels));
    d.fields.insert(QStringLiteral("frame_us"), frameUs);
    d.frameSamples = std::llround(train.toSamples(frameUs));
    d.compareWithSigrok = [range](const std::vector<sigrok::Annotation> &a) {
        return compareWidths(range, true, a);
    };
    return d;
}

/// A width sensor: widths spread over many values, no steady period.
std::optional<TraceDescription> widthSensor(const PulseTrain &train, bool activeHigh)
{
    const std::vector<Pulse> pulses = pulsesOf(train, activeHigh);
    if (int(pulses.size()) < kMinPulses)
        return std::nullopt;
    std::vector<double> widths;
    std::vector<double> periods;
    int fit = 0;
    for (const Pulse &p : pulses) {
        const double us = train.toUs(p.width);
        widths.push_back(us);
        fit += us >= kSensorShortestUs && us <= kSensorLongestUs;
        if (p.period > 0)
            periods.push_back(train.toUs(p.period));
    }
    const Stats w = statsOf(widths);
    if (w.low <= 0 || w.high / w.low < kMinWidthRange)
        return std::nullopt;
    // Spread over many values...
    std::map<int, int> bins;
    for (const double v : widths)
        ++bins[int(std::floor(std::log(v) / std::log(1 + kBinShare)))];
    int fullest = 0;
    for (const auto &[bin, count] : bins)
        fullest = std::max(fullest, count);
    if (int(bins.size()) < kMinBins || double(fullest) > kMaxBinShare * double(widths.size()))
        return std::nullopt;
    // ... neither widths nor periods whole numbers of the narrowest one (a
    // serial line through a coupler that narrows its lows keeps its periods
    // whole bits) ...
    const auto quantized = [&train](const std::vector<double> &values) {
        const double unit = *std::min_element(values.begin(), values.end());
        int whole = 0;
        for (const double v : values) {
            const double n = std::round(v / unit);
            whole += std::fabs(v - n * unit) <= 0.05 * v + train.toUs(1);
        }
        return double(whole) >= kUnitFitShare * double(values.size());
    };
    if (periods.empty() || quantized(widths) || quantized(periods))
        return std::nullopt;
    // ... moving on smoothly from pulse to pulse, as a measured value does ...
    std::vector<double> changes;
    for (std::size_t k = 1; k < widths.size(); ++k)
        changes.push_back(std::fabs(widths[k] - widths[k - 1]));
    const double smooth = median(changes) / w.median;
    if (smooth > kSmoothShare)
        return std::nullopt;
    // ... and no steady period.
    const double typical = median(periods);
    if (*std::max_element(periods.begin(), periods.end()) > kMostPeriodSpread * typical)
        return std::nullopt;
    int steady = 0;
    for (const double p : periods)
        steady += std::fabs(p - typical) <= kSteadyTolerance * typical + train.toUs(1);
    if (double(steady) >= kSteadyShare * double(periods.size()))
        return std::nullopt;
    const Stats p = statsOf(periods);
    TraceDescription d = base(activeHigh, pulses);
    d.confidence = double(fit) / double(widths.size());
    d.title = QStringLiteral("pulses whose width carries the value, %1: %2 to %3 wide, one "
                             "every %4 to %5")
                  .arg(activeHigh ? QStringLiteral("high") : QStringLiteral("low"),
                       microsecondsText(w.low), microsecondsText(w.high), microsecondsText(p.low),
                       microsecondsText(p.high));
    d.evidence << QStringLiteral("%1 pulses, widths %2")
                      .arg(countText(qint64(widths.size())), statsText(w));
    d.evidence << QStringLiteral("periods %1: no steady period (%2 of them within 2 % of the "
                                 "median), so no PWM")
                      .arg(statsText(p), percentText(double(steady) / double(periods.size())));
    d.evidence << QStringLiteral(
                      "widths over %1 steps of 5 %, moving on smoothly (a median "
                      "change of %2 of the median width from one pulse to the next), and "
                      "neither widths nor periods whole numbers of one unit: no code "
                      "or serial data")
                      .arg(bins.size())
                      .arg(percentText(smooth, 1));
    d.evidence << QStringLiteral("as an ultrasonic ranger's echo (there and back at 343 m/s): %1 "
                                 "to %2 m")
                      .arg(QString::number(w.low * kSoundMetresPerUs / 2, 'f', 2),
                           QString::number(w.high * kSoundMetresPerUs / 2, 'f', 2));
    d.fields.insert(QStringLiteral("form"), QStringLiteral("width sensor"));
    d.fields.insert(QStringLiteral("median_width_us"), w.median);
    d.fields.insert(QStringLiteral("width_min_us"), w.low);
    d.fields.insert(QStringLiteral("width_max_us"), w.high);
    d.frameSamples = std::llround(train.toSamples(p.median));
    d.compareWithSigrok = [w](const std::vector<sigrok::Annotation> &a) {
        return compareWidths(w, false, a);
    };
    return d;
}

} // namespace

std::optional<TraceDescription> describePulseWidth(const PulseTrain &train)
{
    // The most confident; on a tie the more particular form (a PPM stream, a
    // servo, a sensor), then the level whose pulses are the narrower, as a
    // pulse is narrower than the idle between two (a 50 % duty cycle fits
    // either way).
    std::optional<TraceDescription> best;
    double bestWidth = 0;
    for (auto form : {&ppm, &servo, &widthSensor}) {
        for (const bool activeHigh : {true, false}) {
            std::optional<TraceDescription> d = form(train, activeHigh);
            if (!d)
                continue;
            const double width = d->fields.value(QStringLiteral("median_width_us")).toDouble();
            if (!best || d->confidence > best->confidence ||
                (d->confidence == best->confidence &&
                 d->fields.value(QStringLiteral("form")) ==
                     best->fields.value(QStringLiteral("form")) &&
                 width < bestWidth)) {
                best = std::move(d);
                bestWidth = width;
            }
        }
    }
    return best;
}

} // namespace wavemill::detect
