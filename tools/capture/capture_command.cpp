// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/capture_command.h"

#include "capture/board_pace.h"
#include "capture/port_recording.h"
#include "capture/progress_line.h"
#include "capture/stop_signals.h"

#include "acquisition/capture_blocks.h"
#include "acquisition/serial_setup.h"
#include "capture_file/capture_file_format.h"
#include "command/command_line.h"
#include "command/output_file.h"
#include "command/trace_numbers.h"
#include "core/numbers.h"
#include "core/sample_period.h"
#include "core/samples.h"
#include "export/output_format.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <memory>
#include <optional>

namespace wavemill::capturing {

namespace {

using command::fail;
using command::kExitFailed;
using command::kExitOk;
using command::kExitUsage;
using exporting::OutputFormat;

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
    QString streamed = exporting::extensionsText();
    streamed.replace(QStringLiteral(" or "), QStringLiteral(", "));
    return QStringLiteral(
               "Usage: wavemill-capture PORT -o OUTPUT [--trace N | --seconds S]\n"
               "\n"
               "Capture from the logic analyzer board into a file, from a terminal.\n"
               "\n"
               "Captures from the board's serial port into a file, as the window's start\n"
               "button does: the port set to 115200,n,8,1 and read in blocks of 1,024 bytes\n"
               "from the first byte after it opens. One capture is 63,488 bytes: 507,904\n"
               "samples, one every %1, 10.195 s. --seconds records longer.\n"
               "\n"
               "PORT is a device path such as /dev/ttyUSB0, or a number as in the window's\n"
               "port selector: 1 is the first serial port, USB adapters first. A port that\n"
               "another program has open is refused: the two would share its bytes.\n"
               "\n"
               "The output's extension picks the format:\n"
               "  .ird  Wavemill capture file: the capture goes into trace N (--trace) of a\n"
               "        new file, or of an existing capture file whose other traces stay.\n"
               "Or one of wavemill-export's formats, with the capture as trace1:\n")
               .arg(samplePeriodText()) +
           exporting::formatsHelp() +
           QStringLiteral(
               "\n"
               "The file is written beside its target and put in its place once complete,\n"
               "with the owner and mode of the file it replaces; a symbolic link is\n"
               "written through. A folder, a FIFO, a file you may not write, or an .ird\n"
               "that is not a capture file is refused before the capture starts. On a\n"
               "failure, a stop signal, a device that goes away, or a board that sends\n"
               "nothing for %1 s, nothing is written and an earlier file of that name is\n"
               "left as it was.\n"
               "\n"
               "The pace of the bytes is measured over the first seconds: far from the\n"
               "board's %2 bytes a second, or with framing errors, a line on stderr says\n"
               "that the board may not be a 16 MHz ATmega328P; the capture goes on.\n"
               "\n"
               "On a terminal a progress line on stderr shows the percentage, the bytes,\n"
               "the rate and the time left; otherwise only a failure is printed.\n"
               "\n"
               "Options:\n"
               "  -o, --output FILE  where to write (required): %3\n"
               "  --trace N          .ird: the trace the capture goes into, 1 to 3 (default 1)\n"
               "  --seconds S        %4: record S seconds of samples (up to a\n"
               "                     week) instead of one capture, written as they come\n"
               "                     in; an .ird holds exactly one capture. A .sr's setup\n"
               "                     comes from the first capture's worth (10.195 s)\n"
               "  --no-setup         .sr: no PulseView setup (X.pvs) beside it; one there\n"
               "                     stays as it is\n"
               "  -h, --help         show this help and exit\n"
               "  -v, --version      show the version and exit\n"
               "\n"
               "Exit status:\n"
               "  0    the file is written\n"
               "  1    the port could not be opened, the device went away, the board\n"
               "       stopped sending, or the file could not be read or written (nothing\n"
               "       is left behind)\n"
               "  2    a wrong command line\n"
               "  129  ended by SIGHUP, 130 by Ctrl+C (SIGINT), 143 by SIGTERM: nothing is\n"
               "       written\n"
               "\n"
               "Files:\n"
               "  /dev/ttyUSB0, /dev/ttyACM0  the board's USB serial adapter; serial devices\n"
               "                              belong to the dialout group\n"
               "\n"
               "Examples:\n"
               "  $ wavemill-capture /dev/ttyUSB0 -o capture.ird\n"
               "  $ wavemill-capture /dev/ttyUSB0 -o capture.ird --trace 2\n"
               "  $ wavemill-capture 1 -o capture.sr\n"
               "  $ wavemill-capture /dev/ttyUSB0 -o minute.vcd --seconds 60\n")
               .arg(PortRecording::kStallMs / 1000)
               .arg(QLocale(QLocale::English)
                        .toString(qlonglong(std::llround(BoardPace::boardBytesPerSecond()))))
               .arg(QStringLiteral(".ird, ") + exporting::extensionsText(), streamed);
}

/// What the command line asks for.
struct Request
{
    QString portText;
    QString path;
    const OutputFormat *format = nullptr; // null: a capture file (.ird)
    int trace = 1;                        // the trace one capture fills
    bool recording = false;               // --seconds: written as the bytes come
    bool setup = true;                    // a PulseView setup beside a session file
    std::int64_t total = kCaptureLength;  // the board's bytes to take
};

/// What is ready before the port opens: the output file, made beside its
/// target, and what goes into it.
struct Prepared
{
    explicit Prepared(const QString &path) : file(path) {}

