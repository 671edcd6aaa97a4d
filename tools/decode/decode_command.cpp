// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/decode_command.h"

#include "decode/decode_session.h"
#include "decode/decoded_summary.h"
#include "decode/sigrok_decoders.h"
#include "detect/measure_text.h"
#include "detect/trace_detector.h"
#include "sigrok/protocol_stack.h"
#include "sigrok/sigrok_logic.h"

#include "core/numbers.h"
#include "core/sample_period.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <memory>

namespace wavemill::decode {

using detect::countText;
using detect::describeTrace;
using detect::kindName;
using detect::TraceDescription;
using sigrok::Annotation;
using sigrok::DecoderChoice;
using sigrok::DecoderStack;
using sigrok::parseProtocolStack;

namespace {

using command::fail;

constexpr auto kProgram = "wavemill-decode";
/// Picoseconds in a millisecond.
constexpr double kPsPerMs = 1e9;

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
        "or PWM: frequency, duty cycle, jitter); UART (bit rate, snapped to a\n"
        "standard rate within 3 %, idle level, 8N1 framing checked on every frame,\n"
        "then read with sigrok's uart decoder); an infrared remote code (NEC, RC-5\n"
        "or RC-6, read with ir_nec, ir_rc5 or ir_rc6; Samsung, JVC, Kaseikyo and\n"
        "SIRC named by their timings); or unrecognised, with its pulse widths. Each\n"
        "guess comes with the measurements it rests on; one that passes fewer than\n"
        "95 % of its checks is reported as unrecognised.\n"
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
        "  1  a capture could not be read, or the decoders could not run\n"
        "  2  a wrong command line: an unknown decoder, option or trace\n"
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

double sampleMs(std::uint64_t sample)
{
    // Whole picoseconds first, so that the milliseconds are the nearest double.
    return double(sample * std::uint64_t(kSamplePeriodPs)) / kPsPerMs;
}

QString tracesText(const QList<int> &traces)
{
    QStringList names;
    for (const int t : traces)
        names << QStringLiteral("trace%1").arg(t);
    return names.join(QLatin1Char(','));
}

QByteArray jsonLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
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
    /// The status of a decoder that could not be set up: the user's when
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

QByteArray decodeProtocols(Library &library, const QString &path, const TraceBuffers &buffers,
                           const QList<DecoderStack> &stacks, int trace, bool json, bool header)
{
    DecodeSession session(library.get());
    QString why;
    for (const DecoderStack &stack : stacks) {
        if (!session.addStack(stack, trace, &why))
            fail(library.setupStatus(), why);
    }
    if (!session.run(sigrok::logicSamples(buffers, {1, 2, 3}), &why))
        fail(kExitFailed, QStringLiteral("%1: %2").arg(path, why));

    QByteArray out;
    if (header && !json)
        out += path.toUtf8() + ":\n";
    for (const Annotation &a : session.annotations()) {
        const QString text = a.texts.isEmpty() ? QString() : a.texts.front();
        if (json) {
            QJsonObject o;
            if (header)
                o.insert(QStringLiteral("file"), path);
            o.insert(QStringLiteral("start_sample"), qint64(a.start));
            o.insert(QStringLiteral("end_sample"), qint64(a.end));
            o.insert(QStringLiteral("start_ms"), sampleMs(a.start));
            o.insert(QStringLiteral("end_ms"), sampleMs(a.end));
            QJsonArray traces;
            for (const int t : a.traces)
                traces.append(t);
            o.insert(QStringLiteral("traces"), traces);
            o.insert(QStringLiteral("decoder"), a.decoder);
            o.insert(QStringLiteral("class"), a.annotationClass);
            o.insert(QStringLiteral("text"), text);
            o.insert(QStringLiteral("texts"), QJsonArray::fromStringList(a.texts));
            out += jsonLine(o);
        } else {
            out += QStringLiteral("%1 %2 %3 %4: %5\n")
                       .arg(timeText(sampleMs(a.start)), tracesText(a.traces), a.decoder,
                            a.annotationClass, text)
                       .toUtf8();
        }
    }
    return out;
}

QByteArray describeTraces(Library &library, const QString &path, const TraceBuffers &buffers,
                          int onlyTrace, bool json, bool header)
{
    QByteArray out;
    if (header && !json)
        out += path.toUtf8() + ":\n";
    std::vector<std::uint8_t> samples;
    for (int trace = 1; trace <= kTraceCount; ++trace) {
        if (onlyTrace != 0 && trace != onlyTrace)
            continue;
        const TraceDescription d = describeTrace(*buffers.trace(trace));
        QStringList decoded;
        if (!d.decoder.isEmpty()) {
            if (samples.empty())
                samples = sigrok::logicSamples(buffers, {1, 2, 3});
            DecoderChoice choice{d.decoder, {}};
            for (auto it = d.options.begin(); it != d.options.end(); ++it)
                choice.settings.append({it.key(), it.value()});
            choice.settings.append({d.channel, QStringLiteral("trace%1").arg(trace)});
            DecodeSession session(library.get());
            QString why;
            if (!session.addStack({choice}, 0, &why))
                fail(kExitFailed, QStringLiteral("%1: trace %2: %3").arg(path).arg(trace).arg(why));
            if (!session.run(samples, &why))
                fail(kExitFailed, QStringLiteral("%1: trace %2: %3").arg(path).arg(trace).arg(why));
            decoded = summariseDecoded(d.decoder, session.annotations());
            // sigrok's uart decoder takes each bit late in it; at two or three
            // samples a bit it can misread what the framing check read whole.
            const auto &annotations = session.annotations();
            const bool warned =
                std::any_of(annotations.begin(), annotations.end(), [](const Annotation &a) {
                    return a.annotationClass == QLatin1String("rx-warnings");
                });
            if (d.kind == TraceDescription::Kind::Uart && warned &&
                uartBytes(annotations) != d.bytes)
                decoded << QStringLiteral("read by the framing check, each bit in its middle: "
                                          "%1 bytes: \"%2\"")
                               .arg(countText(d.bytes.size()), escapedText(d.bytes, 120));
        }
        if (json) {
            QJsonObject o;
            o.insert(QStringLiteral("file"), path);
            o.insert(QStringLiteral("trace"), trace);
            o.insert(QStringLiteral("kind"), kindName(d.kind));
            o.insert(QStringLiteral("title"), d.title);
            o.insert(QStringLiteral("confidence"), d.confidence);
            o.insert(QStringLiteral("evidence"), QJsonArray::fromStringList(d.evidence));
            o.insert(QStringLiteral("decoded"), QJsonArray::fromStringList(decoded));
            if (!d.decoder.isEmpty()) {
                QJsonObject options;
                for (auto it = d.options.begin(); it != d.options.end(); ++it)
                    options.insert(it.key(), it.value());
                o.insert(QStringLiteral("decoder"), d.decoder);
                o.insert(QStringLiteral("options"), options);
            }
            switch (d.kind) {
            case TraceDescription::Kind::Uart:
                o.insert(QStringLiteral("bit_rate"), d.bitRate);
                o.insert(QStringLiteral("measured_bit_rate"), d.measuredBitRate);
                o.insert(QStringLiteral("idle_high"), d.idleHigh);
                break;
            case TraceDescription::Kind::Periodic:
                o.insert(QStringLiteral("frequency_hz"), d.frequencyHz);
                o.insert(QStringLiteral("duty"), d.duty);
                break;
            case TraceDescription::Kind::Infrared:
                o.insert(QStringLiteral("family"), d.family);
                o.insert(QStringLiteral("idle_high"), d.idleHigh);
                break;
            case TraceDescription::Kind::Flat:
                o.insert(QStringLiteral("high"), d.idleHigh);
                break;
            case TraceDescription::Kind::Unrecognised:
                break;
            }
            out += jsonLine(o);
        } else {
            out += QStringLiteral("trace %1: %2\n").arg(trace).arg(d.title).toUtf8();
            for (const QString &line : d.evidence + decoded)
                out += QStringLiteral("    %1\n").arg(line).toUtf8();
        }
    }
    return out;
}

int run(const QStringList &arguments, QTextStream &out)
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
        const QByteArray text = listDecoders(library);
        out << QString::fromUtf8(text);
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
        const DecoderStack stack = parseProtocolStack(text, &why);
        if (stack.isEmpty())
            fail(kExitUsage, why);
        stacks.append(stack);
    }

    // Every capture read before anything is decoded or written.
    std::vector<std::unique_ptr<TraceBuffers>> buffers;
    for (const QString &path : captures)
        buffers.push_back(command::readCaptureOrFail(path));

    const bool header = captures.size() > 1;
    QByteArray result;
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        const QString &path = captures[qsizetype(i)];
        result += stacks.isEmpty() ? describeTraces(library, path, *buffers[i], onlyTrace,
                                                    parser.isSet(json), header)
                                   : decodeProtocols(library, path, *buffers[i], stacks, onlyTrace,
                                                     parser.isSet(json), header);
    }
    out << QString::fromUtf8(result);
    return kExitOk;
}

} // namespace

int runDecode(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    return command::runReportingFailure(kProgram, err, [&] { return run(arguments, out); });
}

} // namespace wavemill::decode
