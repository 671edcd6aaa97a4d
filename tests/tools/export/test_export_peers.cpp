// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The export read by independent tools of the field: sigrok-cli reads the
// session file as it is and decodes the serial text of the example captures
// from it and from the VCD, and gtkwave's vcd2fst and fst2vcd carry the VCD
// through FST and back. A missing tool skips its test, unless scripts/test
// asks for every peer check (WAVEMILL_REQUIRE_PEERS).

#include "examples/example_signals.h"

#include "support/program_run.h"
#include "tools/export/export_vcd_reader.h"

#include <QtTest>

#include <algorithm>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

/// sigrok's VCD reader makes one sample of every time unit; 200,736 units of
/// 100 ps are one sample of the capture.
constexpr auto kSigrokInput = "vcd:downsample=200736";

QString examplePath(const QString &name)
{
    return QStringLiteral(WAVEMILL_EXAMPLES_DIR "/") + name;
}

bool exportCapture(const QString &capture, const QString &output, const QString &traces)
{
    return runProgram(QStringLiteral(WAVEMILL_EXPORT_PATH),
                      {capture, QStringLiteral("-o"), output, QStringLiteral("--traces"), traces})
               .status == 0;
}

/// The serial text the example generator put on trace 1 of \a fileName.
QByteArray uartTextOf(const QString &fileName)
{
    for (const auto &example : examples::makeExamples()) {
        if (example.fileName == fileName)
            return example.uartText;
    }
    return {};
}

} // namespace

class TestExportPeers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sigrokReadsTheSessionFile_data();
    void sigrokReadsTheSessionFile();
    void sigrokDecodesTheSerialText_data();
    void sigrokDecodesTheSerialText();
    void fstRoundTripKeepsEveryChange_data();
    void fstRoundTripKeepsEveryChange();

private:
    QTemporaryDir m_dir;
};

void TestExportPeers::sigrokReadsTheSessionFile_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("traces");

    QTest::newRow("uart-hello, all traces") << "uart-hello.ird"
                                            << "1,2,3";
    QTest::newRow("pwm, traces 3 and 1") << "pwm.ird"
                                         << "3,1";
    QTest::newRow("mixed, trace 1 alone") << "mixed.ird"
                                          << "1";
    QTest::newRow("infrared, trace 2 alone") << "infrared.ird"
                                             << "2";
}

void TestExportPeers::sigrokReadsTheSessionFile()
{
    QFETCH(QString, fileName);
    QFETCH(QString, traces);

    QString sigrok;
    WAVEMILL_REQUIRE_PEER(sigrok, "sigrok-cli");
    const QString session = m_dir.filePath(fileName + QStringLiteral(".sr"));
    QVERIFY(exportCapture(examplePath(fileName), session, traces));

    // What the file holds, as sigrok reads it with no input options.
    QByteArray expected =
        "Samplerate: 49817\nChannels: " + QByteArray::number(traces.count(',') + 1) + '\n';
    for (const QString &trace : traces.split(','))
        expected += "- trace" + trace.toLatin1() + ": logic\n";
    expected += "Logic unitsize: 1\nLogic sample count: 507904\n";
    const QByteArray shown =
        outputOf(sigrok, {QStringLiteral("-i"), session, QStringLiteral("--show")});
    QVERIFY2(shown.contains(expected), shown.constData());

    const QByteArray sent = uartTextOf(fileName);
    if (sent.isEmpty() || !traces.split(',').contains(QStringLiteral("1")))
        return; // no serial text on the traces in the file
    const QByteArray decoded =
        outputOf(sigrok, {QStringLiteral("-i"), session, QStringLiteral("-P"),
                          QStringLiteral("uart:rx=trace1:baudrate=9600"), QStringLiteral("-B"),
                          QStringLiteral("uart=rx")});
    QCOMPARE(decoded, sent);
}

void TestExportPeers::sigrokDecodesTheSerialText_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("traces");

    QTest::newRow("uart-hello, trace 1 alone") << "uart-hello.ird"
                                               << "1";
    QTest::newRow("uart-hello, all traces") << "uart-hello.ird"
                                            << "1,2,3";
    QTest::newRow("pwm, traces 3 and 1") << "pwm.ird"
                                         << "3,1";
    QTest::newRow("mixed, trace 1 alone") << "mixed.ird"
                                          << "1";
}

