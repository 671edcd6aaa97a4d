// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>
#include <QTextStream>

namespace wavemill::capturing {

/// Runs wavemill-capture on \a arguments (the program name first, as in
/// argv). Help and version go to \a out; the progress line, shown only when
/// \a progressShown, and every failure, as exactly one line, go to \a err.
/// The output file appears whole or not at all.
int runCapture(const QStringList &arguments, QTextStream &out, QTextStream &err,
               bool progressShown);

} // namespace wavemill::capturing
