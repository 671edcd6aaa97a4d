// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/qi_detector.h"

#include "detect/bursts.h"
#include "detect/in_order.h"
#include "detect/measure_text.h"
#include "detect/sigrok_reading.h"

#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace wavemill::detect {

namespace {

/// Half a bit at 2 kbit/s, and how far a run may be from a whole number of
/// them (sigrok's qi decoder allows a quarter).
constexpr double kUnitUs = 250;
constexpr double kUnitTolerance = 0.25;
/// Ones a preamble holds at least: the standard asks for 11, of which
/// a receiver may lose a few while it settles.
constexpr int kMinPreambleOnes = 6;
/// Bits a byte: start, 8 data, parity, stop.
constexpr int kByteBits = 11;
constexpr int kShownPackets = 6;

/// The packet types of the Qi standard most receivers send.
constexpr std::array<std::pair<int, const char *>, 9> kPackets{{
    {0x01, "Signal Strength"},
    {0x02, "End Power Transfer"},
    {0x03, "Control Error"},
    {0x04, "Received Power"},
    {0x05, "Charge Status"},
    {0x06, "Power Control Hold-off"},
    {0x51, "Configuration"},
    {0x71, "Identification"},
    {0x81, "Extended Identification"},
}};

/// Bytes of message after a header, from the header's value.
int messageLength(int header)
{
    if (header < 0x20)
        return 1;
    if (header < 0x80)
        return 2 + (header - 0x20) / 16;
    if (header < 0xE0)
        return 8 + (header - 0x80) / 8;
    return 20 + (header - 0xE0) / 4;
}

QString packetName(int header)
{
    for (const auto &[code, name] : kPackets) {
        if (code == header)
            return QLatin1String(name);
    }
    return QStringLiteral("packet %1").arg(hexText(std::uint32_t(header), 2));
}

struct Packet
{
    std::vector<int> bytes; // header, message, checksum
    bool checksumRight = false;
    std::int64_t start = 0;

    QString text() const
    {
        QString t = packetName(bytes.front());
        if (bytes.size() == 3)
            // A control error is signed.
            t += QStringLiteral(": %1").arg(bytes.front() == 0x03 && bytes[1] > 127 ? bytes[1] - 256
                                                                                    : bytes[1]);
        else
            t += QStringLiteral(" (%1 bytes)").arg(bytes.size() - 2);
        return t;
    }
};

struct Reading
{
    double unit = 0;
    BurstTally tally;
    std::vector<Packet> packets;
};

/// A run as whole half-bits, 1 or 2; 0 when it is neither.
int unitsOf(const Run &run, double unit)
{
    const double units = std::round(double(run.length) / unit);
    if (units < 1 || units > 2 ||
        std::fabs(double(run.length) - units * unit) > kUnitTolerance * unit + 1)
        return 0;
    return int(units);
}

/// Reads bits from runs[i] on: a run of two half-bits is a 0, two runs of
/// one a 1; -1 at a run that is neither, or a 1 cut in its middle. The
/// packet's \a last bit, a stop bit, may have its second half run into the
/// quiet after the packet.
int nextBit(const std::vector<int> &units, std::size_t &i, bool last)
{
    if (i >= units.size() || units[i] == 0)
        return -1;
    if (units[i] == 2) {
        ++i;
        return 0;
    }
    if (i + 1 >= units.size() || units[i + 1] != 1) {
        if (!last)
            return -1;
        ++i;
        return 1;
    }
    i += 2;
    return 1;
}

Reading read(const PulseTrain &train)
{
    Reading r;
    const std::vector<Run> &runs = train.runs();
    // The half-bit from the runs near one nominal half-bit.
    const double nominal = train.toSamples(kUnitUs);
    double sum = 0;
    int count = 0;
    for (const Run &run : runs) {
        if (double(run.length) > 0.75 * nominal && double(run.length) < 1.25 * nominal) {
            sum += double(run.length);
            ++count;
        }
    }
    if (count == 0)
        return r;
    r.unit = sum / count;
    std::vector<int> units;
    units.reserve(runs.size());
    for (const Run &run : runs)
        units.push_back(unitsOf(run, r.unit));
    units.front() = 0; // the recording's first and last runs are cut
    units.back() = 0;

    std::size_t i = 1;
    while (i < units.size()) {
        // A preamble: runs of one half-bit, then the start bit's two.
        std::size_t ones = 0;
        while (i < units.size() && units[i] == 1) {
            ++ones;
            ++i;
        }
        if (i >= units.size() || units[i] != 2 || int(ones / 2) < kMinPreambleOnes) {
            ++i;
            continue;
        }
        Packet p;
        p.start = runs[i - 2 * (ones / 2)].start;
        bool whole = true;
        std::size_t expected = 1;
        while (whole && p.bytes.size() < expected + 2) {
            std::array<int, kByteBits> bits{};
            const bool lastByte = p.bytes.size() + 1 == expected + 2;
            for (std::size_t k = 0; k < bits.size(); ++k) {
                bits[k] = nextBit(units, i, lastByte && k + 1 == bits.size());
                whole = whole && bits[k] >= 0;
            }
            if (!whole)
                break;
            int value = 0;
            int parity = 1;
            for (int k = 0; k < 8; ++k) {
                value |= bits[std::size_t(k) + 1] << k;
                parity ^= bits[std::size_t(k) + 1];
            }
            whole = whole && bits[0] == 0 && bits[9] == parity && bits[10] == 1;
            p.bytes.push_back(value);
            if (p.bytes.size() == 1)
                expected = std::size_t(messageLength(value));
        }
        // A packet the recording's end cuts is left out.
        if (!whole && i + 1 >= units.size()) {
            ++r.tally.cut;
            continue;
        }
        ++r.tally.bursts;
        if (!whole)
            continue;
        int check = 0;
        for (std::size_t k = 0; k + 1 < p.bytes.size(); ++k)
            check ^= p.bytes[k];
        p.checksumRight = check == p.bytes.back();
        ++r.tally.read;
        ++r.tally.checks;
        r.tally.passed += p.checksumRight;
        r.packets.push_back(std::move(p));
    }
    return r;
}

QStringList compare(const QStringList &ours, const std::vector<sigrok::Annotation> &annotations)
{
    const QStringList theirs =
        annotationTexts(annotations, QStringLiteral("qi"), {QStringLiteral("packets-data")});
    QStringList lines{QStringLiteral("sigrok qi decoder: %1 packets%2")
                          .arg(countText(theirs.size()),
                               theirs.isEmpty()
                                   ? QString()
                                   : QStringLiteral(": ") + runTogether(theirs, kShownPackets))};
    // sigrok names the same packets, or calls the others proprietary or unknown.
    const auto names = [](const QStringList &texts) {
        std::vector<QString> out;
        for (const QString &text : texts) {
            const QString name =
                text.section(QLatin1Char(':'), 0, 0).section(QLatin1String(" ("), 0, 0);
            out.push_back(name.startsWith(QLatin1String("packet ")) ||
                                  name == QLatin1String("Proprietary") ||
                                  name == QLatin1String("Unknown")
                              ? QStringLiteral("other")
                              : name);
        }
        return out;
    };
    const std::vector<QString> given = names(ours);
    const std::vector<QString> read = names(theirs);
    const QString differ = framesDiffer(QStringLiteral("qi"), QStringLiteral("packets"),
                                        matchedInOrder(given, read), given.size(), read.size());
    if (!differ.isEmpty())
        lines << differ;
    return lines;
}

} // namespace

