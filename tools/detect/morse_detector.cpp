// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/morse_detector.h"

#include "detect/in_order.h"
#include "detect/measure_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace wavemill::detect {

namespace {

/// Units from 20 ms (60 words a minute) to 400 ms (3); PARIS, the standard
/// word, is 50 units, so a unit lasts 1200 ms / words a minute.
constexpr double kShortestUnitMs = 20;
constexpr double kLongestUnitMs = 400;
constexpr double kParisMs = 1200;
/// A mark below two units is a dot, up to five a dash; a gap below two
/// units is within a letter, below five between letters, longer between
/// words.
constexpr double kDashFrom = 2;
constexpr double kLongestMark = 5;
constexpr double kLetterGapFrom = 2;
constexpr double kWordGapFrom = 5;
/// Text has more gaps within letters than between them: letters of one
/// mark are few. Below this share of the gaps, pulses and pauses that
/// happen to fit the timings are not text.
constexpr double kMinIntraGapShare = 0.35;
/// Marks shorter than half a unit are noise, and count as a failed check.
constexpr double kShortestMark = 0.5;
/// The mean dash and the mean letter gap are this many units, near three.
constexpr double kRatioLow = 2.2;
constexpr double kRatioHigh = 4.2;
constexpr int kMinMarks = 8;
/// Letters shown in the title, and in sigrok's reading.
constexpr int kTitleCharacters = 40;
constexpr int kShownCharacters = 200;

/// The ITU alphabet (Recommendation M.1677-1), dots and dashes to characters.
constexpr std::array<std::pair<const char *, char>, 54> kAlphabet{{
    {".-", 'A'},      {"-...", 'B'},   {"-.-.", 'C'},   {"-..", 'D'},    {".", 'E'},
    {"..-.", 'F'},    {"--.", 'G'},    {"....", 'H'},   {"..", 'I'},     {".---", 'J'},
    {"-.-", 'K'},     {".-..", 'L'},   {"--", 'M'},     {"-.", 'N'},     {"---", 'O'},
    {".--.", 'P'},    {"--.-", 'Q'},   {".-.", 'R'},    {"...", 'S'},    {"-", 'T'},
    {"..-", 'U'},     {"...-", 'V'},   {".--", 'W'},    {"-..-", 'X'},   {"-.--", 'Y'},
    {"--..", 'Z'},    {"-----", '0'},  {".----", '1'},  {"..---", '2'},  {"...--", '3'},
    {"....-", '4'},   {".....", '5'},  {"-....", '6'},  {"--...", '7'},  {"---..", '8'},
    {"----.", '9'},   {".-.-.-", '.'}, {"--..--", ','}, {"---...", ':'}, {"..--..", '?'},
    {".----.", '\''}, {"-....-", '-'}, {"-..-.", '/'},  {"-.--.", '('},  {"-.--.-", ')'},
    {".-..-.", '"'},  {"-...-", '='},  {".-.-.", '+'},  {".--.-.", '@'}, {"..-..", 'E'},
    {"...-.", '!'},   {".-...", '&'},  {"...-.-", '#'}, {"-.-.-", '*'},
}};

char letterOf(const QByteArray &code)
{
    for (const auto &[pattern, letter] : kAlphabet) {
        if (code == pattern)
            return letter;
    }
    return 0;
}

struct Reading
{
    bool activeHigh = true;
    double unit = 0; // samples
    int marks = 0, dots = 0, dashes = 0;
    double dotSum = 0, dashSum = 0;
    double intraSum = 0, letterSum = 0;
    int intraGaps = 0, letterGaps = 0, wordGaps = 0;
    int checks = 0, passed = 0;
    int unknownLetters = 0;
    bool cutWord = false;
    QString text;
    std::int64_t firstMark = -1;

    int letters = 0;

    double intraShare() const
    {
        const int gaps = intraGaps + letterGaps + wordGaps;
        return gaps > 0 ? double(intraGaps) / double(gaps) : 0;
    }

