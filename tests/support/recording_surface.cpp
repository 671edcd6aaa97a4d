// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/recording_surface.h"

namespace wavemill::testing {

namespace {

RecordingSurface::Op op(RecordingSurface::Kind kind, float x1 = 0, float y1 = 0, float x2 = 0,
                        float y2 = 0, QRgb colour = 0, const QString &text = QString(),
                        bool fromCurrent = false)
{
    RecordingSurface::Op o;
    o.kind = kind;
    o.x1 = x1;
    o.y1 = y1;
    o.x2 = x2;
    o.y2 = y2;
    o.colour = colour;
    o.text = text;
    o.fromCurrent = fromCurrent;
    return o;
}

} // namespace

RecordingSurface::RecordingSurface(float width, float height, float scaleWidth)
    : m_width(width), m_height(height), m_scaleWidth(scaleWidth)
{
}

RecordingSurface::RecordingSurface(platform::DrawingSurface *inner)
    : m_inner(inner), m_width(inner->Width()), m_height(inner->Height()),
      m_scaleWidth(inner->ScaleWidth())
{
}

void RecordingSurface::Line(float x1, float y1, float x2, float y2, QRgb colour)
{
    m_ops.append(op(Kind::Line, x1, y1, x2, y2, colour));
    m_x = x2;
    m_y = y2;
    if (m_inner)
        m_inner->Line(x1, y1, x2, y2, colour);
}

void RecordingSurface::LineTo(float x2, float y2, QRgb colour)
{
    m_ops.append(op(Kind::Line, CurrentX(), CurrentY(), x2, y2, colour, QString(), true));
    m_x = x2;
    m_y = y2;
    if (m_inner)
        m_inner->LineTo(x2, y2, colour);
}

void RecordingSurface::Cls()
{
    m_ops.append(op(Kind::Cls));
    m_x = m_y = 0;
    if (m_inner)
        m_inner->Cls();
}

float RecordingSurface::CurrentX() const
{
    return m_inner ? m_inner->CurrentX() : m_x;
}

float RecordingSurface::CurrentY() const
{
    return m_inner ? m_inner->CurrentY() : m_y;
}

void RecordingSurface::setCurrentX(float x)
{
    m_x = x;
    if (m_inner)
        m_inner->setCurrentX(x);
    m_ops.append(op(Kind::MoveTo, CurrentX(), CurrentY()));
}

void RecordingSurface::setCurrentY(float y)
{
    m_y = y;
    if (m_inner)
        m_inner->setCurrentY(y);
    m_ops.append(op(Kind::MoveTo, CurrentX(), CurrentY()));
}

void RecordingSurface::setForeColor(QRgb colour)
{
    m_foreColor = colour;
    m_ops.append(op(Kind::ForeColor, 0, 0, 0, 0, colour));
    if (m_inner)
        m_inner->setForeColor(colour);
}

void RecordingSurface::Print(const QString &text)
{
    m_ops.append(op(Kind::Print, CurrentX(), CurrentY(), 0, 0, m_foreColor, text));
    m_x = 0;
    m_y += kTextLineHeight;
    if (m_inner)
        m_inner->Print(text);
}

float RecordingSurface::Width() const
{
    return m_inner ? m_inner->Width() : m_width;
}

float RecordingSurface::Height() const
{
    return m_inner ? m_inner->Height() : m_height;
}

float RecordingSurface::ScaleWidth() const
{
    return m_inner ? m_inner->ScaleWidth() : m_scaleWidth;
}

QList<RecordingSurface::Op> RecordingSurface::lines() const
{
    QList<Op> result;
    for (const Op &op : m_ops)
        if (op.kind == Kind::Line)
            result.append(op);
    return result;
}

QList<RecordingSurface::Op> RecordingSurface::prints() const
{
    QList<Op> result;
    for (const Op &op : m_ops)
        if (op.kind == Kind::Print)
            result.append(op);
    return result;
}

int RecordingSurface::clsCount() const
{
    int count = 0;
    for (const Op &op : m_ops)
        count += op.kind == Kind::Cls;
    return count;
}

} // namespace wavemill::testing
