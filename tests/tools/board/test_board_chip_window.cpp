// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// End to end with no hardware: the board's firmware runs in wavemill-board's
// simulated chip with serial text on PD2. The window captures what the chip
// sends through a pseudo-terminal and saves it, and wavemill-decode reads
// the text back from the saved file; wavemill-capture records the same into
// a session file, and sigrok-cli reads the text back from that.

#include "acquisition/capture.h"
#include "app/form1.h"
#include "platform/label_control.h"
#include "platform/qt_serial_component.h"
#include "support/program_run.h"
#include "support/scripted_file_dialog.h"
#include "support/watched_form.h"

#include <QtTest>

using namespace wavemill;

namespace {

/// A capture at the board's pace takes 10.2 s; the chip runs faster than
/// that even in a sanitizer build.
constexpr int kCaptureTimeoutMs = 60000;
constexpr int kStartTimeoutMs = 10000;

} // namespace

class BoardChipWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theWindowCapturesTheFirmwareAndTheDecoderReadsIt();
    void wavemillCaptureRecordsTheFirmwareForSigrok();
};

// The boards keep their default settle (50 ms) after the port opens: the window
// and wavemill-capture drop what waited before their opening was done, and a
// finite stream that began within that moment would lose its first bytes.
void BoardChipWindow::theWindowCapturesTheFirmwareAndTheDecoderReadsIt()
{
    QProcess board;
    board.start(QStringLiteral(WAVEMILL_BOARD_PATH),
                {"--chip", WAVEMILL_FIRMWARE_ELF, "--signal", "uart", "--text",
                 "Sent by the firmware\r\n", "--baud", "9600", "--repeat", "--once"});
    QVERIFY(board.waitForStarted(kStartTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(board.canReadLine(), kStartTimeoutMs);
    const QString path = QString::fromLocal8Bit(board.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), qPrintable(path));

    platform::QtSerialComponent port;
    testing::ScriptedFileDialog dialog;
    testing::WatchedForm watched(&dialog, nullptr, &port);
    Form1 &form = watched.form;
    form.Combo2->setCurrentText(path);
    form.Combo1->setCurrentText(QStringLiteral("2"));
    form.Command2->click();
    QVERIFY2(form.MSComm1->PortOpen(), qPrintable(form.Label1->Caption()));
    QTRY_VERIFY_WITH_TIMEOUT(!form.MSComm1->PortOpen(), kCaptureTimeoutMs);
    QCOMPARE(form.Label2->Caption(), acquisition::kRateDone);

    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("chip.ird"));
    dialog.choose(file);
    form.Command3->click();
    QVERIFY(QFileInfo::exists(file));

    // --once: the board ends when the window closes the port.
    QTRY_COMPARE_WITH_TIMEOUT(board.state(), QProcess::NotRunning, kStartTimeoutMs);
    QCOMPARE(board.exitCode(), 0);
    // What the window took came from the chip, not from the board's own packing.
    const QByteArray report = board.readAllStandardError();
    qInfo("%s", report.constData());
    QVERIFY(report.contains("PD2 read "));

    const testing::ProgramRun decoded =
        testing::runProgram(QStringLiteral(WAVEMILL_DECODE_PATH), {file, "--trace", "2"});
    QCOMPARE(decoded.status, 0);
    QVERIFY2(decoded.out.contains("trace 2: UART at 9600 bit/s, idle high, 8N1") &&
                 decoded.out.contains("Sent by the firmware\\r\\nSent by the firmware\\r\\n"),
             decoded.out.constData());
}

void BoardChipWindow::wavemillCaptureRecordsTheFirmwareForSigrok()
{
    QString sigrok;
    WAVEMILL_REQUIRE_PEER(sigrok, "sigrok-cli");
    const QByteArray text = "Recorded from the chip\r\n";
    QProcess board;
    board.start(QStringLiteral(WAVEMILL_BOARD_PATH),
                {"--chip", WAVEMILL_FIRMWARE_ELF, "--signal", "uart", "--text", text, "--baud",
                 "9600", "--repeat", "--once", "--pace", "fast"});
    QVERIFY(board.waitForStarted(kStartTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(board.canReadLine(), kStartTimeoutMs);
    const QString path = QString::fromLocal8Bit(board.readLine()).trimmed();

    QTemporaryDir folder;
    const QString session = folder.filePath(QStringLiteral("chip.sr"));
    const testing::ProgramRun run =
        testing::runProgram(QStringLiteral(WAVEMILL_CAPTURE_PATH), {path, "-o", session});
    QVERIFY2(run.status == 0, run.err.constData());
    QTRY_COMPARE_WITH_TIMEOUT(board.state(), QProcess::NotRunning, kStartTimeoutMs);
    QCOMPARE(board.exitCode(), 0);

    const QByteArray decoded = testing::outputOf(
        sigrok, {"-i", session, "-P", "uart:rx=trace1:baudrate=9600", "-B", "uart=rx"});
    // A capture is 10.2 s: some 9,700 characters at 9600 bit/s, from the first.
    QVERIFY2(decoded.size() > 9000, QByteArray::number(decoded.size()).constData());
    QVERIFY(decoded == text.repeated(int(decoded.size() / text.size()) + 1).left(decoded.size()));
}

QTEST_MAIN(BoardChipWindow)
#include "test_board_chip_window.moc"
