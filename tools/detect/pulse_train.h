// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <cstdint>
#include <vector>

namespace wavemill::detect {

/// A stretch of samples at one level.
struct Run
{
    std::int32_t start;  // first sample
    std::int32_t length; // samples
    bool high;
};

/// A trace's samples as the runs of equal level they make, over the samples
/// a capture fills. The first and the last run are cut by the capture's
/// edges: their true length is unknown.
class PulseTrain
{
public:
    explicit PulseTrain(const TraceBuffer &buffer);

    const std::vector<Run> &runs() const { return m_runs; }
    /// Changes of level.
    int edges() const { return int(m_runs.size()) - 1; }
    /// The level of sample \a index (0 to kCaptureSamples - 1).
    bool level(int index) const;

private:
    const TraceBuffer &m_buffer;
    std::vector<Run> m_runs;
};

} // namespace wavemill::detect
