// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/shared_state.h"
#include "core/trace_view.h"
#include "platform/drawing_surface.h"

#include <QScrollBar>

namespace wavemill::platform {
class LabelControl;
class LineControl;
} // namespace wavemill::platform

namespace wavemill::display {

constexpr QRgb kCursorColour = platform::rgb(0, 255, 0);
constexpr QRgb kMarkerColour = platform::rgb(173, 225, 255);
constexpr QRgb kArrowColour = platform::rgb(1, 117, 180);
/// The time readout stands this far below the pointer (twips).
constexpr float kCursorLabelDrop = 500;
/// Arrowhead barbs: 200 units along the shaft, 100 to either side.
constexpr float kBarbLength = 200;
constexpr float kBarbSpread = 100;

/// The waveform view: the one owner of Picture1, HScroll1 and the redraw.
/// Its handlers zoom, scroll, move the time cursor and measure intervals with
/// two clicks; the capture and the file commands ask it to redraw.
class WaveformView : public TraceView
{
public:
    struct Controls
    {
        platform::DrawingSurface *Picture1;
        QScrollBar *HScroll1;
        platform::LineControl *Line1;
        platform::LabelControl *Label3;
    };

    WaveformView(SharedState &state, Controls controls);

    void Cls() override;
    void DrawAllTraces(std::int32_t Start) override;
    void redrawFromScrollBar() override;
    void scrollToStart() override;

    void Command5_Click();  // zoom in
    void Command6_Click();  // zoom out
    void HScroll1_Change(); // scroll
    void Picture1_MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, float x, float y);
    void Picture1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y);

    /// Milliseconds from the capture's start to view position x.
    double timeAt(float x) const;
    /// Sets the scroll range for the current zoom factor.
    void updateScrollRange();

    /// Whether the next click completes a measurement, and where its first
    /// click was (the view's units).
    bool markerToggle() const { return m_markerToggle; }
    float firstMarkerX() const { return m_firstMarkerX; }

    /// Makes the view draw on \a picture (which may pass the drawing on to
    /// Picture1, to watch it).
    void setSurface(platform::DrawingSurface *picture) { m_c.Picture1 = picture; }

private:
    void redraw();

    SharedState &m_state;
    Controls m_c;
    bool m_markerToggle = false;
    float m_firstMarkerX = 0.0f;
};

} // namespace wavemill::display
