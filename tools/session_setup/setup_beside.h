// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "session_setup/session_setup.h"

#include "core/trace_buffers.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace wavemill::session_setup {

/// The detection's description of each of \a traces (numbers 1 to 3) of
/// \a buffers, from their first \a samples samples (a recording shorter
/// than a capture fills only those).
QList<DescribedTrace> describeTraces(const TraceBuffers &buffers, const QList<int> &traces,
                                     std::int64_t samples = kCaptureSamples);

/// The setup that goes beside a session file.
struct SetupBeside
{
    /// Where PulseView looks for it; empty when it looks nowhere one may write.
    QString path;
    /// The file; empty when no trace has decoders, or the setup could not be
    /// made: an earlier setup at \a path is then to go, since its decoders
    /// belong to another capture.
    QByteArray content;
    /// What the user should be told: a trace left out, no setup made, and why.
    QStringList notes;
};

/// The setup of \a traces for the session file \a sessionPath.
SetupBeside setupBeside(const QString &sessionPath, const QList<DescribedTrace> &traces);

} // namespace wavemill::session_setup
