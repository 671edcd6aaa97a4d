// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace wavemill::exporting {

/// A sigrok session file (format version 2) of \a traces (numbers 1 to 3, in
/// the order wanted): a zip holding "version", "metadata" (one device, a
/// logic channel per trace named trace1 to trace3, the sample rate in whole
/// hertz, unit size 1) and "logic-1-1" with the capture's 507,904 samples,
/// bit i of each byte the level of the i-th chosen trace. Returns an empty
/// array and sets \a error when the archive cannot be made.
QByteArray writeSigrokSession(const TraceBuffers &buffers, const QList<int> &traces,
                              QString *error);

} // namespace wavemill::exporting
