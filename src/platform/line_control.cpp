// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/line_control.h"

#include "platform/picture_box.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace wavemill::platform {

LineControl::LineControl(PictureBox *surface, double x1, double y1, double x2, double y2,
                         QRgb colour, int borderWidth)
    : QWidget(surface->clientArea()), m_surface(surface), m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2),
      m_colour(colour), m_borderWidth(std::max(1, borderWidth))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    place();
}

void LineControl::setX1(double x)
{
    m_x1 = x;
    place();
}
void LineControl::setY1(double y)
{
    m_y1 = y;
    place();
}
void LineControl::setX2(double x)
{
    m_x2 = x;
    place();
}
void LineControl::setY2(double y)
{
    m_y2 = y;
    place();
}

void LineControl::setBorderColor(QRgb colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void LineControl::setBorderWidth(int width)
{
    m_borderWidth = std::max(1, width);
    place();
}

void LineControl::place()
{
    const QPointF a = m_surface->unitsToClient(m_x1, m_y1);
    const QPointF b = m_surface->unitsToClient(m_x2, m_y2);
    // The thickness is centred on the line: half of it lies on either side.
    const int before = m_borderWidth / 2;
    const QRect box =
        QRect(QPoint(int(std::floor(std::min(a.x(), b.x()))) - before,
                     int(std::floor(std::min(a.y(), b.y()))) - before),
              QPoint(int(std::floor(std::max(a.x(), b.x()))) - before + m_borderWidth - 1,
                     int(std::floor(std::max(a.y(), b.y()))) - before + m_borderWidth - 1));
    setGeometry(box);
    update();
}

void LineControl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPointF a = m_surface->unitsToClient(m_x1, m_y1) - QPointF(pos());
    const QPointF b = m_surface->unitsToClient(m_x2, m_y2) - QPointF(pos());
    if (std::floor(a.x()) == std::floor(b.x()) || std::floor(a.y()) == std::floor(b.y())) {
        // Axis-aligned: the whole box is the line.
        p.fillRect(rect(), QColor(m_colour));
        return;
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(m_colour), m_borderWidth));
    p.drawLine(a, b);
}

} // namespace wavemill::platform
