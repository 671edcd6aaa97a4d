// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-capture as a user runs it, on the real pseudo-terminal of
// wavemill-board: every kind of file read back to the board's bytes (the
// session file by sigrok-cli), and what is left on disk when it fails, the
// disk fills up, the board stops or the port is another's.

#include "signals/signals.h"
#include "capture_file/capture_file_format.h"
#include "support/program_run.h"
#include "tools/export/export_vcd_reader.h"
#include "tools/export/hostile_outputs.h"

#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace wavemill;
using namespace wavemill::testing;

namespace {

constexpr int kStartMs = 10000;
/// A failure found before the capture comes well before a capture's 10 s.
constexpr int kUpFrontMs = 5000;
/// The group serial devices belong to on Debian.
constexpr gid_t kDialout = 20;
constexpr std::uint32_t kSeed = 7;
/// One sample in the dump's 100 ps units.
constexpr qint64 kSampleTicks = 200736;

/// A wavemill-board on a pseudo-terminal of its own, ended with the test;
/// or, given no arguments, a pseudo-terminal that nothing is ever sent on.
struct Board
{
    explicit Board(const QStringList &arguments)
    {
        if (arguments.isEmpty()) {
            char name[64] = {};
            silent = ::posix_openpt(O_RDWR | O_NOCTTY);
            if (silent >= 0 && ::grantpt(silent) == 0 && ::unlockpt(silent) == 0 &&
                ::ptsname_r(silent, name, sizeof name) == 0)
                path = QString::fromLocal8Bit(name);
            return;
        }
        process.start(QStringLiteral(WAVEMILL_BOARD_PATH), arguments);
        if (process.waitForReadyRead(kStartMs))
            path = QString::fromUtf8(process.readLine()).trimmed();
    }
    ~Board()
    {
        if (silent >= 0)
            ::close(silent);
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
    int silent = -1; // the silent terminal's master
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

/// What happens to a capture: nothing, or something mid-capture, or to the
/// board, the port or the disk before it.
enum Interruption {
    None,
    BoardEnds,     // the pseudo-terminal closes mid-capture
    CtrlC,         // SIGINT mid-capture
    HangUp,        // SIGHUP mid-capture
    BoardStops,    // the board sends one capture, then nothing
    SilentPort,    // a terminal nothing is sent on
    HeldByReader,  // another process has the port open
    HeldByCapture, // another capture has it
    FullDisk,      // small/ fills up (or files may not grow)
    SizeLimit,     // files may not grow past a few kilobytes
    NotPermitted,  // the port is root's and dialout's, the capture nobody's
};

/// The board each kind of row needs: at its own pace for time to interrupt,
/// fast where the disk is the attack, none for a silent port.
QStringList boardFor(int interruption)
{
    switch (interruption) {
    case BoardStops:
        return {"--signal", "random", "--pace", "fast"};
    case FullDisk:
    case SizeLimit:
        return {"--signal", "random", "--pace", "fast", "--count", "0"};
    case SilentPort:
        return {};
    default:
        return {"--signal", "random", "--count", "0"};
    }
}

} // namespace

class TestCaptureProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void writesTheBoardsBytesIntoEachKind_data();
    void writesTheBoardsBytesIntoEachKind();
    void sigrokDecodesTheBoardsTextAcrossChunks();
    void failsWithOneLineAndLeavesNothing_data();
    void failsWithOneLineAndLeavesNothing();
    void showsProgressOnATerminal();
    void warnsOfABoardAtAnotherPace_data();
    void warnsOfABoardAtAnotherPace();
    void aRunAfterAKilledOneCleansUp();
    void replacesThroughLinksKeepingOwnerAndMode_data();
    void replacesThroughLinksKeepingOwnerAndMode();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_smallDisk = false; // small/ is a tmpfs that fills up
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
    QVERIFY(old.copy(path(QStringLiteral("old.sr"))));
    QVERIFY(old.copy(path(QStringLiteral("old.csv"))));
    QFile longer(path(QStringLiteral("long.ird")));
    QVERIFY(longer.open(QIODevice::WriteOnly) && longer.resize(capture_file::kFileSize + 1));
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.csv"))).constData(), 0600), 0);
    QVERIFY(QFile::link(QStringLiteral("gone/none.sr"), path(QStringLiteral("dangling.sr"))));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("small")));
    m_smallDisk = mountSmallDisk(path(QStringLiteral("small")), 64);
    QVERIFY(old.copy(path(QStringLiteral("small/old.vcd"))));
}

