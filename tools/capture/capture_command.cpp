// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/capture_command.h"

#include "capture/port_recording.h"
#include "capture/progress_line.h"
#include "capture/stop_signals.h"
#include "capture/streamed_file.h"

#include "acquisition/capture_blocks.h"
#include "acquisition/serial_setup.h"
#include "capture_file/capture_file_format.h"
#include "command/command_line.h"
#include "core/sample_period.h"
#include "core/samples.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>

#include <cmath>
#include <limits>
#include <memory>

#ifndef WAVEMILL_VERSION
#define WAVEMILL_VERSION "unknown"
#endif

namespace wavemill::capturing {

namespace {

using command::fail;
using command::kExitFailed;
using command::kExitOk;
using command::kExitUsage;

constexpr auto kProgram = "wavemill-capture";
/// The longest recording: a week. Its session file has some 7,200 chunks,
/// each announced to libzip at the start.
constexpr double kMaxSeconds = 7 * 24 * 3600;
/// The highest port number the window's selector takes (16 bits).
constexpr double kMaxPortNumber = 32767;
/// A process ended by a signal reports 128 + its number, as the shell does.
constexpr int kExitSignalBase = 128;
/// Seconds of samples in one of the board's bytes: 8 x 20.0736 µs.
constexpr double kSecondsPerByte = double(kSamplePeriodPs) * kSamplesPerByte / 1e12;

QString helpText()
{
    return QStringLiteral(
        "Usage: wavemill-capture PORT -o OUTPUT [--trace N | --seconds S]\n"
        "\n"
        "Capture from the logic analyzer board into a file, from a terminal.\n"
        "\n"
        "Captures from the board's serial port into a file, as the window's start\n"
        "button does: the port set to 115200,n,8,1 and read in blocks of 1,024 bytes\n"
        "from the first byte after it opens. One capture is 63,488 bytes: 507,904\n"
        "samples, one every 20.0736 us, 10.195 s. --seconds records longer.\n"
        "\n"
        "PORT is a device path such as /dev/ttyUSB0, or a number as in the window's\n"
        "port selector: 1 is the first serial port, USB adapters first.\n"
        "\n"
        "The output's extension picks the format:\n"
        "  .ird  Wavemill capture file: the capture goes into trace N (--trace) of a\n"
        "        new file, or of an existing capture file whose other traces stay.\n"
        "  .sr   sigrok session file for PulseView and sigrok-cli, one logic channel\n"
        "        named trace1, at 49817 Hz (sigrok keeps whole hertz).\n"
        "  .vcd  Value Change Dump, one wire named trace1, time unit 100 ps.\n"
        "  .csv  time_ms,sample,trace1: a row where the level changes, and for the\n"
        "        first and the last sample.\n"
        "\n"
        "The file is written beside its target and put in its place once complete.\n"
        "On a failure, Ctrl+C, or a device that goes away, nothing is written and\n"
        "an earlier file of that name is left as it was.\n"
        "\n"
        "On a terminal a progress line on stderr shows the percentage, the bytes,\n"
        "the rate and the time left; otherwise only a failure is printed.\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE  where to write (required): .ird, .sr, .vcd or .csv\n"
        "  --trace N          .ird: the trace the capture goes into, 1 to 3 (default 1)\n"
        "  --seconds S        .sr, .vcd, .csv: record S seconds of samples (up to a\n"
        "                     week) instead of one capture, written as they come\n"
        "                     in; an .ird holds exactly one capture\n"
        "  -h, --help         this text\n"
        "  -v, --version      the version\n"
        "\n"
        "Exit status:\n"
        "  0    the file is written\n"
        "  1    the port could not be opened, the device went away, or the file\n"
        "       could not be read or written (nothing is left behind)\n"
        "  2    a wrong command line\n"
        "  130  stopped by Ctrl+C (SIGINT), 143 by SIGTERM: nothing is written\n"
        "\n"
        "Files:\n"
        "  /dev/ttyUSB0, /dev/ttyACM0  the board's USB serial adapter; serial devices\n"
        "                              belong to the dialout group\n"
        "\n"
        "Examples:\n"
        "  $ wavemill-capture /dev/ttyUSB0 -o capture.ird\n"
        "  $ wavemill-capture /dev/ttyUSB0 -o capture.ird --trace 2\n"
        "  $ wavemill-capture 1 -o capture.sr\n"
        "  $ wavemill-capture /dev/ttyUSB0 -o minute.vcd --seconds 60\n");
}

enum class Output { CaptureFile, Sigrok, Vcd, Csv };

Output chooseOutput(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("ird"))
        return Output::CaptureFile;
    if (suffix == QLatin1String("sr"))
        return Output::Sigrok;
    if (suffix == QLatin1String("vcd"))
        return Output::Vcd;
    if (suffix == QLatin1String("csv"))
        return Output::Csv;
    fail(kExitUsage,
         QStringLiteral("cannot tell the format of '%1': name it .ird, .sr, .vcd or .csv")
             .arg(path));
}

StreamedFile::Kind streamedKind(Output output)
{
    switch (output) {
    case Output::Sigrok:
        return StreamedFile::Kind::Sigrok;
    case Output::Vcd:
        return StreamedFile::Kind::Vcd;
    default:
        return StreamedFile::Kind::Csv;
    }
}

int traceOption(const QString &text)
{
    bool ok = false;
    const int trace = text.trimmed().toInt(&ok);
    if (!ok || trace < 1 || trace > kTraceCount)
        fail(kExitUsage, QStringLiteral("--trace takes 1, 2 or 3, not '%1'").arg(text));
    return trace;
}

/// The board's bytes that hold \a text seconds of samples, rounded up.
std::int64_t secondsOption(const QString &text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > kMaxSeconds)
        fail(kExitUsage,
             QStringLiteral("--seconds takes a number of seconds above 0 and up to %1, not '%2'")
                 .arg(kMaxSeconds, 0, 'f', 0)
                 .arg(text));
    return std::int64_t(std::ceil(seconds / kSecondsPerByte));
}

