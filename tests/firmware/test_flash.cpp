// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-flash as the package installs it, where it cannot reach a board:
// one line on stderr and a non-zero exit, never avrdude's pages of retries.

#include "support/program_run.h"

#include <QtTest>

namespace {

constexpr int kStartTimeoutMs = 10000;
/// Stands for the pseudo-terminal of a board that streams but has no
/// bootloader listening.
constexpr auto kStreamingBoard = "streaming board";

} // namespace

class Flash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void saysInOneLineWhyItCannotFlash_data();
    void saysInOneLineWhyItCannotFlash();

private:
    QTemporaryDir m_root;
    QString m_flash;
};

void Flash::initTestCase()
{
    // The installed layout: bin/wavemill-flash and share/wavemill/firmware.
    QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("share/wavemill/firmware")));
    m_flash = m_root.filePath(QStringLiteral("bin/wavemill-flash"));
    QVERIFY(QFile::copy(QStringLiteral(WAVEMILL_FLASH_SCRIPT), m_flash));
    QVERIFY(
        QFile::copy(QStringLiteral(WAVEMILL_FIRMWARE_HEX),
                    m_root.filePath(QStringLiteral("share/wavemill/firmware/wavemill-board.hex"))));
}

void Flash::saysInOneLineWhyItCannotFlash_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::addColumn<bool>("ranAvrdude");
    QTest::newRow("no port given") << QStringList{} << 2 << "which port?" << false;
    QTest::newRow("unknown board")
        << QStringList{"--board", "mega", "/dev/null"} << 2 << "unknown board \"mega\"" << false;
    QTest::newRow("port missing") << QStringList{"/dev/ttyUSB-none"} << 1
                                  << "no serial port /dev/ttyUSB-none: is the board plugged in?"
                                  << false;
    QTest::newRow("no bootloader answers") << QStringList{"--attempts", "1", kStreamingBoard} << 1
                                           << "no bootloader answers on" << true;
}

void Flash::saysInOneLineWhyItCannotFlash()
{
    QFETCH(QStringList, arguments);
    QProcess board;
    if (arguments.contains(kStreamingBoard)) {
        board.start(QStringLiteral(WAVEMILL_BOARD_PATH),
                    {"--signal", "square", "--count", "0", "--settle", "0"});
        QVERIFY(board.waitForStarted(kStartTimeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(board.canReadLine(), kStartTimeoutMs);
        arguments.replace(arguments.indexOf(kStreamingBoard),
                          QString::fromLocal8Bit(board.readLine()).trimmed());
    }
    const wavemill::testing::ProgramRun run = wavemill::testing::runProgram(m_flash, arguments);
    board.terminate();
    board.waitForFinished(kStartTimeoutMs);

    QTEST(run.status, "status");
    QFETCH(QString, says);
    const QString err = QString::fromLocal8Bit(run.err);
    QVERIFY2(err.startsWith(QLatin1String("wavemill-flash: ") + says) && err.count('\n') == 1,
             qPrintable(err));
    // Before avrdude runs, the line it runs, with the packaged firmware.
    QFETCH(bool, ranAvrdude);
    if (ranAvrdude)
        QVERIFY2(run.out.startsWith("avrdude -p atmega328p -c arduino -P ") &&
                     run.out.contains("flash:w:" +
                                      QFileInfo(m_root.filePath(QStringLiteral(
                                                    "share/wavemill/firmware/wavemill-board.hex")))
                                          .canonicalFilePath()
                                          .toLocal8Bit()),
                 run.out.constData());
}

QTEST_GUILESS_MAIN(Flash)
#include "test_flash.moc"
