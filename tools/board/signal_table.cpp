// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/signal_table.h"

#include "command/printable_text.h"
#include "command/command_line.h"
#include "signals/file_bytes.h"
#include "signals/infrared_remote.h"

#include <QStringList>

namespace wavemill::board {

using command::printable;

namespace {

using namespace wavemill::signals;

/// --help's layout: options from column 2, their help from column 21, lines
/// of at most 79 characters.
constexpr int kHelpColumn = 21;
constexpr int kHelpWidth = 79;
/// Where a signal's help starts in the list of signals.
constexpr int kSignalColumn = 10;
/// The highest seed: 32 bits.
constexpr double kMaxSeed = 4294967295.0;

std::unique_ptr<Signal> remote(RemoteFamily family, const SignalSettings &settings)
{
    // RC-5 has 5 address and 6 command bits; NEC and RC-6 8 of each.
    const bool rc5 = family == RemoteFamily::Rc5;
    const int address = settings.whole(QStringLiteral("address"), rc5 ? 31 : 255);
    const int command = settings.whole(QStringLiteral("command"), rc5 ? 63 : 255);
    return std::make_unique<InfraredRemote>(family, address, command);
}

std::unique_ptr<Signal> fileSignal(const SignalSettings &settings)
{
    if (!settings.isSet(QStringLiteral("file")))
        command::fail(command::kExitUsage, QStringLiteral("--signal file needs --file PATH"));
    const QString path = settings.text(QStringLiteral("file"));
    std::string why;
    std::unique_ptr<Signal> file =
        FileBytes::open(path.toStdString(), settings.isSet(QStringLiteral("repeat")), why);
    if (!file)
        command::fail(command::kExitFailed, QStringLiteral("cannot read %1: %2")
                                                .arg(printable(path), QString::fromStdString(why)));
    return file;
}

/// \a text cut into lines of at most kHelpWidth characters, the first
/// continuing a line \a firstColumn characters long, the others indented to
/// \a column.
QString wrapped(const QString &text, int firstColumn, int column)
{
    QString lines;
    int at = firstColumn;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (at > column && at + 1 + word.size() > kHelpWidth) {
            lines += QLatin1Char('\n') + QString(column, QLatin1Char(' '));
            at = column;
        } else if (at > column) {
            lines += QLatin1Char(' ');
            ++at;
        }
        lines += word;
        at += int(word.size());
    }
    return lines + QLatin1Char('\n');
}

/// "  --frequency HZ     " and the rest of the line from kHelpColumn.
QString optionLine(const QString &option, const QString &help)
{
    QString head = QStringLiteral("  ") + option;
    if (head.size() < kHelpColumn - 1)
        head = head.leftJustified(kHelpColumn, QLatin1Char(' '));
    else
        head += QLatin1Char(' ');
    return head + wrapped(help, int(head.size()), kHelpColumn);
}

} // namespace

const std::vector<SignalOption> &signalOptions()
{
    static const std::vector<SignalOption> options = {
        {"frequency", "HZ", "1000",
         "the frequency (default 1000; the board sees up to about 24,900 Hz)"},
        {"duty", "FRACTION", "0.5", "the high share of a period, 0 to 1 (default 0.5)"},
        {"text", "TEXT", "Hello from wavemill-board\r\n",
         "the text (default \"Hello from wavemill-board\\r\\n\")"},
        {"baud", "RATE", "9600",
         "the bit rate (default 9600; at most about 24,900 for the board to see every bit)"},
        {"address", "N", "0",
         "the code's address (nec and rc6: 0 to 255, rc5: 0 to 31; default 0); 0x for "
         "hexadecimal"},
        {"command", "N", "0",
         "the code's command (nec and rc6: 0 to 255, rc5: 0 to 63; default 0); 0x for "
         "hexadecimal"},
        {"seed", "N", "1", "the seed (default 1)"},
        {"file", "PATH", nullptr,
         "the file whose bytes are sent, a regular file, read as it streams"},
        {"repeat", nullptr, nullptr,
         "start again at the end (otherwise the uart line idles high and the file signal "
         "stops)"},
    };
    return options;
}

