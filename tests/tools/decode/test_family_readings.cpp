// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The readings the slow families' detectors share, at their edges: bursts
// cut at long idle stretches and at the recording's ends, bi-phase runs with
// a receiver's skew, the rule that names a family when most bursts read, a
// DCF77 minute with bits lost to noise, what is and is not too fast for the
// sample rate, every Morse character there and back, and RFID tag frames
// damaged in each of their checks.

#include "detect/biphase.h"
#include "detect/bursts.h"
#include "detect/dcf77_detector.h"
#include "detect/em4100_detector.h"
#include "detect/morse_detector.h"
#include "detect/sigrok_reading.h"
#include "detect/too_fast_detector.h"
#include "detect/trace_detector.h"
#include "signals/dcf77_signal.h"
#include "signals/em4100_signal.h"
#include "signals/morse_signal.h"
#include "signals/qi_signal.h"
#include "signals/serial_frames_signal.h"
#include "tools/decode/family_captures.h"

#include <QtTest>

#include <set>

using namespace wavemill;
using namespace wavemill::detect;
using namespace wavemill::signals;
using namespace wavemill::testing;

namespace {

/// Runs written "L100 H5 L5", back to back from sample 0, at the board's rate.
PulseTrain runsTrain(const QString &text)
{
    std::vector<Run> runs;
    std::int64_t at = 0;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const std::int64_t length = word.mid(1).toLongLong();
        runs.push_back({at, length, word.front() == QLatin1Char('H')});
        at += length;
    }
    return PulseTrain(std::move(runs), kSamplePeriodUs);
}

/// A DCF77 signal whose pulses at the given seconds from its start last
/// \a widthUs instead: noise that ran into them, or a pulse the receiver lost.
class WidenedSeconds : public WaveformSignal
{
public:
    WidenedSeconds(const Dcf77Signal &signal, const std::set<int> &seconds, double widthUs)
    {
        std::vector<double> edges = signal.edgesUs();
        for (std::size_t k = 0; k + 1 < edges.size(); k += 2) {
            if (seconds.count(int(std::lround(edges[k] / 1e6))) > 0)
                edges[k + 1] = edges[k] + widthUs;
        }
        setEdges(signal.startsHigh(), std::move(edges), 0);
    }
};

} // namespace

class TestFamilyReadings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitsBurstsAtIdle_data();
    void splitsBurstsAtIdle();
    void readsBiphaseRuns_data();
    void readsBiphaseRuns();
    void namesAFamilyWhenMostBurstsRead_data();
    void namesAFamilyWhenMostBurstsRead();
    void readsAMinuteWithBitsLost_data();
    void readsAMinuteWithBitsLost();
    void callsTooFastOnlyWhatIs_data();
    void callsTooFastOnlyWhatIs();
    void readsEveryMorseCharacter_data();
    void readsEveryMorseCharacter();
    void runsRepeatsTogether_data();
    void runsRepeatsTogether();
    void neverRoundsAShareUpToTheThreshold();
    void countsDamagedTagFrames_data();
    void countsDamagedTagFrames();
};

void TestFamilyReadings::splitsBurstsAtIdle_data()
{
    QTest::addColumn<QString>("runs");
    QTest::addColumn<QString>("spans"); // first-end, "cut" when cut; idle low, gaps of 50

    QTest::newRow("two bursts between gaps") << "L100 H5 L5 H5 L100 H5 L100"
                                             << "1-4 5-6";
    QTest::newRow("a short idle run inside") << "L100 H5 L49 H5 L100"
                                             << "1-4";
    QTest::newRow("opening inside a burst") << "H5 L5 H5 L100 H5 L100"
                                            << "0-3cut 4-5";
    QTest::newRow("opening on a short idle run") << "L10 H5 L100 H5 L100"
                                                 << "1-2cut 3-4";
    QTest::newRow("ending inside a burst") << "L100 H5 L5"
                                           << "1-2cut";
    QTest::newRow("ending at the active level") << "L100 H5 L100 H5"
                                                << "1-2 3-4cut";
    QTest::newRow("idle all along") << "L500"
                                    << "";
    QTest::newRow("active all along") << "H500"
                                      << "0-1cut";
}

void TestFamilyReadings::splitsBurstsAtIdle()
{
    QFETCH(QString, runs);
    QFETCH(QString, spans);
    const PulseTrain train = runsTrain(runs);
    QStringList seen;
    for (const RunSpan &span : splitAtIdle(train, false, 50))
        seen << QStringLiteral("%1-%2%3").arg(span.first).arg(span.end).arg(span.cut ? "cut" : "");
    QCOMPARE(seen.join(QLatin1Char(' ')), spans);
}

