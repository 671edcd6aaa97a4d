// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "session_setup/session_setup.h"

#include "core/trace_buffers.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace wavemill::session_setup {

/// The detection's description of each of \a traces (numbers 1 to 3) of
/// \a buffers.
QList<DescribedTrace> describeTraces(const TraceBuffers &buffers, const QList<int> &traces);

/// Puts the setup of \a traces beside the session file \a sessionPath,
/// just written, where PulseView looks for it (setupPathFor): written whole
/// when a trace has decoders, and when none has, an earlier setup there is
/// removed, since its decoders belong to another capture. Never fails: what
/// went wrong comes back as lines for the user (a trace left out, a setup
/// that could not be written, and then an earlier one removed for the same
/// reason); empty when all went well.
QStringList updateSetupBeside(const QString &sessionPath, const QList<DescribedTrace> &traces);

} // namespace wavemill::session_setup
