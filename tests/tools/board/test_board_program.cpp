// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-board run as a user runs it, read through its pseudo-terminal.

#include "signals/infrared_remote.h"
#include "signals/signals.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
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
    void cleanup();
    void streamsTheSignalAtItsPace_data();
    void streamsTheSignalAtItsPace();
    void streamsAgainAtEachOpening();
    void explainsItselfAndRefusesBadOptions_data();
    void explainsItselfAndRefusesBadOptions();

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

void BoardProgram::cleanup()
{
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

void BoardProgram::streamsAgainAtEachOpening()
{
    const QString path = startBoard({"--signal", "random", "--seed", "3", "--count", "3000",
                                     "--pace", "fast", "--settle", "0"});
    QVERIFY2(path.startsWith(QLatin1Char('/')), qPrintable(path));
    const QByteArray bytes = expected(RandomBytes(3), 3000);
    for (int opening = 0; opening < 2; ++opening) {
        Reader reader(path);
        QVERIFY(reader.isOpen());
        QCOMPARE(reader.read(3001, 300), bytes);
        reader.close();
        QTest::qWait(100); // the board sees the port closed
    }
    QVERIFY(m_board.state() == QProcess::Running);
    m_board.terminate();
    QVERIFY(m_board.waitForFinished(kStartTimeoutMs));
    QCOMPARE(m_board.exitStatus(), QProcess::NormalExit);
}

void BoardProgram::explainsItselfAndRefusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: wavemill-board";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "wavemill-board ";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option";
    QTest::newRow("unknown signal") << QStringList{"--signal", "sine"} << 2 << "unknown signal";
    QTest::newRow("duty above 1") << QStringList{"--duty", "1.5"} << 2 << "--duty";
    QTest::newRow("file signal without a file") << QStringList{"--signal", "file"} << 2 << "--file";
    QTest::newRow("missing device") << QStringList{"/nonexistent/tty"} << 1 << "cannot open";
    QTest::newRow("unreadable file")
        << QStringList{"--signal", "file", "--file", "/nonexistent/bytes"} << 1 << "cannot read";
    QTest::newRow("rc5 address above 31")
        << QStringList{"--signal", "rc5", "--address", "32"} << 2 << "--address";
    QTest::newRow("command not a number")
        << QStringList{"--signal", "rc6", "--command", "0x1G"} << 2 << "--command";
}

void BoardProgram::explainsItselfAndRefusesBadOptions()
{
    QFETCH(QStringList, arguments);
    m_board.start(QStringLiteral(WAVEMILL_BOARD_PATH), arguments);
    QVERIFY(m_board.waitForFinished(kStartTimeoutMs));
    QTEST(m_board.exitCode(), "exitCode");
    QFETCH(QString, says);
    const QString output =
        QString::fromLocal8Bit(m_board.readAllStandardOutput() + m_board.readAllStandardError());
    QVERIFY2(output.contains(says), qPrintable(output));
}

QTEST_GUILESS_MAIN(BoardProgram)
#include "test_board_program.moc"
