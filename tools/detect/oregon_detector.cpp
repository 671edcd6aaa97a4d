// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/oregon_detector.h"

#include "detect/biphase.h"
#include "detect/bursts.h"
#include "detect/in_order.h"
#include "detect/measure_text.h"
#include "detect/sigrok_reading.h"

#include <cmath>
#include <vector>

namespace wavemill::detect {

namespace {

/// Half a bit at 1024 bit/s.
constexpr double kUnitUs = 1e6 / 1024 / 2;
constexpr double kClockTolerance = 0.15;
/// A stretch of idle level of four half-bits ends a message: within one a
/// level lasts at most two.
constexpr double kGapUnits = 4;
/// A burst holds a message when it opens with this many runs of one
/// half-bit in a row (a preamble of ones), or two half-bits (2.1's).
constexpr int kPreambleRuns = 8;
/// Ones before the sync nibble: protocol 3 sends 24, 2.1 sixteen (as 32 bits).
constexpr int kMinPreambleOnes = 12;
/// The sync nibble 0xA, least significant bit first, and as 2.1 sends it.
constexpr const char *kSync3 = "0101";
constexpr const char *kSync21 = "10011001";
/// Nibbles of the sensor id, channel, rolling code and flags.
constexpr int kHeaderNibbles = 8;
/// The longest message after the sync: the sensors send 19 to 26 nibbles
/// with their checksum and CRC, and a receiver may pass a few of the
/// postamble; a longer stretch of bi-phase is no message, and a checksum
/// looked for along it would match somewhere by chance.
constexpr int kLongestMessageNibbles = 40;
constexpr int kShownMessages = 4;

struct Message
{
    QString version;
    std::vector<int> nibbles;
    int checksumAt = -1; // the nibble the checksum starts at; -1 none matched
    std::int64_t start = 0;

