// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/em4100_detector.h"

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

/// The reader's carrier, 125 kHz: 8 µs a cycle. A tag sends a bit every
/// 64, 32 or 16 cycles of it.
constexpr double kCarrierCycleUs = 8;
constexpr double kCarrierHz = 125000;
constexpr std::array<int, 3> kDividers{64, 32, 16};
/// Runs within a quarter of one or two nominal half-bits measure the clock;
/// a run is then a whole number of half-bits within 30 % of one and a sample
/// (the sampling alone may add or take one).
constexpr double kMeasureWindow = 0.25;
constexpr double kUnitTolerance = 0.30;
constexpr double kSlackSamples = 1.0;
/// Fewest runs a clock is measured from: a few frames' worth.
constexpr int kMinClockRuns = 64;
/// The frame: 9 ones, 10 rows of 4 bits and a parity bit, 4 column
/// parities and a stop bit.
constexpr int kHeaderOnes = 9;
constexpr int kRows = 10;
constexpr int kRowBits = 4;
constexpr int kFrameBits = 64;
constexpr int kShownTags = 4;

/// One bit of the stream and the sample it starts at; -1 where the stream
/// is broken (a run of neither one nor two half-bits, or two halves alike).
struct Bit
{
    int value;
    std::int64_t start;
};

struct Frame
{
    std::uint64_t tag = 0; // the customer byte, then the ID: 40 bits
    std::int64_t start = 0;
};

struct Reading
{
    int divider = 0;
    bool oneHighFirst = true;
    double unit = 0;
    BurstTally tally;
    int broken = 0;   // damaged frames with a bit not read
    int parities = 0; // damaged frames read whole with a parity or stop bit wrong
    std::vector<Frame> frames;
};

QString tagText(std::uint64_t tag)
{
    return hexText(std::uint32_t(tag >> 32), 2) + QLatin1Char(' ') +
           QString::number(tag & 0xFFFFFFFFU, 16).rightJustified(8, QLatin1Char('0')).toUpper();
}

/// The ID as card readers print it: the last 32 bits in ten decimal digits.
QString decimalText(std::uint64_t tag)
{
    return QStringLiteral("%1").arg(tag & 0xFFFFFFFFU, 10, 10, QLatin1Char('0'));
}

/// As sigrok's em4100 decoder writes a tag: ten hexadecimal digits.
QString sigrokTagText(std::uint64_t tag)
{
    return QStringLiteral("%1").arg(tag, 10, 16, QLatin1Char('0')).toUpper();
}

/// The half-bit in samples from the runs near one or two \a nominal ones,
/// 0 when too few are (the recording's cut first and last runs left out).
double measureUnit(const std::vector<Run> &runs, double nominal)
{
    double sum = 0;
    double units = 0;
    int count = 0;
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        const auto length = double(runs[i].length);
        for (const double n : {1.0, 2.0}) {
            if (std::fabs(length - n * nominal) <= kMeasureWindow * nominal) {
                sum += length;
                units += n;
                ++count;
            }
        }
    }
    return count >= kMinClockRuns ? sum / units : 0;
}

/// The bits of the train for a 1 that is low then high (the other polarity
/// is their inverse). Each stretch of runs of one or two half-bits
/// is split into bits where its runs of two (the second half of one bit and
/// the first of the next) place the middles of bits; breaks between
/// stretches are bits of -1. The recording's cut first and last runs end
/// stretches without a break, so that a frame running past the stream's
/// end is one the recording's end cuts.
std::vector<Bit> streamBits(const std::vector<Run> &runs, double unit)
{
    std::vector<Bit> bits;
    std::vector<std::pair<bool, std::int64_t>> halves; // level, start
    const auto flush = [&] {
        // The middles of bits lie where the runs of two halves begin.
        int votes[2] = {0, 0};
        for (std::size_t k = 1; k < halves.size(); ++k) {
            if (halves[k].first == halves[k - 1].first)
                ++votes[(k - 1) % 2];
        }
        if (votes[0] + votes[1] > 0) {
            // A run of two begins at a bit's second half: bits start one later.
            const std::size_t from = votes[0] >= votes[1] ? 1 : 0;
            for (std::size_t k = from; k + 1 < halves.size(); k += 2) {
                const bool first = halves[k].first;
                const bool second = halves[k + 1].first;
                bits.push_back({first == second ? -1 : int(second), halves[k].second});
            }
        }
        halves.clear();
    };
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        const auto length = double(runs[i].length);
        const double n = std::round(length / unit);
        if (n < 1 || n > 2 ||
            std::fabs(length - n * unit) > kUnitTolerance * unit + kSlackSamples) {
            flush();
            if (bits.empty() || bits.back().value != -1)
                bits.push_back({-1, runs[i].start});
            continue;
        }
        halves.push_back({runs[i].high, runs[i].start});
        if (n == 2)
            halves.push_back({runs[i].high, runs[i].start + std::int64_t(std::llround(unit))});
    }
    flush();
    return bits;
}

