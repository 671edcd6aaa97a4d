// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/decode_command.h"

#include "command/trace_numbers.h"
#include "decode/annotation_order.h"
#include "decode/decode_session.h"
#include "decode/output_writer.h"
#include "decode/recording.h"
#include "decode/result_stream.h"
#include "decode/sigrok_decoders.h"
#include "core/numbers.h"
#include "detect/measure_text.h"
#include "detect/trace_detector.h"
#include "sigrok/channel_runs.h"
#include "sigrok/protocol_stack.h"
#include "sigrok/session_metadata.h"
#include "sigrok/sigrok_logic.h"

#include <QCommandLineParser>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>

namespace wavemill::decode {

namespace {

using command::fail;
using sigrok::Annotation;
using sigrok::DecoderStack;

constexpr auto kProgram = "wavemill-decode";
/// The runs of one channel detection reads, at most: more than a board
/// capture can have (507,904 samples), 12 MiB; of a longer recording, its
/// start.
constexpr std::size_t kDetectionRuns = std::size_t(1) << 19;
/// sigrok's annotations of one channel kept to set against what detection
/// read, at most: more than a board capture's densest serial line gives
/// (about 235,000 at 19200 bit/s), some 30 MB.
constexpr std::size_t kComparedAnnotations = std::size_t(1) << 18;
/// Samples handed to the decoders at once: what they put out in between is
/// held until they return, so that is bounded too (a decoder tells at most
/// two annotations a change of level: some 5 MB a stack).
constexpr std::size_t kSendSamples = std::size_t(1) << 14;
/// The most channels a session file can have: 64, eight bytes a sample.
constexpr int kMaxChannels = sigrok::kMaxUnitSize * 8;

QString helpText()
{
    return QStringLiteral(
        "Usage: wavemill-decode FILE... [options]\n"
        "\n"
        "Tell what each trace of a Wavemill capture carries and decode its protocol.\n"
        "\n"
        "It decodes with sigrok's protocol decoders, run in this process through\n"
        "libsigrokdecode. A FILE is a Wavemill capture (.ird) or a sigrok session\n"
        "file (.sr, as wavemill-export, wavemill-capture, sigrok-cli and PulseView\n"
        "write it) of any length, read at its own sample rate: each of its logic\n"
        "channels is a trace.\n"
        "\n"
        "Without -P each trace is measured and described: flat; periodic (a clock\n"
        "or PWM: frequency, duty cycle, jitter, read with pwm; in bursts, how long\n"
        "on and off; near the sample limit, a caution that it may be an alias);\n"
        "UART (bit rate, snapped to a standard rate within 3 %, idle level, the\n"
        "framing its frames show: 5 to 9 data bits, no, even or odd parity, 1 or\n"
        "2 stop bits, checked on every frame, then read with sigrok's uart\n"
        "decoder); a LIN bus (uart with lin stacked on it); an infrared remote\n"
        "code (NEC, RC-5 or RC-6 in any mode, read with ir_nec, ir_rc5 or ir_rc6;\n"
        "Samsung, JVC, Kaseikyo and SIRC named by their timings; two families on\n"
        "one trace both named); a DCF77 time signal (the date and\n"
        "time from a whole minute); HDMI-CEC messages; a DALI or DSI lighting bus;\n"
        "an Oregon Scientific weather sensor (ook and ook_oregon stacked); Qi\n"
        "charging packets; a PT2262 or EV1527 433 MHz remote encoder's codes;\n"
        "Morse code; pulses whose width is the value (servo, RC receiver's PPM,\n"
        "ultrasonic echo), read with pwm; a signal too fast for the sample rate,\n"
        "said so with its figures; or unrecognised, with its pulse widths.\n"
        "Each guess comes with the measurements it rests on, and says where\n"
        "sigrok's reading differs from its own; one that passes fewer than 95 % of\n"
        "its checks is reported as unrecognised. Of a long session file the first\n"
        "524,288 changes of level are measured; the decoders read all of it.\n"
        "\n"
        "Options:\n"
        "  -P, --protocol STACK  decoders to run, as sigrok-cli takes them:\n"
        "                        id[:option=value]...[:channel=traceN], and\n"
        "                        ',' to stack one decoder on another; may be given\n"
        "                        again for more stacks. In a session file a channel\n"
        "                        is given by its name (rx=DATA), or as traceN for its\n"
        "                        channel N. One line per annotation, as they come, in\n"
        "                        the order of their start: start time, trace,\n"
        "                        decoder, class and text.\n"
        "                        e.g. -P uart:baudrate=9600:rx=trace1\n"
        "  --trace N             the trace (1 to 3) of a capture, or channel N of a\n"
        "                        session file, of a single-channel decoder given no\n"
        "                        channel; without -P, describe trace N only\n"
        "  --json                JSON Lines: one object per annotation or per trace\n"
        "  --list                the decoders that take one logic channel\n"
        "  -h, --help            show this help and exit\n"
        "  -v, --version         show the version and exit\n"
        "\n"
        "Times are from the start of the file: in a capture one sample every\n"
        "%1, of which the decoders are told %2 Hz, as sigrok keeps whole\n"
        "hertz; in a session file, its own rate.\n"
        "\n"
        "Exit status:\n"
        "  0  done\n"
        "  1  a file could not be read (the others are still described), the\n"
        "     decoders could not run, or the results could not be written\n"
        "  2  a wrong command line: an unknown decoder, option or trace, an option a\n"
        "     decoder refuses or cannot mean (a rate of zero or below), or a stack\n"
        "     whose upper decoder cannot read the lower\n"
        "\n"
        "Files:\n"
        "  /usr/share/wavemill/examples/*.ird    sample captures (package wavemill)\n"
        "  /usr/share/libsigrokdecode/decoders/  sigrok's protocol decoders\n"
        "\n"
        "Examples:\n"
        "  $ wavemill-decode capture.ird\n"
        "  $ wavemill-decode capture.ird --trace 2 --json\n"
        "  $ wavemill-decode capture.ird -P uart:baudrate=9600:rx=trace1\n"
        "  $ wavemill-decode capture.ird -P ir_nec:ir=trace1 --json\n"
        "  $ wavemill-decode recording.sr -P uart:baudrate=19200:rx=RX\n")
        .arg(samplePeriodText())
        .arg(sigrok::kSampleRateHz);
}

/// The library, started the first time it is needed.
class Library
{
public:
    SigrokDecoders &get()
    {
        if (!m_decoders) {
            m_decoders = std::make_unique<SigrokDecoders>();
            if (!m_decoders->ready())
                fail(kExitFailed, m_decoders->error());
        }
        return *m_decoders;
    }
    /// The status of decoders that could not be set up: the user's when
    /// sigrok's decoders are there, the system's when they are not.
    int setupStatus() { return get().decodersInstalled() ? kExitUsage : kExitFailed; }

private:
    std::unique_ptr<SigrokDecoders> m_decoders;
};

QByteArray listDecoders(Library &library)
{
    QString why;
    QList<DecoderSummary> list = library.get().singleChannelDecoders(&why);
    if (list.isEmpty())
        fail(kExitFailed, why);
    std::sort(list.begin(), list.end(),
              [](const DecoderSummary &a, const DecoderSummary &b) { return a.id < b.id; });
    QString text;
    for (const DecoderSummary &d : list)
        text += QStringLiteral("%1 %2 (channel %3)\n")
                    .arg(d.id.leftJustified(18), d.description,
                         d.channels.join(QStringLiteral(" or ")));
    return text.toUtf8();
}

/// A capture's trace names, for a command line whose files are all captures.
ChannelNames captureNames()
{
    return {[](const QString &value) { return sigrok::traceOfChannelValue(value); },
            QStringLiteral("trace1, trace2 or trace3 (the capture has traces 1 to 3)")};
}

/// Any channel taken, for the check of a command line before session files
/// are read: their channels are checked file by file.
ChannelNames anyChannel()
{
    return {[](const QString &) { return 1; }, QString()};
}

ChannelNames namesOf(const Recording &recording)
{
    return {[&recording](const QString &value) { return recording.channelNamed(value); },
            recording.channelChoices()};
}

/// Fails for \a recording with its path before \a why.
[[noreturn]] void failFor(const Recording &recording, int status, const QString &why)
{
    fail(status, QStringLiteral("%1: %2").arg(recording.path(), why));
}

/// --trace N must be one of the file's traces or channels.
void checkChannel(const Recording &recording, int number)
{
    if (number == 0 || recording.channel(number))
        return;
    if (!recording.isSession())
        failFor(recording, kExitUsage,
                QStringLiteral("--trace %1: a capture has traces 1 to 3").arg(number));
    QStringList channels;
    for (const sigrok::SessionChannel &c : recording.channels())
        channels << QStringLiteral("%1 (%2)").arg(c.number).arg(c.name);
    failFor(recording, kExitUsage,
            QStringLiteral("--trace %1: it has no channel %1 (its channels: %2)")
                .arg(number)
                .arg(channels.join(QStringLiteral(", "))));
}

/// Feeds every sample of \a recording to \a session, handing each block's
/// annotations to \a order and calling \a afterBlock; false with \a why
/// when the file cannot be read or a decoder fails.
bool decodeAll(const Recording &recording, DecodeSession &session, AnnotationOrder &order,
               const AnnotationOrder::Sink &sink, const std::function<void()> &afterBlock,
               QString *why)
{
    std::uint64_t next = 0;
    QString decoderFailure;
    const auto unit = std::size_t(recording.unitSize());
    const bool read = recording.readSamples(
        [&](const std::uint8_t *data, std::size_t count) {
            for (std::size_t done = 0; done < count;) {
                const std::size_t part = std::min(count - done, kSendSamples);
                if (!session.send(next, data + done * unit, part, int(unit), &decoderFailure))
                    return false;
                next += part;
                done += part;
                order.add(session.take());
                order.release(next, sink);
                afterBlock();
            }
            return true;
        },
        why);
    order.add(session.take());
    order.releaseAll(sink);
    afterBlock();
    if (!decoderFailure.isEmpty())
        *why = decoderFailure;
    return read && decoderFailure.isEmpty();
}

/// Runs \a stacks over \a recording, writing each annotation as the decoding
/// lets it go, in the order of their start.
void decodeProtocols(Library &library, const Recording &recording,
                     const QList<DecoderStack> &stacks, int onlyChannel, OutputWriter &writer,
                     ResultStream &stream)
{
    checkChannel(recording, onlyChannel);
    DecodeSession session(library.get());
    QString why;
    for (const DecoderStack &stack : stacks) {
        if (!session.addStack(stack, onlyChannel, namesOf(recording), &why))
            failFor(recording, library.setupStatus(), why);
    }
    if (!session.start(recording.decoderRateHz(), &why))
        failFor(recording, library.setupStatus(), why);
    writer.beginCapture(recording, false);
    AnnotationOrder order(AnnotationOrder::windowFor(recording.decoderRateHz()),
                          AnnotationOrder::kMaxHeld);
    // Each line goes on as it is written; what is held goes out after each
    // part the decoders read, for a reader waiting on the first lines.
    const auto write = [&](const Annotation &a) {
        writer.writeAnnotation(a);
        stream.write(writer.take());
    };
    const auto flush = [&] {
        stream.write(writer.take()); // the file's name, before any line
        stream.flush();
    };
    if (!decodeAll(recording, session, order, write, flush, &why))
        failFor(recording, kExitFailed, why);
}

/// A channel's runs as detection reads them: a capture's trace whole, a
/// session file's channel up to kDetectionRuns.
std::vector<detect::Run> channelRuns(const Recording &recording, int number)
{
    if (const TraceBuffers *capture = recording.capture())
        return detect::PulseTrain(*capture->trace(number)).runs();
    std::vector<detect::Run> runs;
    QString why;
    if (!sigrok::readChannelRuns(*recording.session(), number, kDetectionRuns, &runs, &why))
        failFor(recording, kExitFailed, why);
    return runs;
}

/// Where to end a comparison cut short before \a at: the last start of one
/// of sigrok's annotations \a kept (in the order of their start) by which all
/// those before it have ended, as between two of its frames, so that
/// detection and the decoder both read the frames before it whole; 0 when
/// there is none.
std::int64_t frameBoundary(const std::vector<Annotation> &kept, std::int64_t at)
{
    std::int64_t boundary = 0;
    std::uint64_t ended = 0; // the latest end of those before
    for (const Annotation &a : kept) {
        if (std::int64_t(a.start) >= at)
            break;
        if (a.start >= ended)
            boundary = std::int64_t(a.start);
        ended = std::max(ended, a.end);
    }
    return boundary;
}

/// \a runs up to sample \a end, the last one cut there.
std::vector<detect::Run> runsBefore(const std::vector<detect::Run> &runs, std::int64_t end)
{
    std::vector<detect::Run> before;
    for (const detect::Run &run : runs) {
        if (run.start >= end)
            break;
        before.push_back({run.start, std::min(run.length, end - run.start), run.high});
    }
    return before;
}

bool sameDecoders(const QList<sigrok::DecoderChoice> &a, const QList<sigrok::DecoderChoice> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].settings != b[i].settings)
            return false;
    }
    return true;
}