    /// The share of checks passed, and no more than the share of letters in
    /// the alphabet: marks and gaps that fit but spell nothing are no text;
    /// nor are letters of one mark each, far apart (the share of gaps within
    /// letters, when it is below kMinIntraGapShare).
    double confidence() const
    {
        if (checks == 0 || letters == 0)
            return 0;
        double c = std::min(double(passed) / double(checks),
                            double(letters - unknownLetters) / double(letters));
        if (intraShare() < kMinIntraGapShare)
            c = std::min(c, intraShare());
        return c;
    }
};

Reading read(const PulseTrain &train, bool activeHigh)
{
    Reading r;
    r.activeHigh = activeHigh;
    const std::vector<Run> &runs = train.runs();
    std::vector<double> marks;
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        if (runs[i].high == activeHigh)
            marks.push_back(double(runs[i].length));
    }
    if (int(marks.size()) < kMinMarks)
        return r;
    // The unit: the mean of the marks up to 60 % longer than the shortest
    // tenth, which are dots.
    std::vector<double> sorted = marks;
    const auto tenth = sorted.begin() + std::ptrdiff_t(sorted.size() / 10);
    std::nth_element(sorted.begin(), tenth, sorted.end());
    double sum = 0;
    int count = 0;
    for (const double m : marks) {
        if (m <= 1.6 * *tenth + 1) {
            sum += m;
            ++count;
        }
    }
    r.unit = sum / count;
    const double ms = train.toSamples(1000);
    if (r.unit < kShortestUnitMs * ms || r.unit > kLongestUnitMs * ms)
        return r;

    QByteArray letter;
    const auto endLetter = [&] {
        if (letter.isEmpty())
            return;
        const char c = letterOf(letter);
        ++r.checks;
        ++r.letters;
        r.passed += c != 0;
        r.unknownLetters += c == 0;
        r.text += c != 0 ? QString(QLatin1Char(c))
                         : QStringLiteral("[%1]").arg(QString::fromLatin1(letter));
        letter.clear();
    };
    bool started = false;
    for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
        const double units = double(runs[i].length) / r.unit;
        if (runs[i].high == activeHigh) {
            ++r.marks;
            ++r.checks;
            if (r.firstMark < 0)
                r.firstMark = runs[i].start;
            started = true;
            if (units < kShortestMark || units > kLongestMark)
                continue;
            ++r.passed;
            const bool dash = units >= kDashFrom;
            letter += dash ? '-' : '.';
            (dash ? r.dashSum : r.dotSum) += units;
            ++(dash ? r.dashes : r.dots);
            continue;
        }
        if (!started)
            continue;
        if (units < kLetterGapFrom) {
            ++r.intraGaps;
            r.intraSum += units;
        } else if (units < kWordGapFrom) {
            ++r.letterGaps;
            r.letterSum += units;
            endLetter();
        } else {
            ++r.wordGaps;
            endLetter();
            if (!r.text.isEmpty() && !r.text.endsWith(QLatin1Char(' ')))
                r.text += QLatin1Char(' ');
        }
    }
    // A word the recording's end cuts is left out: its last letter may be cut.
    const Run &last = runs.back();
    if (last.high == activeHigh || double(last.length) < kWordGapFrom * r.unit) {
        const qsizetype space = r.text.lastIndexOf(QLatin1Char(' '));
        r.cutWord = !letter.isEmpty() || space + 1 < r.text.size();
        r.text.truncate(std::max<qsizetype>(space, 0));
    } else {
        endLetter();
    }
    r.text = r.text.trimmed();
    // The dash and the letter gap are three times the dot and the gap in a letter.
    if (r.dots > 0 && r.dashes > 0) {
        const double dash = (r.dashSum / r.dashes) / (r.dotSum / r.dots);
        ++r.checks;
        r.passed += dash >= kRatioLow && dash <= kRatioHigh;
    }
    if (r.intraGaps > 0 && r.letterGaps > 0) {
        const double gap = (r.letterSum / r.letterGaps) / (r.intraSum / r.intraGaps);
        ++r.checks;
        r.passed += gap >= kRatioLow && gap <= kRatioHigh;
    }
    return r;
}

QStringList compare(const QString &ours, const std::vector<sigrok::Annotation> &annotations)
{
    QStringList words;
    for (const sigrok::Annotation &a : annotations) {
        if (a.decoder == QLatin1String("morse") && a.annotationClass == QLatin1String("word") &&
            !a.texts.isEmpty())
            words << a.texts.front().toUpper();
    }
    const QString theirs = words.join(QLatin1Char(' '));
    QStringList lines{QStringLiteral("sigrok morse decoder: \"%1\"")
                          .arg(escapedText(theirs.toUtf8(), kShownCharacters))};
    const QStringList ourWords = ours.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const std::vector<QString> given(ourWords.begin(), ourWords.end());
    const std::vector<QString> read(words.begin(), words.end());
    const std::size_t alike = matchedInOrder(given, read);
    if (alike != given.size() || read.size() != given.size())
        lines << QStringLiteral("sigrok's morse reading differs from the timings': it reads %1 "
                                "of the %2 words they give, and %3 others")
                     .arg(countText(qint64(alike)), countText(qint64(given.size())),
                          countText(qint64(read.size()) - qint64(alike)));
    return lines;
}

} // namespace