/// The 14 parities and the stop bit of a frame's bits, and its tag.
bool frameChecks(const std::array<int, kFrameBits> &bits, std::uint64_t *tag)
{
    std::array<int, kRowBits> columns{};
    std::uint64_t value = 0;
    bool right = true;
    for (int row = 0; row < kRows; ++row) {
        const std::size_t first = kHeaderOnes + std::size_t(row) * (kRowBits + 1);
        int parity = 0;
        for (int k = 0; k < kRowBits; ++k) {
            const int bit = bits[first + std::size_t(k)];
            value = (value << 1) | std::uint64_t(bit);
            parity ^= bit;
            columns[std::size_t(k)] ^= bit;
        }
        right = right && parity == bits[first + kRowBits];
    }
    constexpr std::size_t kTrailer = kHeaderOnes + std::size_t(kRows) * (kRowBits + 1);
    for (int k = 0; k < kRowBits; ++k)
        right = right && columns[std::size_t(k)] == bits[kTrailer + std::size_t(k)];
    right = right && bits[kTrailer + kRowBits] == 0;
    *tag = value;
    return right;
}

Reading read(const std::vector<Bit> &bits, bool oneHighFirst)
{
    Reading r;
    r.oneHighFirst = oneHighFirst;
    const auto valueAt = [&](std::size_t i) {
        const int v = bits[i].value;
        return v < 0 || !oneHighFirst ? v : 1 - v;
    };
    std::size_t i = 1;
    // Where the frame after a whole one is due: its header counts there
    // even when the stop bit before it was damaged into a 1.
    std::size_t due = 0;
    while (i + kHeaderOnes <= bits.size()) {
        bool header = valueAt(i - 1) == 0 || i == due;
        for (std::size_t k = 0; header && k < kHeaderOnes; ++k)
            header = valueAt(i + k) == 1;
        if (!header) {
            ++i;
            continue;
        }
        bool whole = true;
        std::size_t k = i;
        for (; whole && k < i + kFrameBits && k < bits.size(); ++k)
            whole = valueAt(k) >= 0;
        if (whole && k < i + kFrameBits) {
            // It runs into the recording's end.
            ++r.tally.cut;
            break;
        }
        ++r.tally.bursts;
        if (!whole) {
            ++r.broken;
            i = k;
            continue;
        }
        std::array<int, kFrameBits> frame{};
        for (std::size_t b = 0; b < frame.size(); ++b)
            frame[b] = valueAt(i + b);
        Frame f;
        f.start = bits[i].start;
        // A frame whole but wrong is passed over too: a header that its
        // damage makes up (its stop bit a 1 before the next 9 ones) is none.
        due = i + kFrameBits;
        i = due;
        if (!frameChecks(frame, &f.tag)) {
            ++r.parities;
            continue;
        }
        ++r.tally.read;
        r.frames.push_back(f);
    }
    return r;
}

QStringList compare(const QStringList &ours, const std::vector<sigrok::Annotation> &annotations)
{
    QStringList theirs;
    for (const QString &text :
         annotationTexts(annotations, QStringLiteral("em4100"), {QStringLiteral("tag")}))
        theirs << text.section(QLatin1String(": "), 1);
    QStringList lines{QStringLiteral("sigrok em4100 decoder: %1 %2%3")
                          .arg(countText(theirs.size()),
                               theirs.size() == 1 ? QStringLiteral("tag") : QStringLiteral("tags"),
                               theirs.isEmpty()
                                   ? QString()
                                   : QStringLiteral(": ") + runTogether(theirs, kShownTags))};
    const std::vector<QString> given(ours.begin(), ours.end());
    const std::vector<QString> read(theirs.begin(), theirs.end());
    const QString differ = framesDiffer(QStringLiteral("em4100"), QStringLiteral("frames"),
                                        matchedInOrder(given, read), given.size(), read.size());
    if (!differ.isEmpty())
        lines << differ;
    return lines;
}

} // namespace

