// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-capture as a user runs it, on the real pseudo-terminal of
// wavemill-board: every kind of file read back to the board's bytes (the
// session file by sigrok-cli), and what is left on disk when it fails.

#include "signals/signals.h"
#include "capture_file/capture_file_format.h"
#include "support/program_run.h"
#include "tools/export/export_vcd_reader.h"

#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

constexpr int kStartMs = 10000;
constexpr std::uint32_t kSeed = 7;
/// One sample in the dump's 100 ps units.
constexpr qint64 kSampleTicks = 200736;

/// A wavemill-board on a pseudo-terminal of its own, ended with the test.
struct Board
{
    explicit Board(const QStringList &arguments)
    {
        process.start(QStringLiteral(WAVEMILL_BOARD_PATH), arguments);
        if (process.waitForReadyRead(kStartMs))
            path = QString::fromUtf8(process.readLine()).trimmed();
    }
    ~Board()
    {
        process.terminate();
        if (!process.waitForFinished(kStartMs))
            process.kill();
    }
    /// Waits until the board streams: the capture has the port open.
    bool waitForStream()
    {
        QElapsedTimer clock;
        clock.start();
        while (!process.readAllStandardError().contains("streaming") && clock.elapsed() < kStartMs)
            process.waitForReadyRead(100);
        return clock.elapsed() < kStartMs;
    }
    QProcess process;
    QString path;
};

QByteArray boardBytes(qint64 count)
{
    signals::RandomBytes signal(kSeed);
    const std::vector<std::uint8_t> bytes = signals::take(signal, std::size_t(count));
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

/// The bytes that (first sample, level) rows of one trace stand for.
QByteArray packRows(const QList<QPair<qint64, bool>> &rows, qint64 samples)
{
    QByteArray bytes(samples / 8, '\0');
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const qint64 end = r + 1 < rows.size() ? rows[r + 1].first : samples;
        for (qint64 k = rows[r].first; rows[r].second && k < end; ++k)
            bytes[k / 8] = char(bytes[k / 8] | (0x80 >> (k % 8)));
    }
    return bytes;
}

/// What trace 1 of an output holds, read back by a reader of its kind.
QByteArray readBack(const QString &path, int trace, qint64 samples)
{
    QFile file(path);
    if (path.endsWith(QLatin1String(".ird")))
        return file.open(QIODevice::ReadOnly)
                   ? file.readAll().mid(capture_file::traceOffset(trace), samples / 8)
                   : QByteArray();
    QList<QPair<qint64, bool>> rows;
    if (path.endsWith(QLatin1String(".sr"))) {
        const QByteArray raw =
            outputOf(QStringLiteral("sigrok-cli"),
                     {QStringLiteral("-i"), path, QStringLiteral("-O"), QStringLiteral("binary")});
        QByteArray bytes(raw.size() / 8, '\0');
        for (qsizetype k = 0; k < raw.size(); ++k)
            bytes[k / 8] = char(bytes[k / 8] | ((raw[k] & 1) << (7 - k % 8)));
        return bytes;
    }
    if (file.open(QIODevice::ReadOnly) && path.endsWith(QLatin1String(".csv"))) {
        for (const QByteArray &line : file.readAll().split('\n').mid(1, -1)) {
            if (const QList<QByteArray> fields = line.split(','); fields.size() == 3)
                rows.append({fields[1].toLongLong(), fields[2] == "1"});
        }
    } else {
        const VcdDump dump = readVcd(file.readAll());
        rows.append({0, dump.initial.value("trace1") == '1'});
        for (const VcdChange &change : dump.changes)
            rows.append({change.time / kSampleTicks, change.value == '1'});
        if (!dump.error.isEmpty() || dump.lastTime != samples * kSampleTicks)
            return "bad dump";
    }
    return packRows(rows, samples);
}

QMap<QString, QByteArray> folderContent(const QString &folder)
{
    QMap<QString, QByteArray> content;
    for (const QFileInfo &info :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        QFile file(info.filePath());
        content[info.fileName()] = file.open(QIODevice::ReadOnly) ? file.readAll() : "(folder)";
    }
    return content;
}

enum Interruption { None, BoardEnds, CtrlC };

} // namespace

class TestCaptureProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void writesTheBoardsBytesIntoEachKind_data();
    void writesTheBoardsBytesIntoEachKind();
    void sigrokDecodesTheBoardsTextAcrossChunks();
    void failsWithOneLineAndLeavesNothing_data();
    void failsWithOneLineAndLeavesNothing();
    void showsProgressOnATerminal();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCaptureProgram::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    auto traces = std::make_unique<TraceBuffers>();
    for (int n = 1; n <= kTraceCount; ++n)
        traces->trace(n)->fill(std::uint8_t(0x11 * n));
    QVERIFY(capture_file::writeCaptureFile(path(QStringLiteral("old.ird")), *traces));
    QFile old(path(QStringLiteral("old.vcd")));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an earlier dump\n") > 0);
    old.close();
    QFile shortFile(path(QStringLiteral("short.ird")));
    QVERIFY(shortFile.open(QIODevice::WriteOnly) && shortFile.write("short") > 0);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.vcd")));
}

