// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/decode_command.h"

#include "decode/output_writer.h"
#include "decode/sigrok_decoders.h"
#include "detect/trace_detector.h"
#include "sigrok/protocol_stack.h"
#include "sigrok/sigrok_logic.h"

#include <QCommandLineParser>

#include <algorithm>
#include <memory>

namespace wavemill::decode {

namespace {

using command::fail;
using sigrok::Annotation;
using sigrok::DecoderStack;

constexpr auto kProgram = "wavemill-decode";

QString helpText()
{
    return QStringLiteral(
        "Usage: wavemill-decode CAPTURE.ird... [options]\n"
        "\n"
        "Tell what each trace of a Wavemill capture carries and decode its protocol.\n"
        "\n"
        "It decodes with sigrok's protocol decoders, run in this process through\n"
        "libsigrokdecode.\n"
        "\n"
        "Without -P each trace is measured and described: flat; periodic (a clock\n"
        "or PWM: frequency, duty cycle, jitter; in bursts, how long on and off;\n"
        "near the sample limit, a caution that it may be an alias); UART (bit rate,\n"
        "snapped to a standard rate within 3 %, idle level, 8N1, 8E1 or 8O1\n"
        "framing checked on every frame, then read with sigrok's uart decoder); an\n"
        "infrared remote code (NEC, RC-5 or RC-6, read with ir_nec, ir_rc5 or\n"
        "ir_rc6; Samsung, JVC, Kaseikyo and SIRC named by their timings; two\n"
        "families on one trace both named); a DCF77 time signal (the date and\n"
        "time from a whole minute); HDMI-CEC messages; a DALI or DSI lighting bus;\n"
        "an Oregon Scientific weather sensor (ook and ook_oregon stacked); Qi\n"
        "charging packets; a PT2262 or EV1527 433 MHz remote encoder's codes;\n"
        "Morse code; pulses whose width is the value (servo, RC receiver's PPM,\n"
        "ultrasonic echo), read with pwm; a signal too fast for the sample rate,\n"
        "said so with its figures; or unrecognised, with its pulse widths.\n"
        "Each guess comes with the measurements it rests on, and says where\n"
        "sigrok's reading differs from its own; one that passes fewer than 95 % of\n"
        "its checks is reported as unrecognised.\n"
        "\n"
        "Options:\n"
        "  -P, --protocol STACK  decoders to run, as sigrok-cli takes them:\n"
        "                        id[:option=value]...[:channel=traceN], and\n"
        "                        ',' to stack one decoder on another; may be given\n"
        "                        again for more stacks. One line per annotation:\n"
        "                        start time, trace, decoder, class and text.\n"
        "                        e.g. -P uart:baudrate=9600:rx=trace1\n"
        "  --trace N             the trace (1 to 3) of a single-channel decoder\n"
        "                        given no channel; without -P, describe trace N only\n"
        "  --json                JSON Lines: one object per annotation or per trace\n"
        "  --list                the decoders that take one logic channel\n"
        "  -h, --help            this text\n"
        "  -v, --version         the version\n"
        "\n"
        "Times are from the start of the capture, one sample every 20.0736 us; the\n"
        "decoders are told 49817 Hz, as sigrok keeps whole hertz.\n"
        "\n"
        "Exit status:\n"
        "  0  done\n"
        "  1  a capture could not be read (the others are still described), or the\n"
        "     decoders could not run\n"
        "  2  a wrong command line: an unknown decoder, option or trace, an option a\n"
        "     decoder refuses, or a stack whose upper decoder cannot read the lower\n"
        "\n"
        "Files:\n"
        "  /usr/share/wavemill/examples/*.ird    sample captures (package wavemill)\n"
        "  /usr/share/libsigrokdecode/decoders/  sigrok's protocol decoders\n"
        "\n"
        "Examples:\n"
        "  $ wavemill-decode capture.ird\n"
        "  $ wavemill-decode capture.ird --trace 2 --json\n"
        "  $ wavemill-decode capture.ird -P uart:baudrate=9600:rx=trace1\n"
        "  $ wavemill-decode capture.ird -P ir_nec:ir=trace1 --json\n");
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

/// Runs \a stacks over one capture; false with \a why when a decoder failed.
bool decodeProtocols(Library &library, const TraceBuffers &buffers,
                     const QList<DecoderStack> &stacks, int trace, OutputWriter &writer,
                     QString *why)
{
    const std::vector<std::uint8_t> samples = sigrok::logicSamples(buffers, {1, 2, 3});
    std::vector<Annotation> annotations;
    const DecodeFailure failure = library.get().decode(stacks, trace, &samples, &annotations, why);
    if (failure == DecodeFailure::Setup)
        fail(library.setupStatus(), *why);
    if (failure != DecodeFailure::None)
        return false;
    for (const Annotation &a : annotations)
        writer.writeAnnotation(a);
    return true;
}

/// Describes the traces of one capture, each decoded with the decoder its
/// description chose; false with \a why when that decoder failed.
bool describeTraces(Library &library, const TraceBuffers &buffers, int onlyTrace,
                    OutputWriter &writer, QString *why)
{
    std::vector<std::uint8_t> samples;
    for (int trace = 1; trace <= kTraceCount; ++trace) {
        if (onlyTrace != 0 && trace != onlyTrace)
            continue;
        const detect::TraceDescription d = detect::describeTrace(*buffers.trace(trace));
        QStringList decoded;
        if (!d.decoders.isEmpty()) {
            if (samples.empty())
                samples = sigrok::logicSamples(buffers, {1, 2, 3});
            // A decoder that reads the trace starts a stack of its own (two
            // remote control families on one trace); one that reads another
            // decoder's output goes on the stack before it (ook_oregon on ook).
            QList<DecoderStack> stacks;
            for (sigrok::DecoderChoice choice : d.decoders) {
                if (!stacks.isEmpty() && !library.get().readsLogic(choice.id)) {
                    stacks.back().append(choice);
                    continue;
                }
                choice.settings.append({d.channel, QStringLiteral("trace%1").arg(trace)});
                stacks.append({choice});
            }
            std::vector<Annotation> annotations;
            if (library.get().decode(stacks, 0, &samples, &annotations, why) !=
                DecodeFailure::None) {
                *why = QStringLiteral("trace %1: %2").arg(trace).arg(*why);
                return false;
            }
            decoded = d.compareWithSigrok(annotations);
        }
        writer.writeDescription(trace, d, decoded);
    }
    return true;
}

/// One line on stderr for a capture that could not be read or decoded.
void report(QTextStream &err, const QString &message)
{
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    err << kProgram << ": " << line << '\n';
    err.flush();
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption protocol({QStringLiteral("P"), QStringLiteral("protocol")}, QString(),
                                      QStringLiteral("stack"));
    const QCommandLineOption trace(QStringLiteral("trace"), QString(), QStringLiteral("n"));
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption list(QStringLiteral("list"), QString());
    if (!command::parseArguments(parser, {protocol, trace, json, list}, arguments, out, kProgram,
                                 helpText()))
        return kExitOk;
    Library library;
    if (parser.isSet(list)) {
        out << QString::fromUtf8(listDecoders(library));
        return kExitOk;
    }

    const QStringList captures = parser.positionalArguments();
    if (captures.isEmpty())
        fail(kExitUsage, QStringLiteral("give at least one capture file (see --help)"));
    int onlyTrace = 0;
    if (parser.isSet(trace)) {
        bool ok = false;
        onlyTrace = parser.value(trace).toInt(&ok);
        if (!ok || onlyTrace < 1 || onlyTrace > kTraceCount)
            fail(kExitUsage, QStringLiteral("--trace takes 1, 2 or 3, not '%1' (the capture has "
                                            "traces 1 to 3)")
                                 .arg(parser.value(trace)));
    }
    QList<DecoderStack> stacks;
    for (const QString &text : parser.values(protocol)) {
        QString why;
        const DecoderStack stack = sigrok::parseProtocolStack(text, &why);
        if (stack.isEmpty())
            fail(kExitUsage, why);
        stacks.append(stack);
    }
    // A command line the decoders do not take is told before any capture is read.
    if (!stacks.isEmpty()) {
        QString why;
        if (library.get().decode(stacks, onlyTrace, nullptr, nullptr, &why) != DecodeFailure::None)
            fail(library.setupStatus(), why);
    }

    // Each capture that can be read is written whole before the next one is
    // read; each that cannot is told on stderr, and the status says so.
    OutputWriter writer(parser.isSet(json), captures.size() > 1);
    bool failed = false;
    for (const QString &path : captures) {
        std::unique_ptr<TraceBuffers> buffers;
        try {
            buffers = command::readCaptureOrFail(path);
        } catch (const command::Failure &failure) {
            report(err, failure.message);
            failed = true;
            continue;
        }
        writer.beginCapture(path);
        QString why;
        const bool done = stacks.isEmpty()
                              ? describeTraces(library, *buffers, onlyTrace, writer, &why)
                              : decodeProtocols(library, *buffers, stacks, onlyTrace, writer, &why);
        const QByteArray result = writer.take();
        if (!done) {
            report(err, QStringLiteral("%1: %2").arg(path, why));
            failed = true;
            continue;
        }
        out << QString::fromUtf8(result);
        out.flush();
    }
    return failed ? kExitFailed : kExitOk;
}

} // namespace

int runDecode(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    return command::runReportingFailure(kProgram, err, [&] { return run(arguments, out, err); });
}

} // namespace wavemill::decode
