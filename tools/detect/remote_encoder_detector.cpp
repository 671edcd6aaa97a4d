// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/remote_encoder_detector.h"

#include "detect/bursts.h"
#include "detect/in_order.h"
#include "detect/measure_text.h"
#include "detect/sigrok_reading.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace wavemill::detect {

namespace {

/// A frame: 24 pulses, each with its gap, then the sync pulse.
constexpr int kPulses = 24;
constexpr std::size_t kFrameRuns = 2 * kPulses + 1;
/// The last frame's last gap runs into the idle level, and its sync pulse
/// may be missing (EV1527 sends the sync first).
constexpr std::size_t kLastFrameRuns = 2 * kPulses - 1;
/// The sync gap is 31 units (PT2262: 124 of its clocks, a unit being 4);
/// a gap that long or longer ends a frame.
constexpr double kSyncUnits = 31;
constexpr double kSyncTolerance = 0.25;
/// Pulses and gaps of 1 or 3 units, within 35 % and a sample; a pulse and
/// its gap together 4 units within 25 %.
constexpr double kPulseTolerance = 0.35;
constexpr double kPairTolerance = 0.25;
/// Units the encoders run at: from 80 µs to 2 ms.
constexpr double kShortestUnitUs = 80;
constexpr double kLongestUnitUs = 2000;
/// A stretch of fewer runs than this between gaps is a stray, not a frame.
constexpr std::size_t kStrayRuns = 10;
/// The 20-bit id and 4 data bits of an EV1527 code.
constexpr int kIdBits = 20;
constexpr int kShownCodes = 4;

struct Frame
{
    std::vector<bool> longPulses; // 24
    std::int64_t start = 0;
};

struct Reading
{
    bool activeHigh = true;
    double unit = 0;
    BurstTally tally;
    std::vector<Frame> frames;
};

/// 1 or 3 units within the tolerance, or 0.
int unitsOf(double length, double unit)
{
    for (const int n : {1, 3}) {
        if (std::fabs(length - n * unit) <= kPulseTolerance * n * unit + 1)
            return n;
    }
    return 0;
}

Reading read(const PulseTrain &train, bool activeHigh, double unit)
{
    Reading r;
    r.activeHigh = activeHigh;
    r.unit = unit;
    const std::vector<Run> &runs = train.runs();
    const std::vector<RunSpan> spans =
        splitAtIdle(train, !activeHigh, (1 - kSyncTolerance) * kSyncUnits * unit);
    for (const RunSpan &span : spans) {
        if (span.size() < kStrayRuns) {
            ++r.tally.strays;
            continue;
        }
        // What came before a frame the recording's start cuts, or after one its
        // end cuts, is unknown, even when it has the right number of runs.
        if (span.cut) {
            ++r.tally.cut;
            continue;
        }
        const bool shape = span.size() == kFrameRuns || span.size() == kLastFrameRuns;
        ++r.tally.bursts;
        if (!shape)
            continue;
        Frame f;
        f.start = runs[span.first].start;
        bool whole = true;
        for (int k = 0; k < kPulses && whole; ++k) {
            const Run &pulse = runs[span.first + std::size_t(2 * k)];
            const int n = unitsOf(double(pulse.length), unit);
            whole = n != 0;
            f.longPulses.push_back(n == 3);
            if (k + 1 < kPulses || span.size() == kFrameRuns) {
                const Run &gap = runs[span.first + std::size_t(2 * k + 1)];
                whole = whole && unitsOf(double(gap.length), unit) == 4 - n &&
                        std::fabs(double(pulse.length + gap.length) - 4 * unit) <=
                            kPairTolerance * 4 * unit + 1;
            }
        }
        if (span.size() == kFrameRuns)
            whole = whole && unitsOf(double(runs[span.end - 1].length), unit) == 1;
        if (!whole)
            continue;
        ++r.tally.read;
        r.frames.push_back(std::move(f));
    }
    return r;
}

/// Whether every pair of pulses is a tri-state digit: never long then short.
bool triState(const std::vector<bool> &pulses)
{
    for (std::size_t k = 0; k + 1 < pulses.size(); k += 2) {
        if (pulses[k] && !pulses[k + 1])
            return false;
    }
    return true;
}

QString word(const std::vector<bool> &pulses)
{
    QString w;
    for (std::size_t k = 0; k + 1 < pulses.size(); k += 2)
        w += !pulses[k] && !pulses[k + 1] ? QLatin1Char('0')
             : pulses[k] && pulses[k + 1] ? QLatin1Char('1')
                                          : QLatin1Char('F');
    return w;
}

std::uint32_t bitsValue(const std::vector<bool> &pulses, int from, int count)
{
    std::uint32_t v = 0;
    for (int k = from; k < from + count; ++k)
        v = v << 1 | std::uint32_t(pulses[std::size_t(k)]);
    return v;
}

QString codeText(const std::vector<bool> &pulses, bool pt2262)
{
    if (pt2262)
        return QStringLiteral("word %1").arg(word(pulses));
    return QStringLiteral("id %1, data %2")
        .arg(hexText(bitsValue(pulses, 0, kIdBits), 5),
             hexText(bitsValue(pulses, kIdBits, kPulses - kIdBits), 1));
}

/// sigrok's rc_encode words: twelve digit annotations, then a sync.
QStringList compare(const QStringList &ours, const std::vector<sigrok::Annotation> &annotations)
{
    QStringList theirs;
    QString current;
    for (const sigrok::Annotation &a : annotations) {
        if (a.decoder != QLatin1String("rc_encode") || a.texts.isEmpty())
            continue;
        if (a.annotationClass == QLatin1String("bit-sync")) {
            theirs << QStringLiteral("word ") + current.toUpper();
            current.clear();
        } else if (a.annotationClass.startsWith(QLatin1String("bit-"))) {
            current += a.texts.front();
        }
    }
    QStringList lines{QStringLiteral("sigrok rc_encode decoder: %1 words%2")
                          .arg(countText(theirs.size()),
                               theirs.isEmpty()
                                   ? QString()
                                   : QStringLiteral(": ") + runTogether(theirs, kShownCodes))};
    const std::vector<QString> given(ours.begin(), ours.end());
    const std::vector<QString> read(theirs.begin(), theirs.end());
    const QString differ = framesDiffer(
        QStringLiteral("rc_encode"), QStringLiteral("words"), matchedInOrder(given, read),
        given.size(), read.size(),
        QStringLiteral("rc_encode counts four edges a digit from the first edge it sees, so that "
                       "it reads a recording that starts inside a word out of step"));
    if (!differ.isEmpty())
        lines << differ;
    return lines;
}

} // namespace

