// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/uart_detector.h"

#include "detect/in_order.h"
#include "detect/lin_frames.h"
#include "detect/measure_text.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace wavemill::detect {

namespace {

/// Characters of decoded text shown.
constexpr int kShownCharacters = 120;
/// LIN frames shown before "and N more".
constexpr int kShownFrames = 6;
/// A distortion this many samples or more is told: less is the sampling's.
constexpr double kToldDistortionSamples = 0.5;
/// A LIN break lasts at least 13 bits, its delimiter at least one.
constexpr double kLinBreakBits = 13;
constexpr double kLinDelimiterBits = 1;
/// A LIN character: start bit, 8 data bits, stop bit.
constexpr double kLinCharacterBits = 10;
/// A LIN bus has two senders, the master's header and a slave's response,
/// each with its own clock and edges: a slave's clock may be off by several
/// per cent until it syncs, and its transceiver may move its edges apart
/// from the master's. Their pulses then fit no single bit as one sender's
/// do, and fine sampling shows it; a clear majority of whole-bit pulses is
/// asked of a bus, beside the breaks, the sync bytes and the checksums.
constexpr double kLinLeastBitFit = 2.0 / 3.0;

QString parityName(Parity parity)
{
    return parity == Parity::Even ? QStringLiteral("even") : QStringLiteral("odd");
}

/// The values as text: characters of up to 8 bits as escaped text, 9-bit
/// ones in hexadecimal.
QString valuesText(const std::vector<std::uint16_t> &values, int dataBits)
{
    if (dataBits <= 8) {
        QByteArray bytes;
        for (const std::uint16_t v : values)
            bytes.append(char(v));
        return escapedText(bytes, kShownCharacters);
    }
    QStringList words;
    for (std::size_t i = 0; i < values.size() && words.size() < kShownCharacters / 4; ++i)
        words << QStringLiteral("%1").arg(values[i], 3, 16, QLatin1Char('0')).toUpper();
    return words.join(QLatin1Char(' ')) +
           (qsizetype(values.size()) > words.size() ? QStringLiteral(" ...") : QString());
}

/// The characters sigrok's uart decoder read (its rx-data annotations, in
/// its default hexadecimal format), less the null character it reads at the
/// start of each break.
std::vector<std::uint16_t> sigrokValues(const std::vector<sigrok::Annotation> &annotations,
                                        int *warnings)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> breaks;
    for (const sigrok::Annotation &a : annotations) {
        if (a.annotationClass == QLatin1String("rx-break"))
            breaks.emplace_back(a.start, a.end);
    }
    std::vector<std::uint16_t> values;
    for (const sigrok::Annotation &a : annotations) {
        *warnings += a.annotationClass == QLatin1String("rx-warnings");
        if (a.annotationClass != QLatin1String("rx-data") || a.texts.isEmpty())
            continue;
        const bool inBreak = std::any_of(breaks.begin(), breaks.end(), [&](const auto &b) {
            return a.start >= b.first && a.start < b.second;
        });
        bool ok = false;
        const int value = a.texts.front().toInt(&ok, 16);
        if (ok && !inBreak)
            values.push_back(std::uint16_t(value));
    }
    return values;
}

