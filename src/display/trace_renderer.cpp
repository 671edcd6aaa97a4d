// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/trace_renderer.h"

namespace wavemill::display {

void Draw_Square_Wave(platform::DrawingSurface &picture, const TraceBuffers &traces,
                      float samplePeriod, std::int32_t Start, int Y, std::int16_t Width_per_20us,
                      std::int16_t Channel)
{
    // Shaped into the same storage at every call: a redraw allocates nothing.
    thread_local TraceShape shape;
    shapeTrace(traces.trace(Channel), Start, Y, Width_per_20us, picture.Width(), samplePeriod,
               shape);
    // The wave from the current point, then the separator, the label and the
    // ticks, so that the tick at x = 0 is drawn over the label's left edge.
    picture.Line(shape.opening.from.x, shape.opening.from.y, shape.opening.to.x, shape.opening.to.y,
                 kTraceColour);
    picture.LinesTo(shape.wave.data(), shape.wave.size(), kTraceColour);
    picture.Line(shape.separator.from.x, shape.separator.from.y, shape.separator.to.x,
                 shape.separator.to.y, kGridColour);
    PrintWord(picture, shape.labelAt.x, std::int16_t(shape.labelAt.y), shape.label);
    for (const ViewLine &tick : shape.ticks)
        picture.Line(tick.from.x, tick.from.y, tick.to.x, tick.to.y, kGridColour);
}

void PrintWord(platform::DrawingSurface &picture, float x, std::int16_t Y, const QString &toprint)
{
    const float savedX = picture.CurrentX();
    const float savedY = picture.CurrentY();
    picture.setCurrentX(x);
    picture.setCurrentY(Y);
    picture.setForeColor(kLabelColour);
    picture.Print(toprint);
    picture.setCurrentX(savedX);
    picture.setCurrentY(savedY);
}

void DrawAllTraces(platform::DrawingSurface &picture, const SharedState &state, std::int32_t Start)
{
    for (int channel = 1; channel <= kTraceCount; ++channel)
        Draw_Square_Wave(picture, state.traces, state.samplePeriod, Start, kBaseline[channel - 1],
                         state.zoomFactor, std::int16_t(channel));
}

} // namespace wavemill::display
