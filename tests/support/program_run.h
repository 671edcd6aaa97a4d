// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace wavemill::testing {

/// Long enough for a sanitizer build on a busy machine.
constexpr int kProgramTimeoutMs = 120000;

struct ProgramRun
{
    int status = -1; // -1: crashed, or did not finish in time
    QByteArray out;
    QByteArray err;
};

/// Runs a program to its end, in \a folder when one is given.
inline ProgramRun runProgram(const QString &program, const QStringList &arguments,
                             const QString &folder = QString())
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(kProgramTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

/// The standard output of a run that exits 0; otherwise nothing, with a
/// warning that says what went wrong, so that the test comparing it fails.
inline QByteArray outputOf(const QString &program, const QStringList &arguments)
{
    const ProgramRun run = runProgram(program, arguments);
    if (run.status != 0) {
        qWarning("%s %s: exit %d: %s", qPrintable(program), qPrintable(arguments.join(' ')),
                 run.status, run.err.constData());
        return {};
    }
    return run.out;
}

} // namespace wavemill::testing

/// Sets \a path to a peer program (sigrok-cli ...) on the PATH. A missing one
/// skips the test, or fails it where the suite asks for every peer check
/// (WAVEMILL_REQUIRE_PEERS, as scripts/test does).
#define WAVEMILL_REQUIRE_PEER(path, name)                                                          \
    do {                                                                                           \
        (path) = QStandardPaths::findExecutable(QStringLiteral(name));                             \
        if ((path).isEmpty()) {                                                                    \
            if (qEnvironmentVariableIsSet("WAVEMILL_REQUIRE_PEERS"))                               \
                QFAIL(name " is not installed");                                                   \
            QSKIP(name " is not installed");                                                       \
        }                                                                                          \
    } while (false)
