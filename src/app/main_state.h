#pragma once

#include "app/trace_buffers.h"

#include <cstdint>

namespace wavemill {

/// Microseconds per sample: the single-precision number nearest to 20.0736
/// (exactly 20.07360076904296875), the board's sampling period.
constexpr float kSamplePeriod = 20.0736f;

/// Zoom factor at start-up: 10 logical units (twips) per sample.
constexpr std::int16_t kInitialZoom = 10;

/// The fields the main window's handlers share. Everything not set by the
/// load step starts at zero or false.
struct MainState
{
    TraceBuffers traces;
    std::int32_t WriteIndex = 0;
    std::int16_t TickCount = 0;
    std::int32_t LastByteCount = 0;
    std::int16_t zoomFactor = 0;
    float samplePeriod = 0.0f;
    std::int32_t storedScrollValue = 0;
    bool markerToggle = false;
    float firstMarkerX = 0.0f;
    bool blinkToggle = false;
};

} // namespace wavemill
