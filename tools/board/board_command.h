// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>
#include <QTextStream>

namespace wavemill::board {

/// Runs wavemill-board on \a arguments (the program name first, as in argv):
/// the port's path, then help and version, go to \a out, and the board's
/// reports to \a err; every failure writes exactly one line to \a err. Runs
/// until Ctrl+C, SIGTERM or SIGHUP, or a stream is done (--once, a device).
int runBoard(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace wavemill::board
