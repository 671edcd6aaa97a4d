// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/dcf77_detector.h"

#include "detect/in_order.h"
#include "detect/measure_text.h"
#include "detect/sigrok_reading.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace wavemill::detect {

namespace {

/// Pulses and dropouts shorter than this are noise: the shortest second
/// pulse a receiver gives is some 70 ms.
constexpr double kNoiseMs = 50;
constexpr double kSecondMs = 1000;
/// A second's pulse starts within this of its place on the grid.
constexpr double kTickSlackMs = 150;
/// Widths of a 0 and a 1 bit, as sigrok's dcf77 decoder takes them: 40 to
/// 160 ms, and up to 260 ms.
constexpr double kShortestMs = 40;
constexpr double kOneFromMs = 160;
constexpr double kLongestMs = 260;
constexpr int kMinuteBits = 59;
constexpr int kSecondsAMinute = 60;
/// A receiver's noise pulses off the grid are taken in stride up to one for
/// this many seconds.
constexpr int kNoisySeconds = 4;
/// Fewest seconds a guess is made from.
constexpr int kMinSeconds = 4;
/// Pulses tried as the grid's anchor.
constexpr std::size_t kAnchorsTried = 24;
/// Bits shown when no whole minute is read.
constexpr int kShownBits = 60;

/// A stretch at one level once the noise is set aside.
struct Level
{
    std::int64_t start;
    std::int64_t length;
    bool high;
};

/// The runs with those shorter than \a noise taken into the stretch before.
std::vector<Level> withoutNoise(const PulseTrain &train, double noise, int *noisy)
{
    std::vector<Level> out;
    for (const Run &run : train.runs()) {
        if (!out.empty() && (double(run.length) < noise || run.high == out.back().high)) {
            *noisy += double(run.length) < noise && run.high != out.back().high;
            out.back().length = run.start + run.length - out.back().start;
            continue;
        }
        out.push_back({run.start, run.length, run.high});
    }
    return out;
}

struct Pulse
{
    std::int64_t start;
    double widthMs;
    int bit; // -1: a width that is neither
};

int bitOf(double widthMs)
{
    if (widthMs < kShortestMs || widthMs > kLongestMs)
        return -1;
    return widthMs < kOneFromMs ? 0 : 1;
}

/// One minute decoded: the time it announces, and its checks.
struct Minute
{
    int second0 = 0; // the grid second its bit 0 is at
    std::int64_t start = 0;
    int minute = 0, hour = 0, day = 0, weekday = 0, month = 0, year = 0;
    bool summer = false;
    QStringList restored; // bits lost and set again, and how
    int checks = 0;
    int passed = 0;
    QStringList failed;

