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

VcdWriter::VcdWriter(const QList<int> &traces, const VcdHeader &header)
    : m_traces(traces), m_header(header)
{
}

QByteArray VcdWriter::definitions() const
{
    QByteArray out;
    appendSection(out, "date", m_header.date);
    appendSection(out, "version", m_header.version);
    if (!m_header.comment.isEmpty())
        appendSection(out, "comment", m_header.comment);
    out += "$timescale 100 ps $end\n";
    out += "$scope module wavemill $end\n";
    for (int i = 0; i < m_traces.size(); ++i) {
        out += "$var wire 1 ";
        out += char(kFirstIdentifier + i);
        out += " trace" + QByteArray::number(m_traces[i]) + " $end\n";
    }
    out += "$upscope $end\n$enddefinitions $end\n";
    return out;
}

void VcdWriter::appendRows(const std::vector<LevelRow> &rows, QByteArray &out)
{
    out.reserve(out.size() + qsizetype(rows.size()) * kBytesPerRow);
    for (const LevelRow &row : rows) {
        if (!m_dumped) {
            appendTime(out, 0);
            out += "$dumpvars\n";
            for (int i = 0; i < m_traces.size(); ++i)
                appendValue(out, (row.levels >> i) & 1, i);
            out += "$end\n";
            m_dumped = true;
            m_previous = row.levels;
            continue;
        }
        appendTime(out, row.sample * kSampleTicks);
        const std::uint32_t changed = row.levels ^ m_previous;
        for (int i = 0; i < m_traces.size(); ++i) {
            if ((changed >> i) & 1)
                appendValue(out, (row.levels >> i) & 1, i);
        }
        m_previous = row.levels;
    }
}

QByteArray VcdWriter::end(std::int64_t samples)
{
    QByteArray out;
    appendTime(out, samples * kSampleTicks);
    return out;
}

QByteArray writeVcd(const TraceBuffers &buffers, const QList<int> &traces, const VcdHeader &header)
{
    VcdWriter writer(traces, header);
    QByteArray out = writer.definitions();
    writer.appendRows(levelRows(buffers, traces, false), out);
    out += VcdWriter::end(kCaptureSamples);
    return out;
}

} // namespace wavemill::exporting
