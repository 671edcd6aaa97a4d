// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRgb>
#include <QString>

#include <cstddef>

namespace wavemill::platform {

/// A colour as (red, green, blue), components 0 to 255.
constexpr QRgb rgb(int red, int green, int blue)
{
    return qRgb(red, green, blue);
}

/// A point in a drawing surface's own units.
struct SurfacePoint
{
    float x = 0;
    float y = 0;
    bool operator==(const SurfacePoint &other) const { return x == other.x && y == other.y; }
};

/// What the waveform logic needs of a drawing surface. Coordinates are in the
/// surface's own logical units, origin top-left, y downwards.
class DrawingSurface
{
public:
    virtual ~DrawingSurface() = default;

    /// One-pixel solid segment from (x1, y1) to (x2, y2); the current point
    /// becomes (x2, y2).
    virtual void Line(float x1, float y1, float x2, float y2, QRgb colour) = 0;
    /// Segment from the current point to (x2, y2); the current point follows.
    virtual void LineTo(float x2, float y2, QRgb colour) = 0;
    /// LineTo each of \a count points in turn. A surface may draw them in
    /// one go; the pixels and the current point are those of the LineTo calls.
    virtual void LinesTo(const SurfacePoint *points, std::size_t count, QRgb colour)
    {
        for (std::size_t i = 0; i < count; ++i)
            LineTo(points[i].x, points[i].y, colour);
    }
    /// Erases all drawing to the background colour; the current point is (0, 0).
    virtual void Cls() = 0;

    virtual float CurrentX() const = 0;
    virtual float CurrentY() const = 0;
    virtual void setCurrentX(float x) = 0;
    virtual void setCurrentY(float y) = 0;

    /// Colour of later text.
    virtual void setForeColor(QRgb colour) = 0;
    /// Draws the text with its top-left corner at the current point, in the
    /// text colour; the current point moves to the start of the next line.
    virtual void Print(const QString &text) = 0;

    /// Outer size, in the surface's own units.
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    /// Inner width, in the surface's own units.
    virtual float ScaleWidth() const = 0;
};

} // namespace wavemill::platform
