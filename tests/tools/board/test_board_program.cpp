// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-board run as a user runs it, read through its pseudo-terminal.

#include "signals/infrared_remote.h"
#include "signals/signals.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace wavemill;
using namespace wavemill::signals;

namespace {

constexpr int kStartTimeoutMs = 5000;

/// The reading end, as the program opens it.
class Reader
{
public:
    explicit Reader(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_fd >= 0 && tcgetattr(m_fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~Reader() { close(); }
    bool isOpen() const { return m_fd >= 0; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    /// Reads until count bytes came or nothing came for quietMs. Times the
    /// first and the last byte.
    QByteArray read(qsizetype count, int quietMs)
    {
        QByteArray bytes;
        QElapsedTimer clock;
        clock.start();
        char chunk[4096];
        while (bytes.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0)
                break;
            const ssize_t n =
                ::read(m_fd, chunk, std::min<qsizetype>(sizeof chunk, count - bytes.size()));
            if (n <= 0)
                break;
            if (bytes.isEmpty())
                m_firstNs = clock.nsecsElapsed();
            bytes.append(chunk, n);
            m_lastNs = clock.nsecsElapsed();
        }
        return bytes;
    }
    double secondsFirstToLast() const { return double(m_lastNs - m_firstNs) / 1e9; }

private:
    int m_fd = -1;
    qint64 m_firstNs = 0;
    qint64 m_lastNs = 0;
};

QByteArray expected(Signal &&signal, std::size_t count)
{
    const std::vector<std::uint8_t> bytes = take(signal, count);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

class BoardProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void streamsTheSignalAtItsPace_data();
    void streamsTheSignalAtItsPace();
    void startsANewStreamAtEveryOpening_data();
    void startsANewStreamAtEveryOpening();
    void endsAsItSaysOnAnyInput_data();
    void endsAsItSaysOnAnyInput();

private:
    /// Starts the board and returns the device path it prints.
    QString startBoard(const QStringList &arguments);

    QProcess m_board;
    QTemporaryDir m_dir;
};

QString BoardProgram::startBoard(const QStringList &arguments)
{
    m_board.start(QStringLiteral(WAVEMILL_BOARD_PATH), arguments);
    if (!m_board.waitForStarted(kStartTimeoutMs))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (!m_board.canReadLine() && clock.elapsed() < kStartTimeoutMs)
        m_board.waitForReadyRead(100);
    return QString::fromLocal8Bit(m_board.readLine()).trimmed();
}

void BoardProgram::initTestCase()
{
    const auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(m_dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("capture.ird", QByteArray(190467, '\xA5'));
    write("empty.hex", {});
    write("escapes.hex", "\x1b[31m:not hex\x1b[0m\n");
    QCOMPARE(mkfifo(QFile::encodeName(m_dir.filePath(QStringLiteral("fifo"))).constData(), 0600),
             0);
#ifdef WAVEMILL_FIRMWARE_ELF
    QFile elf(QStringLiteral(WAVEMILL_FIRMWARE_ELF));
    QFile hex(QStringLiteral(WAVEMILL_FIRMWARE_HEX));
    QVERIFY(elf.open(QIODevice::ReadOnly) && hex.open(QIODevice::ReadOnly));
    const QByteArray elfBytes = elf.readAll();
    QList<QByteArray> lines = hex.readAll().split('\n');
    QByteArray x86 = elfBytes;
    x86[18] = 62; // e_machine: x86-64
    write("x86-64.elf", x86);
    write("cut.elf", elfBytes.left(3000));
    write("cut.hex", lines.mid(0, 6).join('\n') + '\n' + lines[6].left(20));
    QList<QByteArray> wrong = lines;
    char &digit = wrong[2][wrong[2].indexOf('\r') - 1]; // the checksum's last
    digit = digit == '0' ? '1' : '0';
    write("checksum.hex", wrong.join('\n'));
    wrong = lines;
    wrong[1][9] = 'G';
    write("letter.hex", wrong.join('\n'));
    // Programs for other chips, as avr-gcc builds them.
    write("loop.c", "int main(void) { for (;;); }\n");
    for (const char *mcu : {"attiny85", "atmega8", "atmega2560"}) {
        QProcess gcc;
        gcc.setWorkingDirectory(m_dir.path());
        gcc.start(QStringLiteral("avr-gcc"), {QStringLiteral("-mmcu=%1").arg(mcu), "-Os", "loop.c",
                                              "-o", QStringLiteral("%1.elf").arg(mcu)});
        QVERIFY(gcc.waitForFinished(kStartTimeoutMs * 4) && gcc.exitCode() == 0);
    }
#endif
}

void BoardProgram::cleanup()
{
    m_board.setStandardOutputFile(QString());
    if (m_board.state() != QProcess::NotRunning) {
        m_board.terminate();
        if (!m_board.waitForFinished(kStartTimeoutMs))
            m_board.kill();
    }
    m_board.waitForFinished(kStartTimeoutMs);
}

void BoardProgram::streamsTheSignalAtItsPace_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("bytesPerSecond"); // 0: not timed

    QTest::newRow("random at line pace")
        << QStringList{"--signal", "random", "--seed", "9", "--count", "2500", "--pace", "line"}
        << expected(RandomBytes(9), 2500) << kLineBytesPerSecond;
    QTest::newRow("square at the board's pace")
        << QStringList{"--signal", "square", "--frequency", "700",
                       "--duty",   "0.3",    "--count",     "1500"}
        << expected(SquareWave(700, 0.3), 1500) << kBoardBytesPerSecond;
    QTest::newRow("uart as fast as possible")
        << QStringList{"--signal", "uart",    "--text", "Hi there", "--baud",
                       "4800",     "--count", "5000",   "--pace",   "fast"}
        << expected(UartText("Hi there", 4800, false), 5000) << 0.0;
    // The options reach the remote in their places, hexadecimal read as such.
    QTest::newRow("nec, inverted, as fast as possible")
        << QStringList{"--signal", "nec",     "--address", "0x2C",   "--command", "200",
                       "--invert", "--count", "9000",      "--pace", "fast"}
        << expected(InvertedSignal(std::make_unique<InfraredRemote>(RemoteFamily::Nec, 0x2C, 200)),
                    9000)
        << 0.0;
    QByteArray content(1500, '\0');
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 37 + 5);
    QTest::newRow("file ends before the count")
        << QStringList{"--signal", "file", "--count", "4000", "--pace", "fast"} << content << 0.0;
    QTest::newRow("file repeated")
        << QStringList{"--signal", "file", "--repeat", "--count", "4000", "--pace", "fast"}
        << content.repeated(3).left(4000) << 0.0;
    // Read as it streams: a file larger than memory would take costs nothing.
    QTest::newRow("sparse file of 16 GiB")
        << QStringList{"--signal", "file", "--count", "200000", "--pace", "fast"}
        << QByteArray(200000, '\0') << 0.0;
}

void BoardProgram::streamsTheSignalAtItsPace()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, bytes);
    QFETCH(double, bytesPerSecond);
    if (arguments.contains(QStringLiteral("file"))) {
        QFile file(m_dir.filePath(QStringLiteral("signal.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes.left(1500));
        if (QByteArray(QTest::currentDataTag()).startsWith("sparse"))
            QVERIFY(file.resize(qint64(16) << 30));
        file.close();
        arguments << QStringLiteral("--file") << file.fileName();
    }
    const QString path = startBoard(arguments << QStringLiteral("--once")
                                              << QStringLiteral("--settle") << QStringLiteral("0"));
    QVERIFY2(path.startsWith(QLatin1Char('/')), qPrintable(path));

    Reader reader(path);
    QVERIFY(reader.isOpen());
    // Nothing more than the count, or the file, arrives.
    const QByteArray got = reader.read(bytes.size() + 1, 300);
    QCOMPARE(got.size(), bytes.size());
    QCOMPARE(got, bytes);
    // Whatever the file, the board's memory stays that of a small program.
    QFile status(QStringLiteral("/proc/%1/status").arg(m_board.processId()));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QByteArray text = status.readAll();
    const QByteArray peak = text.mid(text.indexOf("VmHWM:")).split('\n').value(0).simplified();
    QVERIFY2(peak.split(' ').value(1).toLongLong() < 200LL * 1024, peak.constData()); // kB
    if (bytesPerSecond > 0) {
        const double rate = double(got.size() - 1) / reader.secondsFirstToLast();
        // Loose enough for a busy machine, tight enough to tell the paces apart
        // and to catch a pace that drifts by sleeping a fixed time per byte.
        QVERIFY2(std::abs(rate / bytesPerSecond - 1) < 0.15, qPrintable(QString::number(rate)));
    }

    // --once: the board leaves when the port closes.
    reader.close();
    QVERIFY(m_board.waitForFinished(kStartTimeoutMs));
    QCOMPARE(m_board.exitCode(), 0);
    QVERIFY(m_board.readAllStandardError().contains(QByteArray("sent ") +
                                                    QByteArray::number(bytes.size())));
}

void BoardProgram::startsANewStreamAtEveryOpening_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("bytes"); // empty: the first opening's, again each time
    QTest::newRow("random") << QStringList{"--signal", "random", "--seed", "3", "--count", "3000"}
                            << expected(RandomBytes(3), 3000);
#ifdef WAVEMILL_FIRMWARE_ELF
    QTest::newRow("the firmware in the simulated chip")
        << QStringList{"--chip", WAVEMILL_FIRMWARE_ELF, "--count", "400"} << QByteArray();
#endif
}

void BoardProgram::startsANewStreamAtEveryOpening()
{
    // A capture reads its bytes, closes the port and the next one opens it at
    // once: a board that looks for the close now and then misses the opening
    // in between and the reader waits for good.
    constexpr int kOpenings = 20;
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, bytes);
    const QString path = startBoard(arguments << "--pace" << "fast" << "--settle" << "0");
    QVERIFY2(path.startsWith(QLatin1Char('/')), qPrintable(path));
    for (int opening = 0; opening < kOpenings; ++opening) {
        Reader reader(path);
        QVERIFY(reader.isOpen());
        const QByteArray got = reader.read(arguments.contains("--chip") ? 400 : 3000, 3000);
        if (bytes.isEmpty())
            bytes = got;
        QVERIFY2(got == bytes && bytes.count(bytes.front()) < bytes.size(),
                 qPrintable(QStringLiteral("opening %1: %2 bytes").arg(opening).arg(got.size())));
    }
    QVERIFY(m_board.state() == QProcess::Running);
    m_board.terminate();
    QVERIFY(m_board.waitForFinished(kStartTimeoutMs));
    QCOMPARE(m_board.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_board.exitCode(), 0);
}

void BoardProgram::endsAsItSaysOnAnyInput_data()
{
    // {dir} is the test's folder, with the files initTestCase() leaves there.
    // The action: a stop signal once the port is printed, or "vanish": the
    // device's other end closes while it streams.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says"); // in the one line on stderr; with status 0, in the output
    QTest::addColumn<QString>("device"); // a file that must be left as it was
    const auto row = [](const char *name, const QStringList &arguments, int status,
                        const QString &says, const QString &action = {},
                        const QString &device = {}) {
        QTest::newRow(name) << arguments << action << status << says << device;
    };
    row("help", {"--help"}, 0, "Usage: wavemill-board");
    row("version", {"--version"}, 0, "wavemill-board ");
    row("unknown option", {"--bogus"}, 2, "Unknown option");
    row("unknown signal, its names from the table", {"--signal", "sine"}, 2,
        "unknown signal \"sine\" (square, uart, nec, rc5, rc6, random or file)");
    row("terminal codes in a value", {"--signal", "\x1b[31mred\x1b[0m"}, 2,
        "unknown signal \"?[31mred?[0m\"");
    row("a value of 100,000 characters", {"--frequency", QString(100000, QLatin1Char('9'))}, 2,
        "not \"" + QString(60, QLatin1Char('9')) + "…\"");
    row("duty above 1", {"--duty", "1.5"}, 2, "--duty");
    row("file signal without a file", {"--signal", "file"}, 2, "--file");
    row("rc5 address above 31", {"--signal", "rc5", "--address", "32"}, 2, "--address");
    row("command not a number", {"--signal", "rc6", "--command", "0x1G"}, 2, "--command");
    row("missing device", {"/nonexistent/tty"}, 1, "cannot open /nonexistent/tty");
    row("a regular file as the device", {"{dir}/capture.ird"}, 1,
        "is not a serial port but a regular file", {}, "{dir}/capture.ird");
    row("a FIFO as the device", {"{dir}/fifo"}, 1, "is not a serial port but a FIFO");
    row("/dev/null as the device", {"/dev/null"}, 1, "no terminal");
    row("a device that vanishes", {"{pty}"}, 1, "lost ", "vanish");
    row("missing file", {"--signal", "file", "--file", "/nonexistent/bytes"}, 1,
        "cannot read /nonexistent/bytes");
    row("a FIFO as the file", {"--signal", "file", "--file", "{dir}/fifo"}, 1,
        "not a regular file");
    row("/dev/zero as the file", {"--signal", "file", "--file", "/dev/zero"}, 1,
        "not a regular file");
    row("stdout full", {"--signal", "square"}, 1, "cannot print the port's path", {}, "/dev/full");
    row("SIGINT", {"--signal", "uart"}, 0, "waiting for", "SIGINT");
    row("SIGTERM", {"--signal", "uart"}, 0, "waiting for", "SIGTERM");
    row("SIGHUP", {"--signal", "uart"}, 0, "waiting for", "SIGHUP");
    row("no firmware named", {"--chip", ""}, 2, "--chip wants a firmware file");
    row("a program for this computer", {"--chip", "/bin/true"}, 1, "not for the AVR");
    row("empty firmware", {"--chip", "{dir}/empty.hex"}, 1, "empty.hex is empty");
    row("a FIFO as the firmware", {"--chip", "{dir}/fifo"}, 1, "not a regular file");
    row("terminal codes as the firmware", {"--chip", "{dir}/escapes.hex"}, 1,
        "escapes.hex is neither an ELF file nor Intel hex");
#ifdef WAVEMILL_FIRMWARE_ELF
    row("hex with a wrong checksum", {"--chip", "{dir}/checksum.hex"}, 1,
        "line 3 has a wrong checksum");
    row("hex with no hex digit", {"--chip", "{dir}/letter.hex"}, 1,
        "line 2 holds something other than hex digits");
    row("hex cut short", {"--chip", "{dir}/cut.hex"}, 1, "line 7 has an odd number");
    row("ELF cut short", {"--chip", "{dir}/cut.elf"}, 1, "its section headers lie past its end");
    row("ELF for x86-64", {"--chip", "{dir}/x86-64.elf"}, 1, "built for x86-64, not for the AVR");
    for (const char *mcu : {"attiny85", "atmega8", "atmega2560"})
        row(mcu, {"--chip", QStringLiteral("{dir}/%1.elf").arg(mcu)}, 1,
            QStringLiteral("built for the %1, not the ATmega328P").arg(mcu));
#endif
}

void BoardProgram::endsAsItSaysOnAnyInput()
{
    // Each run ends well within this, or the row fails as a hang.
    constexpr int kBoundMs = 10000;
    QFETCH(QStringList, arguments);
    QFETCH(QString, action);
    QFETCH(QString, device);
    int master = -1;
    for (QString &argument : arguments) {
        argument.replace(QStringLiteral("{dir}"), m_dir.path());
        if (argument == QLatin1String("{pty}")) { // a serial device whose far end the test holds
            master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
            char name[128];
            QVERIFY(ptsname_r(master, name, sizeof name) == 0);
            argument = QString::fromLocal8Bit(name);
        }
    }
    device.replace(QStringLiteral("{dir}"), m_dir.path());
    QByteArray before;
    if (device.startsWith(m_dir.path())) {
        QFile file(device);
        QVERIFY(file.open(QIODevice::ReadOnly));
        before = file.readAll();
    } else if (!device.isEmpty()) {
        m_board.setStandardOutputFile(device);
    }

    m_board.start(QStringLiteral(WAVEMILL_BOARD_PATH), arguments);
    QVERIFY(m_board.waitForStarted(kStartTimeoutMs));
    if (action.startsWith(QLatin1String("SIG"))) {
        QTRY_VERIFY_WITH_TIMEOUT(m_board.canReadLine(), kBoundMs);
        const int signal = action == QLatin1String("SIGINT")    ? SIGINT
                           : action == QLatin1String("SIGTERM") ? SIGTERM
                                                                : SIGHUP;
        ::kill(pid_t(m_board.processId()), signal);
    } else if (action == QLatin1String("vanish")) {
        char chunk[4096];
        QTRY_VERIFY_WITH_TIMEOUT(::read(master, chunk, sizeof chunk) > 0, kBoundMs);
        ::close(master);
    }
    QVERIFY2(m_board.waitForFinished(kBoundMs), "no end within the bound");
    QCOMPARE(m_board.exitStatus(), QProcess::NormalExit);
    QTEST(m_board.exitCode(), "status");
    QFETCH(QString, says);
    const QString out = QString::fromUtf8(m_board.readAllStandardOutput());
    const QString err = QString::fromUtf8(m_board.readAllStandardError());
    if (m_board.exitCode() == 0) {
        QVERIFY2((out + err).contains(says), qPrintable(out + err));
    } else {
        // Exactly one line, after the board's reports of what it streamed.
        const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.size() == 1 || (action == QLatin1String("vanish") &&
                                       lines.last().contains(says) && lines.size() <= 3),
                 qPrintable(err));
        QVERIFY2(lines.last().startsWith(QLatin1String("wavemill-board: ")) &&
                     lines.last().contains(says) && lines.last().size() < 200 &&
                     !err.contains(QChar(0x1B)),
                 qPrintable(err));
    }
    if (!before.isEmpty()) {
        QFile file(device);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
}

QTEST_GUILESS_MAIN(BoardProgram)
#include "test_board_program.moc"
