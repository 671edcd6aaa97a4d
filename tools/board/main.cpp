// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// wavemill-board: stands in for the acquisition board. It streams a chosen
// signal, eight samples a byte, into a pseudo-terminal whose device path the
// program's port selector takes, or into a serial device. With --chip the
// bytes come from the board's own firmware running in a simulated chip.

#include "board/board_link.h"
#include "board/chip_stream.h"
#include "command/command_line.h"
#include "signals/infrared_remote.h"
#include "signals/signals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace wavemill::board;
using namespace wavemill::signals;
namespace command = wavemill::command;

/// Bytes written at one go at the paced rates: a wake-up every 2 ms or so,
/// the way a USB serial adapter hands bytes over in small batches.
constexpr double kPacedBatchSeconds = 0.002;
/// Largest single write.
constexpr std::size_t kMaxWrite = 4096;
/// How often the pseudo-terminal is looked at while nobody has it open.
constexpr int kPresencePollMs = 20;

volatile std::sig_atomic_t g_stop = 0;

void onStopSignal(int)
{
    g_stop = 1;
}

struct Options
{
    std::unique_ptr<Signal> signal;
    std::uint64_t count = kCaptureBytes;          // 0: without end
    double bytesPerSecond = kBoardBytesPerSecond; // 0: as fast as possible
    bool once = false;
    int settleMs = 50;
    QString device;
    QString chip; // firmware to run in the simulated chip
};

std::int64_t nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepUntilNs(std::int64_t when)
{
    timespec ts{};
    ts.tv_sec = time_t(when / 1000000000);
    ts.tv_nsec = long(when % 1000000000);
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr); // EINTR: the loop looks again
}

using command::fail;
using command::kExitFailed;
using command::kExitOk;
using command::kExitUsage;

constexpr auto kProgram = "wavemill-board";

