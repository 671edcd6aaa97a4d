// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/board_command.h"

#include "board/board_link.h"
#include "board/chip_stream.h"
#include "board/paced_stream.h"
#include "command/printable_text.h"
#include "board/signal_settings.h"
#include "board/signal_table.h"
#include "board/simulated_chip.h"
#include "command/command_line.h"
#include "core/numbers.h"
#include "core/sample_period.h"
#include "signals/signals.h"

#include <QCommandLineParser>
#include <QIODevice>
#include <QLocale>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>

namespace wavemill::board {

using command::printable;

namespace {

using command::fail;
using command::kExitFailed;
using command::kExitOk;
using command::kExitUsage;

constexpr auto kProgram = "wavemill-board";
/// How long a wait for a reader to come or go lasts before the stop flag is
/// looked at again (a signal ends it at once anyway).
constexpr int kNewsWaitMs = 100;

volatile std::sig_atomic_t g_stop = 0;

void onStopSignal(int)
{
    g_stop = 1;
}

struct Options
{
    std::unique_ptr<signals::Signal> signal;
    QString file;                                          // --file, for its read failures
    std::uint64_t count = signals::kCaptureBytes;          // 0: without end
    double bytesPerSecond = signals::kBoardBytesPerSecond; // 0: as fast as possible
    bool once = false;
    int settleMs = 50;
    QString device;
    QString chip; // firmware to run in the simulated chip
};

QString grouped(double number)
{
    return QLocale(QLocale::English).toString(qlonglong(number));
}

QString helpText()
{
    return QStringLiteral(
               "Usage: wavemill-board [options] [DEVICE]\n"
               "\n"
               "Stand-in for the logic analyzer board, on a pseudo-terminal or serial port.\n"
               "\n"
               "It acts as the acquisition board for people without one.\n"
               "Without a device it opens a pseudo-terminal and prints its device path on the\n"
               "first line of standard output: type that path into the program's port\n"
               "selector and press the start button. Each time the program opens the port,\n"
               "the board waits --settle ms, then streams --count bytes of the signal from its\n"
               "start and goes quiet until the port is opened again, as a real board starts\n"
               "from reset when its port is opened. Ctrl+C ends it.\n"
               "\n"
               "With a device (a serial port wired to the program's port) it sets it to\n"
               "115200,n,8,1 and streams at once, without end unless --count is given.\n"
               "Anything but a serial port (a regular file, a FIFO) is refused.\n"
               "\n"
               "Bytes carry eight samples each, one every %1, the earliest in bit 7.\n"
               "\n"
               "Signals:\n")
               .arg(samplePeriodText()) +
           signalList() + QStringLiteral("\nOptions:\n") + signalOptionHelp() +
           QStringLiteral(
               "  --invert           send every level the other way round (a serial line\n"
               "                     idling low)\n"
               "  --count BYTES      bytes to stream each time the port opens, 0 for without\n"
               "                     end (default 63488, one capture; with a device: 0)\n"
               "  --pace PACE        board: the board's own pace, one byte every 8 x %1\n"
               "                     (about %2 bytes/s, the default); line: the link's\n"
               "                     limit, %3 bytes/s; fast: as fast as the reader takes\n"
               "                     them; or a number of bytes a second\n"
               "  --settle MS        milliseconds to wait after the port opens before streaming\n"
               "                     (default 50)\n"
               "  --once             exit after one stream, once the port is closed again\n"
               "  --chip FIRMWARE    run the board's firmware (an ELF or .hex file) in a\n"
               "                     simulated ATmega328P at 16 MHz with the signal on pin D2,\n"
               "                     and stream what its serial port sends; it starts from\n"
               "                     reset each time the port opens. An ELF must be built\n"
               "                     for the ATmega328P, a .hex must have good checksums.\n"
               "                     --pace is board or fast.\n"
               "  -h, --help         show this help and exit\n"
               "  -v, --version      show the version and exit\n"
               "\n"
               "Exit status:\n"
               "  0  ended by Ctrl+C, SIGTERM or SIGHUP, after --once, or a device's stream is\n"
               "     done\n"
               "  1  the device or pseudo-terminal cannot be opened or is no serial port, the\n"
               "     device is lost, the --file cannot be read, the --chip firmware cannot be\n"
               "     loaded or stops, or the port's path cannot be printed\n"
               "  2  a wrong command line\n"
               "\n"
               "Files:\n"
               "  /dev/pts/N    the pseudo-terminal it opens, named on its first line\n"
               "  /dev/ttyUSB0  a serial device to stream into; serial devices belong to the\n"
               "                dialout group\n"
               "  /usr/share/wavemill/firmware/wavemill-board.hex\n"
               "                the board's firmware, for --chip\n"
               "\n"
               "Examples:\n"
               "  $ wavemill-board --signal square --frequency 1000 --duty 0.25\n"
               "  $ wavemill-board --signal uart --text \"Hello\" --baud 9600 --repeat\n"
               "  $ wavemill-board --signal uart --baud 4800 --invert\n"
               "  $ wavemill-board --signal nec --address 0x04 --command 0x08\n"
               "  $ wavemill-board --signal random --seed 7 --pace line\n"
               "  $ wavemill-board --signal file --file capture.bin --repeat /dev/ttyUSB1\n"
               "  $ wavemill-board --chip firmware/wavemill-board.elf --signal uart --repeat\n")
               .arg(samplePeriodText(), grouped(signals::kBoardBytesPerSecond),
                    grouped(signals::kLineBytesPerSecond));
}

/// Reads the command line; nullopt when it has answered --help or --version.
std::optional<Options> parseOptions(const QStringList &arguments, QTextStream &out)
{
    QCommandLineParser parser;
    const auto valued = [](const char *name, const char *fallback = nullptr) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        if (fallback)
            option.setDefaultValue(QString::fromLatin1(fallback));
        return option;
    };
    const QList<QCommandLineOption> options =
        signalCommandLineOptions() + QList<QCommandLineOption>{
                                         QCommandLineOption(QStringLiteral("invert")),
                                         valued("count"),
                                         valued("pace", "board"),
                                         valued("settle", "50"),
                                         QCommandLineOption(QStringLiteral("once")),
                                         valued("chip"),
                                     };
    if (!command::parseArguments(parser, options, arguments, out, kProgram, helpText()))
        return std::nullopt;
    const SignalSettings settings(parser);

