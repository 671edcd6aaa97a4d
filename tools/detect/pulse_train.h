// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"
#include "sigrok/channel_runs.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace wavemill::detect {

/// A stretch of samples at one level, as a recording's channel is cut.
using Run = sigrok::LevelRun;

/// A trace's samples as the runs of equal level they make, and the time
/// between two samples: a board capture (507,904 samples, one every
/// 20.0736 µs) or a channel of a recording at its own rate. The first and
/// the last run are cut by the recording's edges: their true length is
/// unknown. Every measurement a detector makes is in samples of this train;
/// it turns them into time only through the train, so that a recording at
/// another rate is measured exactly.
class PulseTrain
{
public:
    /// A board capture's trace.
    explicit PulseTrain(const TraceBuffer &buffer);
    /// Runs from any source, back to back from sample 0 (at least one run),
    /// one sample every \a samplePeriodUs microseconds.
    PulseTrain(std::vector<Run> runs, double samplePeriodUs);

    const std::vector<Run> &runs() const { return m_runs; }
    /// Changes of level.
    int edges() const { return int(m_runs.size()) - 1; }
    /// The samples the runs cover.
    std::int64_t samples() const { return m_runs.back().start + m_runs.back().length; }
    /// The level of sample \a index (0 to samples() - 1).
    bool level(std::int64_t index) const;

    double samplePeriodUs() const { return m_periodUs; }
    double sampleRateHz() const { return 1e6 / m_periodUs; }
    /// Microseconds that \a samples last.
    double toUs(double samples) const { return samples * m_periodUs; }
    /// Samples that \a us microseconds last.
    double toSamples(double us) const { return us / m_periodUs; }
    /// The time \a samples last, as text: "104.2 µs" below a millisecond,
    /// "9.00 ms" above.
    QString durationOfSamples(double samples) const;

private:
    const TraceBuffer *m_buffer = nullptr; // the capture's bytes, for a quick level()
    std::vector<Run> m_runs;
    double m_periodUs;
};

} // namespace wavemill::detect