std::optional<TraceDescription> describeQi(const PulseTrain &train)
{
    const Reading r = read(train);
    if (r.packets.empty())
        return std::nullopt;

    TraceDescription d;
    d.kind = QStringLiteral("qi");
    d.confidence = r.tally.confidence();
    std::map<QString, int> byName;
    QStringList texts;
    int right = 0;
    for (const Packet &p : r.packets) {
        ++byName[packetName(p.bytes.front())];
        texts << p.text();
        right += p.checksumRight;
    }
    QStringList kinds;
    for (const auto &[name, count] : byName)
        kinds << QStringLiteral("%1 ×%2").arg(name).arg(count);
    d.title = QStringLiteral("Qi wireless-charging receiver: %1 packets (%2)")
                  .arg(r.packets.size())
                  .arg(kinds.join(QStringLiteral(", ")));
    d.evidence << r.tally.line(QStringLiteral("Qi packets"));
    d.evidence << QStringLiteral(
                      "differential bi-phase, half-bit %1 (%2 samples), %3 from 2 kbit/s's "
                      "%4; bytes framed by start, odd parity and stop bits")
                      .arg(train.durationOfSamples(r.unit), QString::number(r.unit, 'f', 2),
                           percentText(std::fabs(train.toUs(r.unit) / kUnitUs - 1), 1),
                           microsecondsText(kUnitUs));
    d.evidence << QStringLiteral("%1 of %2 packets with their checksum right")
                      .arg(right)
                      .arg(r.packets.size());
    d.evidence
        << QStringLiteral("read from the timings: %1").arg(runTogether(texts, kShownPackets));
    d.fields.insert(QStringLiteral("packets"), qint64(r.packets.size()));
    d.firstFrameSample = r.packets.front().start;
    d.frameSamples =
        std::llround(r.unit * 2 * double(kByteBits * r.packets.front().bytes.size() + 11));
    d.decoders = {{QStringLiteral("qi"), {}}};
    d.channel = QStringLiteral("qi");
    d.compareWithSigrok = [texts](const std::vector<sigrok::Annotation> &a) {
        return compare(texts, a);
    };
    return d;
}

} // namespace wavemill::detect
