// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <cstdint>

namespace wavemill {

/// What the main window's subsystems truly share, owned by the main window
/// and handed to each by reference: the three trace buffers, the zoom factor,
/// the sample period and the stored scroll value. Each subsystem keeps the
/// rest of its state itself.
struct SharedState
{
    TraceBuffers traces;
    /// Logical units of the view per sample; set by the load step.
    std::int16_t zoomFactor = 0;
    /// Microseconds per sample, as held in single precision; set by the load step.
    float samplePeriod = 0.0f;
    /// The scroll bar's position last taken over: the view starts at byte twice it.
    std::int32_t storedScrollValue = 0;
};

} // namespace wavemill
