// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

namespace wavemill {

/// What the capture and the file commands ask of the waveform view, which
/// alone owns the view's surface and scroll bar and draws the traces.
class TraceView
{
public:
    virtual ~TraceView() = default;

    /// Erases everything drawn on the view.
    virtual void Cls() = 0;
    /// Draws the three traces from byte Start at the current zoom factor,
    /// over what the view shows.
    virtual void DrawAllTraces(std::int32_t Start) = 0;
    /// The scroll step: erases the view, takes the scroll bar's position as
    /// the stored scroll value and draws the traces from twice it.
    virtual void redrawFromScrollBar() = 0;
    /// Puts the scroll bar and the stored scroll value back to the start,
    /// drawing nothing: a capture's end draws from the start of the buffers,
    /// and the times shown must agree with it.
    virtual void scrollToStart() = 0;
};

} // namespace wavemill
