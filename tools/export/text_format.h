// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"
#include "export/level_rows.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <vector>

namespace wavemill::exporting {

/// A text format made of level rows (a Value Change Dump, CSV), written a
/// piece at a time: the head, the rows as they are found, the end.
class TextFormat
{
public:
    virtual ~TextFormat() = default;

    /// What comes before any sample.
    virtual QByteArray head() const = 0;
    /// Appends \a rows, the next level rows of the chosen traces, to \a out.
    virtual void appendRows(const std::vector<LevelRow> &rows, QByteArray &out) = 0;
    /// Appends what ends a recording of \a samples samples to \a out.
    virtual void appendEnd(std::int64_t samples, QByteArray &out) = 0;

    /// The whole text of a capture of \a traces (numbers 1 to 3, in the
    /// order wanted): every change, or every sample with \a everySample.
    QByteArray whole(const TraceBuffers &buffers, const QList<int> &traces, bool everySample);
};

} // namespace wavemill::exporting
