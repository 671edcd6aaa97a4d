// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

#include "core/trace_buffers.h"

namespace wavemill::command {

/// The trace number \a text gives \a option ("--trace"): 1 to \a highest,
/// blanks around it allowed; 1, 2 or 3 of a capture, up to a session file's
/// channels. Anything else fails (kExitUsage) saying what it takes.
int traceNumberOrFail(const QString &text, const QString &option, int highest = kTraceCount);

/// The trace numbers \a text gives \a option ("--traces"), separated by
/// commas, in the order given ("3,1"): each 1 to 3 and named once, or the
/// command fails (kExitUsage).
QList<int> traceListOrFail(const QString &text, const QString &option);

} // namespace wavemill::command