/// The characters sigrok's uart decoder read set against the framing
/// check's \a ours. sigrok's decoder takes each bit late in it; at two or
/// three samples a bit it can misread what the framing check read whole,
/// and then the framing check's reading comes first.
QStringList compareValues(const std::vector<std::uint16_t> &ours, int dataBits,
                          const std::vector<sigrok::Annotation> &annotations)
{
    int warnings = 0;
    const std::vector<std::uint16_t> theirs = sigrokValues(annotations, &warnings);
    const QString unit = dataBits <= 8 ? QStringLiteral("bytes") : QStringLiteral("characters");
    const QString sigrokLine =
        QStringLiteral("sigrok uart decoder: %1 %2%3: \"%4\"")
            .arg(countText(qint64(theirs.size())), unit,
                 warnings > 0 ? QStringLiteral(", %1 warnings").arg(warnings) : QString(),
                 valuesText(theirs, dataBits));
    if (theirs == ours)
        return {sigrokLine};
    const QString ourLine =
        QStringLiteral("read by the framing check, each bit in its middle: "
                       "%1 %2: \"%3\"")
            .arg(countText(qint64(ours.size())), unit, valuesText(ours, dataBits));
    const auto alike = qint64(matchedInOrder(ours, theirs));
    const QString differ = QStringLiteral("sigrok's reading differs from the framing check's: it "
                                          "reads %1 of the %2 %3 framed, and %4 others")
                               .arg(countText(alike), countText(qint64(ours.size())), unit,
                                    countText(qint64(theirs.size()) - alike));
    if (warnings > 0)
        return {ourLine, sigrokLine, differ};
    return {sigrokLine, ourLine, differ};
}

/// The lines both a UART and a LIN bus rest on: the bit, the rate, the frames.
QStringList lineEvidence(const PulseTrain &train, const UartReading &r)
{
    QStringList lines;
    const QString rate = QString::number(r.used, 'f', 0);
    const QString active = r.idleHigh ? QStringLiteral("low") : QStringLiteral("high");
    const QString idle = r.idleHigh ? QStringLiteral("high") : QStringLiteral("low");
    lines << QStringLiteral("bit %1 (%2 samples) from %3 %4 pulses, %5 of them whole bits "
                            "(1 to 10)")
                 .arg(train.durationOfSamples(r.bit), QString::number(r.bit, 'f', 2),
                      countText(r.pulses), active, shareText(r.bitFit(), kConfidenceThreshold));
    if (std::fabs(r.distortion) >= kToldDistortionSamples)
        lines << QStringLiteral("%1 pulses %2 %3 than whole bits and %4 ones as much %5, as a "
                                "slow coupler or receiver moves one kind of edge: the bit taken "
                                "from edge to edge (falling to falling, rising to rising)")
                     .arg(active, train.durationOfSamples(std::fabs(r.distortion)),
                          r.distortion > 0 ? QStringLiteral("shorter") : QStringLiteral("longer"),
                          idle,
                          r.distortion > 0 ? QStringLiteral("longer") : QStringLiteral("shorter"));
    if (r.glitches > 0)
        lines << QStringLiteral("%1 pulses of one sample left out as glitches")
                     .arg(countText(r.glitches));
    if (r.standard)
        lines << QStringLiteral("measured %1 bit/s, %2 from %3")
                     .arg(QString::number(r.measured, 'f', 0),
                          percentText(std::fabs(r.measured - r.used) / r.used, 1), rate);
    else
        lines << QStringLiteral("measured %1 bit/s, no standard rate within %2, so %3 "
                                "frames are needed")
                     .arg(QString::number(r.measured, 'f', 0), percentText(kBitRateSnap),
                          countText(kMinFramesAtOtherRates));
    const UartFraming &f = r.framing;
    lines << QStringLiteral("%1 of %2 frames (%3) with their start and stop bit%4 at %5 "
                            "bit/s, %6")
                 .arg(countText(r.framed), countText(r.frames),
                      shareText(r.framedShare(), kConfidenceThreshold),
                      f.parity == Parity::None
                          ? QString()
                          : QStringLiteral(" and parity bit (%1)").arg(parityName(f.parity)),
                      rate,
                      r.idleHigh ? QStringLiteral("idle high")
                                 : QStringLiteral("idle low (inverted)"));
    if (r.breaks > 0) {
        std::vector<double> lengths;
        for (const UartEvent &e : r.events) {
            if (e.isBreak)
                lengths.push_back(double(e.length));
        }
        std::nth_element(lengths.begin(), lengths.begin() + std::ptrdiff_t(lengths.size() / 2),
                         lengths.end());
        lines << QStringLiteral("%1 %2 (the line held %3 for a frame or longer, %4 the median) "
                                "left out of the frames, as a receiver takes them")
                     .arg(countText(r.breaks),
                          r.breaks == 1 ? QStringLiteral("break") : QStringLiteral("breaks"),
                          active, train.durationOfSamples(lengths[lengths.size() / 2]));
    }
    if (r.falseStarts > 0)
        lines << QStringLiteral("%1 false starts (a start bit gone by its middle) ignored, "
                                "as a receiver does")
                     .arg(countText(r.falseStarts));
    return lines;
}

