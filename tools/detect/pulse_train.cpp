// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/pulse_train.h"

#include "core/samples.h"

namespace wavemill::detect {

PulseTrain::PulseTrain(const TraceBuffer &buffer) : m_buffer(buffer)
{
    bool current = sampleLevel(buffer[0], 0);
    std::int32_t start = 0;
    for (int byte = 0; byte < kCaptureLength; ++byte) {
        const std::uint8_t packed = buffer[std::size_t(byte)];
        // Most bytes go on at the level already held: nothing to look at inside.
        if (packed == (current ? 0xFF : 0x00))
            continue;
        for (int k = 0; k < kSamplesPerByte; ++k) {
            if (sampleLevel(packed, k) == current)
                continue;
            const std::int32_t at = byte * kSamplesPerByte + k;
            m_runs.push_back({start, at - start, current});
            start = at;
            current = !current;
        }
    }
    m_runs.push_back({start, kCaptureSamples - start, current});
}

bool PulseTrain::level(int index) const
{
    return sampleLevel(m_buffer, index);
}

} // namespace wavemill::detect
