// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/shared_state.h"
#include "display/trace_shape.h"
#include "platform/drawing_surface.h"

#include <cstdint>

namespace wavemill::display {

constexpr QRgb kTraceColour = platform::rgb(0, 0, 255);
constexpr QRgb kGridColour = platform::rgb(200, 200, 255);
constexpr QRgb kLabelColour = platform::rgb(255, 96, 96);

/// Draws one trace from byte Start of the buffer chosen by Channel, as
/// shapeTrace works it out: the opening line, one line per sample from the
/// current point and two per level change, then the separator, the left-edge
/// time label and the grid ticks. A Channel other than 1, 2 or 3 draws a flat
/// low trace.
void Draw_Square_Wave(platform::DrawingSurface &picture, const TraceBuffers &traces,
                      float samplePeriod, std::int32_t Start, int Y, std::int16_t Width_per_20us,
                      std::int16_t Channel);

/// Prints a text with its top-left corner at (x, Y) in the label colour,
/// leaving the current point where it was.
void PrintWord(platform::DrawingSurface &picture, float x, std::int16_t Y, const QString &toprint);

/// The three traces from byte Start at the current zoom factor.
void DrawAllTraces(platform::DrawingSurface &picture, const SharedState &state, std::int32_t Start);

} // namespace wavemill::display