void TestCaptureProgram::cleanup()
{
    if (m_smallDisk)
        unmount(path(QStringLiteral("small")));
    m_smallDisk = false;
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
    QTest::addColumn<QString>("message"); // a pattern

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
        << QStringList{"PORT", "-o", "old.vcd"} << int(CtrlC) << 130 << "stopped by Ctrl\\+C after";
    QTest::newRow("Ctrl+C during a CSV recording")
        << QStringList{"PORT", "-o", "out.csv", "--seconds", "60"} << int(CtrlC) << 130
        << "stopped by Ctrl\\+C after";
    QTest::newRow("SIGHUP during a session file over an earlier one")
        << QStringList{"PORT", "-o", "old.sr"} << int(HangUp) << 129 << "stopped by SIGHUP after";
    // Outputs checked before the port opens: no capture is thrown away.
    QTest::newRow("session file in a missing folder")
        << QStringList{"PORT", "-o", "no/such/out.sr"} << int(None) << 1 << "no such folder";
    QTest::newRow("capture file in a missing folder")
        << QStringList{"PORT", "-o", "no/such/out.ird"} << int(None) << 1 << "no such folder";
    QTest::newRow("capture file longer than one")
        << QStringList{"PORT", "-o", "long.ird", "--trace", "2"} << int(None) << 1
        << "not a capture file: 190468 bytes";
    QTest::newRow("output a FIFO nobody reads")
        << QStringList{"PORT", "-o", "fifo.csv"} << int(None) << 1 << "not a regular file: a FIFO";
    QTest::newRow("output a link to nothing")
        << QStringList{"PORT", "-o", "dangling.sr"} << int(None) << 1 << "which does not exist";
    // The board, the port, the disk.
    QTest::newRow("board stops after one capture of a recording")
        << QStringList{"PORT", "-o", "old.vcd", "--seconds", "20"} << int(BoardStops) << 1
        << "the board stopped sending: no byte for 5 s after 63488 of 124542 bytes";
    QTest::newRow("port where nothing comes")
        << QStringList{"PORT", "-o", "old.ird"} << int(SilentPort) << 1
        << "no byte for 5 s after 0 of 63488 bytes";
    QTest::newRow("port another program reads")
        << QStringList{"PORT", "-o", "old.csv"} << int(HeldByReader) << 1
        << "the port is in use by test_capture_program \\(PID ";
    QTest::newRow("port another capture reads")
        << QStringList{"PORT", "-o", "old.csv"} << int(HeldByCapture) << 1
        << "the port is in use by wavemill-capture \\(PID ";
    QTest::newRow("port only the dialout group may open")
        << QStringList{"PORT", "-o", "out.csv"} << int(NotPermitted) << 1
        << "belongs to the dialout group; add yourself with sudo usermod -aG dialout";
    QTest::newRow("dump on a full disk")
        << QStringList{"PORT", "-o", "small/old.vcd"} << int(FullDisk) << 1
        << "cannot write: (no space left on the device|the file would pass the limit)";
    QTest::newRow("recording past the file size limit")
        << QStringList{"PORT", "-o", "old.sr", "--seconds", "20"} << int(SizeLimit) << 1
        << "the limit on file sizes \\(ulimit -f\\)";
    QTest::newRow("capture file past the file size limit")
        << QStringList{"PORT", "-o", "old.ird", "--trace", "3"} << int(SizeLimit) << 1
        << "the limit on file sizes";
}

