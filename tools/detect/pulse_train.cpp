// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/pulse_train.h"

#include "detect/measure_text.h"

#include "core/sample_period.h"
#include "core/samples.h"

#include <algorithm>

namespace wavemill::detect {

PulseTrain::PulseTrain(const TraceBuffer &buffer) : m_buffer(&buffer), m_periodUs(kSamplePeriodUs)
{
    bool current = sampleLevel(buffer[0], 0);
    std::int64_t start = 0;
    for (int byte = 0; byte < kCaptureLength; ++byte) {
        const std::uint8_t packed = buffer[std::size_t(byte)];
        // Most bytes go on at the level already held: nothing to look at inside.
        if (packed == (current ? 0xFF : 0x00))
            continue;
        for (int k = 0; k < kSamplesPerByte; ++k) {
            if (sampleLevel(packed, k) == current)
                continue;
            const std::int64_t at = std::int64_t(byte) * kSamplesPerByte + k;
            m_runs.push_back({start, at - start, current});
            start = at;
            current = !current;
        }
    }
    m_runs.push_back({start, kCaptureSamples - start, current});
}

PulseTrain::PulseTrain(std::vector<Run> runs, double samplePeriodUs)
    : m_runs(std::move(runs)), m_periodUs(samplePeriodUs)
{
    if (m_runs.empty())
        m_runs.push_back({0, 1, false});
}

bool PulseTrain::level(std::int64_t index) const
{
    if (m_buffer)
        return sampleLevel(*m_buffer, int(index));
    // The last run that starts at or before the index.
    const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                        [](std::int64_t at, const Run &run) { return at < run.start; });
    return after == m_runs.begin() ? m_runs.front().high : std::prev(after)->high;
}

QString PulseTrain::durationOfSamples(double samples) const
{
    return microsecondsText(toUs(samples));
}

} // namespace wavemill::detect
