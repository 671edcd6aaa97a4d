// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/cec_detector.h"

#include "detect/bursts.h"
#include "detect/in_order.h"
#include "detect/measure_text.h"
#include "detect/sigrok_reading.h"

#include <array>
#include <utility>
#include <vector>

namespace wavemill::detect {

namespace {

/// The bit windows of the CEC standard, in microseconds: a start bit
/// low 3.5 to 3.9 ms of 4.3 to 4.7 ms; a data bit 2.05 to 2.75 ms, low
/// 1.3 to 1.7 ms for a 0 and 0.4 to 0.8 ms for a 1. A sample either side is
/// allowed too.
constexpr double kStartLowMin = 3500, kStartLowMax = 3900;
constexpr double kStartMin = 4300, kStartMax = 4700;
constexpr double kBitMin = 2050, kBitMax = 2750;
constexpr double kZeroLowMin = 1300, kZeroLowMax = 1700;
constexpr double kOneLowMin = 400, kOneLowMax = 800;
/// Bits a block: eight data bits, end of message, acknowledge.
constexpr int kBlockBits = 10;
constexpr int kBroadcast = 15;
/// Messages shown before "and N more".
constexpr int kShownMessages = 8;

/// The logical addresses of the CEC standard.
constexpr std::array<const char *, 16> kAddresses{
    "TV",       "Recording 1", "Recording 2",  "Tuner 1",     "Playback 1", "Audio system",
    "Tuner 2",  "Tuner 3",     "Playback 2",   "Recording 3", "Tuner 4",    "Playback 3",
    "Backup 1", "Backup 2",    "Specific use", "Broadcast"};

/// The opcodes met most often, by the names the CEC standard gives them.
constexpr std::array<std::pair<int, const char *>, 34> kOpcodes{{
    {0x00, "Feature Abort"},
    {0x04, "Image View On"},
    {0x0D, "Text View On"},
    {0x32, "Set Menu Language"},
    {0x36, "Standby"},
    {0x44, "User Control Pressed"},
    {0x45, "User Control Released"},
    {0x46, "Give OSD Name"},
    {0x47, "Set OSD Name"},
    {0x70, "System Audio Mode Request"},
    {0x71, "Give Audio Status"},
    {0x72, "Set System Audio Mode"},
    {0x7A, "Report Audio Status"},
    {0x7D, "Give System Audio Mode Status"},
    {0x7E, "System Audio Mode Status"},
    {0x80, "Routing Change"},
    {0x81, "Routing Information"},
    {0x82, "Active Source"},
    {0x83, "Give Physical Address"},
    {0x84, "Report Physical Address"},
    {0x85, "Request Active Source"},
    {0x86, "Set Stream Path"},
    {0x87, "Device Vendor ID"},
    {0x89, "Vendor Command"},
    {0x8C, "Give Device Vendor ID"},
    {0x8E, "Menu Status"},
    {0x8F, "Give Device Power Status"},
    {0x90, "Report Power Status"},
    {0x91, "Get Menu Language"},
    {0x9D, "Inactive Source"},
    {0x9E, "CEC Version"},
    {0x9F, "Get CEC Version"},
    {0xA0, "Vendor Command With ID"},
    {0xFF, "Abort"},
}};

struct Message
{
    std::vector<int> bytes;
    bool acknowledged = true;
    std::int64_t start = 0;
};

struct Reading
{
    bool idleHigh = true;
    BurstTally tally;
    std::vector<Message> messages;
};

enum class Pulse { Other, Start, Zero, One };

/// What a low pulse of \a lowUs in a cycle of \a cycleUs (to the next
/// falling edge; 0 when the line idles after it) is.
Pulse pulseOf(double lowUs, double cycleUs, double slackUs)
{
    const auto within = [slackUs](double v, double low, double high) {
        return v >= low - slackUs && v <= high + slackUs;
    };
    if (within(lowUs, kStartLowMin, kStartLowMax))
        return cycleUs == 0 || within(cycleUs, kStartMin, kStartMax) ? Pulse::Start : Pulse::Other;
    if (cycleUs != 0 && !within(cycleUs, kBitMin, kBitMax))
        return Pulse::Other;
    if (within(lowUs, kZeroLowMin, kZeroLowMax))
        return Pulse::Zero;
    if (within(lowUs, kOneLowMin, kOneLowMax))
        return Pulse::One;
    return Pulse::Other;
}

Reading read(const PulseTrain &train, bool idleHigh)
{
    Reading r;
    r.idleHigh = idleHigh;
    const std::vector<Run> &runs = train.runs();
    const double slack = train.toUs(1);
    Message current;
    std::vector<int> bits;
    bool inMessage = false;
    bool damaged = false; // a pulse that is no bit
    // A message ends after a block whose end-of-message bit is set, or that
    // is not acknowledged; one the recording's end cuts before that is left out.
    const auto finish = [&](bool atEnd) {
        if (!inMessage)
            return;
        inMessage = false;
        current.bytes.clear();
        bool ended = false;
        bool whole = !damaged && !bits.empty() && bits.size() % kBlockBits == 0;
        for (std::size_t block = 0; whole && block * kBlockBits < bits.size(); ++block) {
            int value = 0;
            for (std::size_t k = 0; k < 8; ++k)
                value = value << 1 | bits[block * kBlockBits + k];
            current.bytes.push_back(value);
            const bool eom = bits[block * kBlockBits + 8] != 0;
            const bool ack = bits[block * kBlockBits + 9] != 0;
            // A broadcast is acknowledged by no one pulling the bit low.
            const bool broadcast = (current.bytes.front() & 0x0F) == kBroadcast;
            current.acknowledged = broadcast ? ack : !ack;
            whole = !ended; // no block after the end of the message
            ended = eom || !current.acknowledged;
        }
        whole = whole && ended;
        if (atEnd && !whole) {
            ++r.tally.cut;
            return;
        }
        ++r.tally.bursts;
        if (!whole)
            return;
        ++r.tally.read;
        r.messages.push_back(current);
    };
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        if (runs[i].high == idleHigh)
            continue;
        const double low = train.toUs(double(runs[i].length));
        const bool idleAfter =
            i + 2 >= runs.size() || train.toUs(double(runs[i + 1].length)) > kBitMax + slack;
        const double cycle = idleAfter ? 0 : low + train.toUs(double(runs[i + 1].length));
        const Pulse pulse = pulseOf(low, cycle, slack);
        if (pulse == Pulse::Start) {
            finish(false);
            inMessage = true;
            damaged = false;
            bits.clear();
            current = Message{};
            current.start = runs[i].start;
        } else if (inMessage) {
            damaged = damaged || pulse == Pulse::Other;
            bits.push_back(pulse == Pulse::One ? 1 : 0);
        } else {
            ++r.tally.strays;
        }
        if (idleAfter && i + 2 < runs.size())
            finish(false);
    }
    finish(true);
    return r;
}

QString addressText(int address)
{
    return QLatin1String(kAddresses[std::size_t(address & 0x0F)]);
}

QString messageText(const Message &m)
{
    QString text =
        QStringLiteral("%1 → %2: ").arg(addressText(m.bytes[0] >> 4), addressText(m.bytes[0]));
    if (m.bytes.size() == 1) {
        text += QStringLiteral("poll");
    } else {
        const int opcode = m.bytes[1];
        QString name = hexText(std::uint32_t(opcode), 2);
        for (const auto &[code, opcodeName] : kOpcodes) {
            if (code == opcode)
                name = QLatin1String(opcodeName);
        }
        text += name;
        QStringList operands;
        for (std::size_t k = 2; k < m.bytes.size(); ++k)
            operands << hexText(std::uint32_t(m.bytes[k]), 2).mid(2);
        if (!operands.isEmpty())
            text += QStringLiteral(" [%1]").arg(operands.join(QLatin1Char(' ')));
    }
    if (!m.acknowledged)
        text += QStringLiteral(" (not acknowledged)");
    return text;
}

/// sigrok's messages: its frames row, bytes in hexadecimal joined by colons.
QStringList compare(const std::vector<std::vector<int>> &ours,
                    const std::vector<sigrok::Annotation> &annotations)
{
    std::vector<std::vector<int>> theirs;
    for (const QString &text :
         annotationTexts(annotations, QStringLiteral("cec"), {QStringLiteral("frames")})) {
        std::vector<int> bytes;
        for (const QString &byte : text.split(QLatin1Char(':')))
            bytes.push_back(byte.toInt(nullptr, 16));
        theirs.push_back(bytes);
    }
    QStringList sections =
        annotationTexts(annotations, QStringLiteral("cec"), {QStringLiteral("sections")});
    QStringList lines{QStringLiteral("sigrok cec decoder: %1 messages%2")
                          .arg(countText(qint64(theirs.size())),
                               sections.isEmpty()
                                   ? QString()
                                   : QStringLiteral(": ") + runTogether(sections, kShownMessages))};
    const QString differ = framesDiffer(QStringLiteral("cec"), QStringLiteral("messages"),
                                        matchedInOrder(ours, theirs), ours.size(), theirs.size());
    if (!differ.isEmpty())
        lines << differ;
    return lines;
}

} // namespace

