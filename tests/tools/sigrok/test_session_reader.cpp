// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Session files read as sigrok writes them: rates in its words, metadata of
// its two format versions, samples streamed across chunks of any size, and a
// channel's runs against a plain sample-by-sample reading.

#include "tools/sigrok/session_files.h"

#include "sigrok/channel_runs.h"
#include "sigrok/session_metadata.h"
#include "sigrok/session_reader.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace wavemill;
using namespace wavemill::sigrok;
using namespace wavemill::testing;

namespace {

/// "1:SDA 2:1" for a file's channels.
QString channelsText(const QList<SessionChannel> &channels)
{
    QStringList out;
    for (const SessionChannel &c : channels)
        out << QStringLiteral("%1:%2").arg(c.number).arg(c.name);
    return out.join(QLatin1Char(' '));
}

/// Channel \a number of \a samples, sample by sample, as runs.
std::vector<LevelRun> plainRuns(const QByteArray &samples, int unitSize, int number)
{
    std::vector<LevelRun> runs;
    const auto levelAt = [&](qsizetype i) {
        return (quint8(samples[i * unitSize + (number - 1) / 8]) >> ((number - 1) % 8) & 1) != 0;
    };
    for (qsizetype i = 0; i < samples.size() / unitSize; ++i) {
        if (runs.empty() || levelAt(i) != runs.back().high)
            runs.push_back({i, 0, levelAt(i)});
        ++runs.back().length;
    }
    return runs;
}

} // namespace

class TestSessionReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsRatesInSigroksWords_data();
    void readsRatesInSigroksWords();
    void readsMetadataOrSaysWhyNot_data();
    void readsMetadataOrSaysWhyNot();
    void cutsAChannelIntoRuns_data();
    void cutsAChannelIntoRuns();
    void readsSigroksRecordings_data();
    void readsSigroksRecordings();
    void streamsSamplesAcrossChunks();
};

void TestSessionReader::readsRatesInSigroksWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint64>("hertz"); // 0: refused

    QTest::newRow("the board's") << "49.817 kHz" << quint64(49817);
    QTest::newRow("1 MHz") << "1 MHz" << quint64(1000000);
    QTest::newRow("25 kHz, no blank") << "25kHz" << quint64(25000);
    QTest::newRow("lower case") << "4 mhz" << quint64(4000000);
    QTest::newRow("a fraction of a prefix") << "1.5 MHz" << quint64(1500000);
    QTest::newRow("bare hertz") << "4000000" << quint64(4000000);
    QTest::newRow("no whole part") << ".5 kHz" << quint64(500);
    QTest::newRow("the fastest") << "100 GHz" << quint64(100000000000);
    QTest::newRow("beyond the fastest") << "101 GHz" << quint64(0);
    QTest::newRow("zero") << "0 Hz" << quint64(0);
    QTest::newRow("a fraction of a hertz") << "49.8175 kHz" << quint64(0);
    QTest::newRow("negative") << "-1 MHz" << quint64(0);
    QTest::newRow("overflow") << "99999999999999999999 GHz" << quint64(0);
    QTest::newRow("words") << "fast" << quint64(0);
    QTest::newRow("trailing text") << "1 MHz please" << quint64(0);
    QTest::newRow("empty") << "" << quint64(0);
}

void TestSessionReader::readsRatesInSigroksWords()
{
    QFETCH(QString, text);
    QFETCH(quint64, hertz);
    QCOMPARE(quint64(parseSampleRate(text)), hertz);
    if (hertz > 0) // and written back as sigrok writes it
        QCOMPARE(parseSampleRate(sampleRateText(hertz)), hertz);
}