void checkPort(const QString &portText)
{
    if (acquisition::namesDevice(portText))
        return;
    const double number = acquisition::portNumber(portText);
    if (!(number >= 1 && number <= kMaxPortNumber))
        fail(kExitUsage, QStringLiteral("'%1' is neither a serial port number from 1 to %2 nor a "
                                        "device path such as /dev/ttyUSB0")
                             .arg(portText)
                             .arg(kMaxPortNumber));
}

/// The capture file the capture goes into: the existing one, read whole so
/// that its other traces are kept, or an empty one.
std::unique_ptr<TraceBuffers> captureFileBuffers(const QString &path)
{
    if (QFileInfo::exists(path))
        return command::readCaptureOrFail(path);
    return std::make_unique<TraceBuffers>();
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err, bool progressShown)
{
    QCommandLineParser parser;
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QString(), QStringLiteral("file"));
    const QCommandLineOption traceOptionName(QStringLiteral("trace"), QString(),
                                             QStringLiteral("n"));
    const QCommandLineOption secondsOptionName(QStringLiteral("seconds"), QString(),
                                               QStringLiteral("s"));
    if (!command::parseArguments(parser, {outputOption, traceOptionName, secondsOptionName},
                                 arguments, out, kProgram, helpText()))
        return kExitOk;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        fail(kExitUsage, QStringLiteral("give exactly one port (see --help)"));
    if (parser.value(outputOption).isEmpty())
        fail(kExitUsage, QStringLiteral("give the output file with -o (see --help)"));

    const QString &portText = positional.front();
    const QString path = parser.value(outputOption);
    checkPort(portText);
    const Output output = chooseOutput(path);
    const bool captureFile = output == Output::CaptureFile;
    if (parser.isSet(traceOptionName) && !captureFile)
        fail(kExitUsage, QStringLiteral("--trace is for .ird output, which holds three traces"));
    if (parser.isSet(secondsOptionName) && captureFile)
        fail(kExitUsage, QStringLiteral("--seconds is for .sr, .vcd or .csv output: an .ird "
                                        "holds exactly one capture"));
    const int trace =
        parser.isSet(traceOptionName) ? traceOption(parser.value(traceOptionName)) : 1;
    const bool recording = parser.isSet(secondsOptionName);
    const std::int64_t total =
        recording ? secondsOption(parser.value(secondsOptionName)) : kCaptureLength;

    // Everything that can fail before the capture fails first: the file to
    // keep traces of, the file to write.
    std::unique_ptr<TraceBuffers> buffers =
        captureFile ? captureFileBuffers(path) : std::make_unique<TraceBuffers>();
    std::unique_ptr<StreamedFile> file;
    if (!captureFile) {
        const exporting::VcdHeader header{
            QDateTime::currentDateTime().toString(Qt::ISODate),
            QStringLiteral("%1 %2").arg(QLatin1String(kProgram), QLatin1String(WAVEMILL_VERSION)),
            QStringLiteral("%1 from %2: %3 samples, one every 20.0736 us")
                .arg(QLatin1String(kProgram), portText)
                .arg(total * kSamplesPerByte)};
        file = std::make_unique<StreamedFile>(streamedKind(output), path, total, header);
        file->open();
    }

    StopSignals stop;
    ProgressLine progress(err, progressShown);
    PortRecording port(portText, total);
    port.open();

    // One capture fills a trace buffer as the window's does; a longer
    // recording goes to its file block by block.
    TraceBuffer *target = buffers->trace(trace);
    std::int32_t writeIndex = 0;
    std::int64_t kept = 0;
    const auto take = [&](const QByteArray &block) {
        if (!recording)
            return acquisition::storeBlock(block, target, writeIndex) ? BlockVerdict::Complete
                                                                      : BlockVerdict::More;
        const auto count = std::min<std::int64_t>(block.size(), total - kept);
        if (!file->append(reinterpret_cast<const std::uint8_t *>(block.constData()),
                          std::size_t(count)))
            return BlockVerdict::Failed;
        kept += count;
        return kept == total ? BlockVerdict::Complete : BlockVerdict::More;
    };
    const RecordingEnd end = port.run(take, progress, stop);

    const QString taken = QStringLiteral("%1 of %2 bytes").arg(port.taken()).arg(total);
    switch (end) {
    case RecordingEnd::Stopped:
        progress.clear();
        fail(kExitSignalBase + stop.received(),
             QStringLiteral("stopped by %1 after %2; nothing written")
                 .arg(QLatin1String(stop.received() == SIGINT ? "Ctrl+C" : "SIGTERM"), taken));
    case RecordingEnd::DeviceLost: {
        progress.clear();
        const QString why = port.lossReason();
        fail(kExitFailed, QStringLiteral("%1: the device went away after %2%3; nothing written")
                              .arg(portText, taken,
                                   why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
    }
    case RecordingEnd::Failed:
        progress.clear();
        file->commit(); // fails, saying why
        fail(kExitFailed, QStringLiteral("%1: cannot write").arg(path));
    case RecordingEnd::Complete:
        progress.finish();
        break;
    }

    if (captureFile)
        command::writeFileOrFail(path, capture_file::toImage(*buffers));
    else if (!recording)
        file->append(target->data(), kCaptureLength);
    if (file)
        file->commit();
    return kExitOk;
}

} // namespace

int runCapture(const QStringList &arguments, QTextStream &out, QTextStream &err, bool progressShown)
{
    return command::runReportingFailure(kProgram, err,
                                        [&] { return run(arguments, out, err, progressShown); });
}

} // namespace wavemill::capturing