/// Why the framing is the one it is, where it is not the plainest.
QStringList framingEvidence(const UartReading &r)
{
    QStringList lines;
    const UartFraming &f = r.framing;
    const int bits = f.stopIndex() - 1;
    if (f.parity != Parity::None)
        lines << QStringLiteral("the last of the %1 bits before the stop bit makes the ones %2 "
                                "in every frame framed: a parity bit after %3 data bits")
                     .arg(bits)
                     .arg(parityName(f.parity))
                     .arg(f.dataBits);
    else if (bits < 8)
        lines << QStringLiteral("the stop bit follows %1 data bits: read with more, their top "
                                "bits would always be 1, the stop bit and the idle line")
                     .arg(bits);
    if (f.stopBits == 2)
        lines << QStringLiteral("%1 frames follow the one before one bit after its stop bit, "
                                "and none at once: two stop bits (sigrok's uart decoder checks "
                                "the first)")
                     .arg(countText(r.oneBitApart));
    if (r.varyingBits < kMinVaryingBits)
        lines << QStringLiteral("only %1 of the %2 data bits ever change: pulses that only "
                                "set a bit or two are no serial characters")
                     .arg(r.varyingBits)
                     .arg(f.dataBits);
    if (!r.severalWidths())
        lines << QStringLiteral("only %1 of the %2 %3 pulses are longer than one bit: the marks "
                                "of a pulse code, not characters")
                     .arg(countText(r.multiBitPulses), countText(r.pulses),
                          r.idleHigh ? QStringLiteral("low") : QStringLiteral("high"));
    else if (!r.characterWidths())
        lines << QStringLiteral("of the %1 %2 pulses %3 are one bit long and %4 three bits or "
                                "more: the widths of a pulse code, not of characters")
                     .arg(countText(r.pulses),
                          r.idleHigh ? QStringLiteral("low") : QStringLiteral("high"),
                          countText(r.oneBitPulses), countText(r.longPulses));
    if (r.breaks > kMostBreaksPerCharacter * r.framed)
        lines << QStringLiteral("%1 breaks to %2 characters: more breaks than a serial line "
                                "makes")
                     .arg(countText(r.breaks), countText(r.framed));
    return lines;
}

sigrok::DecoderChoice uartChoice(const UartReading &r)
{
    const UartFraming &f = r.framing;
    sigrok::DecoderChoice uart{QStringLiteral("uart"),
                               {{QStringLiteral("baudrate"), QString::number(r.used, 'f', 0)}}};
    if (f.dataBits != 8)
        uart.settings.append({QStringLiteral("data_bits"), QString::number(f.dataBits)});
    if (f.parity != Parity::None)
        uart.settings.append({QStringLiteral("parity"), parityName(f.parity)});
    uart.settings.append(
        {QStringLiteral("invert_rx"), r.idleHigh ? QStringLiteral("no") : QStringLiteral("yes")});
    return uart;
}

void insertLineFields(TraceDescription &d, const UartReading &r)
{
    d.fields.insert(QStringLiteral("bit_rate"), r.used);
    d.fields.insert(QStringLiteral("measured_bit_rate"), r.measured);
    d.fields.insert(QStringLiteral("idle_high"), r.idleHigh);
    d.fields.insert(QStringLiteral("frame"), r.framing.text());
    d.fields.insert(QStringLiteral("data_bits"), r.framing.dataBits);
    d.fields.insert(QStringLiteral("parity"), r.framing.parity == Parity::None
                                                  ? QStringLiteral("none")
                                                  : parityName(r.framing.parity));
    d.fields.insert(QStringLiteral("stop_bits"), r.framing.stopBits);
    d.fields.insert(QStringLiteral("breaks"), r.breaks);
    d.channel = QStringLiteral("rx");
}