void TestSessionReader::readsMetadataOrSaysWhyNot_data()
{
    QTest::addColumn<QByteArray>("metadata");
    QTest::addColumn<QString>("read"); // "rate unit channels", or what the refusal says

    QTest::newRow("version 1, blanks around =")
        << QByteArray("[global]\nsigrok version = 0.2.0\n[device 1]\ndriver = ols\ncapturefile = "
                      "logic-1\nunitsize = 1\ntotal probes = 32\nsamplerate = 100 kHz\nprobe1 = "
                      "RX\n trigger1 = 0\n")
        << "100000 1 1:RX";
    QTest::newRow("unnamed probes are not recorded")
        << sessionMetadata("1 MHz", 1, "probe4=CEC\n") << "1000000 1 4:CEC";
    QTest::newRow("names that are numbers, in number order")
        << sessionMetadata("1 MHz", 2, "probe10=9\nprobe2=1\nprobe1=SDA\n", 16)
        << "1000000 2 1:SDA 2:1 10:9";
    QTest::newRow("no rate") << QByteArray("[device 1]\ncapturefile=logic-1\nunitsize=1\nprobe1=A\n")
                             << "no sample rate";
    QTest::newRow("rate of zero") << sessionMetadata("0 Hz", 1, "probe1=A\n") << "'0 Hz'";
    QTest::newRow("no unit size")
        << QByteArray("[device 1]\ncapturefile=logic-1\nsamplerate=1 MHz\nprobe1=A\n")
        << "unit size ''";
    QTest::newRow("unit size 9") << sessionMetadata("1 MHz", 9, "probe1=A\n") << "unit size '9'";
    QTest::newRow("a probe beyond the unit size")
        << sessionMetadata("1 MHz", 1, "probe9=A\n", 16) << "probe 9";
    QTest::newRow("a probe beyond the total") << sessionMetadata("1 MHz", 1, "probe3=A\n", 2)
                                              << "probe 3";
    QTest::newRow("no named probe") << sessionMetadata("1 MHz", 1, "", 0) << "no logic channel";
    QTest::newRow("no capture file") << QByteArray("[device 1]\nsamplerate=1 MHz\nunitsize=1\n")
                                     << "no capturefile";
    QTest::newRow("a key twice") << sessionMetadata("1 MHz", 1, "probe1=A\nprobe1=B\n")
                                 << "'probe1' twice";
    QTest::newRow("two devices with logic data")
        << sessionMetadata("1 MHz", 1, "probe1=A\n") + sessionMetadata("1 MHz", 1, "probe1=A\n")
                                                           .replace("[device 1]", "[device 2]")
        << "more than one device";
}

void TestSessionReader::readsMetadataOrSaysWhyNot()
{
    QFETCH(QByteArray, metadata);
    QFETCH(QString, read);
    SessionMetadata m;
    QString why;
    if (parseSessionMetadata(metadata, &m, &why)) {
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(m.sampleRateHz).arg(m.unitSize).arg(
                     channelsText(m.channels)),
                 read);
        QCOMPARE(m.captureFile, QByteArray("logic-1"));
    } else {
        QVERIFY2(why.contains(read), qPrintable(why));
    }
}

void TestSessionReader::cutsAChannelIntoRuns_data()
{
    QTest::addColumn<int>("unitSize");
    QTest::addColumn<int>("number");  // the channel
    QTest::addColumn<int>("maxRuns"); // 0: as many as there are
    QTest::addColumn<int>("meanRun"); // samples

    QTest::newRow("unit 1, channel 1") << 1 << 1 << 0 << 40;
    QTest::newRow("unit 1, channel 8, every sample a run") << 1 << 8 << 0 << 1;
    QTest::newRow("unit 2, channel 10") << 2 << 10 << 0 << 9;
    QTest::newRow("unit 3: no whole words") << 3 << 17 << 0 << 5;
    QTest::newRow("unit 8, channel 64") << 8 << 64 << 0 << 30;
    QTest::newRow("unit 1, kept to 100 runs") << 1 << 3 << 100 << 20;
    QTest::newRow("unit 2, kept to one run") << 2 << 16 << 1 << 20;
}