void TestCaptureProgram::failsWithOneLineAndLeavesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, interruption);
    QFETCH(int, status);
    QFETCH(QString, message);

    if (interruption == NotPermitted && ::geteuid() != 0)
        QSKIP("only root may give the port to root and dialout and capture as nobody");
    auto board = std::make_unique<Board>(boardFor(interruption));
    QVERIFY(!board->path.isEmpty());
    arguments.replaceInStrings(QRegularExpression("^PORT$"), board->path);
    arguments.replaceInStrings(QRegularExpression("^([\\w/]+\\.\\w+)$"), m_dir->path() + "/\\1");
    ChildLimits limits;
    limits.fileSize =
        interruption == SizeLimit || (interruption == FullDisk && !m_smallDisk) ? 16384 : 0;
    limits.asNobody = interruption == NotPermitted;
    if (limits.asNobody) {
        const QByteArray port = QFile::encodeName(board->path);
        QVERIFY(::chown(port.constData(), 0, kDialout) == 0 &&
                ::chmod(port.constData(), 0660) == 0);
        QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0777), 0);
    }
    int reader = -1;
    if (interruption == HeldByReader)
        reader = ::open(QFile::encodeName(board->path).constData(), O_RDONLY | O_NOCTTY);
    QProcess other; // the capture that has the port first, writing elsewhere
    QTemporaryDir elsewhere;
    if (interruption == HeldByCapture) {
        other.start(QStringLiteral(WAVEMILL_CAPTURE_PATH),
                    {board->path, "-o", elsewhere.filePath("other.sr")});
        QVERIFY(board->waitForStream());
    }
    const QMap<QString, QByteArray> before = folderSnapshot(m_dir->path());

    QProcess capture;
    limitChild(capture, limits);
    QElapsedTimer clock;
    clock.start();
    capture.start(QStringLiteral(WAVEMILL_CAPTURE_PATH), arguments);
    if (interruption == BoardEnds || interruption == CtrlC || interruption == HangUp) {
        QVERIFY(board->waitForStream());
        QTest::qWait(300);
        if (interruption == BoardEnds)
            board.reset(); // the pseudo-terminal closes under the capture
        else
            ::kill(pid_t(capture.processId()), interruption == CtrlC ? SIGINT : SIGHUP);
    }
    const bool finished = capture.waitForFinished(kProgramTimeoutMs);
    if (reader >= 0)
        ::close(reader);
    if (other.state() != QProcess::NotRunning) {
        other.terminate();
        other.waitForFinished();
    }
    QVERIFY(finished);        // a hang fails the row
    if (interruption == None) // the output is checked before the capture
        QVERIFY2(clock.elapsed() < kUpFrontMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
    const QByteArray err = capture.readAllStandardError();
    QCOMPARE(capture.exitCode(), status);
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(QString::fromUtf8(err).contains(QRegularExpression(message)), err.constData());
    QCOMPARE(folderSnapshot(m_dir->path()), before);
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

void TestCaptureProgram::warnsOfABoardAtAnotherPace_data()
{
    QTest::addColumn<QString>("pace");
    QTest::addColumn<bool>("warned");

    QTest::newRow("half the board's pace, as an 8 MHz board") << "3113" << true;
    QTest::newRow("the board's pace") << "board" << false;
}

void TestCaptureProgram::warnsOfABoardAtAnotherPace()
{
    QFETCH(QString, pace);
    QFETCH(bool, warned);

    Board board({"--signal", "random", "--pace", pace, "--count", "0"});
    const ProgramRun run =
        runProgram(QStringLiteral(WAVEMILL_CAPTURE_PATH),
                   {board.path, "-o", path(QStringLiteral("paced.csv")), "--seconds", "4"});
    QVERIFY2(run.status == 0, run.err.constData()); // the capture is kept
    QVERIFY(QFileInfo(path(QStringLiteral("paced.csv"))).size() > 0);
    QCOMPARE(run.err.count('\n'), warned ? 1 : 0);
    if (warned) {
        // The pace measured, some 3,113 bytes a second.
        QVERIFY2(
            QString::fromUtf8(run.err).contains(QRegularExpression("3,[0-2]\\d\\d bytes a second")),
            run.err.constData());
        QVERIFY2(run.err.contains("the board may not be a 16 MHz ATmega328P"), run.err.constData());
    }
}

void TestCaptureProgram::aRunAfterAKilledOneCleansUp()
{
    Board board({"--signal", "random", "--count", "0"});
    const QStringList names = folderSnapshot(m_dir->path()).keys();
    QProcess killed;
    killed.start(QStringLiteral(WAVEMILL_CAPTURE_PATH),
                 {board.path, "-o", path(QStringLiteral("old.sr"))});
    QVERIFY(board.waitForStream());
    QTest::qWait(300);
    ::kill(pid_t(killed.processId()), SIGKILL);
    QVERIFY(killed.waitForFinished());
    // What SIGKILL leaves: the file beside its target, QSerialPort's lock.
    QCOMPARE(folderSnapshot(m_dir->path()).size(), names.size() + 1);
    const QString lock =
        QStringLiteral("/run/lock/LCK..") + board.path.mid(5).replace(QLatin1Char('/'), '_');
    QVERIFY(QFileInfo::exists(lock));

    const ProgramRun run =
        runProgram(QStringLiteral(WAVEMILL_CAPTURE_PATH),
                   {board.path, "-o", path(QStringLiteral("old.sr")), "--seconds", "1"});
    QVERIFY2(run.status == 0, run.err.constData());
    QCOMPARE(folderSnapshot(m_dir->path()).keys(), names);
    QVERIFY(!QFileInfo::exists(lock));
    QVERIFY(!readBack(path(QStringLiteral("old.sr")), 1, 8).isEmpty()); // sigrok reads it
}

void TestCaptureProgram::replacesThroughLinksKeepingOwnerAndMode_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("throughLink");

    QTest::newRow("session file recorded through a link")
        << "old.sr" << QStringList{"--seconds", "20"} << 0640 << true;
    QTest::newRow("capture file another user owns, others may read")
        << "old.ird" << QStringList{"--trace", "2"} << 0604 << false;
    QTest::newRow("dump with setgid, through a link")
        << "old.vcd" << QStringList{} << 02664 << true;
}

