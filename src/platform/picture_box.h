// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/drawing_surface.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace wavemill::platform {

/// The real drawing surface: a widget with a persistent backing image, so a
/// drawing survives the window being covered, measured in logical units of
/// a fixed number per screen pixel (15 for twips, 1 for pixels).
///
/// Lines are snapped to a screen pixel once and drawn one screen pixel thick
/// at any device pixel ratio (two device pixels at ratio 2), into a backing
/// image one-to-one with the device pixels. Axis-aligned segments are written
/// straight into the backing image, and consecutive collinear segments of one
/// colour are merged into one run; anything else goes through QPainter.
/// Either way the pixels are those of painting each line on its own
/// (paintLine).
class PictureBox : public QWidget, public DrawingSurface
{
    Q_OBJECT

public:
    PictureBox(QWidget *parent, int unitsPerPixel, QRgb background, int borderPixels = 0);
    ~PictureBox() override;

    void Line(float x1, float y1, float x2, float y2, QRgb colour) override;
    void LineTo(float x2, float y2, QRgb colour) override;
    void LinesTo(const SurfacePoint *points, std::size_t count, QRgb colour) override;
    void Cls() override;
    float CurrentX() const override { return m_currentX; }
    float CurrentY() const override { return m_currentY; }
    void setCurrentX(float x) override
    {
        m_currentX = x;
        m_penKnown = false;
    }
    void setCurrentY(float y) override
    {
        m_currentY = y;
        m_penKnown = false;
    }
    void setForeColor(QRgb colour) override { m_foreColor = colour; }
    void Print(const QString &text) override;
    float Width() const override;
    float Height() const override;
    float ScaleWidth() const override;

    /// Puts everything drawn so far into the backing image.
    void flush();
    /// A copy of the backing image, everything drawn so far included.
    QImage image();

    int unitsPerPixel() const { return m_unitsPerPixel; }
    int borderPixels() const { return m_border; }
    /// The area inside the border: the parent of the line and label controls
    /// that lie on the surface, so that none of them can cover the border.
    QWidget *clientArea() const { return m_client; }
    /// Client-area coordinates, in pixels, of a point given in the surface's units.
    QPointF unitsToClient(double x, double y) const;

Q_SIGNALS:
    /// Pointer position in the surface's units.
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, float x, float y);
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);

protected:
    /// Paints one line with its own QPainter call, the straightforward way,
    /// taking nothing from the lines before; the current point is not moved.
    void paintLine(float x1, float y1, float x2, float y2, QRgb colour);

    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Pixels of consecutive collinear segments of one colour, not yet
    // written: one row or one column, bounds inclusive.
    struct Run
    {
        bool active = false;
        int left = 0, top = 0, right = 0, bottom = 0;
        int penX = 0, penY = 0; // where the last segment ended
        QRgb colour = 0;
    };

    // A point lies in the screen pixel that contains it (150 twips is exactly
    // pixel 10), whose first device pixel it takes, so that a picture at ratio
    // 2 is the picture at ratio 1 scaled. Far outside any image, and NaN, pin
    // to a bound that still converts.
    static constexpr double kFar = 1.0e6;
    static double pinned(double pixel)
    {
        if (!(pixel > -kFar))
            return -kFar;
        return pixel > kFar ? kFar : pixel;
    }
    // floor() for values pinned within kFar, by truncation: without SSE4.1,
    // std::floor is a chain of a dozen dependent instructions, and a redraw
    // converts a coordinate for each of its 30,000 lines.
    static int floorToInt(double value)
    {
        const int truncated = int(value);
        return truncated > value ? truncated - 1 : truncated;
    }
    int toDevice(float units) const
    {
        const int pixel = floorToInt(pinned(double(units) / m_unitsPerPixel));
        return floorToInt(pixel * m_dpr);
    }
    // The same conversion in its plain form, for the reference drawing
    // (paintLine), so that comparing the two ways checks this one too.
    int toDevicePlain(float units) const
    {
        return int(std::floor(pinned(std::floor(double(units) / m_unitsPerPixel)) * m_dpr));
    }
    bool extendRun(int x1, int y1, int x2, int y2, QRgb colour);
    void lineTo(float x2, float y2, QRgb colour);
    void drawSegment(int x1, int y1, int x2, int y2, QRgb colour);
    void paintSegment(int x1, int y1, int x2, int y2, QRgb colour);
    void fillRun();
    void flushRun();
    QPainter &painter();
    void endPainter();
    // Makes the backing image match the widget's size and pixel ratio.
    void ensureImage();
    // Only the size: cheap enough for every line.
    void ensureImageSize()
    {
        if (Q_UNLIKELY(size() != m_imageMadeFor))
            ensureImage();
    }
    void markDirty(int left, int top, int right, int bottom)
    {
        m_dirtyLeft = std::min(m_dirtyLeft, left);
        m_dirtyTop = std::min(m_dirtyTop, top);
        m_dirtyRight = std::max(m_dirtyRight, right);
        m_dirtyBottom = std::max(m_dirtyBottom, bottom);
        if (!m_repaintQueued)
            scheduleRepaint();
    }
    void scheduleRepaint();

    const int m_unitsPerPixel;
    const QRgb m_background;
    const int m_border;
    QWidget *m_client;
    qreal m_dpr = 1.0;
    // Device pixels across a line: one screen pixel, at least one.
    int m_thickness = 1;
    QImage m_image;
    QSize m_imageMadeFor; // widget size the backing image was made for
    // The image's pixels, fetched once and dropped whenever the image could
    // be shared or replaced; writing through a stale pointer would miss it.
    QRgb *m_bits = nullptr;
    int m_imageWidth = 0; // in device pixels, as m_image
    int m_imageHeight = 0;
    qsizetype m_stride = 0; // in pixels
    std::unique_ptr<QPainter> m_painter;
    Run m_run;
    float m_currentX = 0;
    float m_currentY = 0;
    // The current point in device pixels, valid while m_penKnown.
    bool m_penKnown = false;
    int m_penX = 0;
    int m_penY = 0;
    QRgb m_foreColor = qRgb(0, 0, 0);
    // Device pixels drawn since the last repaint, bounds inclusive.
    int m_dirtyLeft = std::numeric_limits<int>::max();
    int m_dirtyTop = std::numeric_limits<int>::max();
    int m_dirtyRight = std::numeric_limits<int>::min();
    int m_dirtyBottom = std::numeric_limits<int>::min();
    bool m_repaintQueued = false;
};

} // namespace wavemill::platform