void TestFamilyReadings::readsBiphaseRuns_data()
{
    QTest::addColumn<QString>("runs");
    QTest::addColumn<double>("unit");
    QTest::addColumn<double>("skew");
    QTest::addColumn<QString>("halves"); // "none": some run is not 1 or 2 units

    QTest::newRow("even runs") << "H20 L20 H40 L40 H20" << 20.0 << 0.0 << "HLHHLLH";
    // A receiver that makes highs 6 samples short and lows as much long.
    QTest::newRow("skewed highs") << "H18 L30 H42 L54" << 24.0 << -6.0 << "HLHHLL";
    QTest::newRow("a sample astray") << "H21 L19 H41" << 20.0 << 0.0 << "HLHH";
    QTest::newRow("three units") << "H20 L60 H20" << 20.0 << 0.0 << "none";
    QTest::newRow("a glitch") << "H20 L3 H20" << 20.0 << 0.0 << "none";
    QTest::newRow("1.5 units") << "H20 L30 H20" << 20.0 << 0.0 << "none";
}

void TestFamilyReadings::readsBiphaseRuns()
{
    QFETCH(QString, runs);
    QFETCH(double, unit);
    QFETCH(double, skew);
    QFETCH(QString, halves);
    const PulseTrain train = runsTrain(runs);
    const auto read = biphaseHalves(train, {0, train.runs().size(), false}, {unit, skew});
    QString seen = QStringLiteral("none");
    if (read) {
        seen.clear();
        for (const bool h : *read)
            seen += h ? QLatin1Char('H') : QLatin1Char('L');
    }
    QCOMPARE(seen, halves);
}

void TestFamilyReadings::namesAFamilyWhenMostBurstsRead_data()
{
    QTest::addColumn<int>("bursts");
    QTest::addColumn<int>("read");
    QTest::addColumn<int>("checks");
    QTest::addColumn<int>("passed");
    QTest::addColumn<double>("confidence");

    QTest::newRow("all read, nothing to check") << 10 << 10 << 0 << 0 << 1.0;
    QTest::newRow("4 of 5 read") << 5 << 4 << 0 << 0 << 1.0;
    QTest::newRow("2 of 3 read, just most") << 3 << 2 << 2 << 2 << 1.0;
    QTest::newRow("3 of 5 read, too few") << 5 << 3 << 0 << 0 << 0.6;
    QTest::newRow("all read, a checksum wrong in 20") << 20 << 20 << 20 << 19 << 0.95;
    QTest::newRow("all read, two wrong in 20") << 20 << 20 << 20 << 18 << 0.9;
    QTest::newRow("nothing read") << 4 << 0 << 0 << 0 << 0.0;
    QTest::newRow("no bursts") << 0 << 0 << 0 << 0 << 0.0;
}

void TestFamilyReadings::namesAFamilyWhenMostBurstsRead()
{
    QFETCH(int, bursts);
    QFETCH(int, read);
    QFETCH(int, checks);
    QFETCH(int, passed);
    QFETCH(double, confidence);
    BurstTally tally;
    tally.bursts = bursts;
    tally.read = read;
    tally.checks = checks;
    tally.passed = passed;
    QCOMPARE(tally.confidence(), confidence);
}

void TestFamilyReadings::readsAMinuteWithBitsLost_data()
{
    QTest::addColumn<QVariantList>("seconds"); // from the signal's start, pulses widened to 400 ms
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("saying");

    // The first minute mark is at 59 s: the minute read starts at 60 s.
    const QString time = QStringLiteral("Friday 2027-07-16 08:31 CEST");
    QTest::newRow("none lost") << QVariantList{} << time << "parity and fixed bits right";
    QTest::newRow("a weather bit lost")
        << QVariantList{60 + 5} << time << "parity and fixed bits right";
    QTest::newRow("a minute bit lost") << QVariantList{60 + 23} << time << "restored: 23 (parity)";
    QTest::newRow("one bit lost in each group")
        << QVariantList{60 + 22, 60 + 30, 60 + 45} << time
        << "restored: 22 (parity), 30 (parity), 45 (parity)";
    QTest::newRow("summer time bit lost")
        << QVariantList{60 + 17} << time << "restored: 17 (summer and winter time)";
    QTest::newRow("two date bits lost")
        << QVariantList{60 + 40, 60 + 41} << "seconds read, no whole minute"
        << "";
}