QString secondsText(const Recording &recording, std::int64_t samples)
{
    return QStringLiteral("%1 s").arg(double(samples) * recording.samplePeriodUs() / 1e6, 0, 'f', 1);
}

/// One channel described, decoded with the decoders its description chose,
/// over the whole file, and set against them.
QStringList describeChannel(Library &library, const Recording &recording, int number,
                            detect::TraceDescription *description)
{
    // The train is kept for a second measurement, should the comparison be cut.
    auto train = std::make_unique<detect::PulseTrain>(channelRuns(recording, number),
                                                      recording.samplePeriodUs());
    const std::int64_t measured = train->samples();
    const auto all = std::int64_t(recording.sampleCount());
    detect::TraceDescription d = detect::describeTrace(*train);
    QStringList notes;
    if (measured < all)
        notes << QStringLiteral("measured over the first %1 (%2 changes of level) of %3")
                     .arg(secondsText(recording, measured), detect::countText(train->edges()),
                          secondsText(recording, all));
    if (d.decoders.isEmpty()) {
        *description = std::move(d);
        return notes;
    }

    // The decoders read the whole file; what they put out within what
    // detection measured is kept, up to kComparedAnnotations, to set against it.
    const QString label = recording.channelLabel(number);
    DecodeSession session(library.get());
    QString why;
    QStringList ids;
    const ChannelNames thisChannel{[number](const QString &) { return number; }, QString()};
    // A decoder that reads logic starts a stack on the channel (two remote
    // families, say); one that reads another's output goes on the stack
    // before it (lin on uart).
    QList<DecoderStack> stacks;
    for (sigrok::DecoderChoice choice : d.decoders) {
        ids << choice.id;
        if (stacks.isEmpty() || library.get().readsLogic(choice.id, &why)) {
            choice.settings.append({d.channel, QStringLiteral("trace%1").arg(number)});
            stacks.append({choice});
        } else {
            stacks.back().append(choice);
        }
    }
    for (const DecoderStack &stack : stacks) {
        if (!session.addStack(stack, 0, thisChannel, &why))
            failFor(recording, kExitFailed, QStringLiteral("%1: %2").arg(label, why));
    }
    if (!session.start(recording.decoderRateHz(), &why))
        failFor(recording, kExitFailed, QStringLiteral("%1: %2").arg(label, why));
    std::vector<Annotation> kept;
    // Only the pages filled are resident: no copy as it grows.
    kept.reserve(kComparedAnnotations);
    std::int64_t put = 0;
    std::int64_t overflowAt = -1;
    AnnotationOrder order(AnnotationOrder::windowFor(recording.decoderRateHz()),
                          AnnotationOrder::kMaxHeld);
    const auto keep = [&](const Annotation &a) {
        ++put;
        if (std::int64_t(a.start) >= measured || overflowAt >= 0)
            return;
        if (kept.size() < kComparedAnnotations)
            kept.push_back(a);
        else
            overflowAt = std::int64_t(a.start);
    };
    if (!decodeAll(recording, session, order, keep, [] {}, &why))
        failFor(recording, kExitFailed, QStringLiteral("%1: %2").arg(label, why));

    QStringList decoded;
    if (overflowAt < 0) {
        decoded = d.compareWithSigrok(kept);
    } else {
        // Too many to keep: detection measures again up to a place between
        // two frames before where they stop, and is set against those before it.
        const std::int64_t cut = frameBoundary(kept, overflowAt);
        std::vector<detect::Run> runs = runsBefore(train->runs(), cut);
        train.reset();
        kept.erase(std::find_if(kept.begin(), kept.end(),
                                [cut](const Annotation &a) { return std::int64_t(a.start) >= cut; }),
                   kept.end());
        std::optional<detect::TraceDescription> again;
        if (!runs.empty())
            again = detect::describeTrace(
                detect::PulseTrain(std::move(runs), recording.samplePeriodUs()));
        if (again && sameDecoders(again->decoders, d.decoders) && again->channel == d.channel) {
            d = std::move(*again);
            decoded = d.compareWithSigrok(kept);
            notes = QStringList{
                QStringLiteral("measured and compared over the first %1 (%2 of sigrok's "
                               "annotations, as many as are kept) of %3")
                    .arg(secondsText(recording, cut), detect::countText(qint64(kept.size())),
                         secondsText(recording, all))};
        } else {
            notes << QStringLiteral("sigrok's decoders put out more than the %1 annotations "
                                    "kept within what was measured: not compared")
                         .arg(detect::countText(qint64(kComparedAnnotations)));
        }
    }
    if (measured < all || overflowAt >= 0)
        notes << QStringLiteral("sigrok's %1 read all %2: %3 annotations")
                     .arg(ids.join(QStringLiteral(", ")), secondsText(recording, all),
                          detect::countText(put));
    *description = std::move(d);
    return decoded + notes;
}