void TestSessionReader::cutsAChannelIntoRuns()
{
    QFETCH(int, unitSize);
    QFETCH(int, number);
    QFETCH(int, maxRuns);
    QFETCH(int, meanRun);

    // Random bytes whose channel bit holds runs of random lengths.
    QRandomGenerator random(quint32(unitSize * 100 + number));
    constexpr int kSamples = 20000;
    QByteArray samples(qsizetype(kSamples) * unitSize, '\0');
    for (char &byte : samples)
        byte = char(random.bounded(256));
    bool level = true;
    for (int i = 0; i < kSamples;) {
        const int length = 1 + int(random.bounded(2 * meanRun));
        for (int k = 0; k < length && i < kSamples; ++k, ++i) {
            char &byte = samples[i * unitSize + (number - 1) / 8];
            const auto bit = char(1 << ((number - 1) % 8));
            byte = char(level ? byte | bit : byte & ~bit);
        }
        level = !level;
    }
    std::vector<LevelRun> expected = plainRuns(samples, unitSize, number);
    if (maxRuns > 0)
        expected.resize(std::min(expected.size(), std::size_t(maxRuns)));

    // Handed on in blocks of odd sizes, as a session file's chunks come.
    ChannelRuns runs(number, unitSize, maxRuns > 0 ? std::size_t(maxRuns) : std::size_t(kSamples));
    for (int i = 0; i < kSamples;) {
        const int count = std::min(kSamples - i, 1 + int(random.bounded(777)));
        runs.add(reinterpret_cast<const std::uint8_t *>(samples.constData()) + qsizetype(i) * unitSize,
                 std::size_t(count));
        i += count;
    }
    QCOMPARE(runs.full(), maxRuns > 0);
    const std::vector<LevelRun> got = runs.finish();
    QCOMPARE(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].start, expected[i].start);
        QCOMPARE(got[i].length, expected[i].length);
        QCOMPARE(got[i].high, expected[i].high);
    }
}

void TestSessionReader::readsSigroksRecordings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("read"); // rate, unit size, samples, channels

    QTest::newRow("version 1, key = value")
        << "uart_es51978.sr" << 1 << "100000 1 245760 1:RX";
    QTest::newRow("two bytes a sample, 16 probes")
        << "dali_rako_rsrdali_query_ballast.sr" << 2 << "100000 2 40610 1:D0";
    QTest::newRow("channels named by numbers")
        << "am230x_am2302_1mhz.sr" << 2 << "1000000 1 100000 1:SDA 2:1 3:2 4:3 5:4 6:5 7:6 8:7";
}

void TestSessionReader::readsSigroksRecordings()
{
    QFETCH(QString, file);
    QFETCH(int, version);
    QFETCH(QString, read);
    SessionReader reader;
    QString why;
    QVERIFY2(reader.open(QStringLiteral(WAVEMILL_RECORDINGS_DIR "/") + file, &why), qPrintable(why));
    QCOMPARE(reader.formatVersion(), version);
    QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                 .arg(reader.sampleRateHz())
                 .arg(reader.unitSize())
                 .arg(reader.sampleCount())
                 .arg(channelsText(reader.channels())),
             read);
    std::uint64_t streamed = 0;
    QVERIFY2(reader.readSamples(
                 [&](const std::uint8_t *, std::size_t count) {
                     streamed += count;
                     return true;
                 },
                 &why),
             qPrintable(why));
    QCOMPARE(streamed, reader.sampleCount());
}

void TestSessionReader::streamsSamplesAcrossChunks()
{
    // Three-byte samples in chunks that end inside a sample, read whole, in
    // order, in blocks of whole samples; then again, and stopped at once.
    QTemporaryDir dir;
    QByteArray samples(qsizetype(3) * 500000, '\0');
    for (qsizetype i = 0; i < samples.size(); ++i)
        samples[i] = char(i * 7 % 251);
    const QString path = dir.filePath(QStringLiteral("chunks.sr"));
    QVERIFY(writeSession(path, sessionMetadata("25 kHz", 3, "probe24=X\n", 24),
                         {samples.left(1000001), samples.mid(1000001, 2), samples.mid(1000003)}));
    SessionReader reader;
    QString why;
    QVERIFY2(reader.open(path, &why), qPrintable(why));
    QCOMPARE(reader.sampleCount(), std::uint64_t(500000));
    for (int pass = 0; pass < 2; ++pass) {
        QByteArray read;
        QVERIFY(reader.readSamples(
            [&](const std::uint8_t *data, std::size_t count) {
                read.append(reinterpret_cast<const char *>(data), qsizetype(count * 3));
                return true;
            },
            &why));
        QVERIFY(read == samples);
    }
    int blocks = 0;
    QVERIFY(reader.readSamples([&](const std::uint8_t *, std::size_t) { return ++blocks < 1; },
                               &why));
    QCOMPARE(blocks, 1);
}

QTEST_GUILESS_MAIN(TestSessionReader)
#include "test_session_reader.moc"
