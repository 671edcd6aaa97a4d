// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

namespace wavemill::exporting {

/// The start of sample \a k in milliseconds, exact: seven decimals, "." as
/// the separator whatever the locale (sample 1 is "0.0200736").
QByteArray millisecondsText(int k);

/// CSV of \a traces (numbers 1 to 3, in the order wanted): a header line
/// "time_ms,sample,trace1,...", then one row per sample at which a chosen
/// trace changes, or per sample with \a everySample. The first and the last
/// sample of the capture always have their row, so the file spans it all.
QByteArray writeCsv(const TraceBuffers &buffers, const QList<int> &traces, bool everySample);

} // namespace wavemill::exporting