    command::OutputFile file;
    exporting::OutputOptions options;
    std::unique_ptr<TraceBuffers> buffers;           // one capture, with an .ird's other traces
    std::unique_ptr<exporting::OutputStream> stream; // a recording's
};

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

const OutputFormat *chooseFormat(const QString &path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("ird"), Qt::CaseInsensitive) == 0)
        return nullptr;
    if (const OutputFormat *format = exporting::formatOfPath(path))
        return format;
    fail(kExitUsage, QStringLiteral("cannot tell the format of '%1': name it .ird, %2")
                         .arg(path, exporting::extensionsText()));
}

/// The request, or nothing when --help or --version is answered.
std::optional<Request> parse(const QStringList &arguments, QTextStream &out)
{
    QCommandLineParser parser;
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("file"));
    const QCommandLineOption trace(QStringLiteral("trace"), QString(), QStringLiteral("n"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QString(), QStringLiteral("s"));
    const QCommandLineOption noSetup(QStringLiteral("no-setup"), QString());
    if (!command::parseArguments(parser, {output, trace, seconds, noSetup}, arguments, out,
                                 kProgram, helpText()))
        return std::nullopt;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        fail(kExitUsage, QStringLiteral("give exactly one port (see --help)"));
    if (parser.value(output).isEmpty())
        fail(kExitUsage, QStringLiteral("give the output file with -o (see --help)"));

    Request request;
    request.portText = positional.front();
    request.path = parser.value(output);
    checkPort(request.portText);
    request.format = chooseFormat(request.path);
    if (parser.isSet(trace) && request.format)
        fail(kExitUsage, QStringLiteral("--trace is for .ird output, which holds three traces"));
    if (parser.isSet(seconds) && !request.format)
        fail(kExitUsage, QStringLiteral("--seconds is for %1 output: an .ird holds exactly one "
                                        "capture")
                             .arg(exporting::extensionsText()));
    if (parser.isSet(noSetup) && !(request.format && request.format->companions))
        fail(kExitUsage, QStringLiteral("--no-setup is for .sr output: only a session file has "
                                        "a setup beside it"));
    request.setup = !parser.isSet(noSetup);
    if (parser.isSet(trace))
        request.trace = command::traceNumberOrFail(parser.value(trace), QStringLiteral("--trace"));
    request.recording = parser.isSet(seconds);
    if (request.recording)
        request.total = secondsOption(parser.value(seconds));
    return request;
}

/// The capture file the capture goes into: the existing one, read whole so
/// that its other traces are kept, or an empty one. A file that is not a
/// capture file is not written over.
std::unique_ptr<TraceBuffers> captureFileBuffers(const QString &path)
{
    const QFileInfo existing(path);
    if (!existing.exists())
        return std::make_unique<TraceBuffers>();
    if (existing.isFile() && existing.size() != capture_file::kFileSize)
        fail(kExitFailed, QStringLiteral("%1: not a capture file: %2 bytes, where a capture file "
                                         "has %3; not written over")
                              .arg(path)
                              .arg(existing.size())
                              .arg(capture_file::kFileSize));
    return command::readCaptureOrFail(path);
}

/// Everything that can fail before the capture fails first: the file to
/// keep traces of, the file to write (made beside its target now).
void prepare(const Request &request, Prepared &prepared)
{
    prepared.buffers =
        request.format ? std::make_unique<TraceBuffers>() : captureFileBuffers(request.path);
    prepared.file.open();
    prepared.options.traces = {1};
    prepared.options.samples = request.total * kSamplesPerByte;
    prepared.options.companions = request.setup;
    prepared.options.program = QLatin1String(kProgram);
    prepared.options.origin =
        QStringLiteral("%1 from %2").arg(QLatin1String(kProgram), request.portText);
    if (request.recording) {
        prepared.stream = request.format->stream(prepared.options);
        prepared.stream->begin(prepared.file);
    }
}

