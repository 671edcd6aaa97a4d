// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "command/command_line.h"

#include "capture_file/capture_file_format.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifndef WAVEMILL_VERSION
#define WAVEMILL_VERSION "unknown"
#endif

namespace wavemill::command {

void fail(int status, const QString &message)
{
    throw Failure{status, message};
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

void writeFileOrFail(const QString &path, const QByteArray &content)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        fail(kExitFailed, QStringLiteral("%1: cannot write: not a regular file").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(kExitFailed, QStringLiteral("%1: cannot write: %2").arg(path, file.errorString()));
    if (file.write(content) != content.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        fail(kExitFailed, QStringLiteral("%1: cannot write: %2").arg(path, why));
    }
    if (!file.commit())
        fail(kExitFailed, QStringLiteral("%1: cannot write: %2").arg(path, file.errorString()));
}

bool parseArguments(QCommandLineParser &parser, const QList<QCommandLineOption> &options,
                    const QStringList &arguments, QTextStream &out, const char *program,
                    const QString &help)
{
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QString());
    parser.addOptions(options);
    parser.addOptions({helpOption, versionOption});
    if (!parser.parse(arguments))
        fail(kExitUsage, parser.errorText() + QStringLiteral(" (see --help)"));
    if (parser.isSet(helpOption)) {
        out << help;
        return false;
    }
    if (parser.isSet(versionOption)) {
        out << program << ' ' << WAVEMILL_VERSION << '\n';
        return false;
    }
    return true;
}

int runReportingFailure(const char *program, QTextStream &err, const std::function<int()> &body)
{
    try {
        return body();
    } catch (const Failure &failure) {
        QString line = failure.message;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        err << program << ": " << line << '\n';
        err.flush();
        return failure.status;
    }
}

} // namespace wavemill::command
