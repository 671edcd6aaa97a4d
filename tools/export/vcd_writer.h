// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace wavemill::exporting {

/// What the header of a dump says about where it came from.
struct VcdHeader
{
    QString date;
    QString version;
    QString comment; // left out when empty
};

/// A Value Change Dump of \a traces (numbers 1 to 3, in the order wanted):
/// one 1-bit wire per trace named trace1 to trace3, a timescale of 100 ps so
/// that sample k is at time k x 200,736, the levels at sample 0 in $dumpvars,
/// then only the changes, and a last time stamp at the end of the capture.
QByteArray writeVcd(const TraceBuffers &buffers, const QList<int> &traces, const VcdHeader &header);

} // namespace wavemill::exporting