    std::tuple<int, int, int, int, int, int> key() const
    {
        return {minute, hour, day, weekday, month, year};
    }
};

int bcd(const std::array<int, kMinuteBits> &bits, int from, int count, bool *valid)
{
    constexpr std::array<int, 8> kWeights{1, 2, 4, 8, 10, 20, 40, 80};
    int value = 0;
    int units = 0;
    for (int k = 0; k < count; ++k) {
        const int weighted = bits[std::size_t(from) + std::size_t(k)] * kWeights[std::size_t(k)];
        value += weighted;
        if (k < 4)
            units += weighted;
    }
    *valid = *valid && units <= 9;
    return value;
}

bool evenParity(const std::array<int, kMinuteBits> &bits, int from, int to)
{
    int ones = 0;
    for (int k = from; k <= to; ++k)
        ones += bits[std::size_t(k)];
    return ones % 2 == 0;
}

Minute decodeMinute(const std::array<int, kMinuteBits> &bits)
{
    Minute m;
    const auto check = [&m](bool ok, const char *what) {
        ++m.checks;
        m.passed += ok;
        if (!ok)
            m.failed << QLatin1String(what);
    };
    check(bits[0] == 0, "bit 0 is not 0");
    check(bits[20] == 1, "bit 20 is not 1");
    check(bits[17] != bits[18], "not one of summer and winter time");
    check(evenParity(bits, 21, 28), "minute parity");
    check(evenParity(bits, 29, 35), "hour parity");
    check(evenParity(bits, 36, 58), "date parity");
    bool valid = true;
    m.minute = bcd(bits, 21, 7, &valid);
    m.hour = bcd(bits, 29, 6, &valid);
    m.day = bcd(bits, 36, 6, &valid);
    m.weekday = bcd(bits, 42, 3, &valid);
    m.month = bcd(bits, 45, 5, &valid);
    m.year = bcd(bits, 50, 8, &valid);
    m.summer = bits[17] == 1;
    valid = valid && m.minute < 60 && m.hour < 24 && m.day >= 1 && m.day <= 31 && m.weekday >= 1 &&
            m.month >= 1 && m.month <= 12;
    check(valid, "a field out of range");
    return m;
}

/// The parity groups: minute, hour and date, each closed by its parity bit.
constexpr std::array<std::pair<int, int>, 3> kParityGroups{{{21, 28}, {29, 35}, {36, 58}}};

/// The minute from its bits, where the bits at \a unknown were lost (a
/// noise pulse ran into them, or none came): the broadcaster's own bits
/// (1 to 16, 19) carry no time; the fixed bits 0 and 20 are set; one lost
/// bit of summer and winter time is the other's complement; one lost bit
/// in a parity group is what makes its parity even. nullopt when more is lost.
std::optional<Minute> restoredMinute(std::array<int, kMinuteBits> bits,
                                     const std::vector<int> &unknown)
{
    QStringList restored;
    std::array<int, 3> lostInGroup{};
    for (const int k : unknown) {
        if ((k >= 1 && k <= 16) || k == 19)
            continue;
        if (k == 0 || k == 20) {
            bits[std::size_t(k)] = k == 20 ? 1 : 0;
            restored << QStringLiteral("%1 (fixed)").arg(k);
            continue;
        }
        if (k == 17 || k == 18) {
            const int other = k == 17 ? 18 : 17;
            if (std::find(unknown.begin(), unknown.end(), other) != unknown.end())
                return std::nullopt;
            bits[std::size_t(k)] = 1 - bits[std::size_t(other)];
            restored << QStringLiteral("%1 (summer and winter time)").arg(k);
            continue;
        }
        for (std::size_t g = 0; g < kParityGroups.size(); ++g) {
            if (k < kParityGroups[g].first || k > kParityGroups[g].second)
                continue;
            if (++lostInGroup[g] > 1)
                return std::nullopt;
            // Even parity over the group: the lost bit is what makes it so.
            int ones = 0;
            for (int b = kParityGroups[g].first; b <= kParityGroups[g].second; ++b)
                ones += b == k ? 0 : bits[std::size_t(b)];
            bits[std::size_t(k)] = ones % 2;
            restored << QStringLiteral("%1 (parity)").arg(k);
        }
    }
    Minute m = decodeMinute(bits);
    m.restored = restored;
    // A bit restored from its group's parity leaves that parity unchecked.
    m.checks -= int(std::count_if(restored.begin(), restored.end(), [](const QString &t) {
        return t.endsWith(QLatin1String("(parity)"));
    }));
    m.passed -= int(std::count_if(restored.begin(), restored.end(), [](const QString &t) {
        return t.endsWith(QLatin1String("(parity)"));
    }));
    return m;
}

const char *weekdayName(int day)
{
    constexpr std::array<const char *, 8> kNames{"?",        "Monday", "Tuesday",  "Wednesday",
                                                 "Thursday", "Friday", "Saturday", "Sunday"};
    return kNames[std::size_t(std::clamp(day, 0, 7))];
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 2) + QStringLiteral(" s");
}

QString minuteText(const Minute &m)
{
    return QStringLiteral("%1 20%2-%3-%4 %5:%6 %7")
        .arg(QLatin1String(weekdayName(m.weekday)))
        .arg(m.year, 2, 10, QLatin1Char('0'))
        .arg(m.month, 2, 10, QLatin1Char('0'))
        .arg(m.day, 2, 10, QLatin1Char('0'))
        .arg(m.hour, 2, 10, QLatin1Char('0'))
        .arg(m.minute, 2, 10, QLatin1Char('0'))
        .arg(m.summer ? QStringLiteral("CEST") : QStringLiteral("CET"));
}

struct Reading
{
    bool activeHigh = true;
    int noisy = 0;                // runs shorter than kNoiseMs set aside
    std::vector<Pulse> pulses;    // at the active level, whole
    std::map<int, Pulse> ticks;   // by grid second
    int offGrid = 0;              // pulses not at a second of the grid
    int lost = 0;                 // seconds inside the reading without a pulse, not a minute mark
    std::vector<int> minuteMarks; // grid seconds without a pulse that end a minute
    std::vector<Minute> minutes;
    int checks = 0;
    int passed = 0;

    double confidence() const { return checks > 0 ? double(passed) / double(checks) : 0; }
};