void TestFamilyReadings::readsAMinuteWithBitsLost()
{
    QFETCH(QVariantList, seconds);
    QFETCH(QString, title);
    QFETCH(QString, saying);
    std::set<int> lost;
    for (const QVariant &s : seconds)
        lost.insert(s.toInt());
    const Dcf77Signal signal({27, 7, 16, 5, 8, 30, true}, 0, 3);
    const std::optional<TraceDescription> d =
        describeDcf77(trainOf(WidenedSeconds(signal, lost, 400000), 150));
    QVERIFY(d);
    QVERIFY2(d->title.contains(title), qPrintable(d->title));
    QVERIFY2(d->evidence.join('\n').contains(saying), qPrintable(d->evidence.join('\n')));
    QVERIFY(d->confidence >= kConfidenceThreshold);
}

void TestFamilyReadings::callsTooFastOnlyWhatIs_data()
{
    QTest::addColumn<QString>("runs"); // or a serial line: "serial BAUD at PERIOD_US"
    QTest::addColumn<bool>("tooFast");

    // A pulse of one sample and the next within four samples, eight times and more.
    QTest::newRow("cycles of 1 and 3")
        << QString("L50" + QString(" H1 L3").repeated(10) + " L50") << true;
    QTest::newRow("cycles of 1 and 4")
        << QString("L50" + QString(" H1 L4").repeated(10) + " L50") << false;
    QTest::newRow("four cycles of 1 and 3")
        << QString("L50" + QString(" H1 L3").repeated(4) + " L50") << false;
    // Lone pulses of up to four samples.
    QTest::newRow("lone pulses of 4") << QString("L50" + QString(" H4 L500").repeated(5)) << true;
    QTest::newRow("lone pulses of 5") << QString("L50" + QString(" H5 L500").repeated(5)) << false;
    QTest::newRow("pulses of 4, close together")
        << QString("L50" + QString(" H4 L20").repeated(5)) << false;
    // Serial text: too fast at 31,250 bit/s on the board, not at 19,200,
    // nor at 31,250 bit/s sampled every microsecond.
    QTest::newRow("serial 31250 on the board") << "serial 31250 at 20.0736" << true;
    QTest::newRow("serial 19200 on the board") << "serial 19200 at 20.0736" << false;
    QTest::newRow("serial 31250 at 1 MHz") << "serial 31250 at 1" << false;
}

void TestFamilyReadings::callsTooFastOnlyWhatIs()
{
    QFETCH(QString, runs);
    QFETCH(bool, tooFast);
    const QStringList words = runs.split(QLatin1Char(' '));
    const std::vector<std::uint8_t> text{'H', 'e', 'l', 'l', 'o', ',', ' ', 0x55, 0xAA, 0x0F};
    const PulseTrain train = words.front() == QLatin1String("serial")
                                 ? trainOf(SerialFramesSignal(text, {words[1].toDouble()}, 5000),
                                           1.0, words[3].toDouble())
                                 : runsTrain(runs);
    QCOMPARE(describeTooFast(train).has_value(), tooFast);
}

void TestFamilyReadings::readsEveryMorseCharacter_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("A to M") << "ABC DEF GHI JKLM";
    QTest::newRow("N to Z") << "NOP QRS TUV WXYZ";
    QTest::newRow("figures") << "012 345 6789";
    QTest::newRow("signs") << "A.B C,D E?F G/H I=J K+L M-N";
}

void TestFamilyReadings::readsEveryMorseCharacter()
{
    QFETCH(QString, text);
    const std::optional<TraceDescription> d =
        describeMorse(trainOf(MorseSignal(text.toStdString(), 25), 40));
    QVERIFY(d);
    // The text again and again, the last word cut by the recording's end.
    const QString read = d->fields.value(QStringLiteral("text")).toString();
    QVERIFY2(read.startsWith(text + QLatin1Char(' ') + text), qPrintable(read));
    QVERIFY(d->confidence >= kConfidenceThreshold);
}

void TestFamilyReadings::runsRepeatsTogether_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("text"); // at most three shown

    QTest::newRow("none") << QStringList{} << "";
    QTest::newRow("all alike") << QStringList{"a", "a", "a"} << "a ×3";
    QTest::newRow("repeats apart") << QStringList{"a", "b", "a"} << "a; b; a";
    QTest::newRow("three groups shown, the rest counted")
        << QStringList{"a", "a", "b", "c", "c", "d", "e", "e"} << "a ×2; b; c ×2; and 2 more";
}

