// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/vcd_writer.h"

#include "export/level_rows.h"

namespace wavemill::exporting {

namespace {

/// Identifier codes are printable characters from '!'; three traces need one each.
constexpr char kFirstIdentifier = '!';
/// Room for a time stamp line and three value lines.
constexpr int kBytesPerRow = 32;

void appendSection(QByteArray &out, const char *keyword, const QString &text)
{
    out += '$';
    out += keyword;
    out += "\n  ";
    out += text.toUtf8();
    out += "\n$end\n";
}

void appendTime(QByteArray &out, std::int64_t ticks)
{
    out += '#';
    out += QByteArray::number(qint64(ticks));
    out += '\n';
}

void appendValue(QByteArray &out, bool level, int index)
{
    out += level ? '1' : '0';
    out += char(kFirstIdentifier + index);
    out += '\n';
}

} // namespace

QByteArray writeVcd(const TraceBuffers &buffers, const QList<int> &traces, const VcdHeader &header)
{
    const std::vector<LevelRow> rows = levelRows(buffers, traces, false);

    QByteArray out;
    out.reserve(qsizetype(rows.size()) * kBytesPerRow + 1024);
    appendSection(out, "date", header.date);
    appendSection(out, "version", header.version);
    if (!header.comment.isEmpty())
        appendSection(out, "comment", header.comment);
    out += "$timescale 100 ps $end\n";
    out += "$scope module wavemill $end\n";
    for (int i = 0; i < traces.size(); ++i) {
        out += "$var wire 1 ";
        out += char(kFirstIdentifier + i);
        out += " trace" + QByteArray::number(traces[i]) + " $end\n";
    }
    out += "$upscope $end\n$enddefinitions $end\n";

    appendTime(out, 0);
    out += "$dumpvars\n";
    for (int i = 0; i < traces.size(); ++i)
        appendValue(out, (rows.front().levels >> i) & 1, i);
    out += "$end\n";

    std::uint32_t previous = rows.front().levels;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const LevelRow &row = rows[r];
        appendTime(out, row.sample * kSampleTicks);
        const std::uint32_t changed = row.levels ^ previous;
        for (int i = 0; i < traces.size(); ++i) {
            if ((changed >> i) & 1)
                appendValue(out, (row.levels >> i) & 1, i);
        }
        previous = row.levels;
    }
    // The last sample lasts one period too; readers learn the capture's length.
    appendTime(out, kCaptureSamples * kSampleTicks);
    return out;
}

} // namespace wavemill::exporting