/// "9600 bit/s", "4000 bit/s (not a standard rate)".
QString rateText(const UartReading &r)
{
    return QString::number(r.used, 'f', 0) + QStringLiteral(" bit/s") +
           (r.standard ? QString() : QStringLiteral(" (not a standard rate)"));
}

TraceDescription describeLine(const PulseTrain &train, const UartReading &r)
{
    TraceDescription d;
    d.kind = QStringLiteral("uart");
    d.confidence = r.confidence;
    insertLineFields(d, r);
    d.firstFrameSample = r.firstFramed;
    d.frameSamples = std::llround((1 + r.framing.stopIndex()) * r.usedBit(train));
    d.title =
        QStringLiteral("UART at %1, %2, %3")
            .arg(rateText(r),
                 r.idleHigh ? QStringLiteral("idle high") : QStringLiteral("idle low (inverted)"),
                 r.framing.text());
    d.evidence = lineEvidence(train, r) + framingEvidence(r);
    d.decoders = {uartChoice(r)};
    d.compareWithSigrok = [values = r.values(),
                           bits = r.framing.dataBits](const std::vector<sigrok::Annotation> &a) {
        return compareValues(values, bits, a);
    };
    return d;
}

/// The distinct texts in a row, at most kShownFrames of them, "and N more".
QString framesText(const QStringList &texts)
{
    QStringList distinct;
    for (const QString &text : texts) {
        if (distinct.isEmpty() || distinct.back() != text)
            distinct << text;
    }
    const qint64 more = qint64(distinct.size()) - kShownFrames;
    return distinct.mid(0, kShownFrames).join(QStringLiteral("; ")) +
           (more > 0 ? QStringLiteral("; and %1 more").arg(more) : QString());
}

QStringList compareLin(const QStringList &ours, const std::vector<sigrok::Annotation> &annotations)
{
    QStringList classes;
    QStringList texts;
    for (const sigrok::Annotation &a : annotations) {
        if (a.decoder == QLatin1String("lin") && !a.texts.isEmpty()) {
            classes << a.annotationClass;
            texts << a.texts.front();
        }
    }
    const QStringList theirs = sigrokLinFrames(classes, texts);
    QStringList lines{
        QStringLiteral("sigrok lin decoder: %1 frames%2")
            .arg(countText(theirs.size()),
                 theirs.isEmpty() ? QString() : QStringLiteral(": ") + framesText(theirs))};
    const std::size_t alike = matchedInOrder(std::vector<QString>(ours.begin(), ours.end()),
                                             std::vector<QString>(theirs.begin(), theirs.end()));
    if (alike != std::size_t(ours.size()) || theirs.size() != ours.size())
        lines << QStringLiteral("sigrok's lin reading differs from the framing check's: it "
                                "reads %1 of the %2 frames it gives, and %3 others")
                     .arg(countText(qint64(alike)), countText(ours.size()),
                          countText(theirs.size() - qint64(alike)));
    return lines;
}