    QString sensor() const
    {
        QString id;
        for (int k = 0; k < 4 && k < int(nibbles.size()); ++k)
            id += QString::number(nibbles[std::size_t(k)], 16).toUpper();
        return id;
    }
};

struct Reading
{
    bool idleHigh = false;
    BiphaseClock clock;
    BurstTally tally;
    std::vector<Message> messages;
};

/// The bits of a burst's half-bits, a bit a pair, 1 when its first half is
/// the carrier's level; the pairs are aligned on the first run of two
/// half-bits, which always spans the edge between two bits.
QString manchesterBits(std::vector<bool> halves, bool carrierHigh)
{
    std::size_t offset = 0;
    for (std::size_t i = 0; i + 1 < halves.size(); ++i) {
        if (halves[i] == halves[i + 1]) {
            offset = i % 2 == 0 ? 1 : 0;
            break;
        }
    }
    // A first half at the idle level ran into the idle before the burst.
    if (offset == 1)
        halves.insert(halves.begin(), !carrierHigh);
    if (halves.size() % 2 == 1)
        halves.push_back(!carrierHigh);
    QString bits;
    for (std::size_t k = 0; k + 1 < halves.size(); k += 2)
        bits += halves[k] == halves[k + 1] ? QLatin1Char('E')
                                           : QLatin1Char(halves[k] == carrierHigh ? '1' : '0');
    return bits;
}

/// The nibbles of \a bits after the sync, least significant bit first;
/// empty when a bit is damaged before the last whole nibble.
std::vector<int> nibblesOf(const QString &bits)
{
    std::vector<int> nibbles;
    for (qsizetype at = 0; at + 4 <= bits.size(); at += 4) {
        int value = 0;
        for (int k = 0; k < 4; ++k) {
            const QChar bit = bits[at + k];
            if (bit == QLatin1Char('E'))
                return nibbles;
            value |= int(bit == QLatin1Char('1')) << k;
        }
        nibbles.push_back(value);
    }
    return nibbles;
}

/// The message in a burst's bits, protocol 3 or 2.1; no version when none.
Message messageOf(const QString &bits)
{
    Message m;
    const QString ones(kMinPreambleOnes, QLatin1Char('1'));
    const qsizetype sync3 = bits.indexOf(ones + QLatin1String(kSync3));
    QString twice;
    for (int k = 0; k < kMinPreambleOnes; ++k)
        twice += QStringLiteral("01");
    const qsizetype sync21 = bits.indexOf(twice + QLatin1String(kSync21));
    QString data;
    if (sync21 >= 0) {
        m.version = QStringLiteral("2.1");
        // Every bit sent twice, inverted first: the second of each pair.
        const QString pairs = bits.mid(sync21 + twice.size() + qsizetype(qstrlen(kSync21)));
        for (qsizetype at = 0; at + 1 < pairs.size(); at += 2)
            data += pairs[at] != pairs[at + 1] && pairs[at] != QLatin1Char('E') ? pairs[at + 1]
                                                                                : QLatin1Char('E');
    } else if (sync3 >= 0) {
        m.version = QStringLiteral("3");
        data = bits.mid(sync3 + ones.size() + qsizetype(qstrlen(kSync3)));
    } else {
        return m;
    }
    m.nibbles = nibblesOf(data);
    // The checksum: the nibbles before it summed, carried round at 255, in
    // the two nibbles after them (low first); 2.1's counts the sync nibble
    // (0xA) out.
    int sum = 0;
    const int offset = m.version == QLatin1String("2.1") ? -10 : 0;
    for (int n = 0; n + 1 < int(m.nibbles.size()); ++n) {
        if (n >= kHeaderNibbles &&
            sum + offset == m.nibbles[std::size_t(n) + 1] * 16 + m.nibbles[std::size_t(n)]) {
            m.checksumAt = n;
            break;
        }
        sum += m.nibbles[std::size_t(n)];
        if (sum > 255)
            sum -= 255;
    }
    return m;
}

/// Where the preamble in a span begins: the first of kPreambleRuns runs of
/// one half-bit (protocol 3) or of two (2.1) in a row. The pulses before it
/// are a receiver settling, and are left out. nullopt without one.
std::optional<std::size_t> preambleStart(const PulseTrain &train, const RunSpan &span,
                                         const BiphaseClock &clock)
{
    const std::vector<Run> &runs = train.runs();
    for (const double units : {1.0, 2.0}) {
        int row = 0;
        for (std::size_t i = span.first; i < span.end; ++i) {
            const double length =
                double(runs[i].length) + (runs[i].high ? -clock.skew : clock.skew);
            row = std::fabs(length - units * clock.unit) <= 0.3 * clock.unit + 1 ? row + 1 : 0;
            if (row < kPreambleRuns)
                continue;
            // It opens at the carrier's level, as the span does.
            const std::size_t start = i + 1 - std::size_t(row);
            return runs[start].high == runs[span.first].high ? start : start + 1;
        }
    }
    return std::nullopt;
}

Reading read(const PulseTrain &train, bool idleHigh)
{
    Reading r;
    r.idleHigh = idleHigh;
    const double unit = train.toSamples(kUnitUs);
    const std::vector<RunSpan> spans = splitAtIdle(train, idleHigh, kGapUnits * unit);
    const std::optional<BiphaseClock> clock = measureBiphaseClock(train, spans, unit);
    if (!clock || std::fabs(clock->unit / unit - 1) > kClockTolerance)
        return r;
    r.clock = *clock;
    for (const RunSpan &span : spans) {
        const std::optional<std::size_t> from = preambleStart(train, span, *clock);
        if (!from) {
            ++r.tally.strays;
            continue;
        }
        const std::optional<std::vector<bool>> halves =
            biphaseHalves(train, {*from, span.end, span.cut}, *clock);
        Message m = halves ? messageOf(manchesterBits(*halves, !idleHigh)) : Message{};
        const bool whole = !m.version.isEmpty() && int(m.nibbles.size()) > kHeaderNibbles &&
                           int(m.nibbles.size()) <= kLongestMessageNibbles;
        if (span.cut && !whole) {
            ++r.tally.cut;
            continue;
        }
        ++r.tally.bursts;
        if (!whole)
            continue;
        ++r.tally.read;
        ++r.tally.checks;
        r.tally.passed += m.checksumAt >= 0;
        m.start = train.runs()[*from].start;
        r.messages.push_back(std::move(m));
    }
    return r;
}

QString messageText(const Message &m)
{
    QString nibbles;
    for (const int n : m.nibbles)
        nibbles += QString::number(n, 16).toUpper();
    return QStringLiteral("sensor %1, channel %2, rolling code %3, nibbles %4, %5")
        .arg(m.sensor(), QString::number(m.nibbles[4], 16).toUpper(),
             QString::number(m.nibbles[5], 16).toUpper() +
                 QString::number(m.nibbles[6], 16).toUpper(),
             nibbles.mid(kHeaderNibbles),
             m.checksumAt >= 0 ? QStringLiteral("checksum right (nibbles %1 and %2)")
                                     .arg(m.checksumAt)
                                     .arg(m.checksumAt + 1)
                               : QStringLiteral("no checksum matches"));
}

QStringList compare(const QStringList &ours, const std::vector<sigrok::Annotation> &annotations)
{
    QStringList theirs;
    for (const QString &text :
         annotationTexts(annotations, QStringLiteral("ook_oregon"), {QStringLiteral("field")})) {
        if (text.startsWith(QLatin1String("SensorID: ")))
            theirs << text.mid(10).toUpper();
    }
    // The readings a message at a time: they open with the sensor's name.
    QStringList readings;
    for (const sigrok::Annotation &a : annotations) {
        if (a.decoder != QLatin1String("ook_oregon") || a.annotationClass != QLatin1String("l2") ||
            a.texts.isEmpty())
            continue;
        if (a.texts.front().contains(QLatin1String(" - ")) || readings.isEmpty())
            readings << a.texts.front().trimmed();
        else
            readings.back() += QStringLiteral(", ") + a.texts.front().trimmed();
    }
    QStringList lines{
        QStringLiteral("sigrok ook and ook_oregon decoders: %1 %2%3")
            .arg(countText(theirs.size()),
                 theirs.size() == 1 ? QStringLiteral("message") : QStringLiteral("messages"),
                 readings.isEmpty()
                     ? QString()
                     : QStringLiteral(": ") + runTogether(readings, kShownMessages))};
    const std::vector<QString> given(ours.begin(), ours.end());
    const std::vector<QString> read(theirs.begin(), theirs.end());
    const QString differ = framesDiffer(QStringLiteral("ook_oregon"), QStringLiteral("messages"),
                                        matchedInOrder(given, read), given.size(), read.size());
    if (!differ.isEmpty())
        lines << differ;
    return lines;
}

} // namespace

std::optional<TraceDescription> describeOregon(const PulseTrain &train)
{
    std::optional<Reading> best;
    for (const bool idleHigh : {false, true}) {
        keepBetter(best, read(train, idleHigh));
    }
    if (!best)
        return std::nullopt;
    const Reading &r = *best;
    const Message &first = r.messages.front();

    TraceDescription d;
    d.kind = QStringLiteral("oregon");
    d.confidence = r.tally.confidence();
    QStringList sensors;
    QStringList texts;
    int right = 0;
    for (const Message &m : r.messages) {
        if (!sensors.contains(m.sensor()))
            sensors << m.sensor();
        texts << messageText(m);
        right += m.checksumAt >= 0;
    }
    d.title =
        QStringLiteral("433 MHz weather sensor, Oregon Scientific protocol %1%2: sensor %3, "
                       "%4 %5")
            .arg(first.version, r.idleHigh ? QStringLiteral(" (inverted)") : QString(),
                 sensors.join(QStringLiteral(" and ")))
            .arg(r.messages.size())
            .arg(r.messages.size() == 1 ? QStringLiteral("message") : QStringLiteral("messages"));
    d.evidence << r.tally.line(QStringLiteral("Oregon messages"));
    d.evidence << QStringLiteral("bi-phase, half-bit %1 (%2 samples), %3 from 1024 bit/s's %4%5; "
                                 "a preamble of ones and the sync nibble 0xA before each")
                      .arg(train.durationOfSamples(r.clock.unit),
                           QString::number(r.clock.unit, 'f', 2),
                           percentText(std::fabs(train.toUs(r.clock.unit) / kUnitUs - 1), 1),
                           microsecondsText(kUnitUs),
                           std::fabs(r.clock.skew) >= 1
                               ? QStringLiteral(
                                     "; the receiver's highs %1 %2 than its lows, set back")
                                     .arg(train.durationOfSamples(std::fabs(2 * r.clock.skew)),
                                          r.clock.skew > 0 ? QStringLiteral("longer")
                                                           : QStringLiteral("shorter"))
                               : QString());
    d.evidence << QStringLiteral("%1 of %2 messages with a checksum that matches")
                      .arg(right)
                      .arg(r.messages.size());
    d.evidence
        << QStringLiteral("read from the timings: %1").arg(runTogether(texts, kShownMessages));
    d.fields.insert(QStringLiteral("protocol"), first.version);
    d.fields.insert(QStringLiteral("sensors"), sensors.join(QLatin1Char(',')));
    d.fields.insert(QStringLiteral("messages"), qint64(r.messages.size()));
    d.firstFrameSample = first.start;
    d.frameSamples = std::llround(2 * r.clock.unit *
                                  (2.0 * kMinPreambleOnes + 4.0 * double(first.nibbles.size())));
    d.decoders = {
        {QStringLiteral("ook"),
         {{QStringLiteral("invert"), r.idleHigh ? QStringLiteral("yes") : QStringLiteral("no")}}},
        {QStringLiteral("ook_oregon"), {}}};
    d.channel = QStringLiteral("data");
    QStringList ids;
    for (const Message &m : r.messages)
        ids << m.sensor();
    d.compareWithSigrok = [ids](const std::vector<sigrok::Annotation> &a) {
        return compare(ids, a);
    };
    return d;
}

} // namespace wavemill::detect
