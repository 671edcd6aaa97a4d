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

/// The samples a capture fills: buffer elements 0 to 63,487, eight samples
/// each. A buffer's last element (63,488) is never written by a capture, so it
/// is not part of the signal and is left out of every export.
constexpr int kExportedSamples = kCaptureLength * kSamplesPerByte; // 507,904
/// One sample period, 20.0736 µs, in units of 100 ps: exact in both formats.
constexpr std::int64_t kSampleTicks = kSamplePeriodPs / 100;

/// The level of sample \a k of a trace, counted from the buffer's start.
inline bool sampleLevel(const TraceBuffer &buffer, int k)
{
    return wavemill::sampleLevel(buffer[std::size_t(k / kSamplesPerByte)], k % kSamplesPerByte);
}

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
