// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/level_rows.h"

namespace wavemill::exporting {

void LevelScanner::scan(const std::vector<const std::uint8_t *> &traces, std::size_t count,
                        std::vector<LevelRow> &rows)
{
    const std::size_t traceCount = traces.size();
    for (std::size_t byte = 0; byte < count; ++byte) {
        const std::int64_t first = m_samples + std::int64_t(byte) * kSamplesPerByte;
        if (!m_everySample && first > 0) {
            // Most bytes repeat the level already held on every chosen trace:
            // nothing changes inside them, so their eight samples are skipped.
            bool flat = true;
            for (std::size_t i = 0; i < traceCount && flat; ++i) {
                const std::uint8_t held = ((m_current >> i) & 1) ? 0xFF : 0x00;
                flat = traces[i][byte] == held;
            }
            if (flat)
                continue;
        }
        for (int k = 0; k < kSamplesPerByte; ++k) {
            std::uint32_t levels = 0;
            for (std::size_t i = 0; i < traceCount; ++i)
                levels |= std::uint32_t(wavemill::sampleLevel(traces[i][byte], k)) << i;
            if (m_everySample || first + k == 0 || levels != m_current) {
                rows.push_back({first + k, levels});
                m_current = levels;
            }
        }
    }
    m_samples += std::int64_t(count) * kSamplesPerByte;
}

std::vector<LevelRow> levelRows(const TraceBuffers &buffers, const QList<int> &traces,
                                bool everySample)
{
    std::vector<const std::uint8_t *> chosen;
    for (int channel : traces)
        chosen.push_back(buffers.trace(channel)->data());
    std::vector<LevelRow> rows;
    if (everySample)
        rows.reserve(kCaptureSamples);
    LevelScanner scanner(everySample);
    scanner.scan(chosen, kCaptureLength, rows);
    return rows;
}

} // namespace wavemill::exporting