std::optional<TraceDescription> describeRemoteEncoder(const PulseTrain &train)
{
    const std::vector<Run> &runs = train.runs();
    if (runs.size() < kFrameRuns)
        return std::nullopt;
    std::vector<double> lengths;
    lengths.reserve(runs.size());
    for (std::size_t i = 1; i + 1 < runs.size(); ++i)
        lengths.push_back(double(runs[i].length));
    const auto middle = lengths.begin() + std::ptrdiff_t(lengths.size() / 2);
    std::nth_element(lengths.begin(), middle, lengths.end());
    // The median run is one unit or three.
    std::optional<Reading> best;
    for (const double unit : {*middle, *middle / 3}) {
        if (train.toUs(unit) < kShortestUnitUs || train.toUs(unit) > kLongestUnitUs)
            continue;
        for (const bool activeHigh : {true, false}) {
            keepBetter(best, read(train, activeHigh, unit));
        }
    }
    if (!best)
        return std::nullopt;
    const Reading &r = *best;
    bool pt2262 = true;
    for (const Frame &f : r.frames)
        pt2262 = pt2262 && triState(f.longPulses);

    TraceDescription d;
    d.kind = QStringLiteral("remote_encoder");
    d.confidence = r.tally.confidence();
    QStringList codes;
    for (const Frame &f : r.frames)
        codes << codeText(f.longPulses, pt2262);
    QStringList distinct = codes;
    distinct.removeDuplicates();
    const QString polarity = r.activeHigh ? QString() : QStringLiteral(", inverted");
    d.title = pt2262 ? QStringLiteral("433 MHz remote encoder, PT2262 type (tri-state)%1: %2")
                           .arg(polarity, distinct.join(QStringLiteral(", ")))
                     : QStringLiteral("433 MHz remote encoder, EV1527 type (learning code)%1: %2")
                           .arg(polarity, distinct.join(QStringLiteral(", ")));
    if (distinct.size() > kShownCodes)
        d.title = d.title.section(QStringLiteral(": "), 0, 0) +
                  QStringLiteral(": %1 codes").arg(distinct.size());
    d.evidence << r.tally.line(QStringLiteral("frames of 24 pulses and a sync"));
    d.evidence << QStringLiteral("unit %1 (%2 samples): pulses and gaps of 1 and 3 units, a sync "
                                 "gap of %3 units")
                      .arg(train.durationOfSamples(r.unit), QString::number(r.unit, 'f', 2))
                      .arg(kSyncUnits);
    d.evidence << QStringLiteral("codes read from the timings, first pulse first: %1")
                      .arg(runTogether(codes, kShownCodes));
    if (pt2262) {
        QString asBits;
        for (const bool b : r.frames.front().longPulses)
            asBits += b ? QLatin1Char('1') : QLatin1Char('0');
        d.evidence << QStringLiteral("every pair of pulses is a tri-state digit, as a PT2262 sends "
                                     "them; as a 24-bit EV1527 code it would be %1")
                          .arg(codeText(r.frames.front().longPulses, false));
    } else {
        d.evidence << QStringLiteral("pairs of a long and then a short pulse, which no tri-state "
                                     "digit has: a 24-bit learning code, a %1-bit id and %2 data "
                                     "bits, the first sent the most significant")
                          .arg(kIdBits)
                          .arg(kPulses - kIdBits);
        d.evidence << QStringLiteral("sigrok has no decoder for EV1527-type codes");
    }
    d.fields.insert(QStringLiteral("family"),
                    pt2262 ? QStringLiteral("PT2262") : QStringLiteral("EV1527"));
    d.fields.insert(QStringLiteral("active_high"), r.activeHigh);
    d.fields.insert(QStringLiteral("unit_us"), train.toUs(r.unit));
    d.fields.insert(QStringLiteral("frames"), qint64(r.frames.size()));
    d.firstFrameSample = r.frames.front().start;
    d.frameSamples = std::llround(r.unit * (4 * kPulses + 1 + kSyncUnits));
    // rc_encode reads pulses that are high.
    if (!pt2262 || !r.activeHigh) {
        if (pt2262)
            d.evidence << QStringLiteral("sigrok's rc_encode decoder reads high pulses only: not "
                                         "run on this inverted output");
        return d;
    }
    d.decoders = {{QStringLiteral("rc_encode"), {}}};
    d.channel = QStringLiteral("data");
    d.compareWithSigrok = [codes](const std::vector<sigrok::Annotation> &a) {
        return compare(codes, a);
    };
    return d;
}

} // namespace wavemill::detect