/// A LIN bus: a serial line at 8N1 whose breaks each open a frame with the
/// sync byte. nullopt when it is not one.
std::optional<TraceDescription> describeLin(const PulseTrain &train, const UartReading &r)
{
    if (r.breaks == 0 || r.framing.dataBits != 8 || r.framing.parity != Parity::None)
        return std::nullopt;
    const double frameSamples = kLinCharacterBits * r.usedBit(train);
    const std::vector<LinFrame> frames = linFrames(r.events, frameSamples);
    int synced = 0;
    int withResponse = 0;
    int enhanced = 0;
    int classic = 0;
    int parityWrong = 0;
    QStringList texts;
    for (const LinFrame &f : frames) {
        synced += f.synced;
        if (!f.synced)
            continue;
        texts << f.text();
        parityWrong += f.hasId && !f.parityRight();
        if (!f.response.empty()) {
            ++withResponse;
            enhanced += f.checksumRight(true);
            classic += f.checksumRight(false);
        }
    }
    const double syncShare = double(synced) / double(frames.size());
    // The frames' own checks: the identifier's parity bits and the checksum.
    int ids = 0;
    for (const LinFrame &f : frames)
        ids += f.synced && f.hasId;
    const int checks = ids + withResponse;
    const double checked =
        checks > 0 ? double(ids - parityWrong + std::max(enhanced, classic)) / checks : 0;
    if (syncShare < kConfidenceThreshold || checked < kConfidenceThreshold || r.confidence <= 0 ||
        r.bitFit() < kLinLeastBitFit)
        return std::nullopt;
    const bool version1 = classic > enhanced;

    TraceDescription d;
    d.kind = QStringLiteral("lin");
    // A bus of two senders: the pulses' fit to one bit is no measure of it
    // (see kLinLeastBitFit); the framing and the frames' own checks are.
    d.confidence = std::min({r.framedShare(), syncShare, checked});
    insertLineFields(d, r);
    d.fields.insert(QStringLiteral("frames"), qint64(frames.size()));
    d.fields.insert(QStringLiteral("version"), version1 ? 1 : 2);
    d.firstFrameSample = frames.front().start;
    const LinFrame &first = frames.front();
    d.frameSamples =
        std::llround((kLinBreakBits + kLinDelimiterBits +
                      kLinCharacterBits * double(2 + first.hasId + first.response.size())) *
                     r.usedBit(train));
    d.title =
        QStringLiteral("LIN at %1%2")
            .arg(rateText(r), r.idleHigh ? QString() : QStringLiteral(", idle low (inverted)"));
    d.evidence << QStringLiteral("%1 of %2 breaks followed by the sync byte 0x55: %3 frames, %4 "
                                 "with a response")
                      .arg(countText(synced), countText(qint64(frames.size())), countText(synced),
                           countText(withResponse));
    d.evidence << QStringLiteral("frames read: %1").arg(framesText(texts));
    if (withResponse > 0)
        d.evidence << QStringLiteral("checksums right: %1 of %2 %3")
                          .arg(countText(std::max(enhanced, classic)), countText(withResponse),
                               version1 ? QStringLiteral("classic (over the data: LIN 1)")
                                        : QStringLiteral("enhanced (over the identifier and the "
                                                         "data: LIN 2)"));
    if (parityWrong > 0)
        d.evidence << QStringLiteral("identifier parity wrong in %1 frames").arg(parityWrong);
    d.evidence << lineEvidence(train, r);
    sigrok::DecoderChoice lin{QStringLiteral("lin"), {}};
    if (version1)
        lin.settings.append({QStringLiteral("version"), QStringLiteral("1")});
    d.decoders = {uartChoice(r), lin};
    d.compareWithSigrok = [texts](const std::vector<sigrok::Annotation> &a) {
        return compareLin(texts, a);
    };
    return d;
}

} // namespace

std::optional<TraceDescription> describeUart(const PulseTrain &train)
{
    std::optional<UartReading> best;
    for (const bool idleHigh : {true, false}) {
        std::optional<UartReading> r = readUart(train, idleHigh);
        // Of two readings, the line rests longer at the idle level of the right one.
        if (r &&
            (!best || r->confidence > best->confidence ||
             (r->confidence == best->confidence && r->longIdleSamples > best->longIdleSamples)))
            best = std::move(r);
    }
    if (!best)
        return std::nullopt;
    if (std::optional<TraceDescription> lin = describeLin(train, *best))
        return lin;
    return describeLine(train, *best);
}

} // namespace wavemill::detect