std::optional<TraceDescription> describeCec(const PulseTrain &train)
{
    std::optional<Reading> best;
    for (const bool idleHigh : {true, false}) {
        keepBetter(best, read(train, idleHigh));
    }
    if (!best)
        return std::nullopt;
    const Reading &r = *best;

    TraceDescription d;
    d.kind = QStringLiteral("cec");
    d.confidence = r.tally.confidence();
    QStringList texts;
    QStringList parties;
    std::vector<std::vector<int>> bytes;
    int polls = 0;
    for (const Message &m : r.messages) {
        texts << messageText(m);
        polls += m.bytes.size() == 1;
        for (const int address : {m.bytes[0] >> 4, m.bytes[0] & 0x0F}) {
            if (!parties.contains(addressText(address)))
                parties << addressText(address);
        }
        bytes.push_back(m.bytes);
    }
    d.title = QStringLiteral("HDMI-CEC%1: %2 messages between %3")
                  .arg(r.idleHigh ? QString() : QStringLiteral(", idle low (inverted)"))
                  .arg(r.messages.size())
                  .arg(parties.join(QStringLiteral(", ")));
    d.evidence << r.tally.line(QStringLiteral("CEC messages"));
    d.evidence << QStringLiteral("start bits of 3.7 ms low in 4.5 ms, bits of 2.4 ms low 0.6 ms "
                                 "(1) or 1.5 ms (0), each within the standard's windows; "
                                 "%1 of the messages polls (a header alone)")
                      .arg(polls);
    d.evidence << QStringLiteral("messages read from the timings: %1")
                      .arg(runTogether(texts, kShownMessages));
    d.fields.insert(QStringLiteral("messages"), qint64(r.messages.size()));
    d.fields.insert(QStringLiteral("idle_high"), r.idleHigh);
    d.firstFrameSample = r.messages.front().start;
    d.frameSamples = std::llround(train.toSamples(kStartMax + kBlockBits * kBitMax * 2));
    if (!r.idleHigh) {
        d.evidence << QStringLiteral("sigrok's cec decoder reads a bus that idles high only: not "
                                     "run on this inverted one");
        return d;
    }
    d.decoders = {{QStringLiteral("cec"), {}}};
    d.channel = QStringLiteral("cec");
    d.compareWithSigrok = [bytes](const std::vector<sigrok::Annotation> &a) {
        return compare(bytes, a);
    };
    return d;
}

} // namespace wavemill::detect
