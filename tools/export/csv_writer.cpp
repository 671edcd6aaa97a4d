// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/csv_writer.h"

#include "export/level_rows.h"
#include "export/text_stream.h"

#include <cstdio>

namespace wavemill::exporting {

namespace {

/// A tick is 100 ps, ten million of them a millisecond.
constexpr std::int64_t kTicksPerMs = 10000000;
/// Room for one row of three traces.
constexpr int kBytesPerRow = 32;

void appendRow(QByteArray &out, std::int64_t sample, std::uint32_t levels, qsizetype traceCount)
{
    out += millisecondsText(sample);
    out += ',';
    out += QByteArray::number(qint64(sample));
    for (qsizetype i = 0; i < traceCount; ++i) {
        out += ',';
        out += ((levels >> i) & 1) ? '1' : '0';
    }
    out += '\n';
}

} // namespace

QByteArray millisecondsText(std::int64_t k)
{
    const std::int64_t ticks = k * kSampleTicks;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%07lld", static_cast<long long>(ticks / kTicksPerMs),
                  static_cast<long long>(ticks % kTicksPerMs));
    return QByteArray(text);
}

CsvWriter::CsvWriter(const QList<int> &traces) : m_traces(traces) {}

QByteArray CsvWriter::head() const
{
    QByteArray out = "time_ms,sample";
    for (int channel : m_traces)
        out += ",trace" + QByteArray::number(channel);
    out += '\n';
    return out;
}

void CsvWriter::appendRows(const std::vector<LevelRow> &rows, QByteArray &out)
{
    out.reserve(out.size() + qsizetype(rows.size()) * kBytesPerRow);
    for (const LevelRow &row : rows)
        appendRow(out, row.sample, row.levels, m_traces.size());
    if (!rows.empty())
        m_last = rows.back();
}

void CsvWriter::appendEnd(std::int64_t samples, QByteArray &out)
{
    if (m_last.sample != samples - 1)
        appendRow(out, samples - 1, m_last.levels, m_traces.size());
}

QByteArray writeCsv(const TraceBuffers &buffers, const QList<int> &traces, bool everySample)
{
    return CsvWriter(traces).whole(buffers, traces, everySample);
}

OutputFormat csvFormat()
{
    return {
        QStringLiteral("csv"),
        {QStringLiteral("csv")},
        QStringLiteral("time_ms,sample,trace1,trace2,trace3: one row where a level changes\n"
                       "(and for the first and last sample), or one per sample with\n"
                       "--every-sample. Times are exact, with seven decimals."),
        true,
        [](const TraceBuffers &buffers, const OutputOptions &options, QString *) {
            return writeCsv(buffers, options.traces, options.everySample);
        },
        [](const OutputOptions &options) -> std::unique_ptr<OutputStream> {
            return std::make_unique<TextStream>(std::make_unique<CsvWriter>(options.traces),
                                                options.everySample, options.samples);
        },
        nullptr,
    };
}

} // namespace wavemill::exporting
