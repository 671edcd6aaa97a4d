// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/picture_box.h"

namespace wavemill::testing {

/// The real drawing surface drawing every line with its own QPainter call,
/// taking nothing from the line before: the reference the fast way of
/// PictureBox must match pixel for pixel.
class PlainPictureBox : public platform::PictureBox
{
public:
    using platform::PictureBox::PictureBox;

    void Line(float x1, float y1, float x2, float y2, QRgb colour) override
    {
        paintLine(x1, y1, x2, y2, colour);
        moveTo(x2, y2);
    }
    void LineTo(float x2, float y2, QRgb colour) override
    {
        paintLine(CurrentX(), CurrentY(), x2, y2, colour);
        moveTo(x2, y2);
    }
    // One QPainter call per point, as LineTo draws it.
    void LinesTo(const platform::SurfacePoint *points, std::size_t count, QRgb colour) override
    {
        DrawingSurface::LinesTo(points, count, colour);
    }

private:
    void moveTo(float x, float y)
    {
        setCurrentX(x);
        setCurrentY(y);
    }
};

} // namespace wavemill::testing
