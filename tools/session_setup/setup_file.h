// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "session_setup/session_setup.h"

#include <QString>

namespace wavemill::session_setup {

/// Where PulseView looks for the setup of the session file \a sessionPath:
/// the path up to its last '.', then ".pvs" ("capture.sr" gives
/// "capture.pvs"). Empty when the file's own name has no '.': PulseView
/// then cuts the path at a '.' of a folder, or looks for ".pvs" in the
/// folder it runs in, neither of them a place to write to.
QString setupPathFor(const QString &sessionPath);

/// Writes \a setup to \a path as PulseView reads it (QSettings' INI format),
/// whole or not at all: into a new file beside it, then renamed into its
/// place, with the mode of the file it replaces. A symbolic link is written
/// through, and stays. False with \a why when it could not be written; the
/// file at \a path is then as it was.
bool writeSetupFile(const QString &path, const SessionSetup &setup, QString *why);

} // namespace wavemill::session_setup
