// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/lighting_bus_detector.h"

#include "detect/biphase.h"
#include "detect/bursts.h"
#include "detect/in_order.h"
#include "detect/measure_text.h"
#include "detect/sigrok_reading.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace wavemill::detect {

namespace {

/// A bus family: its half-bit, the level it idles at as sent, the frame
/// lengths it uses (start bit included), which way round its bits go, and
/// sigrok's decoder with the polarity option for the level it idles at as
/// sent. Both start a frame with a bit that is low then high as sent: on
/// DALI, idle high, that is a 1 and its low half opens the frame; on DSI,
/// idle low, a 0, whose low half runs into the idle level before it.
struct BusFamily
{
    const char *name;
    double unitUs;
    bool idleHigh;
    std::array<int, 3> frameBits; // 0: unused
    bool highSecondHalfIsOne;
    const char *decoder;
    const char *polarityAsSent;
    const char *polarityInverted;
};

/// DALI (IEC 62386): 1200 bit/s, a half-bit of 416.7 µs; forward frames of
/// 16 bits (24 in DALI-2), backward frames of 8, each after a start bit.
/// DSI: 600 bit/s, frames of 8 bits after a start bit.
constexpr std::array<BusFamily, 2> kFamilies{{
    {"DALI", 1e6 / 1200 / 2, true, {17, 9, 25}, true, "dali", "active-low", "active-high"},
    {"DSI", 1e6 / 600 / 2, false, {9, 0, 0}, false, "dsi", "active-high", "active-low"},
}};

/// A measured half-bit this close to the family's is taken as its clock
/// (DALI allows 10 %).
constexpr double kClockTolerance = 0.15;
/// A stretch of idle level longer than a bit and a half ends a frame: within
/// one a level lasts at most a bit.
constexpr double kGapUnits = 3;
/// A burst shorter than a bit holds no frame: a stray pulse.
constexpr double kStrayUnits = 2;
/// Frames shown before "and N more".
constexpr int kShownFrames = 6;

struct Frame
{
    std::vector<int> bytes; // after the start bit, 8 bits each, first bit most significant
    int bits = 0;
    std::int64_t start = 0;
};

struct Reading
{
    const BusFamily *family = nullptr;
    bool inverted = false;
    BiphaseClock clock;
    BurstTally tally;
    std::vector<Frame> frames;
};

Reading readFamily(const PulseTrain &train, const BusFamily &family, bool inverted)
{
    Reading r;
    r.family = &family;
    r.inverted = inverted;
    const bool idleHigh = family.idleHigh != inverted;
    const double unit = train.toSamples(family.unitUs);
    const std::vector<RunSpan> spans = splitAtIdle(train, idleHigh, kGapUnits * unit);
    const std::optional<BiphaseClock> clock = measureBiphaseClock(train, spans, unit);
    if (!clock || std::fabs(clock->unit / unit - 1) > kClockTolerance)
        return r;
    r.clock = *clock;
    for (const RunSpan &span : spans) {
        if (span.cut) {
            ++r.tally.cut;
            continue;
        }
        if (double(spanSamples(train, span)) < kStrayUnits * clock->unit) {
            ++r.tally.strays;
            continue;
        }
        ++r.tally.bursts;
        std::optional<std::vector<bool>> halves = biphaseHalves(train, span, *clock);
        if (!halves)
            continue;
        // The start bit is low then high as sent: its first half may have run
        // into the idle level before it, as the last half-bit into the one after.
        if (idleHigh == inverted)
            halves->insert(halves->begin(), idleHigh);
        if (halves->size() % 2 == 1)
            halves->push_back(idleHigh);
        const int bits = int(halves->size() / 2);
        if (std::find(family.frameBits.begin(), family.frameBits.end(), bits) ==
            family.frameBits.end())
            continue;
        Frame f;
        f.bits = bits;
        f.start = train.runs()[span.first].start;
        bool whole = true;
        int value = 0;
        for (int k = 0; k < bits; ++k) {
            const bool first = (*halves)[2 * std::size_t(k)];
            const bool second = (*halves)[2 * std::size_t(k) + 1];
            whole = whole && first != second;
            const bool one = (second != inverted) == family.highSecondHalfIsOne;
            if (k == 0)
                continue; // the start bit
            value = value << 1 | int(one);
            if (k % 8 == 0) {
                f.bytes.push_back(value);
                value = 0;
            }
        }
        if (!whole)
            continue;
        ++r.tally.read;
        r.frames.push_back(std::move(f));
    }
    return r;
}

QString daliText(const Frame &f)
{
    if (f.bytes.size() == 1)
        return QStringLiteral("reply %1").arg(hexText(std::uint32_t(f.bytes[0]), 2));
    if (f.bytes.size() == 3)
        return QStringLiteral("24-bit frame %1 %2 %3")
            .arg(hexText(std::uint32_t(f.bytes[0]), 2), hexText(std::uint32_t(f.bytes[1]), 2),
                 hexText(std::uint32_t(f.bytes[2]), 2));
    const int a = f.bytes[0];
    const int data = f.bytes[1];
    const bool command = (a & 1) != 0;
    QString to;
    if (a >= 0xFE)
        to = QStringLiteral("broadcast");
    else if ((a & 0x80) == 0)
        to = QStringLiteral("short address %1").arg((a >> 1) & 0x3F);
    else if ((a & 0xE0) == 0x80)
        to = QStringLiteral("group %1").arg((a >> 1) & 0x0F);
    else
        return QStringLiteral("special command %1, data %2")
            .arg(hexText(std::uint32_t(a), 2), hexText(std::uint32_t(data), 2));
    return QStringLiteral("%1: %2 %3")
        .arg(to, command ? QStringLiteral("command") : QStringLiteral("arc power"))
        .arg(data);
}

QString dsiText(const Frame &f)
{
    constexpr double kFullLevel = 255;
    return QStringLiteral("level %1 (%2)")
        .arg(hexText(std::uint32_t(f.bytes[0]), 2), percentText(f.bytes[0] / kFullLevel));
}

/// sigrok's frames: its raw-data row opens each with the start bit, then
/// one byte a text ("Raw data: 01", "Reply: FF", "Data: 00").
std::vector<std::vector<int>> sigrokFrames(const std::vector<sigrok::Annotation> &annotations,
                                           const QString &decoder)
{
    std::vector<std::vector<int>> frames;
    for (const QString &text : annotationTexts(annotations, decoder, {QStringLiteral("raw")})) {
        if (text.startsWith(QLatin1String("Startbit"))) {
            frames.emplace_back();
            continue;
        }
        bool ok = false;
        const int value = text.section(QLatin1Char(':'), 1).trimmed().toInt(&ok, 16);
        if (ok && !frames.empty())
            frames.back().push_back(value);
    }
    return frames;
}

QStringList compare(const BusFamily &family, const std::vector<std::vector<int>> &ours,
                    const std::vector<sigrok::Annotation> &annotations)
{
    const QString decoder = QLatin1String(family.decoder);
    const std::vector<std::vector<int>> theirs = sigrokFrames(annotations, decoder);
    // Its fields a frame at a time: an address and what is sent to it, a reply, a level.
    QStringList fields;
    bool addressed = false;
    for (const sigrok::Annotation &a : annotations) {
        if (a.decoder != decoder || a.texts.isEmpty())
            continue;
        if (a.annotationClass == QLatin1String("command") && addressed) {
            fields.back() += QStringLiteral(", ") + a.texts.front();
            addressed = false;
        } else if (a.annotationClass == QLatin1String("address") ||
                   a.annotationClass == QLatin1String("command") ||
                   a.annotationClass == QLatin1String("reply") ||
                   a.annotationClass == QLatin1String("level")) {
            fields << a.texts.front();
            addressed = a.annotationClass == QLatin1String("address");
        }
    }
    QStringList lines{QStringLiteral("sigrok %1 decoder: %2 frames%3")
                          .arg(decoder, countText(qint64(theirs.size())),
                               fields.isEmpty()
                                   ? QString()
                                   : QStringLiteral(": ") + runTogether(fields, kShownFrames))};
    // sigrok's dali reads frames of 16 and 8 bits; DALI-2's 24-bit ones are the timings' alone.
    std::vector<std::vector<int>> readable;
    for (const std::vector<int> &frame : ours) {
        if (frame.size() < 3)
            readable.push_back(frame);
    }
    if (readable.size() < ours.size())
        lines << QStringLiteral("sigrok's %1 decoder reads no 24-bit frames: the %2 here are read "
                                "from the timings alone")
                     .arg(decoder, countText(qint64(ours.size() - readable.size())));
    const QString differ =
        framesDiffer(decoder, QStringLiteral("frames"), matchedInOrder(readable, theirs),
                     readable.size(), theirs.size());
    if (!differ.isEmpty())
        lines << differ;
    return lines;
}

} // namespace