void TestCaptureProgram::writesTheBoardsBytesIntoEachKind_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("trace");

    // Longer than one capture (the text test spans two chunks of a session).
    const auto bytesIn = [](int seconds) { return qint64(std::ceil(seconds / (8 * 20.0736e-6))); };
    QTest::newRow("ird, trace 2 of a new file")
        << "new.ird" << QStringList{"--trace", "2"} << qint64(kCaptureLength) << 2;
    QTest::newRow("ird, trace 3 of an existing file")
        << "old.ird" << QStringList{"--trace", "3"} << qint64(kCaptureLength) << 3;
    QTest::newRow("sr, one capture") << "one.sr" << QStringList{} << qint64(kCaptureLength) << 1;
    QTest::newRow("sr, 20 s") << "long.sr" << QStringList{"--seconds", "20"} << bytesIn(20) << 1;
    QTest::newRow("vcd over an earlier file")
        << "old.vcd" << QStringList{} << qint64(kCaptureLength) << 1;
    QTest::newRow("vcd, 20 s") << "long.vcd" << QStringList{"--seconds", "20"} << bytesIn(20) << 1;
    QTest::newRow("csv, one capture") << "one.csv" << QStringList{} << qint64(kCaptureLength) << 1;
    QTest::newRow("csv, 20 s") << "long.csv" << QStringList{"--seconds", "20"} << bytesIn(20) << 1;
}

void TestCaptureProgram::writesTheBoardsBytesIntoEachKind()
{
    QFETCH(QString, file);
    QFETCH(QStringList, options);
    QFETCH(qint64, bytes);
    QFETCH(int, trace);

    if (file.endsWith(QLatin1String(".sr"))) {
        QString sigrok;
        WAVEMILL_REQUIRE_PEER(sigrok, "sigrok-cli");
    }
    Board board(
        {"--signal", "random", "--seed", QString::number(kSeed), "--pace", "fast", "--count", "0"});
    QVERIFY(!board.path.isEmpty());
    const QByteArray before = readBack(path(QStringLiteral("old.ird")), 1, kCaptureSamples);
    const ProgramRun run = runProgram(QStringLiteral(WAVEMILL_CAPTURE_PATH),
                                      QStringList{board.path, "-o", path(file)} + options);
    QVERIFY2(run.status == 0, run.err.constData());
    QCOMPARE(run.err, QByteArray()); // no terminal: quiet
    QVERIFY(readBack(path(file), trace, bytes * 8) == boardBytes(bytes));
    if (file.endsWith(QLatin1String(".ird"))) {
        // The other traces, with their extra last byte, are as they were.
        QFile written(path(file));
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray image = written.readAll();
        QCOMPARE(image.size(), capture_file::kFileSize);
        const char old = file == QLatin1String("old.ird") ? 0x11 : 0;
        for (int n = 1; n <= kTraceCount; ++n) {
            const QByteArray buffer = image.mid(capture_file::traceOffset(n), kTraceBufferSize);
            const QByteArray kept = n == trace ? buffer.right(1) : buffer;
            QVERIFY2(kept == QByteArray(kept.size(), char(old * n)),
                     qPrintable(QString::number(n)));
        }
        QCOMPARE(readBack(path(QStringLiteral("old.ird")), 1, kCaptureSamples), before);
    }
}

void TestCaptureProgram::sigrokDecodesTheBoardsTextAcrossChunks()
{
    QString sigrok;
    WAVEMILL_REQUIRE_PEER(sigrok, "sigrok-cli");
    const QByteArray text = "Hello from the capture\r\n";
    Board board({"--signal", "uart", "--text", text, "--baud", "9600", "--repeat", "--pace", "fast",
                 "--count", "0"});
    const QString session = path(QStringLiteral("uart.sr"));
    const ProgramRun run = runProgram(QStringLiteral(WAVEMILL_CAPTURE_PATH),
                                      {board.path, "-o", session, "--seconds", "100"});
    QVERIFY2(run.status == 0, run.err.constData());
    const QByteArray decoded =
        outputOf(sigrok, {"-i", session, "-P", "uart:rx=trace1:baudrate=9600", "-B", "uart=rx"});
    // 24 characters and an idle one, 10 bits each, at 9600 bit/s for 100 s:
    // 92,160, every one where the text puts it.
    QVERIFY2(decoded.size() > 92000, QByteArray::number(decoded.size()).constData());
    QVERIFY(decoded == text.repeated(int(decoded.size() / text.size()) + 1).left(decoded.size()));
}