const std::vector<BoardSignal> &boardSignals()
{
    static const std::vector<BoardSignal> signalTable = {
        {"square", "a square wave, high first", {"frequency", "duty"},
         [](const SignalSettings &s) -> std::unique_ptr<Signal> {
             return std::make_unique<SquareWave>(s.number(QStringLiteral("frequency"), 0, 1e6),
                                                 s.number(QStringLiteral("duty"), 0, 1));
         }},
        {"uart", "text on a serial line, 8N1, idle high", {"text", "baud", "repeat"},
         [](const SignalSettings &s) -> std::unique_ptr<Signal> {
             const double baud = s.number(QStringLiteral("baud"), 1, 1e7);
             return std::make_unique<UartText>(s.text(QStringLiteral("text")).toStdString(), baud,
                                               s.isSet(QStringLiteral("repeat")));
         }},
        {"nec",
         "an NEC remote control's button pressed twice a second, its code sent with its "
         "repeat, as an infrared receiver gives it: idle high, low while the carrier is on",
         {"address", "command"},
         [](const SignalSettings &s) { return remote(RemoteFamily::Nec, s); }},
        {"rc5", "the same of an RC-5 remote control", {"address", "command"},
         [](const SignalSettings &s) { return remote(RemoteFamily::Rc5, s); }},
        {"rc6", "the same of an RC-6 (mode 0) remote control", {"address", "command"},
         [](const SignalSettings &s) { return remote(RemoteFamily::Rc6, s); }},
        {"random", "random bytes from a seed", {"seed"},
         [](const SignalSettings &s) -> std::unique_ptr<Signal> {
             return std::make_unique<RandomBytes>(
                 std::uint32_t(s.number(QStringLiteral("seed"), 0, kMaxSeed)));
         }},
        {"file", "a file's bytes as they are", {"file", "repeat"}, fileSignal},
    };
    return signalTable;
}

const BoardSignal *findSignal(const QString &name)
{
    for (const BoardSignal &signal : boardSignals()) {
        if (name == QLatin1String(signal.name))
            return &signal;
    }
    return nullptr;
}

QString signalNames()
{
    QStringList names;
    for (const BoardSignal &signal : boardSignals())
        names << QString::fromLatin1(signal.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QList<QCommandLineOption> signalCommandLineOptions()
{
    QList<QCommandLineOption> options{QCommandLineOption(
        QStringLiteral("signal"), QString(), QStringLiteral("value"),
        QString::fromLatin1(boardSignals().front().name))};
    for (const SignalOption &o : signalOptions()) {
        if (!o.valueName) {
            options << QCommandLineOption(QString::fromLatin1(o.name));
            continue;
        }
        QCommandLineOption option(QString::fromLatin1(o.name), QString(), QStringLiteral("value"));
        if (o.defaultValue)
            option.setDefaultValue(QString::fromLatin1(o.defaultValue));
        options << option;
    }
    return options;
}

QString signalList()
{
    QString list;
    for (const BoardSignal &signal : boardSignals()) {
        QStringList reads;
        for (const char *option : signal.reads)
            reads << QStringLiteral("--") + QString::fromLatin1(option);
        const QString head =
            QStringLiteral("  ") +
            QString::fromLatin1(signal.name).leftJustified(kSignalColumn - 2, QLatin1Char(' '));
        list += head + wrapped(QString::fromLatin1(signal.help) + QStringLiteral(" (") +
                                   reads.join(QStringLiteral(", ")) + QLatin1Char(')'),
                               int(head.size()), kSignalColumn);
    }
    return list;
}

QString signalOptionHelp()
{
    QString help = optionLine(QStringLiteral("--signal KIND"),
                              QStringLiteral("the signal: %1 (default %2; see Signals)")
                                  .arg(signalNames(),
                                       QString::fromLatin1(boardSignals().front().name)));
    for (const SignalOption &option : signalOptions()) {
        QStringList readers;
        for (const BoardSignal &signal : boardSignals()) {
            for (const char *name : signal.reads) {
                if (qstrcmp(name, option.name) == 0)
                    readers << QString::fromLatin1(signal.name);
            }
        }
        QString name = QStringLiteral("--") + QString::fromLatin1(option.name);
        if (option.valueName)
            name += QLatin1Char(' ') + QString::fromLatin1(option.valueName);
        help += optionLine(name, readers.join(QStringLiteral(", ")) + QStringLiteral(": ") +
                                     QString::fromLatin1(option.help));
    }
    return help;
}

} // namespace wavemill::board