    Options o;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        fail(kExitUsage, QStringLiteral("one device at most (see --help)"));
    if (!positional.isEmpty())
        o.device = positional.first();

    const QString kind = parser.value(QStringLiteral("signal"));
    const BoardSignal *signal = findSignal(kind);
    if (!signal)
        fail(kExitUsage,
             QStringLiteral("unknown signal \"%1\" (%2)").arg(printable(kind), signalNames()));
    o.signal = signal->make(settings);
    o.file = parser.value(QStringLiteral("file"));
    if (parser.isSet(QStringLiteral("invert")))
        o.signal = std::make_unique<signals::InvertedSignal>(std::move(o.signal));

    if (parser.isSet(QStringLiteral("count")))
        o.count = std::uint64_t(settings.number(QStringLiteral("count"), 0, 1e15));
    else if (!o.device.isEmpty())
        o.count = 0;

    const QString pace = parser.value(QStringLiteral("pace"));
    if (pace == QLatin1String("board"))
        o.bytesPerSecond = signals::kBoardBytesPerSecond;
    else if (pace == QLatin1String("line"))
        o.bytesPerSecond = signals::kLineBytesPerSecond;
    else if (pace == QLatin1String("fast"))
        o.bytesPerSecond = 0;
    else
        o.bytesPerSecond = settings.number(QStringLiteral("pace"), 1, 1e9);

    o.settleMs = int(settings.number(QStringLiteral("settle"), 0, 60000));
    o.once = parser.isSet(QStringLiteral("once"));
    o.chip = parser.value(QStringLiteral("chip"));
    if (parser.isSet(QStringLiteral("chip")) && o.chip.isEmpty())
        fail(kExitUsage, QStringLiteral("--chip wants a firmware file, an ELF or .hex"));
    if (!o.chip.isEmpty() && pace != QLatin1String("board") && pace != QLatin1String("fast"))
        fail(kExitUsage, QStringLiteral("--chip runs at the board's own pace or fast, not \"%1\"")
                             .arg(printable(pace)));
    return o;
}

/// Sleeps \a ms, or less when a stop comes.
void settle(int ms)
{
    const std::int64_t until = monotonicNs() + std::int64_t(ms) * 1000000;
    for (std::int64_t now = monotonicNs(); now < until && !g_stop; now = monotonicNs()) {
        const timespec pause{0, long(std::min<std::int64_t>(until - now, 100000000))};
        nanosleep(&pause, nullptr);
    }
}

void report(QTextStream &err, const QString &line)
{
    command::reportLine(err, kProgram, line);
}

/// Opens the link and streams until stopped; failures end it through fail().
int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    std::optional<Options> parsed = parseOptions(arguments, out);
    if (!parsed)
        return kExitOk;
    Options &o = *parsed;

    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    SimulatedChip chip;
    if (!o.chip.isEmpty()) {
        const std::string why = chip.load(o.chip.toStdString());
        if (!why.empty())
            fail(kExitFailed, QString::fromStdString(why));
    }