void TestExportPeers::sigrokDecodesTheSerialText()
{
    QFETCH(QString, fileName);
    QFETCH(QString, traces);

    QString sigrok;
    WAVEMILL_REQUIRE_PEER(sigrok, "sigrok-cli");

    const QByteArray sent = uartTextOf(fileName);
    QVERIFY(!sent.isEmpty());

    const QString vcd = m_dir.filePath(fileName + QStringLiteral(".vcd"));
    QVERIFY(exportCapture(examplePath(fileName), vcd, traces));
    // -B writes the decoder's received bytes as they are.
    const QByteArray decoded =
        outputOf(sigrok, {QStringLiteral("-I"), QLatin1String(kSigrokInput), QStringLiteral("-i"),
                          vcd, QStringLiteral("-P"), QStringLiteral("uart:rx=trace1:baudrate=9600"),
                          QStringLiteral("-B"), QStringLiteral("uart=rx")});
    QCOMPARE(decoded, sent);
}

void TestExportPeers::fstRoundTripKeepsEveryChange_data()
{
    QTest::addColumn<QString>("fileName");

    QTest::newRow("uart-hello") << "uart-hello.ird";
    QTest::newRow("pwm") << "pwm.ird";
    QTest::newRow("mixed") << "mixed.ird";
}

void TestExportPeers::fstRoundTripKeepsEveryChange()
{
    QFETCH(QString, fileName);

    QString toFst;
    QString fromFst;
    WAVEMILL_REQUIRE_PEER(toFst, "vcd2fst");
    WAVEMILL_REQUIRE_PEER(fromFst, "fst2vcd");

    const QString vcd = m_dir.filePath(fileName + QStringLiteral(".vcd"));
    const QString fst = m_dir.filePath(fileName + QStringLiteral(".fst"));
    QVERIFY(exportCapture(examplePath(fileName), vcd, QStringLiteral("1,2,3")));
    outputOf(toFst, {vcd, fst});
    QVERIFY(QFileInfo(fst).size() > 0);
    const QByteArray back = outputOf(fromFst, {fst});

    QFile file(vcd);
    QVERIFY(file.open(QIODevice::ReadOnly));
    VcdDump ours = readVcd(file.readAll());
    VcdDump theirs = readVcd(back);
    QVERIFY2(ours.error.isEmpty(), ours.error.constData());
    QVERIFY2(theirs.error.isEmpty(), theirs.error.constData());

    QCOMPARE(theirs.names, ours.names);
    QCOMPARE(QByteArray(theirs.sections.value("timescale")).replace(' ', ""), QByteArray("100ps"));
    QCOMPARE(theirs.initial, ours.initial);
    QVERIFY(ours.changes.size() > 1000);
    QCOMPARE(theirs.changes.size(), ours.changes.size());
    // Changes at one time stamp may come back in another order of wires.
    const auto byTimeThenName = [](const VcdChange &a, const VcdChange &b) {
        return a.time != b.time ? a.time < b.time : a.name < b.name;
    };
    std::stable_sort(ours.changes.begin(), ours.changes.end(), byTimeThenName);
    std::stable_sort(theirs.changes.begin(), theirs.changes.end(), byTimeThenName);
    for (qsizetype i = 0; i < ours.changes.size(); ++i) {
        if (!(theirs.changes[i] == ours.changes[i]))
            QFAIL(qPrintable(QStringLiteral("change %1: %2 %3=%4 came back as %5 %6=%7")
                                 .arg(i)
                                 .arg(ours.changes[i].time)
                                 .arg(QString::fromLatin1(ours.changes[i].name))
                                 .arg(QChar::fromLatin1(ours.changes[i].value))
                                 .arg(theirs.changes[i].time)
                                 .arg(QString::fromLatin1(theirs.changes[i].name))
                                 .arg(QChar::fromLatin1(theirs.changes[i].value))));
    }
    QCOMPARE(theirs.lastTime, ours.lastTime);
}

QTEST_GUILESS_MAIN(TestExportPeers)
#include "test_export_peers.moc"
