// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/export_command.h"

#include "export/csv_writer.h"
#include "export/level_rows.h"
#include "export/sigrok_session_writer.h"
#include "export/vcd_writer.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>

#include <memory>
#include <optional>

#ifndef WAVEMILL_VERSION
#define WAVEMILL_VERSION "unknown"
#endif

namespace wavemill::exporting {

namespace {

using command::fail;

constexpr auto kProgram = "wavemill-export";

enum class Format { Vcd, Csv, Sigrok };

QString helpText()
{
    return QStringLiteral(
        "Usage: wavemill-export CAPTURE.ird -o OUTPUT [options]\n"
        "\n"
        "Turn Wavemill capture files into sigrok session files, VCD or CSV.\n"
        "\n"
        "The output is a file that logic analysis tools read; its extension picks\n"
        "the format (or --format does):\n"
        "  .vcd  Value Change Dump: one 1-bit wire per trace, named trace1 to trace3.\n"
        "        Time unit 100 ps, so one sample (20.0736 us) is exactly 200736\n"
        "        units; the levels at time 0, then only the changes.\n"
        "  .csv  time_ms,sample,trace1,trace2,trace3: one row where a level changes\n"
        "        (and for the first and last sample), or one per sample with\n"
        "        --every-sample. Times are exact, with seven decimals.\n"
        "  .sr   sigrok session file, which PulseView and sigrok-cli open as it is:\n"
        "        one logic channel per trace, trace1 to trace3, every sample, at\n"
        "        49817 Hz (sigrok keeps whole hertz; the exact rate is 49816.67 Hz).\n"
        "\n"
        "A capture is 507,904 samples per trace (10.195 s); sample k of a trace is\n"
        "bit (7 - k mod 8) of byte k / 8, the earliest sample in the top bit. The\n"
        "extra last byte of each trace buffer in the file is never written by a\n"
        "capture and is not exported.\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE   where to write (required); replaced only once complete\n"
        "  --traces LIST       traces to export, e.g. 1,3 (default 1,2,3)\n"
        "  --format NAME       vcd, csv or sr: the format, whatever the extension\n"
        "  --every-sample      CSV: one row per sample instead of per change\n"
        "  -h, --help          this text\n"
        "  -v, --version       the version\n"
        "\n"
        "For PulseView and sigrok-cli write .sr: they turn every VCD time unit into\n"
        "one sample, and read a VCD only with downsample=200736.\n"
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
        "  $ wavemill-export capture.ird -o capture.vcd\n"
        "  $ wavemill-export capture.ird -o capture.vcd --traces 1,3\n"
        "  $ wavemill-export capture.ird -o capture.csv --every-sample\n");
}

QList<int> parseTraces(const QString &text)
{
    QList<int> traces;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int channel = part.trimmed().toInt(&ok);
        if (!ok || channel < 1 || channel > kTraceCount)
            fail(kExitUsage, QStringLiteral("--traces takes trace numbers 1 to 3 separated "
                                            "by commas, not '%1'")
                                 .arg(text));
        if (traces.contains(channel))
            fail(kExitUsage, QStringLiteral("--traces names trace %1 twice").arg(channel));
        traces.append(channel);
    }
    return traces;
}

Format chooseFormat(const QString &requested, const QString &output)
{
    const QString name =
        requested.isEmpty() ? QFileInfo(output).suffix().toLower() : requested.toLower();
    if (name == QLatin1String("vcd"))
        return Format::Vcd;
    if (name == QLatin1String("csv"))
        return Format::Csv;
    if (name == QLatin1String("sr"))
        return Format::Sigrok;
    if (requested.isEmpty())
        fail(kExitUsage, QStringLiteral("cannot tell the format of '%1': name it .vcd, .csv or "
                                        ".sr, or give --format")
                             .arg(output));
    fail(kExitUsage, QStringLiteral("unknown format '%1': vcd, csv or sr").arg(requested));
}

void writeOutput(const QString &path, const QString &capturePath, const QByteArray &content)
{
    const QFileInfo target(path);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(capturePath).canonicalFilePath())
        fail(kExitFailed,
             QStringLiteral("%1: is the capture file itself; not overwritten").arg(path));
    command::writeFileOrFail(path, content);
}

int run(const QStringList &arguments, QTextStream &out)
{
    QCommandLineParser parser;
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("file"));
    const QCommandLineOption traces(QStringLiteral("traces"), QString(), QStringLiteral("list"),
                                    QStringLiteral("1,2,3"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("name"));
    const QCommandLineOption everySample(QStringLiteral("every-sample"), QString());
    if (!command::parseArguments(parser, {output, traces, format, everySample}, arguments, out,
                                 kProgram, helpText()))
        return kExitOk;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        fail(kExitUsage, QStringLiteral("give exactly one capture file (see --help)"));
    if (!parser.isSet(output) || parser.value(output).isEmpty())
        fail(kExitUsage, QStringLiteral("give the output file with -o (see --help)"));

    const QString &capturePath = positional.front();
    const QString outputPath = parser.value(output);
    const QList<int> chosen = parseTraces(parser.value(traces));
    const Format kind = chooseFormat(parser.value(format), outputPath);
    if (kind != Format::Csv && parser.isSet(everySample))
        fail(kExitUsage, QStringLiteral("--every-sample is for CSV output; a VCD holds changes "
                                        "only and a session file every sample"));

    const auto buffers = command::readCaptureOrFail(capturePath);
    QByteArray content;
    if (kind == Format::Vcd) {
        const VcdHeader header{
            QDateTime::currentDateTime().toString(Qt::ISODate),
            QStringLiteral("%1 %2").arg(QLatin1String(kProgram), QLatin1String(WAVEMILL_VERSION)),
            QStringLiteral("%1: %2 samples, one every 20.0736 us")
                .arg(QFileInfo(capturePath).fileName())
                .arg(kCaptureSamples)};
        content = writeVcd(*buffers, chosen, header);
    } else if (kind == Format::Csv) {
        content = writeCsv(*buffers, chosen, parser.isSet(everySample));
    } else {
        QString why;
        content = writeSigrokSession(*buffers, chosen, &why);
        if (content.isEmpty())
            fail(kExitFailed,
                 QStringLiteral("%1: cannot make the session file: %2").arg(outputPath, why));
    }
    writeOutput(outputPath, capturePath, content);
    return kExitOk;
}

} // namespace

int runExport(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    return command::runReportingFailure(kProgram, err, [&] { return run(arguments, out); });
}

} // namespace wavemill::exporting
