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
    int sample = 0;
    /// Bit i is the level of the i-th chosen trace.
    std::uint32_t levels = 0;
};

/// Sample 0, then every sample at which at least one of \a traces (numbers 1
/// to 3, in the order wanted) differs from the sample before; with
/// \a everySample, every sample of the capture.
std::vector<LevelRow> levelRows(const TraceBuffers &buffers, const QList<int> &traces,
                                bool everySample);

} // namespace wavemill::exporting
