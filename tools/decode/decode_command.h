// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>
#include <QTextStream>

namespace wavemill::decode {

/// Exit status of wavemill-decode.
enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1, // a capture could not be read, or the decoders could not run
    kExitUsage = 2,  // the command line asks for something impossible
};

/// Runs wavemill-decode on \a arguments (the program name first, as in
/// argv). Results go to \a out only once every capture has been read and
/// decoded, so a failure leaves nothing half-written there; every failure
/// writes exactly one line to \a err.
int runDecode(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace wavemill::decode
