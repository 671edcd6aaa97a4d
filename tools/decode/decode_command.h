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
/// argv). Each capture's results go to \a out once it has been read and
/// decoded whole, so a failure leaves nothing half-written there; every
/// failure writes exactly one line to \a err. A command line that cannot be
/// done stops everything before any capture is read.
int runDecode(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace wavemill::decode