std::optional<TraceDescription> describeLightingBus(const PulseTrain &train)
{
    std::optional<Reading> best;
    for (const BusFamily &family : kFamilies) {
        for (const bool inverted : {false, true}) {
            keepBetter(best, readFamily(train, family, inverted));
        }
    }
    if (!best)
        return std::nullopt;
    const Reading &r = *best;
    const BusFamily &family = *r.family;
    const bool dali = family.decoder == kFamilies[0].decoder;
    const bool idleHigh = family.idleHigh != r.inverted;

    TraceDescription d;
    d.kind = QStringLiteral("lighting_bus");
    d.confidence = r.tally.confidence();
    const QString name = QLatin1String(family.name);
    int forward = 0;
    int backward = 0;
    QStringList texts;
    std::vector<std::vector<int>> bytes;
    for (const Frame &f : r.frames) {
        forward += f.bytes.size() > 1;
        backward += f.bytes.size() == 1;
        texts << (dali ? daliText(f) : dsiText(f));
        bytes.push_back(f.bytes);
    }
    const QString idle = idleHigh ? QStringLiteral("idle high") : QStringLiteral("idle low");
    const QString asSent = r.inverted ? QStringLiteral(" (inverted)") : QString();
    d.title = dali ? QStringLiteral("DALI lighting bus, %1%2: %3 forward frames and %4 replies")
                         .arg(idle, asSent)
                         .arg(forward)
                         .arg(backward)
                   : QStringLiteral("DSI lighting bus, %1%2: %3 level frames")
                         .arg(idle, asSent)
                         .arg(r.frames.size());
    d.evidence << r.tally.line(QStringLiteral("%1 frames").arg(name));
    d.evidence << QStringLiteral("half-bit %1 (%2 samples), %3 from %4's %5%6")
                      .arg(train.durationOfSamples(r.clock.unit),
                           QString::number(r.clock.unit, 'f', 2),
                           percentText(std::fabs(train.toUs(r.clock.unit) / family.unitUs - 1), 1),
                           name, microsecondsText(family.unitUs),
                           std::fabs(r.clock.skew) >= 1
                               ? QStringLiteral("; high half-bits %1 %2 than low ones, set back")
                                     .arg(train.durationOfSamples(std::fabs(2 * r.clock.skew)),
                                          r.clock.skew > 0 ? QStringLiteral("longer")
                                                           : QStringLiteral("shorter"))
                               : QString());
    d.evidence
        << QStringLiteral("frames read from the timings: %1").arg(runTogether(texts, kShownFrames));
    d.fields.insert(QStringLiteral("family"), name);
    d.fields.insert(QStringLiteral("idle_high"), idleHigh);
    d.fields.insert(QStringLiteral("frames"), qint64(r.frames.size()));
    if (!r.frames.empty()) {
        d.firstFrameSample = r.frames.front().start;
        d.frameSamples = std::llround(2 * r.frames.front().bits * r.clock.unit);
    }
    d.decoders = {
        {QLatin1String(family.decoder),
         {{QStringLiteral("polarity"),
           QLatin1String(r.inverted ? family.polarityInverted : family.polarityAsSent)}}}};
    d.channel = QLatin1String(family.decoder);
    d.compareWithSigrok = [f = r.family,
                           bytes](const std::vector<sigrok::Annotation> &annotations) {
        return compare(*f, bytes, annotations);
    };
    return d;
}

} // namespace wavemill::detect
