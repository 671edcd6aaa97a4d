// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/samples.h"

#include <array>
#include <cstdint>

namespace wavemill {

/// A capture is 62 blocks of 1,024 bytes from the board.
constexpr int kBlockSize = 1024;
constexpr int kCaptureBlocks = 62;
constexpr int kCaptureLength = kBlockSize * kCaptureBlocks; // 63,488 bytes

/// Each buffer holds one element more than a capture fills (index 63,488);
/// it is kept in capture files but never written by a capture.
constexpr int kTraceBufferSize = kCaptureLength + 1; // 63,489
constexpr int kTraceCount = 3;

using TraceBuffer = std::array<std::uint8_t, kTraceBufferSize>;

/// The samples a capture fills: buffer elements 0 to 63,487, eight samples
/// each. The buffers' last element is not part of the signal.
constexpr int kCaptureSamples = kCaptureLength * kSamplesPerByte; // 507,904

/// The level of sample \a index of a trace (0 to kCaptureSamples - 1),
/// counted from the buffer's start.
inline bool sampleLevel(const TraceBuffer &buffer, int index)
{
    return sampleLevel(buffer[std::size_t(index / kSamplesPerByte)], index % kSamplesPerByte);
}

/// Trace buffers 1, 2 and 3. Each byte holds eight samples, the earliest in
/// bit 7, a 1 bit meaning a high level.
struct TraceBuffers
{
    std::array<TraceBuffer, kTraceCount> buffers{};

    /// The buffer of trace 1, 2 or 3; nullptr for any other number.
    TraceBuffer *trace(int channel)
    {
        return (channel >= 1 && channel <= kTraceCount) ? &buffers[channel - 1] : nullptr;
    }
    const TraceBuffer *trace(int channel) const
    {
        return (channel >= 1 && channel <= kTraceCount) ? &buffers[channel - 1] : nullptr;
    }
};

} // namespace wavemill
