// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sigrok/sigrok_logic.h"

#include "core/samples.h"

namespace wavemill::sigrok {

void spreadSamples(const std::uint8_t *packed, std::size_t count, int bit, std::uint8_t *out)
{
    const auto mask = std::uint8_t(1u << bit);
    for (std::size_t byte = 0; byte < count; ++byte) {
        if (packed[byte] == 0)
            continue; // eight low samples: nothing to set
        std::uint8_t *samples = out + byte * kSamplesPerByte;
        for (int k = 0; k < kSamplesPerByte; ++k) {
            if (sampleLevel(packed[byte], k))
                samples[k] |= mask;
        }
    }
}

std::vector<std::uint8_t> logicSamples(const TraceBuffers &buffers, const QList<int> &traces)
{
    std::vector<std::uint8_t> samples(kCaptureSamples, 0);
    for (int i = 0; i < traces.size(); ++i) {
        if (const TraceBuffer *trace = buffers.trace(traces[i]))
            spreadSamples(trace->data(), kCaptureLength, i, samples.data());
    }
    return samples;
}

} // namespace wavemill::sigrok