/// Takes the port's blocks into the buffer of one capture, or into the
/// recording's file.
RecordingEnd capture(const Request &request, Prepared &prepared, PortRecording &port,
                     ProgressLine &progress, const StopSignals &stop)
{
    TraceBuffer *target = prepared.buffers->trace(request.trace);
    std::int32_t writeIndex = 0;
    std::int64_t kept = 0;
    const auto take = [&](const QByteArray &block) {
        if (!request.recording)
            return acquisition::storeBlock(block, target, writeIndex) ? BlockVerdict::Complete
                                                                      : BlockVerdict::More;
        const auto count = std::min<std::int64_t>(block.size(), request.total - kept);
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(block.constData());
        if (!prepared.stream->append({bytes}, std::size_t(count)))
            return BlockVerdict::Failed;
        // The first capture's worth is kept for the session setup's detection.
        const auto first =
            std::min<std::int64_t>(count, std::max<std::int64_t>(0, kCaptureLength - kept));
        std::copy(bytes, bytes + first, target->begin() + kept);
        kept += count;
        return kept == request.total ? BlockVerdict::Complete : BlockVerdict::More;
    };
    const auto warn = [&](const QString &line) {
        progress.note(QStringLiteral("%1: %2").arg(QLatin1String(kProgram), line));
    };
    return port.run(take, progress, stop, warn);
}

/// Ends the program with the failure \a end stands for, unless the
/// recording is complete.
void failUnlessComplete(RecordingEnd end, const Request &request, Prepared &prepared,
                        const PortRecording &port, const StopSignals &stop, ProgressLine &progress)
{
    if (end == RecordingEnd::Complete) {
        progress.finish();
        return;
    }
    progress.clear();
    const QString taken = QStringLiteral("%1 of %2 bytes").arg(port.taken()).arg(request.total);
    switch (end) {
    case RecordingEnd::Stopped: {
        const int signal = stop.received();
        const QString name = signal == SIGINT   ? QStringLiteral("Ctrl+C")
                             : signal == SIGHUP ? QStringLiteral("SIGHUP")
                                                : QStringLiteral("SIGTERM");
        fail(kExitSignalBase + signal,
             QStringLiteral("stopped by %1 after %2; nothing written").arg(name, taken));
    }
    case RecordingEnd::DeviceLost: {
        const QString why = port.lossReason();
        fail(kExitFailed, QStringLiteral("%1: the device went away after %2%3; nothing written")
                              .arg(request.portText, taken,
                                   why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
    }
    case RecordingEnd::Stalled:
        fail(kExitFailed, QStringLiteral("%1: the board stopped sending: no byte for %2 s after "
                                         "%3; nothing written")
                              .arg(request.portText)
                              .arg(PortRecording::kStallMs / 1000)
                              .arg(taken));
    case RecordingEnd::Failed:
    case RecordingEnd::Complete: {
        QString why;
        prepared.stream->end(&why); // fails, saying why
        prepared.file.failWriting(why);
    }
    }
}

/// Writes what one capture took, or completes the recording, and puts the
/// file in place; says what became of a setup beside it, where it must.
void finish(const Request &request, Prepared &prepared, QTextStream &err)
{
    const auto tell = [&](const QStringList &lines) {
        for (const QString &line : lines)
            command::reportLine(err, kProgram, line);
    };
    if (!request.format) {
        prepared.file.write(capture_file::toImage(*prepared.buffers));
        prepared.file.commit();
        return;
    }
    if (request.recording) {
        QString why;
        if (!prepared.stream->end(&why))
            prepared.file.failWriting(why);
        tell(exporting::commitOutput(prepared.file, *request.format, prepared.options,
                                     prepared.buffers.get()));
        return;
    }
    QString why;
    const QByteArray content = request.format->whole(*prepared.buffers, prepared.options, &why);
    if (content.isEmpty())
        prepared.file.failWriting(why);
    prepared.file.write(content);
    tell(exporting::commitOutput(prepared.file, *request.format, prepared.options,
                                 prepared.buffers.get()));
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err, bool progressShown)
{
    const std::optional<Request> request = parse(arguments, out);
    if (!request)
        return kExitOk;
    // A stop signal from here on ends the run cleanly, with nothing left.
    StopSignals stop;
    Prepared prepared(request->path);
    prepare(*request, prepared);

    ProgressLine progress(err, progressShown);
    PortRecording port(request->portText, request->total);
    port.open();
    const RecordingEnd end = capture(*request, prepared, port, progress, stop);
    failUnlessComplete(end, *request, prepared, port, stop, progress);
    finish(*request, prepared, err);
    return kExitOk;
}

} // namespace

int runCapture(const QStringList &arguments, QTextStream &out, QTextStream &err, bool progressShown)
{
    return command::runReportingFailure(kProgram, err,
                                        [&] { return run(arguments, out, err, progressShown); });
}

} // namespace wavemill::capturing
