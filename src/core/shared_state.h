#pragma once

#include "core/sample_period.h"
#include "core/trace_buffers.h"

#include <cstdint>

namespace wavemill {

/// Zoom factor at start-up: 10 logical units (twips) per sample.
constexpr std::int16_t kInitialZoom = 10;

/// The fields the main window's handlers share. Everything not set by the
/// load step starts at zero or false.
struct SharedState
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
