// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <QCommandLineParser>
#include <QString>
#include <QTextStream>

#include <functional>
#include <memory>

namespace wavemill::command {

enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1, // a capture could not be read, or the work could not be done
    kExitUsage = 2,  // the command line asks for something impossible
};

/// Thrown inside a program's run to end it with one line on stderr.
struct Failure
{
    int status;
    QString message;
};

[[noreturn]] void fail(int status, const QString &message);

/// The programs' version, as the build gives it ("unknown" where it does not).
QString version();

/// Reads a capture file whole; a failure (kExitFailed) is explained in the
/// terms of the file: missing, not a regular file, too short, unreadable.
std::unique_ptr<TraceBuffers> readCaptureOrFail(const QString &path);

/// Parses \a arguments with \a options and -h/--help and -v/--version. A
/// wrong command line fails with kExitUsage. Returns false when it has
/// answered --help (with \a help) or --version on \a out: nothing is left
/// to do then but exit with kExitOk.
bool parseArguments(QCommandLineParser &parser, const QList<QCommandLineOption> &options,
                    const QStringList &arguments, QTextStream &out, const char *program,
                    const QString &help);

/// Writes \a message to \a err as one line, "program: message": its line
/// breaks made blanks, what is not printable made "?", cut at
/// kFailureLineChars.
void reportLine(QTextStream &err, const char *program, const QString &message);

/// Runs \a body and returns its status. A Failure thrown in it is written to
/// \a err as one line, "program: message", and its status returned.
int runReportingFailure(const char *program, QTextStream &err, const std::function<int()> &body);

} // namespace wavemill::command
