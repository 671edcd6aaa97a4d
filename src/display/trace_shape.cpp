// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/trace_shape.h"

#include "core/numbers.h"
#include "core/samples.h"

namespace wavemill::display {

TraceShape shapeTrace(const TraceBuffer *buffer, std::int32_t Start, int Y,
                      std::int16_t Width_per_20us, float viewWidth, float samplePeriod)
{
    TraceShape shape;
    shapeTrace(buffer, Start, Y, Width_per_20us, viewWidth, samplePeriod, shape);
    return shape;
}

void shapeTrace(const TraceBuffer *buffer, std::int32_t Start, int Y, std::int16_t Width_per_20us,
                float viewWidth, float samplePeriod, TraceShape &shape)
{
    const float W = Width_per_20us;
    const float low = float(Y);
    const float high = float(Y - kHighLevel);

    // The trace starts on the low level, one unit in.
    shape.opening = {{0, low}, {1, low}};

    // The samples that fit across the view, and whole bytes to cover them.
    const std::int16_t n = saturate16(roundHalfEven(double(viewWidth) / Width_per_20us));
    const int bytes = n / kSamplesPerByte + 1;
    // At most two points a sample: an edge and the sample's level. Written
    // through a pointer into room made first; the unused end is cut off.
    shape.wave.resize(std::size_t(bytes) * kSamplesPerByte * 2);
    ViewPoint *point = shape.wave.data();
    bool previous = false;
    float sampleStart = 0;
    for (int i = 0; i < bytes; ++i) {
        const std::int64_t index = std::int64_t(Start) + i;
        const std::uint8_t b =
            (buffer && index >= 0 && index < kTraceBufferSize) ? (*buffer)[std::size_t(index)] : 0;
        for (int k = 0; k < kSamplesPerByte; ++k) {
            const bool level = sampleLevel(b, k);
            const float y = level ? high : low;
            if (level != previous) // an edge where the sample begins
                *point++ = {sampleStart, y};
            const float sampleEnd = float(kSamplesPerByte * i + k + 1) * W;
            *point++ = {sampleEnd, y};
            sampleStart = sampleEnd;
            previous = level;
        }
    }
    shape.wave.resize(std::size_t(point - shape.wave.data()));

    shape.separator = {{0, float(Y + 200)}, {viewWidth, float(Y + 200)}};

    const double leftEdge = double(samplePeriod) * double(Start) * kSamplesPerByte / 1000.0;
    shape.label = timeText(leftEdge);
    shape.labelAt = {0, float(Y + 20)};

    shape.ticks.clear();
    shape.ticks.reserve(std::size_t(n / kSamplesPerTick) + 1);
    for (int m = 0; m <= n / kSamplesPerTick; ++m) {
        const float x = float(kSamplesPerTick * m) * W;
        shape.ticks.push_back({{x, float(Y + 100)}, {x, float(Y + 200)}});
    }
}

} // namespace wavemill::display