std::optional<TraceDescription> describeMorse(const PulseTrain &train)
{
    std::optional<Reading> best;
    for (const bool activeHigh : {true, false}) {
        Reading r = read(train, activeHigh);
        // Dots and dashes, and letters of more than one mark.
        if (r.dots == 0 || r.dashes == 0 || r.intraGaps == 0 || r.text.isEmpty())
            continue;
        if (!best || r.confidence() > best->confidence())
            best = std::move(r);
    }
    if (!best)
        return std::nullopt;
    const Reading &r = *best;
    const double ms = train.toSamples(1000);
    const double unitMs = r.unit / ms;
    const double wpm = kParisMs / unitMs;

    TraceDescription d;
    d.kind = QStringLiteral("morse");
    d.confidence = r.confidence();
    const QString key =
        r.activeHigh ? QStringLiteral("key down high") : QStringLiteral("key down low (inverted)");
    d.title =
        QStringLiteral("Morse code at %1 words a minute, %2: \"%3\"")
            .arg(QString::number(wpm, 'f', 0), key, escapedText(r.text.toUtf8(), kTitleCharacters));
    d.evidence << QStringLiteral("unit (a dot) %1, %2 of %3 checks passed: %4 marks, %5 dots and "
                                 "%6 dashes; %7 gaps within letters, %8 between letters, %9 "
                                 "between words")
                      .arg(microsecondsText(unitMs * 1000), countText(r.passed),
                           countText(r.checks), countText(r.marks), countText(r.dots),
                           countText(r.dashes), countText(r.intraGaps), countText(r.letterGaps),
                           countText(r.wordGaps));
    if (r.dots > 0 && r.dashes > 0)
        d.evidence
            << QStringLiteral("a dash %1 dots long, a gap between letters %2 gaps within one "
                              "(3 each in the standard)")
                   .arg(QString::number((r.dashSum / r.dashes) / (r.dotSum / r.dots), 'f', 2),
                        r.intraGaps > 0 && r.letterGaps > 0
                            ? QString::number(
                                  (r.letterSum / r.letterGaps) / (r.intraSum / r.intraGaps), 'f', 2)
                            : QStringLiteral("?"));
    if (r.intraShare() < kMinIntraGapShare)
        d.evidence << QStringLiteral("only %1 of the gaps are within letters, where text has most "
                                     "of them: letters of one mark, far apart")
                          .arg(percentText(r.intraShare()));
    if (r.cutWord)
        d.evidence << QStringLiteral("the last word, cut by the recording's end, left out");
    if (r.unknownLetters > 0)
        d.evidence << QStringLiteral(
                          "%1 letters not in the alphabet, shown as their dots and dashes")
                          .arg(countText(r.unknownLetters));
    d.evidence << QStringLiteral("text read from the timings: \"%1\"")
                      .arg(escapedText(r.text.toUtf8(), kShownCharacters));
    d.fields.insert(QStringLiteral("words_per_minute"), wpm);
    d.fields.insert(QStringLiteral("text"), r.text);
    d.fields.insert(QStringLiteral("active_high"), r.activeHigh);
    d.firstFrameSample = r.firstMark;
    d.frameSamples = std::llround(r.unit * 10);
    if (!r.activeHigh) {
        d.evidence << QStringLiteral("sigrok's morse decoder reads a key down high only: not run "
                                     "on this inverted signal");
        return d;
    }
    d.decoders = {{QStringLiteral("morse"),
                   {{QStringLiteral("timeunit"), QString::number(unitMs / 1000, 'g', 4)}}}};
    d.channel = QStringLiteral("data");
    d.compareWithSigrok = [text = r.text](const std::vector<sigrok::Annotation> &a) {
        return compare(text, a);
    };
    return d;
}

} // namespace wavemill::detect
