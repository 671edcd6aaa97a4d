// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "session_setup/session_setup.h"

#include <QByteArray>
#include <QString>

namespace wavemill::session_setup {

/// Where PulseView looks for the setup of the session file \a sessionPath:
/// the path up to its last '.', then ".pvs" ("capture.sr" gives
/// "capture.pvs"). Empty when the file's own name has no '.': PulseView
/// then cuts the path at a '.' of a folder, or looks for ".pvs" in the
/// folder it runs in, neither of them a place to write to.
QString setupPathFor(const QString &sessionPath);

/// \a setup as a file PulseView reads (QSettings' INI format, which Qt 5
/// reads too); empty, with \a why set, when it could not be made.
QByteArray setupFileContent(const SessionSetup &setup, QString *why);

} // namespace wavemill::session_setup