void TestCaptureProgram::failsWithOneLineAndLeavesNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("interruption");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown extension")
        << QStringList{"PORT", "-o", "out.txt"} << int(None) << 2 << "cannot tell the format of";
    QTest::newRow("seconds into an ird") << QStringList{"PORT", "-o", "out.ird", "--seconds", "20"}
                                         << int(None) << 2 << "exactly one capture";
    QTest::newRow("trace of a dump") << QStringList{"PORT", "-o", "out.vcd", "--trace", "2"}
                                     << int(None) << 2 << "--trace is for .ird";
    QTest::newRow("trace 4") << QStringList{"PORT", "-o", "out.ird", "--trace", "4"} << int(None)
                             << 2 << "--trace takes 1, 2 or 3";
    QTest::newRow("no seconds") << QStringList{"PORT", "-o", "out.csv", "--seconds", "0"}
                                << int(None) << 2 << "--seconds takes";
    QTest::newRow("port neither number nor path")
        << QStringList{"ttyUSB0", "-o", "out.sr"} << int(None) << 2 << "neither a serial port";
    QTest::newRow("no such device") << QStringList{"/dev/wavemill-none", "-o", "out.sr"}
                                    << int(None) << 1 << "cannot open: No such file";
    QTest::newRow("existing ird not a capture file")
        << QStringList{"PORT", "-o", "short.ird"} << int(None) << 1 << "not a capture file";
    QTest::newRow("output a folder")
        << QStringList{"PORT", "-o", "folder.vcd"} << int(None) << 1 << "not a regular file";
    QTest::newRow("device gone during a capture into an existing file")
        << QStringList{"PORT", "-o", "old.ird", "--trace", "2"} << int(BoardEnds) << 1
        << "the device went away after";
    QTest::newRow("device gone during a session recording")
        << QStringList{"PORT", "-o", "out.sr", "--seconds", "60"} << int(BoardEnds) << 1
        << "the device went away after";
    QTest::newRow("Ctrl+C during a capture over an earlier file")
        << QStringList{"PORT", "-o", "old.vcd"} << int(CtrlC) << 130 << "stopped by Ctrl+C after";
    QTest::newRow("Ctrl+C during a CSV recording")
        << QStringList{"PORT", "-o", "out.csv", "--seconds", "60"} << int(CtrlC) << 130
        << "stopped by Ctrl+C after";
}

void TestCaptureProgram::failsWithOneLineAndLeavesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, interruption);
    QFETCH(int, status);
    QFETCH(QString, message);

    // At the board's own pace a capture takes 10 s: time to interrupt it.
    auto board = std::make_unique<Board>(QStringList{"--signal", "random", "--count", "0"});
    arguments.replaceInStrings(QRegularExpression("^PORT$"), board->path);
    arguments.replaceInStrings(QRegularExpression("^(\\w+\\.\\w+)$"), m_dir->path() + "/\\1");
    const QMap<QString, QByteArray> before = folderContent(m_dir->path());

    QProcess capture;
    capture.start(QStringLiteral(WAVEMILL_CAPTURE_PATH), arguments);
    if (interruption != None) {
        QVERIFY(board->waitForStream());
        QTest::qWait(300);
        if (interruption == BoardEnds)
            board.reset(); // the pseudo-terminal closes under the capture
        else
            ::kill(pid_t(capture.processId()), SIGINT);
    }
    QVERIFY(capture.waitForFinished(kProgramTimeoutMs));
    QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
    QCOMPARE(capture.exitCode(), status);
    const QByteArray err = capture.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.contains(message.toUtf8()), err.constData());
    QCOMPARE(folderContent(m_dir->path()), before);
}

void TestCaptureProgram::showsProgressOnATerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    Board board({"--signal", "random", "--pace", "fast"});
    QProcess capture;
    char terminal[64] = {};
    QVERIFY(::ptsname_r(master, terminal, sizeof terminal) == 0);
    capture.setStandardErrorFile(QString::fromLocal8Bit(terminal));
    capture.start(QStringLiteral(WAVEMILL_CAPTURE_PATH),
                  {board.path, "-o", path(QStringLiteral("shown.csv"))});
    QVERIFY(capture.waitForFinished(kProgramTimeoutMs));
    QCOMPARE(capture.exitCode(), 0);
    QByteArray shown(65536, '\0');
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    shown.resize(std::max<ssize_t>(0, ::read(master, shown.data(), size_t(shown.size()))));
    ::close(master);
    QVERIFY2(shown.startsWith('\r'), shown.constData());
    QVERIFY2(shown.contains("100%  63,488 of 63,488 bytes  "), shown.constData());
    QVERIFY2(shown.endsWith('\n'), shown.constData());
}

QTEST_GUILESS_MAIN(TestCaptureProgram)
#include "test_capture_program.moc"
