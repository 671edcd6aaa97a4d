// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"
#include "export/level_rows.h"
#include "export/output_format.h"
#include "export/text_format.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <vector>

namespace wavemill::exporting {

/// The start of sample \a k in milliseconds, exact: seven decimals, "." as
/// the separator whatever the locale (sample 1 is "0.0200736").
QByteArray millisecondsText(std::int64_t k);

/// CSV written a piece at a time, so that a recording can be written as it
/// arrives: a header line "time_ms,sample,trace1,...", then one row per
/// level row. The first and the last sample always have their row, so the
/// file spans the whole recording.
class CsvWriter : public TextFormat
{
public:
    /// Rows of \a traces (numbers 1 to 3, in the order wanted).
    explicit CsvWriter(const QList<int> &traces);

    /// The header line.
    QByteArray head() const override;
    void appendRows(const std::vector<LevelRow> &rows, QByteArray &out) override;
    /// The row of the last of \a samples samples, unless it has one already.
    void appendEnd(std::int64_t samples, QByteArray &out) override;

private:
    QList<int> m_traces;
    LevelRow m_last{-1, 0}; // the last row written
};

/// CSV of a whole capture of \a traces: one row per sample at which a chosen
/// trace changes, or per sample with \a everySample.
QByteArray writeCsv(const TraceBuffers &buffers, const QList<int> &traces, bool everySample);

/// CSV's row of the table of formats.
OutputFormat csvFormat();

} // namespace wavemill::exporting