std::optional<TraceDescription> describeEm4100(const PulseTrain &train)
{
    std::optional<Reading> best;
    for (const int divider : kDividers) {
        const double nominal = train.toSamples(kCarrierCycleUs * divider / 2);
        const double unit = measureUnit(train.runs(), nominal);
        if (unit <= 0)
            continue;
        const std::vector<Bit> bits = streamBits(train.runs(), unit);
        for (const bool oneHighFirst : {true, false}) {
            Reading r = read(bits, oneHighFirst);
            r.divider = divider;
            r.unit = unit;
            keepBetter(best, std::move(r));
        }
    }
    if (!best)
        return std::nullopt;
    const Reading &r = *best;

    TraceDescription d;
    d.kind = QStringLiteral("rfid");
    d.confidence = r.tally.confidence();
    std::map<std::uint64_t, int> byTag;
    QStringList texts;
    QStringList sigrokTexts;
    for (const Frame &f : r.frames) {
        ++byTag[f.tag];
        texts << tagText(f.tag);
        sigrokTexts << sigrokTagText(f.tag);
    }
    const auto bitRate = int(kCarrierHz / r.divider);
    QString ids;
    if (byTag.size() == 1) {
        ids = QStringLiteral("ID %1 (%2), %3 %4")
                  .arg(tagText(byTag.begin()->first), decimalText(byTag.begin()->first))
                  .arg(r.frames.size())
                  .arg(r.frames.size() == 1 ? QStringLiteral("frame") : QStringLiteral("frames"));
    } else {
        QStringList each;
        for (const auto &[tag, count] : byTag)
            each << QStringLiteral("ID %1 (%2) ×%3").arg(tagText(tag), decimalText(tag)).arg(count);
        ids = QStringLiteral("%1 tags: %2").arg(byTag.size()).arg(each.join(QStringLiteral(", ")));
    }
    d.title = QStringLiteral("RFID tag, EM4100, RF/%1 (%2 bit/s): %3")
                  .arg(r.divider)
                  .arg(bitRate)
                  .arg(ids);

    QStringList tally{QStringLiteral("%1 of %2 frames (%3) read whole with their parities right")
                          .arg(countText(r.tally.read), countText(r.tally.bursts),
                               percentText(r.tally.readShare(), 1))};
    if (r.broken > 0)
        tally << QStringLiteral("%1 broken by a run of neither one nor two half-bits")
                     .arg(countText(r.broken));
    if (r.parities > 0)
        tally
            << QStringLiteral("%1 with a parity or the stop bit wrong").arg(countText(r.parities));
    if (r.tally.cut > 0)
        tally
            << QStringLiteral("%1 cut by the recording's end left out").arg(countText(r.tally.cut));
    d.evidence << tally.join(QStringLiteral("; "));
    const double nominalUs = kCarrierCycleUs * r.divider / 2;
    d.evidence << QStringLiteral("Manchester, half-bit %1 (%2 samples), %3 from RF/%4's %5; a 1 "
                                 "%6 (sigrok's %7)")
                      .arg(train.durationOfSamples(r.unit), QString::number(r.unit, 'f', 2),
                           percentText(std::fabs(train.toUs(r.unit) / nominalUs - 1), 1),
                           QString::number(r.divider), microsecondsText(nominalUs),
                           r.oneHighFirst ? QStringLiteral("high then low")
                                          : QStringLiteral("low then high"),
                           r.oneHighFirst ? QStringLiteral("active-high")
                                          : QStringLiteral("active-low"));
    d.evidence << QStringLiteral("frames of 64 bits back to back: 9 ones, 10 rows of 4 bits with "
                                 "even parity, 4 column parities and a stop bit 0");
    d.evidence << QStringLiteral("read from the timings: %1").arg(runTogether(texts, kShownTags));
    d.fields.insert(QStringLiteral("family"), QStringLiteral("EM4100"));
    d.fields.insert(QStringLiteral("data_rate"), r.divider);
    d.fields.insert(QStringLiteral("bit_rate"), kCarrierHz / r.divider);
    d.fields.insert(QStringLiteral("tag"), sigrokTagText(r.frames.front().tag));
    d.fields.insert(QStringLiteral("frames"), qint64(r.frames.size()));
    d.firstFrameSample = r.frames.front().start;
    d.frameSamples = std::llround(2 * r.unit * kFrameBits);
    sigrok::DecoderChoice choice{QStringLiteral("em4100"),
                                 {{QStringLiteral("datarate"), QString::number(r.divider)}}};
    if (!r.oneHighFirst)
        choice.settings.append({QStringLiteral("polarity"), QStringLiteral("active-low")});
    d.decoders = {choice};
    d.channel = QStringLiteral("data");
    d.compareWithSigrok = [sigrokTexts](const std::vector<sigrok::Annotation> &a) {
        return compare(sigrokTexts, a);
    };
    return d;
}

} // namespace wavemill::detect