/// The grid of whole seconds the most pulses of a valid width fall on.
std::int64_t bestAnchor(const std::vector<Pulse> &pulses, double second, double slack)
{
    std::int64_t best = -1;
    int bestCount = 0;
    std::size_t tried = 0;
    for (const Pulse &anchor : pulses) {
        if (anchor.bit < 0)
            continue;
        if (++tried > kAnchorsTried)
            break;
        int count = 0;
        for (const Pulse &p : pulses) {
            const double seconds = double(p.start - anchor.start) / second;
            count += p.bit >= 0 && std::fabs(seconds - std::round(seconds)) * second <= slack;
        }
        if (count > bestCount) {
            bestCount = count;
            best = anchor.start;
        }
    }
    return best;
}

Reading read(const PulseTrain &train, bool activeHigh)
{
    Reading r;
    r.activeHigh = activeHigh;
    const double ms = train.toSamples(1000);
    const std::vector<Level> levels = withoutNoise(train, kNoiseMs * ms, &r.noisy);
    for (std::size_t i = 1; i + 1 < levels.size(); ++i) {
        if (levels[i].high != activeHigh)
            continue;
        const double width = double(levels[i].length) / ms;
        r.pulses.push_back({levels[i].start, width, bitOf(width)});
    }
    const double second = kSecondMs * ms;
    const double slack = kTickSlackMs * ms;
    const std::int64_t anchor = bestAnchor(r.pulses, second, slack);
    if (anchor < 0)
        return r;
    for (const Pulse &p : r.pulses) {
        const double seconds = double(p.start - anchor) / second;
        const auto at = int(std::lround(seconds));
        const double off = std::fabs(seconds - at) * second;
        const auto existing = r.ticks.find(at);
        if (off > slack || p.bit < 0) {
            // A valid width off the grid, or any width that is no bit: noise,
            // unless no better pulse holds that second.
            if (off <= slack && existing == r.ticks.end())
                r.ticks[at] = p;
            else
                ++r.offGrid;
            continue;
        }
        if (existing != r.ticks.end() && existing->second.bit >= 0)
            ++r.offGrid;
        else
            r.ticks[at] = p;
    }
    if (r.ticks.empty())
        return r;
    // Seconds without a pulse: the minute marks fall every 60 s, at the same
    // place in the minute; others are pulses the receiver lost.
    std::vector<int> missing;
    std::map<int, int> byPlace;
    const int first = r.ticks.begin()->first;
    const int last = r.ticks.rbegin()->first;
    for (int s = first + 1; s < last; ++s) {
        if (r.ticks.count(s) == 0) {
            missing.push_back(s);
            ++byPlace[((s % kSecondsAMinute) + kSecondsAMinute) % kSecondsAMinute];
        }
    }
    int markPlace = -1;
    int markCount = 0;
    for (const auto &[place, count] : byPlace) {
        if (count > markCount) {
            markPlace = place;
            markCount = count;
        }
    }
    for (const int s : missing) {
        const bool mark =
            ((s % kSecondsAMinute) + kSecondsAMinute) % kSecondsAMinute == markPlace &&
            r.ticks.count(s - 1) > 0 && r.ticks.count(s + 1) > 0;
        if (mark)
            r.minuteMarks.push_back(s);
        else
            ++r.lost;
    }
    for (const int mark : r.minuteMarks) {
        std::array<int, kMinuteBits> bits{};
        std::vector<int> unknown;
        for (int k = 0; k < kMinuteBits; ++k) {
            const auto tick = r.ticks.find(mark + 1 + k);
            const bool read = tick != r.ticks.end() && tick->second.bit >= 0;
            bits[std::size_t(k)] = read ? tick->second.bit : 0;
            if (!read)
                unknown.push_back(k);
        }
        std::optional<Minute> m = restoredMinute(bits, unknown);
        if (!m)
            continue;
        m->second0 = mark + 1;
        m->start = r.ticks[mark + 1].start;
        r.minutes.push_back(*m);
    }
    for (const auto &[s, p] : r.ticks) {
        ++r.checks;
        r.passed += p.bit >= 0;
    }
    // Pulses off the grid are a receiver's noise, set aside; they count
    // against the reading only beyond one for every four seconds read.
    r.checks += std::max(0, r.offGrid - int(r.ticks.size()) / kNoisySeconds) + r.lost;
    for (const Minute &m : r.minutes) {
        r.checks += m.checks;
        r.passed += m.passed;
    }
    return r;
}

