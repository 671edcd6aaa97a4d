// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/vcd_writer.h"

#include "command/command_line.h"
#include "core/numbers.h"
#include "export/level_rows.h"
#include "export/text_stream.h"

#include <QDateTime>

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

QByteArray VcdWriter::head() const
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

void VcdWriter::appendEnd(std::int64_t samples, QByteArray &out)
{
    appendTime(out, samples * kSampleTicks);
}

QByteArray writeVcd(const TraceBuffers &buffers, const QList<int> &traces, const VcdHeader &header)
{
    return VcdWriter(traces, header).whole(buffers, traces, false);
}

VcdHeader vcdHeader(const OutputOptions &options)
{
    return {QDateTime::currentDateTime().toString(Qt::ISODate),
            QStringLiteral("%1 %2").arg(options.program, command::version()),
            QStringLiteral("%1: %2 samples, one every %3")
                .arg(options.origin)
                .arg(options.samples)
                .arg(samplePeriodText())};
}

OutputFormat vcdFormat()
{
    return {
        QStringLiteral("vcd"),
        {QStringLiteral("vcd")},
        QStringLiteral("Value Change Dump: one 1-bit wire per trace, named trace1 to trace3.\n"
                       "Time unit 100 ps, so one sample (%1) is exactly %2\n"
                       "units; the levels at time 0, then only the changes.")
            .arg(samplePeriodText())
            .arg(kSampleTicks),
        false,
        [](const TraceBuffers &buffers, const OutputOptions &options, QString *) {
            return writeVcd(buffers, options.traces, vcdHeader(options));
        },
        [](const OutputOptions &options) -> std::unique_ptr<OutputStream> {
            return std::make_unique<TextStream>(
                std::make_unique<VcdWriter>(options.traces, vcdHeader(options)), false,
                options.samples);
        },
        nullptr,
    };
}

} // namespace wavemill::exporting
