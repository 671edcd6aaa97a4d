// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The VCD and CSV writers against levels computed sample by sample here.

#include "core/samples.h"
#include "export/csv_writer.h"
#include "export/vcd_writer.h"

#include "tools/export/export_vcd_reader.h"

#include <QTest>

#include <memory>

using namespace wavemill;
using namespace wavemill::exporting;
using namespace wavemill::testing;

namespace {

/// Samples in a capture, and one sample in units of 100 ps.
constexpr int kSamples = 507904;
constexpr qint64 kTicks = 200736;

int level(const TraceBuffers &buffers, int channel, int sample)
{
    return sampleLevel((*buffers.trace(channel))[sample / kSamplesPerByte],
                       sample % kSamplesPerByte);
}

/// Buffers from edits like "1@0=80 2@63487=01 *3=ff": trace@byte=hex sets one
/// byte, *trace=hex fills a whole buffer (its last element included).
std::unique_ptr<TraceBuffers> buffersFrom(const QString &edits)
{
    auto buffers = std::make_unique<TraceBuffers>();
    for (const QString &edit : edits.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList sides = edit.split(QLatin1Char('='));
        const auto value = std::uint8_t(sides[1].toUInt(nullptr, 16));
        if (sides[0].startsWith(QLatin1Char('*'))) {
            buffers->trace(sides[0].mid(1).toInt())->fill(value);
        } else {
            const QStringList place = sides[0].split(QLatin1Char('@'));
            (*buffers->trace(place[0].toInt()))[place[1].toInt()] = value;
        }
    }
    return buffers;
}

QList<int> tracesFrom(const QString &text)
{
    QList<int> traces;
    for (const QString &part : text.split(QLatin1Char(',')))
        traces.append(part.toInt());
    return traces;
}

/// "200736 trace1 0; ..." as changes.
QList<VcdChange> changesFrom(const QString &text)
{
    QList<VcdChange> changes;
    for (const QString &item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList f = item.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        changes.append({f[0].toLongLong(), f[1].toLatin1(), f[2].toLatin1()[0]});
    }
    return changes;
}

const VcdHeader kHeader{QStringLiteral("2024-06-11T12:00:00"),
                        QStringLiteral("wavemill-export 1.0"), QString()};

} // namespace

class TestExportWriters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void vcdHoldsEverySampleAtItsTime_data();
    void vcdHoldsEverySampleAtItsTime();
    void csvRowsFollowTheLevels_data();
    void csvRowsFollowTheLevels();
    void csvTimeIsExactMilliseconds_data();
    void csvTimeIsExactMilliseconds();
};

void TestExportWriters::vcdHoldsEverySampleAtItsTime_data()
{
    QTest::addColumn<QString>("edits");
    QTest::addColumn<QString>("traces");
    QTest::addColumn<QString>("initial"); // levels at time 0, in trace order
    QTest::addColumn<QString>("firstChanges");
    QTest::addColumn<int>("changeCount");

    QTest::newRow("all low") << ""
                             << "1,2,3"
                             << "000"
                             << "" << 0;
    QTest::newRow("all high, the extra element too") << "*2=ff"
                                                     << "2"
                                                     << "1"
                                                     << "" << 0;
    QTest::newRow("bit 7 is the earliest sample") << "1@0=80"
                                                  << "1"
                                                  << "1"
                                                  << "200736 trace1 0" << 1;
    QTest::newRow("a one-sample pulse at sample 1") << "1@0=40"
                                                    << "1"
                                                    << "0"
                                                    << "200736 trace1 1; 401472 trace1 0" << 2;
    QTest::newRow("a rise across a byte boundary") << "1@1=ff 1@2=ff"
                                                   << "1"
                                                   << "0"
                                                   << "1605888 trace1 1; 4817664 trace1 0" << 2;
    QTest::newRow("the last captured sample") << "3@63487=01"
                                              << "3"
                                              << "0"
                                              << "101954416608 trace3 1" << 1;
    QTest::newRow("the buffer's extra element is not exported") << "1@63488=ff 2@63488=55"
                                                                << "1,2"
                                                                << "00"
                                                                << "" << 0;
    QTest::newRow("two traces change at one time")
        << "1@5=0f 3@5=f0"
        << "1,3"
        << "00"
        << "8029440 trace3 1; 8832384 trace1 1; 8832384 trace3 0; 9635328 trace1 0" << 4;
    QTest::newRow("a chosen trace beside busy ones left out")
        << "*1=55 2@10=01 *3=aa"
        << "2"
        << "0"
        << "17464032 trace2 1; 17664768 trace2 0" << 2;
    QTest::newRow("a change at every sample") << "*1=55"
                                              << "1"
                                              << "0"
                                              << "200736 trace1 1; 401472 trace1 0" << kSamples - 1;
    QTest::newRow("traces in the order asked") << "*3=ff"
                                               << "3,1"
                                               << "10"
                                               << "" << 0;
}

