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
#include <QString>

#include <cstdint>
#include <vector>

namespace wavemill::exporting {

/// What the header of a dump says about where it came from.
struct VcdHeader
{
    QString date;
    QString version;
    QString comment; // left out when empty
};

/// A Value Change Dump written a piece at a time, so that a recording can be
/// written as it arrives: one 1-bit wire per trace named trace1 to trace3, a
/// timescale of 100 ps so that sample k is at time k x 200,736, the levels at
/// sample 0 in $dumpvars, then only the changes, and a last time stamp at the
/// end of the samples.
class VcdWriter : public TextFormat
{
public:
    /// A dump of \a traces (numbers 1 to 3, in the order wanted).
    VcdWriter(const QList<int> &traces, const VcdHeader &header);

    /// The header and the definitions, before any sample.
    QByteArray head() const override;
    /// Appends \a rows to \a out: the first row of all as the $dumpvars,
    /// the later ones as changes.
    void appendRows(const std::vector<LevelRow> &rows, QByteArray &out) override;
    /// The last time stamp, after \a samples samples: the last sample lasts
    /// one period too, and readers learn the length of the recording.
    void appendEnd(std::int64_t samples, QByteArray &out) override;

private:
    QList<int> m_traces;
    VcdHeader m_header;
    bool m_dumped = false;        // the $dumpvars is written
    std::uint32_t m_previous = 0; // the levels of the last row written
};

/// The dump of a whole capture of \a traces.
QByteArray writeVcd(const TraceBuffers &buffers, const QList<int> &traces, const VcdHeader &header);

/// The header of a dump written now by \a options' program, of its samples.
VcdHeader vcdHeader(const OutputOptions &options);

/// The Value Change Dump's row of the table of formats.
OutputFormat vcdFormat();

} // namespace wavemill::exporting
