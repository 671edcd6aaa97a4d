// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/level_rows.h"

namespace wavemill::exporting {

std::vector<LevelRow> levelRows(const TraceBuffers &buffers, const QList<int> &traces,
                                bool everySample)
{
    std::vector<const TraceBuffer *> chosen;
    for (int channel : traces)
        chosen.push_back(buffers.trace(channel));

    const auto levelsAt = [&](int k) {
        std::uint32_t levels = 0;
        for (std::size_t i = 0; i < chosen.size(); ++i)
            levels |= std::uint32_t(sampleLevel(*chosen[i], k)) << i;
        return levels;
    };

    std::vector<LevelRow> rows;
    if (everySample) {
        rows.reserve(kCaptureSamples);
        for (int k = 0; k < kCaptureSamples; ++k)
            rows.push_back({k, levelsAt(k)});
        return rows;
    }

    std::uint32_t current = levelsAt(0);
    rows.push_back({0, current});
    for (int byte = 0; byte < kCaptureLength; ++byte) {
        // Most bytes repeat the level already held on every chosen trace:
        // nothing changes inside them, so their eight samples are skipped.
        bool flat = true;
        for (std::size_t i = 0; i < chosen.size() && flat; ++i) {
            const std::uint8_t held = ((current >> i) & 1) ? 0xFF : 0x00;
            flat = (*chosen[i])[std::size_t(byte)] == held;
        }
        if (flat)
            continue;
        for (int k = byte * 8; k < byte * 8 + 8; ++k) {
            const std::uint32_t levels = levelsAt(k);
            if (levels != current) {
                rows.push_back({k, levels});
                current = levels;
            }
        }
    }
    return rows;
}

} // namespace wavemill::exporting