/// The minutes sigrok's decoder read, from its field annotations.
std::vector<std::tuple<int, int, int, int, int, int>>
sigrokMinutes(const std::vector<sigrok::Annotation> &annotations, QStringList *texts)
{
    std::vector<std::tuple<int, int, int, int, int, int>> minutes;
    std::array<int, 6> fields{};
    int seen = 0;
    const QStringList classes{QStringLiteral("minute"), QStringLiteral("hour"),
                              QStringLiteral("day"),    QStringLiteral("day-of-week"),
                              QStringLiteral("month"),  QStringLiteral("year")};
    QString text;
    for (const sigrok::Annotation &a : annotations) {
        const qsizetype field = classes.indexOf(a.annotationClass);
        if (a.decoder != QLatin1String("dcf77") || a.texts.isEmpty() || field < 0)
            continue;
        if (field == 0) {
            fields.fill(0);
            seen = 0;
            text.clear();
        }
        fields[std::size_t(field)] = a.texts.front()
                                         .section(QLatin1Char(':'), 1)
                                         .trimmed()
                                         .section(QLatin1Char(' '), 0, 0)
                                         .toInt();
        seen |= 1 << field;
        text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + a.texts.front();
        if (field == 5 && seen == 0x3F) {
            minutes.emplace_back(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
            *texts << text;
        }
    }
    return minutes;
}

QStringList compare(const std::vector<Minute> &ours, int ourBits,
                    const std::vector<sigrok::Annotation> &annotations)
{
    QStringList texts;
    const auto theirs = sigrokMinutes(annotations, &texts);
    const QStringList bits =
        annotationTexts(annotations, QStringLiteral("dcf77"),
                        {QStringLiteral("raw-bits"), QStringLiteral("unknown-bits")});
    QStringList lines{QStringLiteral("sigrok dcf77 decoder: %1 bits, %2 whole minutes%3")
                          .arg(countText(bits.size()), countText(qint64(theirs.size())),
                               texts.isEmpty()
                                   ? QString()
                                   : QStringLiteral(": ") + texts.join(QStringLiteral("; ")))};
    std::vector<std::tuple<int, int, int, int, int, int>> given;
    given.reserve(ours.size());
    for (const Minute &m : ours)
        given.push_back(m.key());
    const QString differ =
        framesDiffer(QStringLiteral("dcf77"), QStringLiteral("minutes"),
                     matchedInOrder(given, theirs), given.size(), theirs.size(),
                     QStringLiteral("sigrok takes each pulse of a valid width as the next second, "
                                    "so that a noise pulse shifts the bits after it"));
    if (!differ.isEmpty())
        lines << differ;
    else if (bits.size() != ourBits)
        lines << QStringLiteral("sigrok read %1 bits, the timings %2")
                     .arg(countText(bits.size()), countText(ourBits));
    return lines;
}

} // namespace

