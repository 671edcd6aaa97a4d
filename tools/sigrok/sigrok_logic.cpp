// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sigrok/sigrok_logic.h"

#include "core/samples.h"

namespace wavemill::sigrok {

std::vector<std::uint8_t> logicSamples(const TraceBuffers &buffers, const QList<int> &traces)
{
    std::vector<std::uint8_t> samples(kCaptureSamples, 0);
    for (int i = 0; i < traces.size(); ++i) {
        const TraceBuffer *trace = buffers.trace(traces[i]);
        if (!trace)
            continue;
        const auto bit = std::uint8_t(1u << i);
        for (int byte = 0; byte < kCaptureLength; ++byte) {
            const std::uint8_t packed = (*trace)[std::size_t(byte)];
            if (packed == 0)
                continue; // eight low samples: nothing to set
            std::uint8_t *out = samples.data() + std::size_t(byte) * kSamplesPerByte;
            for (int k = 0; k < kSamplesPerByte; ++k) {
                if (sampleLevel(packed, k))
                    out[k] |= bit;
            }
        }
    }
    return samples;
}

} // namespace wavemill::sigrok
