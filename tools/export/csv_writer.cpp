// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/csv_writer.h"

#include "export/level_rows.h"

#include <cstdio>

namespace wavemill::exporting {

namespace {

/// A tick is 100 ps, ten million of them a millisecond.
constexpr std::int64_t kTicksPerMs = 10000000;
/// Room for one row of three traces.
constexpr int kBytesPerRow = 32;

void appendRow(QByteArray &out, int sample, std::uint32_t levels, int traceCount)
{
    out += millisecondsText(sample);
    out += ',';
    out += QByteArray::number(sample);
    for (int i = 0; i < traceCount; ++i) {
        out += ',';
        out += ((levels >> i) & 1) ? '1' : '0';
    }
    out += '\n';
}

} // namespace

QByteArray millisecondsText(int k)
{
    const std::int64_t ticks = std::int64_t(k) * kSampleTicks;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%07lld", static_cast<long long>(ticks / kTicksPerMs),
                  static_cast<long long>(ticks % kTicksPerMs));
    return QByteArray(text);
}

QByteArray writeCsv(const TraceBuffers &buffers, const QList<int> &traces, bool everySample)
{
    const std::vector<LevelRow> rows = levelRows(buffers, traces, everySample);

    QByteArray out;
    out.reserve(qsizetype(rows.size() + 1) * kBytesPerRow);
    out += "time_ms,sample";
    for (int channel : traces)
        out += ",trace" + QByteArray::number(channel);
    out += '\n';
    for (const LevelRow &row : rows)
        appendRow(out, row.sample, row.levels, int(traces.size()));

    constexpr int kLast = kCaptureSamples - 1;
    if (rows.back().sample != kLast)
        appendRow(out, kLast, rows.back().levels, int(traces.size()));
    return out;
}

} // namespace wavemill::exporting