std::optional<TraceDescription> describeDcf77(const PulseTrain &train)
{
    std::optional<Reading> best;
    for (const bool activeHigh : {true, false}) {
        Reading r = read(train, activeHigh);
        if (int(r.ticks.size()) >= kMinSeconds && (!best || r.confidence() > best->confidence()))
            best = std::move(r);
    }
    if (!best)
        return std::nullopt;
    const Reading &r = *best;
    int zeros = 0;
    int ones = 0;
    double zeroSum = 0;
    double oneSum = 0;
    int others = 0;
    for (const auto &[s, p] : r.ticks) {
        if (p.bit == 0) {
            ++zeros;
            zeroSum += p.widthMs;
        } else if (p.bit == 1) {
            ++ones;
            oneSum += p.widthMs;
        } else {
            ++others;
        }
    }
    // Pulses of one width only, with no minute mark: a plain pulse train.
    if ((zeros == 0 || ones == 0) && r.minuteMarks.empty())
        return std::nullopt;

    TraceDescription d;
    d.kind = QStringLiteral("dcf77");
    d.confidence = r.confidence();
    const QString level = r.activeHigh ? QStringLiteral("high") : QStringLiteral("low");
    const QString polarity =
        r.activeHigh ? QStringLiteral("pulses high") : QStringLiteral("pulses low (inverted)");
    const int seconds = int(r.ticks.size());
    if (!r.minutes.empty())
        d.title = QStringLiteral("DCF77 time signal, %1: %2%3")
                      .arg(polarity, minuteText(r.minutes.front()),
                           r.minutes.size() > 1
                               ? QStringLiteral(" and %1 whole %2 after")
                                     .arg(r.minutes.size() - 1)
                                     .arg(r.minutes.size() == 2 ? QStringLiteral("minute")
                                                                : QStringLiteral("minutes"))
                               : QString());
    else
        d.title = QStringLiteral("DCF77 time signal, %1: %2 seconds read, no whole minute")
                      .arg(polarity)
                      .arg(seconds);
    const double ms = train.toSamples(1000);
    d.evidence
        << QStringLiteral("%1 seconds on a grid of whole seconds, a %2 pulse at the start "
                          "of each: %3 of %4 (0) and %5 of %6 (1)%7")
               .arg(countText(seconds), level, countText(zeros),
                    zeros > 0 ? microsecondsText(1000 * zeroSum / zeros) : QStringLiteral("100 ms"),
                    countText(ones),
                    ones > 0 ? microsecondsText(1000 * oneSum / ones) : QStringLiteral("200 ms"),
                    others > 0 ? QStringLiteral(", %1 of another width").arg(others) : QString());
    QStringList noise;
    if (r.noisy > 0)
        noise << QStringLiteral("%1 glitches shorter than %2 ms set aside")
                     .arg(countText(r.noisy))
                     .arg(kNoiseMs);
    if (r.offGrid > 0)
        noise << QStringLiteral("%1 pulses off the seconds' grid taken as noise")
                     .arg(countText(r.offGrid));
    if (r.lost > 0)
        noise << QStringLiteral("%1 %2 without a pulse that end no minute")
                     .arg(countText(r.lost),
                          r.lost == 1 ? QStringLiteral("second") : QStringLiteral("seconds"));
    if (!noise.isEmpty())
        d.evidence << noise.join(QStringLiteral("; "));
    QStringList marks;
    for (const int mark : r.minuteMarks)
        marks << secondsText(double(r.ticks.at(mark + 1).start) / ms / kSecondMs);
    d.evidence
        << (marks.isEmpty()
                ? QStringLiteral("no minute mark (a second without a pulse): the bits' "
                                 "places in the minute are unknown")
                : QStringLiteral("minutes begin at %1").arg(marks.join(QStringLiteral(", "))));
    for (const Minute &m : r.minutes)
        d.evidence << QStringLiteral("the minute from %1: %2; %3%4")
                          .arg(secondsText(double(m.start) / ms / kSecondMs), minuteText(m),
                               m.failed.isEmpty()
                                   ? QStringLiteral("its parity and fixed bits right")
                                   : QStringLiteral("wrong: ") +
                                         m.failed.join(QStringLiteral(", ")),
                               m.restored.isEmpty()
                                   ? QString()
                                   : QStringLiteral("; bits lost to noise restored: %1")
                                         .arg(m.restored.join(QStringLiteral(", "))));
    if (r.minutes.empty()) {
        QString bits;
        int shown = 0;
        const int from = r.minuteMarks.empty() ? r.ticks.begin()->first : r.minuteMarks.front() + 1;
        for (auto it = r.ticks.lower_bound(from); it != r.ticks.end() && shown < kShownBits;
             ++it, ++shown)
            bits += it->second.bit < 0 ? QLatin1Char('?')
                                       : QLatin1Char(it->second.bit == 1 ? '1' : '0');
        d.evidence << (r.minuteMarks.empty()
                           ? QStringLiteral("bits read: %1").arg(bits)
                           : QStringLiteral("bits from the start of the minute: %1").arg(bits));
    }
    d.fields.insert(QStringLiteral("active_high"), r.activeHigh);
    d.fields.insert(QStringLiteral("seconds"), seconds);
    d.fields.insert(QStringLiteral("whole_minutes"), qint64(r.minutes.size()));
    if (!r.minutes.empty())
        d.fields.insert(QStringLiteral("time"), minuteText(r.minutes.front()));
    d.firstFrameSample =
        r.minutes.empty() ? r.ticks.begin()->second.start : r.minutes.front().start;
    d.frameSamples = std::llround(kSecondMs * ms);
    if (!r.activeHigh) {
        d.evidence << QStringLiteral("sigrok's dcf77 decoder reads high pulses only: not run on "
                                     "this inverted output");
        return d;
    }
    d.decoders = {{QStringLiteral("dcf77"), {}}};
    d.channel = QStringLiteral("data");
    d.compareWithSigrok = [minutes = r.minutes, zeros,
                           ones](const std::vector<sigrok::Annotation> &a) {
        return compare(minutes, zeros + ones, a);
    };
    return d;
}

} // namespace wavemill::detect