std::optional<double> number(const QString &text)
{
    QString plain = text;
    plain.remove(QLatin1Char(',')).remove(QLatin1Char('_'));
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double numberOption(const QCommandLineParser &parser, const QString &name, double low, double high)
{
    const auto value = number(parser.value(name));
    if (!value || *value < low || *value > high)
        fail(kExitUsage, QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                             .arg(name)
                             .arg(low)
                             .arg(high)
                             .arg(parser.value(name)));
    return *value;
}

/// A whole number from 0 to \a high, decimal or with 0x hexadecimal.
int integerOption(const QCommandLineParser &parser, const QString &name, int high)
{
    const QString text = parser.value(name).trimmed();
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    bool ok = false;
    const qlonglong value = (hex ? text.mid(2) : text).toLongLong(&ok, hex ? 16 : 10);
    if (!ok || value < 0 || value > high)
        fail(kExitUsage, QStringLiteral("--%1 wants a whole number from 0 to %2, not \"%3\"")
                             .arg(name)
                             .arg(high)
                             .arg(parser.value(name)));
    return int(value);
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
        "start and goes quiet until the port is opened again. Ctrl+C ends it.\n"
        "\n"
        "With a device (a serial port wired to the program's port) it sets it to\n"
        "115200,n,8,1 and streams at once, without end unless --count is given.\n"
        "\n"
        "Bytes carry eight samples each, one every 20.0736 us, the earliest in bit 7.\n"
        "\n"
        "Options:\n"
        "  --signal KIND      square, uart, nec, rc5, rc6, random or file (default\n"
        "                     square). nec, rc5 and rc6 are a remote control's button\n"
        "                     pressed every 500 ms, its code sent with its repeat, as an\n"
        "                     infrared receiver gives it: idle high, low while the\n"
        "                     carrier is on.\n"
        "  --frequency HZ     square: the frequency (default 1000; the board sees up to\n"
        "                     about 24,900 Hz)\n"
        "  --duty FRACTION    square: the high share of a period, 0 to 1 (default 0.5)\n"
        "  --text TEXT        uart: the text (default \"Hello from wavemill-board\\r\\n\")\n"
        "  --baud RATE        uart: the bit rate (default 9600; at most about 24,900 for\n"
        "                     the board to see every bit)\n"
        "  --address N        nec, rc5, rc6: the code's address (nec and rc6: 0 to 255,\n"
        "                     rc5: 0 to 31; default 0); 0x for hexadecimal\n"
        "  --command N        nec, rc5, rc6: the code's command (nec and rc6: 0 to 255,\n"
        "                     rc5: 0 to 63; default 0); 0x for hexadecimal\n"
        "  --seed N           random: the seed (default 1)\n"
        "  --file PATH        file: the file whose bytes are sent\n"
        "  --repeat           uart, file: start again at the end (otherwise the uart\n"
        "                     line idles high and the file signal stops)\n"
        "  --invert           send every level the other way round (a serial line\n"
        "                     idling low)\n"
        "  --count BYTES      bytes to stream each time the port opens, 0 for without\n"
        "                     end (default 63488, one capture; with a device: 0)\n"
        "  --pace PACE        board: the board's own pace, one byte every 8 x 20.0736 us\n"
        "                     (about 6,227 bytes/s, the default); line: the link's\n"
        "                     limit, 11,520 bytes/s; fast: as fast as the reader takes\n"
        "                     them; or a number of bytes a second\n"
        "  --settle MS        milliseconds to wait after the port opens before streaming\n"
        "                     (default 50)\n"
        "  --once             exit after one stream, once the port is closed again\n"
        "  --chip FIRMWARE    run the board's firmware (an ELF or .hex file) in a\n"
        "                     simulated ATmega328P at 16 MHz with the signal on pin D2,\n"
        "                     and stream what its serial port sends; it starts from\n"
        "                     reset each time the port opens. --pace is board or fast.\n"
        "  -h, --help         this text\n"
        "  -v, --version      the version\n"
        "\n"
        "Exit status:\n"
        "  0  ended by Ctrl+C or SIGTERM, after --once, or a device's stream is done\n"
        "  1  the device or pseudo-terminal cannot be opened, the --file cannot be\n"
        "     read, or the --chip firmware cannot be loaded or stops\n"
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
        "  $ wavemill-board --chip firmware/wavemill-board.elf --signal uart --repeat\n");
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
    const QList<QCommandLineOption> options = {
        valued("signal", "square"),
        valued("address", "0"),
        valued("command", "0"),
        QCommandLineOption(QStringLiteral("invert")),
        valued("frequency", "1000"),
        valued("duty", "0.5"),
        valued("text", "Hello from wavemill-board\r\n"),
        valued("baud", "9600"),
        valued("seed", "1"),
        valued("file"),
        QCommandLineOption(QStringLiteral("repeat")),
        valued("count"),
        valued("pace", "board"),
        valued("settle", "50"),
        QCommandLineOption(QStringLiteral("once")),
        valued("chip"),
    };
    if (!command::parseArguments(parser, options, arguments, out, kProgram, helpText()))
        return std::nullopt;

    Options o;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        fail(kExitUsage, QStringLiteral("one device at most (see --help)"));
    if (!positional.isEmpty())
        o.device = positional.first();

    const bool repeat = parser.isSet(QStringLiteral("repeat"));
    const QString kind = parser.value(QStringLiteral("signal"));
    if (kind == QLatin1String("square")) {
        const double hz = numberOption(parser, QStringLiteral("frequency"), 0, 1e6);
        const double duty = numberOption(parser, QStringLiteral("duty"), 0, 1);
        o.signal = std::make_unique<SquareWave>(hz, duty);
    } else if (kind == QLatin1String("uart")) {
        const double baud = numberOption(parser, QStringLiteral("baud"), 1, 1e7);
        o.signal = std::make_unique<UartText>(parser.value(QStringLiteral("text")).toStdString(),
                                              baud, repeat);
    } else if (kind == QLatin1String("nec") || kind == QLatin1String("rc5") ||
               kind == QLatin1String("rc6")) {
        const RemoteFamily family = kind == QLatin1String("nec")   ? RemoteFamily::Nec
                                    : kind == QLatin1String("rc5") ? RemoteFamily::Rc5
                                                                   : RemoteFamily::Rc6;
        const bool rc5 = family == RemoteFamily::Rc5;
        const int address = integerOption(parser, QStringLiteral("address"), rc5 ? 31 : 255);
        const int command = integerOption(parser, QStringLiteral("command"), rc5 ? 63 : 255);
        o.signal = std::make_unique<InfraredRemote>(family, address, command);
    } else if (kind == QLatin1String("random")) {
        const double seed = numberOption(parser, QStringLiteral("seed"), 0, 4294967295.0);
        o.signal = std::make_unique<RandomBytes>(std::uint32_t(seed));
    } else if (kind == QLatin1String("file")) {
        if (!parser.isSet(QStringLiteral("file")))
            fail(kExitUsage, QStringLiteral("--signal file needs --file PATH"));
        QFile file(parser.value(QStringLiteral("file")));
        if (!file.open(QIODevice::ReadOnly))
            fail(kExitFailed,
                 QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        const QByteArray content = file.readAll();
        o.signal = std::make_unique<FileBytes>(
            std::vector<std::uint8_t>(content.begin(), content.end()), repeat);
    } else {
        fail(kExitUsage,
             QStringLiteral("unknown signal \"%1\" (square, uart, nec, rc5, rc6, random, file)")
                 .arg(kind));
    }
    if (parser.isSet(QStringLiteral("invert")))
        o.signal = std::make_unique<InvertedSignal>(std::move(o.signal));

    if (parser.isSet(QStringLiteral("count")))
        o.count = std::uint64_t(numberOption(parser, QStringLiteral("count"), 0, 1e15));
    else if (!o.device.isEmpty())
        o.count = 0;

    const QString pace = parser.value(QStringLiteral("pace"));
    if (pace == QLatin1String("board"))
        o.bytesPerSecond = kBoardBytesPerSecond;
    else if (pace == QLatin1String("line"))
        o.bytesPerSecond = kLineBytesPerSecond;
    else if (pace == QLatin1String("fast"))
        o.bytesPerSecond = 0;
    else
        o.bytesPerSecond = numberOption(parser, QStringLiteral("pace"), 1, 1e9);

    o.settleMs = int(numberOption(parser, QStringLiteral("settle"), 0, 60000));
    o.once = parser.isSet(QStringLiteral("once"));
    o.chip = parser.value(QStringLiteral("chip"));
    if (!o.chip.isEmpty() && pace != QLatin1String("board") && pace != QLatin1String("fast"))
        fail(kExitUsage,
             QStringLiteral("--chip runs at the board's own pace or fast, not \"%1\"").arg(pace));
    return o;
}

void sleepMs(int ms)
{
    sleepUntilNs(nowNs() + std::int64_t(ms) * 1000000);
}

/// Streams one run of the signal, paced against the clock so that byte k
/// leaves at start + k / rate however long the run. Returns the bytes sent.
std::uint64_t stream(BoardLink &out, Signal &signal, const Options &o)
{
    const std::uint64_t limit = o.count ? o.count : UINT64_MAX;
    const bool paced = o.bytesPerSecond > 0;
    const std::uint64_t batch =
        paced ? std::max<std::uint64_t>(1, std::uint64_t(o.bytesPerSecond * kPacedBatchSeconds))
              : kMaxWrite;
    const double nsPerByte = paced ? 1e9 / o.bytesPerSecond : 0;
    const std::int64_t start = nowNs();
    std::vector<std::uint8_t> chunk;
    chunk.reserve(kMaxWrite);
    std::uint64_t sent = 0;
    bool ended = false;
    while (sent < limit && !ended && !g_stop) {
        std::uint64_t due = limit;
        if (paced) {
            // Bytes whose time has come, counting the one leaving now.
            due = std::min<std::uint64_t>(limit,
                                          std::uint64_t(double(nowNs() - start) / nsPerByte) + 1);
            if (due <= sent) {
                const std::uint64_t next = std::min(limit, sent + batch) - 1;
                sleepUntilNs(start + std::int64_t(double(next) * nsPerByte));
                continue;
            }
        }
        chunk.clear();
        std::uint8_t byte = 0;
        while (sent + chunk.size() < due && chunk.size() < kMaxWrite) {
            if (!signal.nextByte(byte)) {
                ended = true;
                break;
            }
            chunk.push_back(byte);
        }
        if (!out.writeAll(chunk.data(), chunk.size(), &g_stop))
            return sent;
        sent += chunk.size();
    }
    return sent;
}

/// Opens the link and streams until stopped; failures end it through fail().
int run(const QStringList &arguments, QTextStream &out)
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
    std::printf("%s\n", link.path().c_str());
    std::fflush(stdout);

    const QString pace =
        !o.chip.isEmpty() && o.bytesPerSecond > 0 ? QStringLiteral("the simulated chip's own pace")
        : o.bytesPerSecond > 0 ? QString::number(o.bytesPerSecond, 'f', 0) + " bytes/s"
                               : QStringLiteral("as fast as possible");
    const QString amount =
        o.count ? QString::number(o.count) + " bytes" : QStringLiteral("without end");
    while (!g_stop) {
        if (link.isPseudoTerminal()) {
            std::fprintf(stderr, "wavemill-board: waiting for %s to be opened\n",
                         link.path().c_str());
            while (!g_stop && !link.readerPresent())
                sleepMs(kPresencePollMs);
            if (g_stop)
                break;
            sleepMs(o.settleMs);
        }
        std::fprintf(stderr, "wavemill-board: streaming %s at %s\n", qPrintable(amount),
                     qPrintable(pace));
        o.signal->rewind();
        const std::int64_t began = nowNs();
        std::uint64_t sent = 0;
        if (o.chip.isEmpty()) {
            sent = stream(link, *o.signal, o);
        } else {
            const ChipRun chipRun =
                streamChip(link, chip, *o.signal, o.count, o.bytesPerSecond > 0, &g_stop);
            std::fprintf(stderr, "wavemill-board: %s\n",
                         chipRun.summary(chip.sampleTiming()).c_str());
            if (!chipRun.failure.empty())
                fail(kExitFailed, QString::fromStdString(chipRun.failure));
            sent = chipRun.sent;
        }
        const double seconds = double(nowNs() - began) / 1e9;
        std::fprintf(stderr, "wavemill-board: sent %llu bytes in %.3f s (%.0f bytes/s)%s\n",
                     static_cast<unsigned long long>(sent), seconds,
                     seconds > 0 ? double(sent) / seconds : 0.0,
                     link.readerPresent() ? "" : ", the port was closed");
        if (!link.isPseudoTerminal())
            break;
        // Quiet until the reader closes the port; a new opening streams anew.
        while (!g_stop && link.readerPresent())
            sleepMs(kPresencePollMs);
        link.discardUnread();
        if (o.once)
            break;
    }
    return kExitOk;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return wavemill::command::runReportingFailure(
        kProgram, err, [&] { return run(QCoreApplication::arguments(), out); });
}
