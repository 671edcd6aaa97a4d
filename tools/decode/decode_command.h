// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "command/command_line.h"

#include <QStringList>
#include <QTextStream>

namespace wavemill::decode {

/// Exit status of wavemill-decode.
using command::ExitStatus;
using command::kExitFailed;
using command::kExitOk;
using command::kExitUsage;

/// Runs wavemill-decode on \a arguments (the program name first, as in
/// argv), its results written to the file descriptor \a out (standard
/// output) and its failures to \a err, exactly one line each. A command
/// line that cannot be done stops everything before any file is read. A
/// file's descriptions go out once it is read and decoded whole, so that a
/// failure leaves none of them half-written; its -P annotations go out as
/// the decoders put them out, in the order of their start. Results that
/// cannot be written end the program with status 1; a reader that has gone
/// (a closed pipe) ends it quietly, by SIGPIPE, as other programs end.
int runDecode(const QStringList &arguments, int out, QTextStream &err);

} // namespace wavemill::decode
