// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/export_command.h"

#include "command/output_file.h"
#include "command/trace_numbers.h"
#include "export/level_rows.h"
#include "export/output_format.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <memory>

namespace wavemill::exporting {

namespace {

using command::fail;

constexpr auto kProgram = "wavemill-export";

QString helpText()
{
    return QStringLiteral(
               "Usage: wavemill-export CAPTURE.ird -o OUTPUT [options]\n"
               "\n"
               "Turn Wavemill capture files into sigrok session files, VCD or CSV.\n"
               "\n"
               "The output is a file that logic analysis tools read; its extension picks\n"
               "the format (or --format does):\n") +
           formatsHelp() +
           QStringLiteral(
               "\n"
               "A capture is 507,904 samples per trace (10.195 s); sample k of a trace is\n"
               "bit (7 - k mod 8) of byte k / 8, the earliest sample in the top bit. The\n"
               "extra last byte of each trace buffer in the file is never written by a\n"
               "capture and is not exported.\n"
               "\n"
               "The output is written beside its target and put in its place once\n"
               "complete, with the owner and mode of the file it replaces; a symbolic link\n"
               "is written through. A folder, a FIFO or a file you may not write is\n"
               "refused.\n"
               "\n"
               "Options:\n"
               "  -o, --output FILE   where to write (required); replaced only once complete\n"
               "  --traces LIST       traces to export, e.g. 1,3 (default 1,2,3)\n"
               "  --format NAME       %1: the format, whatever the extension\n"
               "  --every-sample      CSV: one row per sample instead of per change\n"
               "  --no-setup          .sr: no PulseView setup (X.pvs) beside it; one there\n"
               "                      stays as it is\n"
               "  -h, --help          show this help and exit\n"
               "  -v, --version       show the version and exit\n"
               "\n"
               "For PulseView and sigrok-cli write .sr: they turn every VCD time unit into\n"
               "one sample, and read a VCD only with downsample=%2.\n"
               "\n"
               "Exit status:\n"
               "  0  done\n"
               "  1  the capture could not be read or the output not written (nothing is\n"
               "     left behind)\n"
               "  2  a wrong command line\n"
               "\n"
               "Files:\n"
               "  /usr/share/wavemill/examples/*.ird  sample captures from the package\n"
               "\n"
               "Examples:\n"
               "  $ wavemill-export capture.ird -o capture.sr\n"
               "  $ wavemill-export capture.ird -o capture.vcd\n"
               "  $ wavemill-export capture.ird -o capture.vcd --traces 1,3\n"
               "  $ wavemill-export capture.ird -o capture.csv --every-sample\n")
               .arg(namesText())
               .arg(kSampleTicks);
}

const OutputFormat &chooseFormat(const QString &requested, const QString &output)
{
    if (!requested.isEmpty()) {
        if (const OutputFormat *format = formatNamed(requested))
            return *format;
        fail(kExitUsage, QStringLiteral("unknown format '%1': %2").arg(requested, namesText()));
    }
    if (const OutputFormat *format = formatOfPath(output))
        return *format;
    fail(kExitUsage, QStringLiteral("cannot tell the format of '%1': name it %2, or give --format")
                         .arg(output, extensionsText()));
}

/// The formats that take --every-sample, for its message: ".csv".
QString everySampleExtensions()
{
    QStringList extensions;
    for (const OutputFormat &format : outputFormats()) {
        if (format.everySample)
            extensions.append(QLatin1Char('.') + format.extensions.front());
    }
    return extensions.join(QStringLiteral(", "));
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("file"));
    const QCommandLineOption traces(QStringLiteral("traces"), QString(), QStringLiteral("list"),
                                    QStringLiteral("1,2,3"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("name"));
    const QCommandLineOption everySample(QStringLiteral("every-sample"), QString());
    const QCommandLineOption noSetup(QStringLiteral("no-setup"), QString());
    if (!command::parseArguments(parser, {output, traces, format, everySample, noSetup}, arguments,
                                 out, kProgram, helpText()))
        return kExitOk;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        fail(kExitUsage, QStringLiteral("give exactly one capture file (see --help)"));
    if (!parser.isSet(output) || parser.value(output).isEmpty())
        fail(kExitUsage, QStringLiteral("give the output file with -o (see --help)"));

    const QString &capturePath = positional.front();
    const QString outputPath = parser.value(output);
    OutputOptions options;
    options.traces = command::traceListOrFail(parser.value(traces), QStringLiteral("--traces"));
    options.everySample = parser.isSet(everySample);
    options.companions = !parser.isSet(noSetup);
    options.program = QLatin1String(kProgram);
    options.origin = QFileInfo(capturePath).fileName();
    const OutputFormat &kind = chooseFormat(parser.value(format), outputPath);
    if (!kind.everySample && options.everySample)
        fail(kExitUsage, QStringLiteral("--every-sample is for %1 output only: the other formats "
                                        "hold the changes, or every sample already")
                             .arg(everySampleExtensions()));
    if (!kind.companions && parser.isSet(noSetup))
        fail(kExitUsage, QStringLiteral("--no-setup is for .sr output: only a session file has "
                                        "a setup beside it"));

    const auto buffers = command::readCaptureOrFail(capturePath);
    const QFileInfo target(outputPath);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(capturePath).canonicalFilePath())
        fail(kExitFailed,
             QStringLiteral("%1: is the capture file itself; not overwritten").arg(outputPath));
    command::OutputFile file(outputPath);
    file.open();
    QString why;
    const QByteArray content = kind.whole(*buffers, options, &why);
    if (content.isEmpty())
        file.failWriting(why);
    file.write(content);
    for (const QString &line : commitOutput(file, kind, options, buffers.get()))
        command::reportLine(err, kProgram, line);
    return kExitOk;
}

} // namespace

int runExport(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    return command::runReportingFailure(kProgram, err, [&] { return run(arguments, out, err); });
}

} // namespace wavemill::exporting