void TestExportWriters::vcdHoldsEverySampleAtItsTime()
{
    QFETCH(QString, edits);
    QFETCH(QString, traces);
    QFETCH(QString, initial);
    QFETCH(QString, firstChanges);
    QFETCH(int, changeCount);

    const auto buffers = buffersFrom(edits);
    const QList<int> chosen = tracesFrom(traces);
    const VcdDump dump = readVcd(writeVcd(*buffers, chosen, kHeader));
    QVERIFY2(dump.error.isEmpty(), dump.error.constData());

    QCOMPARE(dump.sections.value("timescale"), QByteArray("100 ps"));
    QCOMPARE(dump.sections.value("date"), kHeader.date.toUtf8());
    QCOMPARE(dump.sections.value("version"), kHeader.version.toUtf8());
    QList<QByteArray> names;
    for (int channel : chosen)
        names.append("trace" + QByteArray::number(channel));
    QCOMPARE(dump.names, names);
    for (int i = 0; i < chosen.size(); ++i)
        QCOMPARE(dump.initial.value(names[i]), initial.toLatin1()[i]);
    QVERIFY(!dump.repeatsAValue);
    QCOMPARE(dump.changes.size(), changeCount);
    const QList<VcdChange> expected = changesFrom(firstChanges);
    QCOMPARE(dump.changes.mid(0, expected.size()), expected);
    QCOMPARE(dump.lastTime, kSamples * kTicks);

    // Replaying the dump gives the level of every sample of every chosen trace.
    QMap<QByteArray, char> held = dump.initial;
    qsizetype next = 0;
    for (int s = 0; s < kSamples; ++s) {
        for (; next < dump.changes.size() && dump.changes[next].time <= s * kTicks; ++next) {
            QCOMPARE(dump.changes[next].time % kTicks, 0);
            held[dump.changes[next].name] = dump.changes[next].value;
        }
        for (int i = 0; i < chosen.size(); ++i) {
            if (held[names[i]] - '0' != level(*buffers, chosen[i], s))
                QFAIL(qPrintable(QStringLiteral("%1 differs at sample %2").arg(names[i]).arg(s)));
        }
    }
}

void TestExportWriters::csvRowsFollowTheLevels_data()
{
    QTest::addColumn<QString>("edits");
    QTest::addColumn<QString>("traces");
    QTest::addColumn<bool>("everySample");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("firstRows");
    QTest::addColumn<int>("rowCount");

    QTest::newRow("flat: the first and the last sample")
        << ""
        << "1,2,3" << false << QByteArray("time_ms,sample,trace1,trace2,trace3")
        << QByteArray("0.0000000,0,0,0,0\n10195.4416608,507903,0,0,0\n") << 2;
    QTest::newRow("a pulse at sample 1, picked traces")
        << "2@0=40"
        << "2,3" << false << QByteArray("time_ms,sample,trace2,trace3")
        << QByteArray("0.0000000,0,0,0\n0.0200736,1,1,0\n0.0401472,2,0,0\n") << 4;
    QTest::newRow("a change in the last sample has no extra row")
        << "1@63487=01"
        << "1" << false << QByteArray("time_ms,sample,trace1")
        << QByteArray("0.0000000,0,0\n10195.4416608,507903,1\n") << 2;
    QTest::newRow("the extra element is no row")
        << "1@63488=ff"
        << "1" << false << QByteArray("time_ms,sample,trace1") << QByteArray("0.0000000,0,0\n")
        << 2;
    QTest::newRow("every sample")
        << "1@0=a0"
        << "1" << true << QByteArray("time_ms,sample,trace1")
        << QByteArray("0.0000000,0,1\n0.0200736,1,0\n0.0401472,2,1\n0.0602208,3,0\n") << kSamples;
}

void TestExportWriters::csvRowsFollowTheLevels()
{
    QFETCH(QString, edits);
    QFETCH(QString, traces);
    QFETCH(bool, everySample);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, firstRows);
    QFETCH(int, rowCount);

    const auto buffers = buffersFrom(edits);
    const QList<int> chosen = tracesFrom(traces);
    const QByteArray csv = writeCsv(*buffers, chosen, everySample);
    QVERIFY(csv.endsWith('\n'));
    QList<QByteArray> lines = csv.split('\n');
    lines.removeLast();
    QCOMPARE(lines.front(), header);
    QCOMPARE(lines.size() - 1, rowCount);
    QVERIFY(csv.mid(header.size() + 1).startsWith(firstRows));

    // Every row holds the levels of its sample, rows go forward in time,
    // and (without --every-sample) each row but the last shows a change.
    int previousSample = -1;
    QByteArray previousLevels;
    for (qsizetype r = 1; r < lines.size(); ++r) {
        const QList<QByteArray> fields = lines[r].split(',');
        QCOMPARE(fields.size(), chosen.size() + 2);
        const int sample = fields[1].toInt();
        QVERIFY(sample > previousSample);
        QCOMPARE(fields[0], millisecondsText(sample));
        QByteArray levels;
        for (int i = 0; i < chosen.size(); ++i) {
            QCOMPARE(fields[2 + i].toInt(), level(*buffers, chosen[i], sample));
            levels += fields[2 + i];
        }
        if (!everySample && r > 1 && r < lines.size() - 1)
            QVERIFY2(levels != previousLevels, lines[r].constData());
        previousSample = sample;
        previousLevels = levels;
    }
    QCOMPARE(previousSample, kSamples - 1);
}

void TestExportWriters::csvTimeIsExactMilliseconds_data()
{
    QTest::addColumn<int>("sample");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("start") << 0 << QByteArray("0.0000000");
    QTest::newRow("one sample") << 1 << QByteArray("0.0200736");
    QTest::newRow("one byte") << 8 << QByteArray("0.1605888");
    QTest::newRow("one block of 1024 bytes") << 8192 << QByteArray("164.4429312");
    QTest::newRow("crosses a whole second") << 49817 << QByteArray("1000.0065312");
    QTest::newRow("last sample") << kSamples - 1 << QByteArray("10195.4416608");
}

void TestExportWriters::csvTimeIsExactMilliseconds()
{
    QFETCH(int, sample);
    QFETCH(QByteArray, text);
    QCOMPARE(millisecondsText(sample), text);
}

QTEST_GUILESS_MAIN(TestExportWriters)
#include "test_export_writers.moc"