void TestFamilyReadings::runsRepeatsTogether()
{
    QFETCH(QStringList, items);
    QFETCH(QString, text);
    QCOMPARE(runTogether(items, 3), text);
}

void TestFamilyReadings::neverRoundsAShareUpToTheThreshold()
{
    // Nineteen Qi packets, one with its checksum wrong: a message bit and the
    // parity bit after it flipped together, so that the byte still frames.
    // 18 of 19 checks is 94.7 %, which is no 95 %.
    constexpr double kEveryUs = 40000;
    constexpr double kBitUs = 500;
    const std::vector<std::vector<std::uint8_t>> packets(19, {0x03, 0x10});
    // Bit 30 of a packet is the message's last data bit, 31 its parity bit.
    const WithPulses corrupted(QiSignal(packets, kEveryUs), 19 * kEveryUs / 1e6, 19 * kEveryUs,
                               kEveryUs / 2 + 30.5 * kBitUs, kBitUs);
    const TraceDescription d = describeTrace(trainOf(corrupted, 20 * kEveryUs / 1e6));
    QCOMPARE(d.kind, QStringLiteral("unrecognised"));
    const QString evidence = d.evidence.join(QLatin1Char('\n'));
    QVERIFY2(evidence.contains(QLatin1String("Qi wireless-charging receiver: 19 packets")) &&
                 evidence.contains(QLatin1String("with 94.7 % of its checks passed where 95 % "
                                                 "are needed")),
             qPrintable(evidence));
}

void TestFamilyReadings::countsDamagedTagFrames_data()
{
    QTest::addColumn<QStringList>("flips"); // "frame:bit" in each five frames sent in turn
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("tally"); // the evidence's first line starts so

    // Bits 0-8 are the header, row r's 4 data bits and parity bit start at
    // 9 + 5r, the column parities at 59, the stop bit at 63.
    QTest::newRow("all whole") << QStringList{} << "rfid"
                               << "30 of 30 frames (100.0 %) read whole with their parities "
                                  "right";
    QTest::newRow("a column parity wrong")
        << QStringList{"0:60"} << "rfid"
        << "24 of 30 frames (80.0 %) read whole with their parities right; 6 with a parity or "
           "the stop bit wrong";
    QTest::newRow("a data bit and its row parity wrong: its column tells")
        << QStringList{"0:9", "0:13"} << "rfid"
        << "24 of 30 frames (80.0 %) read whole with their parities right; 6 with";
    QTest::newRow("the last row's parity wrong")
        << QStringList{"3:58"} << "rfid"
        << "24 of 30 frames (80.0 %)";
    QTest::newRow("a row parity wrong in two frames of five")
        << QStringList{"0:13", "1:18"} << "unrecognised"
        << "18 of 30 frames (60.0 %)";
    // The next frame's header follows a 1, but where a frame is due; the
    // last column parity, a 0, and the stop bit make no header.
    QTest::newRow("the stop bit a 1") << QStringList{"2:63"} << "rfid"
                                      << "24 of 30 frames (80.0 %) read whole with their "
                                         "parities right; 6 with a parity or the stop bit wrong";
    QTest::newRow("a header one lost")
        << QStringList{"4:4"} << "rfid"
        << "24 of 24 frames (100.0 %)";
}

void TestFamilyReadings::countsDamagedTagFrames()
{
    QFETCH(QStringList, flips);
    QFETCH(QString, kind);
    QFETCH(QString, tally);
    constexpr double kFrameUs = 64 * 512.0;
    std::vector<std::vector<bool>> frames(5, Em4100Signal::frame(0x12, 0x34567890));
    for (const QString &flip : flips) {
        std::vector<bool> &frame = frames[flip.section(':', 0, 0).toUInt()];
        const auto bit = flip.section(':', 1).toUInt();
        frame[bit] = !frame[bit];
    }
    // Six rounds of five frames, from a millisecond before a round opens to
    // one after the last ends: 30 frames, none cut.
    const Em4100Signal signal(frames, 64, true);
    const double from = 5 * kFrameUs - 1000;
    const PulseTrain train = trainOf(signal, (30 * kFrameUs + 2000) / 1e6, kSamplePeriodUs, from);
    const std::optional<TraceDescription> tag = describeEm4100(train);
    QVERIFY(tag);
    QVERIFY2(tag->evidence.front().startsWith(tally), qPrintable(tag->evidence.join('\n')));
    QCOMPARE(describeTrace(train).kind, kind);
}

QTEST_GUILESS_MAIN(TestFamilyReadings)
#include "test_family_readings.moc"
