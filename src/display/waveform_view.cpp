// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/waveform_view.h"

#include "core/numbers.h"
#include "display/trace_renderer.h"
#include "display/zoom.h"
#include "platform/label_control.h"
#include "platform/line_control.h"

#include <QSignalBlocker>

#include <cmath>

namespace wavemill::display {

WaveformView::WaveformView(SharedState &state, Controls controls) : m_state(state), m_c(controls) {}

void WaveformView::Cls()
{
    m_c.Picture1->Cls();
}

void WaveformView::DrawAllTraces(std::int32_t Start)
{
    display::DrawAllTraces(*m_c.Picture1, m_state, Start);
}

void WaveformView::redrawFromScrollBar()
{
    // The position is a 16-bit signed number, widened with its sign.
    m_state.storedScrollValue = std::int16_t(m_c.HScroll1->value());
    redraw();
}

void WaveformView::scrollToStart()
{
    // Quietly: the scroll handler would redraw, and the caller draws next.
    const QSignalBlocker quiet(m_c.HScroll1);
    m_c.HScroll1->setValue(0);
    m_state.storedScrollValue = 0;
}

void WaveformView::updateScrollRange()
{
    // A maximum below the position moves it, and the scroll handler runs now.
    m_c.HScroll1->setMaximum(scrollMaximum(m_c.Picture1->Width(), m_state.zoomFactor));
}

void WaveformView::redraw()
{
    m_c.Picture1->Cls();
    DrawAllTraces(2 * m_state.storedScrollValue);
}

void WaveformView::Command5_Click()
{
    m_state.zoomFactor = zoomedIn(m_state.zoomFactor);
    updateScrollRange();
    redraw();
}

void WaveformView::Command6_Click()
{
    m_state.zoomFactor = zoomedOut(m_state.zoomFactor);
    updateScrollRange();
    redraw();
}

void WaveformView::HScroll1_Change()
{
    redrawFromScrollBar();
}

double WaveformView::timeAt(float x) const
{
    return (double(x) / m_state.zoomFactor + 16.0 * m_state.storedScrollValue) *
           double(m_state.samplePeriod) / 1000.0;
}

void WaveformView::Picture1_MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, float x, float y)
{
    m_c.Line1->setX1(x);
    m_c.Line1->setY1(0);
    m_c.Line1->setX2(x);
    m_c.Line1->setY2(m_c.Picture1->Height());
    m_c.Line1->setBorderColor(kCursorColour);
    m_c.Label3->setLeft(x);
    m_c.Label3->setTop(y + kCursorLabelDrop);
    m_c.Label3->setCaption(timeText(timeAt(x)));
}

void WaveformView::Picture1_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, float x, float y)
{
    platform::DrawingSurface &p = *m_c.Picture1;
    const float height = p.Height();
    if (!m_markerToggle) {
        m_firstMarkerX = x;
        p.Line(x, 0, x, height, kMarkerColour);
    } else {
        const float x1 = m_firstMarkerX;
        p.Line(x, 0, x, height, kMarkerColour);
        p.Line(x1, y, x, y, kArrowColour);
        p.Line(x1, y, x1 + kBarbLength, y - kBarbSpread, kArrowColour);
        p.Line(x1, y, x1 + kBarbLength, y + kBarbSpread, kArrowColour);
        p.Line(x, y, x - kBarbLength, y + kBarbSpread, kArrowColour);
        p.Line(x, y, x - kBarbLength, y - kBarbSpread, kArrowColour);
        // Single precision throughout, as the interval has always been reckoned.
        const float interval =
            (x - x1) / float(m_state.zoomFactor) * m_state.samplePeriod / 1000.0f;
        PrintWord(p, (x1 + x) / 2.0f, saturate16(std::floor(y)), timeText(interval));
    }
    m_markerToggle = !m_markerToggle;
}

} // namespace wavemill::display
