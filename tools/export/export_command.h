// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "command/command_line.h"

#include <QStringList>
#include <QTextStream>

namespace wavemill::exporting {

/// Exit status of wavemill-export.
using command::ExitStatus;
using command::kExitFailed;
using command::kExitOk;
using command::kExitUsage;

/// Runs wavemill-export on \a arguments (the program name first, as in
/// argv). Help and version go to \a out; every failure writes exactly one
/// line to \a err. The output file appears whole or not at all: it is
/// written beside the target and put in its place once complete.
int runExport(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace wavemill::exporting