    BoardLink link;
    const std::string failed =
        o.device.isEmpty() ? link.openPseudoTerminal() : link.openDevice(o.device.toStdString());
    if (!failed.empty())
        fail(kExitFailed, QString::fromStdString(failed));
    // The port's path is what the caller waits for: a line that cannot be
    // written leaves it waiting for good, so it is a failure.
    out << QString::fromStdString(link.path()) << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok)
        fail(kExitFailed, QStringLiteral("cannot print the port's path on standard output: %1")
                              .arg(out.device() ? out.device()->errorString()
                                                : QStringLiteral("write error")));
    if (!link.watchFailure().empty())
        report(err, QStringLiteral("cannot watch %1 for openings (%2): a reopening within "
                                   "20 ms of a close may go unseen")
                        .arg(QString::fromStdString(link.path()),
                             QString::fromStdString(link.watchFailure())));

    const QString pace =
        !o.chip.isEmpty() && o.bytesPerSecond > 0 ? QStringLiteral("the simulated chip's own pace")
        : o.bytesPerSecond > 0 ? QString::number(o.bytesPerSecond, 'f', 0) + " bytes/s"
                               : QStringLiteral("as fast as possible");
    const QString amount =
        o.count ? QString::number(o.count) + " bytes" : QStringLiteral("without end");
    while (!g_stop) {
        if (link.isPseudoTerminal()) {
            report(err, QStringLiteral("waiting for %1 to be opened")
                            .arg(QString::fromStdString(link.path())));
            while (!g_stop && !link.readerPresent())
                link.waitForNews(kNewsWaitMs);
            settle(o.settleMs);
            if (g_stop)
                break;
            if (!link.readerPresent())
                continue; // gone while the board settled
        }
        link.serve();
        report(err, QStringLiteral("streaming %1 at %2").arg(amount, pace));
        o.signal->rewind();
        const std::int64_t began = monotonicNs();
        std::uint64_t sent = 0;
        if (o.chip.isEmpty()) {
            sent = streamPaced(link, *o.signal, o.count, o.bytesPerSecond, &g_stop);
        } else {
            const ChipRun chipRun =
                streamChip(link, chip, *o.signal, o.count, o.bytesPerSecond > 0, &g_stop);
            report(err, QString::fromStdString(chipRun.summary(chip.sampleTiming())));
            if (!chipRun.failure.empty())
                fail(kExitFailed, QString::fromStdString(chipRun.failure));
            sent = chipRun.sent;
        }
        if (!link.failure().empty())
            fail(kExitFailed, QString::fromStdString(link.failure()));
        if (!o.signal->failure().empty())
            fail(kExitFailed, QStringLiteral("cannot read %1 on: %2")
                                  .arg(printable(o.file), QString::fromStdString(
                                                               o.signal->failure())));
        const double seconds = double(monotonicNs() - began) / 1e9;
        const bool changed = link.readerChanged();
        report(err, QStringLiteral("sent %1 bytes in %2 s (%3 bytes/s)%4")
                        .arg(sent)
                        .arg(seconds, 0, 'f', 3)
                        .arg(seconds > 0 ? double(sent) / seconds : 0.0, 0, 'f', 0)
                        .arg(changed ? QStringLiteral(", the port was closed") : QString()));
        if (!link.isPseudoTerminal())
            break;
        // Quiet until the reader closes the port; a new opening streams anew.
        while (!g_stop && !link.readerChanged())
            link.waitForNews(kNewsWaitMs);
        link.discardUnread();
        if (o.once)
            break;
    }
    return kExitOk;
}

} // namespace

int runBoard(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    return command::runReportingFailure(kProgram, err, [&] { return run(arguments, out, err); });
}

} // namespace wavemill::board