void TestCaptureProgram::replacesThroughLinksKeepingOwnerAndMode()
{
    QFETCH(QString, target);
    QFETCH(QStringList, options);
    QFETCH(int, mode);
    QFETCH(bool, throughLink);

    const bool root = ::geteuid() == 0;
    const QByteArray file = QFile::encodeName(path(target));
    const uid_t owner = root ? kNobody : ::geteuid();
    QCOMPARE(::chown(file.constData(), owner, gid_t(-1)), 0);
    QCOMPARE(::chmod(file.constData(), mode_t(mode)), 0);
    const QString output = throughLink ? path(QStringLiteral("link-") + target) : path(target);
    if (throughLink)
        QVERIFY(QFile::link(target, output));
    const QStringList names = folderSnapshot(m_dir->path()).keys();
    const auto content = [&] {
        QFile written(path(target));
        return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    };
    const QByteArray before = content();

    Board board({"--signal", "random", "--pace", "fast", "--count", "0"});
    const ProgramRun run = runProgram(QStringLiteral(WAVEMILL_CAPTURE_PATH),
                                      QStringList{board.path, "-o", output} + options);
    QVERIFY2(run.status == 0, run.err.constData());
    QVERIFY(content() != before); // written
    struct stat status;
    QCOMPARE(::stat(file.constData(), &status), 0);
    QCOMPARE(int(status.st_mode & 07777), mode);
    QCOMPARE(status.st_uid, owner);
    if (throughLink)
        QCOMPARE(QFileInfo(output).symLinkTarget(), QFileInfo(path(target)).filePath());
    QCOMPARE(folderSnapshot(m_dir->path()).keys(), names);
}

QTEST_GUILESS_MAIN(TestCaptureProgram)
#include "test_capture_program.moc"
