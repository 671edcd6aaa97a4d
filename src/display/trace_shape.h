// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"
#include "platform/drawing_surface.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace wavemill::display {

/// Baselines (the low level) of traces 1, 2 and 3, in twips.
constexpr int kBaseline[kTraceCount] = {900, 2200, 3500};
/// The high level stands this far above the baseline.
constexpr int kHighLevel = 200;
/// One grid tick every 50 samples (1.00368 ms).
constexpr int kSamplesPerTick = 50;

/// A point in the view's logical units (twips), y downwards: the surface's
/// own point, so that a trace's wave goes to the surface in one call.
using ViewPoint = platform::SurfacePoint;

/// A line with both of its points.
struct ViewLine
{
    ViewPoint from;
    ViewPoint to;
    bool operator==(const ViewLine &other) const { return from == other.from && to == other.to; }
};

/// One trace across the view, worked out before anything is painted.
struct TraceShape
{
    /// The one-unit line on the baseline the trace starts with.
    ViewLine opening;
    /// Where the square wave goes from the opening's end, one point after
    /// another: one per sample, and one more at each change of level.
    std::vector<ViewPoint> wave;
    /// The light line under the trace, across the view.
    ViewLine separator;
    /// The time of the left edge, and the top-left corner it is printed at.
    QString label;
    ViewPoint labelAt;
    /// The grid ticks, every 50 samples from the left edge.
    std::vector<ViewLine> ticks;
};

/// The shape of the trace in \a buffer from byte \a Start, on baseline \a Y,
/// \a Width_per_20us units a sample across a view \a viewWidth units wide:
/// as many whole bytes as the view holds samples (rounded, halves to even)
/// and one more. A null buffer, or bytes outside it, count as low samples.
/// The label is the left edge's time from \a samplePeriod (µs a sample).
TraceShape shapeTrace(const TraceBuffer *buffer, std::int32_t Start, int Y,
                      std::int16_t Width_per_20us, float viewWidth, float samplePeriod);
/// The same into \a shape, whose storage is reused: a redraw that shapes
/// into the same TraceShape each time allocates nothing.
void shapeTrace(const TraceBuffer *buffer, std::int32_t Start, int Y, std::int16_t Width_per_20us,
                float viewWidth, float samplePeriod, TraceShape &shape);

} // namespace wavemill::display
