// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/samples.h"
#include "core/sample_period.h"
#include "core/trace_buffers.h"

#include <QList>

#include <cstdint>
#include <vector>

namespace wavemill::exporting {

/// One sample period, 20.0736 µs, in units of 100 ps: exact in both formats.
constexpr std::int64_t kSampleTicks = kSamplePeriodPs / 100;

/// The levels of the chosen traces at one sample.
struct LevelRow
{
    std::int64_t sample = 0; // a long recording passes 2^31 samples in 12 hours
    /// Bit i is the level of the i-th chosen trace.
    std::uint32_t levels = 0;
};

/// Finds the level rows of traces that come a run of bytes at a time: a
/// whole capture at once, or a recording block by block as it arrives.
class LevelScanner
{
public:
    explicit LevelScanner(bool everySample) : m_everySample(everySample) {}

    /// Scans the next \a count bytes of each trace (\a traces[i] points at
    /// those of the i-th chosen trace) and appends to \a rows: the first
    /// sample of all, then every sample at which a level differs from the
    /// sample before; with everySample, every sample.
    void scan(const std::vector<const std::uint8_t *> &traces, std::size_t count,
              std::vector<LevelRow> &rows);

    /// Samples scanned so far.
    std::int64_t samples() const { return m_samples; }

private:
    bool m_everySample;
    std::int64_t m_samples = 0;
    std::uint32_t m_current = 0; // the levels at the last sample scanned
};

/// The level rows of a whole capture of \a traces (numbers 1 to 3, in the
/// order wanted): sample 0, then every change; with \a everySample, every
/// sample of the capture.
std::vector<LevelRow> levelRows(const TraceBuffers &buffers, const QList<int> &traces,
                                bool everySample);

} // namespace wavemill::exporting