/// Describes the channels of one recording, each decoded with the decoders
/// its description chose; written whole once all are done.
void describeRecording(Library &library, const Recording &recording, int onlyChannel,
                       OutputWriter &writer, ResultStream &stream)
{
    checkChannel(recording, onlyChannel);
    QByteArray results;
    writer.beginCapture(recording, true);
    for (const sigrok::SessionChannel &channel : recording.channels()) {
        if (onlyChannel != 0 && channel.number != onlyChannel)
            continue;
        detect::TraceDescription d;
        const QStringList decoded = describeChannel(library, recording, channel.number, &d);
        writer.writeDescription(channel.number, d, decoded);
        results += writer.take();
    }
    stream.write(results);
    stream.flush();
}

/// One line on stderr for a file that could not be read or decoded.
void report(QTextStream &err, const QString &message)
{
    command::reportLine(err, kProgram, message);
}

int run(const QStringList &arguments, ResultStream &stream, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption protocol({QStringLiteral("P"), QStringLiteral("protocol")}, QString(),
                                      QStringLiteral("stack"));
    const QCommandLineOption trace(QStringLiteral("trace"), QString(), QStringLiteral("n"));
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption list(QStringLiteral("list"), QString());
    QString answer;
    QTextStream answerStream(&answer);
    const bool goOn = command::parseArguments(parser, {protocol, trace, json, list}, arguments,
                                              answerStream, kProgram, helpText());
    answerStream.flush();
    if (!goOn) {
        stream.write(answer.toUtf8());
        stream.flush();
        return kExitOk;
    }
    Library library;
    if (parser.isSet(list)) {
        stream.write(listDecoders(library));
        stream.flush();
        return kExitOk;
    }

    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        fail(kExitUsage, QStringLiteral("give at least one capture or session file (see --help)"));
    // A command line of captures alone is checked against their three
    // traces at once; session files' channels are checked file by file.
    const bool capturesOnly = std::all_of(files.begin(), files.end(), [](const QString &f) {
        return f.endsWith(QLatin1String(".ird"), Qt::CaseInsensitive);
    });
    const int onlyChannel =
        parser.isSet(trace) ? command::traceNumberOrFail(parser.value(trace), QStringLiteral("--trace"),
                                                         capturesOnly ? kTraceCount : kMaxChannels)
                            : 0;
    QList<DecoderStack> stacks;
    for (const QString &text : parser.values(protocol)) {
        QString why;
        const DecoderStack stack = sigrok::parseProtocolStack(text, &why);
        if (stack.isEmpty())
            fail(kExitUsage, why);
        stacks.append(stack);
    }
    // A command line the decoders do not take is told before any file is read.
    if (!stacks.isEmpty()) {
        DecodeSession check(library.get());
        QString why;
        for (const DecoderStack &stack : stacks) {
            if (!check.addStack(stack, onlyChannel, capturesOnly ? captureNames() : anyChannel(),
                                &why))
                fail(library.setupStatus(), why);
        }
        if (!check.start(sigrok::kSampleRateHz, &why))
            fail(library.setupStatus(), why);
    }

    // Each file that can be read is done before the next one is opened;
    // each that cannot is told on stderr, and the status says so.
    OutputWriter writer(parser.isSet(json), files.size() > 1);
    int status = kExitOk;
    for (const QString &path : files) {
        try {
            const std::unique_ptr<Recording> recording = Recording::open(path);
            if (stacks.isEmpty())
                describeRecording(library, *recording, onlyChannel, writer, stream);
            else
                decodeProtocols(library, *recording, stacks, onlyChannel, writer, stream);
        } catch (const command::Failure &failure) {
            writer.take();
            report(err, failure.message);
            status = std::max(status, failure.status);
        }
    }
    stream.flush();
    return status;
}

} // namespace

int runDecode(const QStringList &arguments, int out, QTextStream &err)
{
    ResultStream stream(out);
    try {
        return command::runReportingFailure(kProgram, err,
                                            [&] { return run(arguments, stream, err); });
    } catch (const WriteFailed &failure) {
        report(err, failure.message);
        return kExitFailed;
    } catch (const ReaderGone &) {
        // Quietly, as a program that writes to a closed pipe ends.
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
        return kExitFailed;
    }
}

} // namespace wavemill::decode
