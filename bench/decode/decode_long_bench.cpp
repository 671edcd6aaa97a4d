// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-decode on a long recording, as a user runs it: an hour of the
// board's serial text at 1200 bit/s, recorded into a session file as
// wavemill-capture --seconds records it from wavemill-board --pace fast;
// described (time and peak resident memory, the description's notes on
// what it measured shown as comments); decoded with -P uart, its lines read
// to the end from a pipe (how many, time, peak memory); and again, read for
// its first line only (how soon it comes, as "| head -1" waits for it).
//
//   decode_long seconds=3600 samples=... file_mb=... record_s=...
//   decode_long_describe s=... peak_rss_mb=...
//   decode_long_protocol lines=... s=... peak_rss_mb=... first_line_ms=...
//
// Usage: bench_decode_long [--seconds S]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

/// One run of a program, its output read from a pipe.
struct Measured
{
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
    qint64 lines = 0;
    double firstLineMs = -1;
    QByteArray head; // its first bytes
};

/// Runs \a program with \a arguments, reading its output to its end, or to
/// its first line when \a firstLineOnly (the pipe is then closed, as head
/// closes it); its peak memory as the kernel counted it.
Measured measure(const QString &program, const QStringList &arguments, bool firstLineOnly)
{
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString &a : arguments)
        words.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    Measured m;
    char buffer[1 << 16];
    for (ssize_t n = 0; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        if (m.head.size() < 4096)
            m.head.append(buffer, qsizetype(n));
        const qint64 before = m.lines;
        m.lines += std::count(buffer, buffer + n, '\n');
        if (before == 0 && m.lines > 0) {
            m.firstLineMs = double(clock.nsecsElapsed()) / 1e6;
            if (firstLineOnly)
                break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    struct rusage usage = {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return {};
    m.seconds = double(clock.nsecsElapsed()) / 1e9;
    m.peakMb = double(usage.ru_maxrss) / 1024;
    m.ok = firstLineOnly ? m.lines > 0 : WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int seconds = 3600;
    const QStringList args = app.arguments();
    const int at = int(args.indexOf(QStringLiteral("--seconds")));
    if (at > 0 && at + 1 < args.size())
        seconds = std::max(1, args[at + 1].toInt());

    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("hour.sr"));
    QElapsedTimer clock;
    clock.start();
    const int made = QProcess::execute(
        QStringLiteral("bash"),
        {QStringLiteral("-c"),
         QStringLiteral("\"$0\" --signal uart --text 'The quick brown fox jumps over the lazy dog. ' "
                        "--baud 1200 --repeat --pace fast --count 0 --once 2>/dev/null | "
                        "(read -r port && \"$1\" \"$port\" -o \"$2\" --seconds %1)")
             .arg(seconds),
         QStringLiteral(WAVEMILL_BOARD_PATH), QStringLiteral(WAVEMILL_CAPTURE_PATH), recording});
    if (made != 0) {
        std::fprintf(stderr, "bench_decode_long: the recording could not be made\n");
        return 1;
    }
    std::printf("decode_long seconds=%d file_mb=%.1f record_s=%.1f\n", seconds,
                double(QFileInfo(recording).size()) / 1e6, double(clock.elapsed()) / 1e3);
    std::fflush(stdout);

    const QString program = QStringLiteral(WAVEMILL_DECODE_PATH);
    const Measured described = measure(program, {recording}, false);
    for (const QByteArray &line : described.head.split('\n')) {
        if (!line.isEmpty())
            std::printf("# %s\n", line.left(160).constData());
    }
    std::printf("decode_long_describe s=%.1f peak_rss_mb=%.1f\n", described.seconds,
                described.peakMb);
    std::fflush(stdout);

    const QStringList protocol{recording, QStringLiteral("-P"),
                               QStringLiteral("uart:baudrate=1200:rx=trace1")};
    const Measured all = measure(program, protocol, false);
    const Measured first = measure(program, protocol, true);
    std::printf("decode_long_protocol lines=%lld s=%.1f peak_rss_mb=%.1f first_line_ms=%.0f\n",
                static_cast<long long>(all.lines), all.seconds, all.peakMb, first.firstLineMs);
    return described.ok && all.ok && first.ok ? 0 : 1;
}
