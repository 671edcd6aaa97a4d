// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "command/command_line.h"

#include "command/printable_text.h"
#include "capture_file/capture_file_format.h"
#include "core/sample_period.h"
#include "core/version.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace wavemill::command {

void fail(int status, const QString &message)
{
    throw Failure{status, message};
}

QString version()
{
    return QString::fromLatin1(kVersion);
}


std::unique_ptr<TraceBuffers> readCaptureOrFail(const QString &path)
{
    auto buffers = std::make_unique<TraceBuffers>();
    if (capture_file::readCaptureFile(path, *buffers))
        return buffers;
    const QFileInfo info(path);
    if (!info.exists())
        fail(kExitFailed, QStringLiteral("%1: no such file").arg(path));
    if (!info.isFile())
        fail(kExitFailed, QStringLiteral("%1: not a regular file").arg(path));
    if (info.size() < capture_file::kFileSize)
        fail(kExitFailed, QStringLiteral("%1: not a capture file: %2 bytes, a capture file "
                                         "has %3")
                              .arg(path)
                              .arg(info.size())
                              .arg(capture_file::kFileSize));
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    fail(kExitFailed, QStringLiteral("%1: cannot read: %2").arg(path, file.errorString()));
}

namespace {

/// Letters to change, add or drop to turn \a a into \a b.
int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] =
                std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

/// The long option \a name was likely meant for: one a letter away, or one
/// that begins with it or it with (--trace for --traces); or none.
QString nearestOption(const QString &name, const QList<QCommandLineOption> &options)
{
    for (const QCommandLineOption &option : options) {
        for (const QString &known : option.names()) {
            if (known.size() > 1 && name.size() > 1 &&
                (known.startsWith(name) || name.startsWith(known) ||
                 editDistance(name, known) == 1))
                return known;
        }
    }
    return {};
}

} // namespace

bool parseArguments(QCommandLineParser &parser, const QList<QCommandLineOption> &options,
                    const QStringList &arguments, QTextStream &out, const char *program,
                    const QString &help)
{
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QString());
    parser.addOptions(options);
    parser.addOptions({helpOption, versionOption});
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString near =
            unknown.size() == 1 ? nearestOption(unknown.front(), options) : QString();
        if (!near.isEmpty())
            fail(kExitUsage, QStringLiteral("Unknown option '%1': did you mean --%2? (see --help)")
                                 .arg(unknown.front(), near));
        fail(kExitUsage, parser.errorText() + QStringLiteral(" (see --help)"));
    }
    if (parser.isSet(helpOption)) {
        out << help;
        return false;
    }
    if (parser.isSet(versionOption)) {
        out << program << ' ' << version() << '\n';
        return false;
    }
    return true;
}

void reportLine(QTextStream &err, const char *program, const QString &message)
{
    // One printable line, whatever the command line or a file held.
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    err << program << ": " << printable(line, kFailureLineChars) << '\n';
    err.flush();
}

int runReportingFailure(const char *program, QTextStream &err, const std::function<int()> &body)
{
    try {
        return body();
    } catch (const Failure &failure) {
        reportLine(err, program, failure.message);
        return failure.status;
    }
}

} // namespace wavemill::command
