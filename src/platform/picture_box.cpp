// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/picture_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace wavemill::platform {

PictureBox::PictureBox(QWidget *parent, int unitsPerPixel, QRgb background, int borderPixels)
    : QWidget(parent), m_unitsPerPixel(unitsPerPixel), m_background(background),
      m_border(borderPixels), m_client(new QWidget(this))
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The client area paints nothing and takes no mouse: the surface beneath
    // shows through it and gets the pointer.
    m_client->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_client->setAttribute(Qt::WA_NoSystemBackground);
    m_client->setGeometry(m_border, m_border, 0, 0);
}

PictureBox::~PictureBox()
{
    endPainter();
}

float PictureBox::Width() const
{
    return float(width() * m_unitsPerPixel);
}

float PictureBox::Height() const
{
    return float(height() * m_unitsPerPixel);
}

float PictureBox::ScaleWidth() const
{
    return float((width() - 2 * m_border) * m_unitsPerPixel);
}

QPointF PictureBox::unitsToClient(double x, double y) const
{
    return {x / m_unitsPerPixel, y / m_unitsPerPixel};
}

void PictureBox::ensureImage()
{
    const qreal dpr = devicePixelRatioF();
    const QSize inner(std::max(1, width() - 2 * m_border), std::max(1, height() - 2 * m_border));
    // Every device pixel the inner area touches, none stretched.
    const QSize device(int(std::ceil(inner.width() * dpr)), int(std::ceil(inner.height() * dpr)));
    m_imageMadeFor = size();
    if (!m_image.isNull() && m_image.size() == device && dpr == m_dpr)
        return;
    flushRun();
    endPainter();
    QImage image(device, QImage::Format_RGB32);
    image.fill(m_background);
    if (!m_image.isNull()) {
        // Keep what was drawn: pixel for pixel after a resize, scaled when
        // the screen changed its pixel ratio.
        QPainter p(&image);
        if (dpr == m_dpr)
            p.drawImage(QPoint(0, 0), m_image);
        else
            p.drawImage(QRect(QPoint(0, 0), (QSizeF(m_image.size()) * (dpr / m_dpr)).toSize()),
                        m_image);
    }
    m_image = image;
    m_imageWidth = device.width();
    m_imageHeight = device.height();
    m_bits = nullptr;
    m_dpr = dpr;
    m_thickness = std::max(1, qRound(dpr));
    m_penKnown = false;
    markDirty(0, 0, device.width() - 1, device.height() - 1);
}

void PictureBox::resizeEvent(QResizeEvent *)
{
    m_client->setGeometry(m_border, m_border, std::max(0, width() - 2 * m_border),
                          std::max(0, height() - 2 * m_border));
    ensureImage();
}

QPainter &PictureBox::painter()
{
    if (!m_painter) {
        m_bits = nullptr;
        m_painter = std::make_unique<QPainter>(&m_image);
        m_painter->setRenderHint(QPainter::Antialiasing, false);
    }
    return *m_painter;
}

void PictureBox::endPainter()
{
    if (m_painter) {
        m_painter->end();
        m_painter.reset();
    }
}

// A one-pixel line with square caps covers both its end pixels, so an
// axis-aligned segment is exactly the pixels of its bounding box. One that
// starts where the run ended (a pixel of the run) and goes along the run's
// row or column just widens the run; a single pixel is both.
inline bool PictureBox::extendRun(int x1, int y1, int x2, int y2, QRgb colour)
{
    if (!m_run.active || x1 != m_run.penX || y1 != m_run.penY || colour != m_run.colour)
        return false;
    if (x1 == x2 && m_run.left == m_run.right) {
        m_run.top = std::min(m_run.top, y2);
        m_run.bottom = std::max(m_run.bottom, y2);
        m_run.penY = y2;
        return true;
    }
    if (y1 == y2 && m_run.top == m_run.bottom) {
        m_run.left = std::min(m_run.left, x2);
        m_run.right = std::max(m_run.right, x2);
        m_run.penX = x2;
        return true;
    }
    return false;
}

void PictureBox::Line(float x1, float y1, float x2, float y2, QRgb colour)
{
    ensureImageSize();
    drawSegment(toDevice(x1), toDevice(y1), toDevice(x2), toDevice(y2), colour);
    m_currentX = x2;
    m_currentY = y2;
}

void PictureBox::LineTo(float x2, float y2, QRgb colour)
{
    ensureImageSize();
    lineTo(x2, y2, colour);
}

void PictureBox::LinesTo(const SurfacePoint *points, std::size_t count, QRgb colour)
{
    ensureImageSize();
    for (const SurfacePoint *point = points; point != points + count; ++point)
        lineTo(point->x, point->y, colour);
}

inline void PictureBox::lineTo(float x2, float y2, QRgb colour)
{
    // The renderer draws almost everything from the current point, whose
    // device pixel is already known from the line before; and its lines are
    // level or upright, so one end coordinate is the current point's.
    if (!m_penKnown) {
        m_penX = toDevice(m_currentX);
        m_penY = toDevice(m_currentY);
    }
    const int dx2 = x2 == m_currentX ? m_penX : toDevice(x2);
    const int dy2 = y2 == m_currentY ? m_penY : toDevice(y2);
    m_currentX = x2;
    m_currentY = y2;
    if (extendRun(m_penX, m_penY, dx2, dy2, colour)) {
        m_penX = dx2;
        m_penY = dy2;
        return;
    }
    drawSegment(m_penX, m_penY, dx2, dy2, colour);
}

void PictureBox::drawSegment(int x1, int y1, int x2, int y2, QRgb colour)
{
    m_penX = x2;
    m_penY = y2;
    m_penKnown = true;
    if (extendRun(x1, y1, x2, y2, colour))
        return;
    if (x1 != x2 && y1 != y2) {
        paintSegment(x1, y1, x2, y2, colour);
        return;
    }
    flushRun();
    m_run = {true,  std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), x2, y2,
             colour};
}

void PictureBox::paintSegment(int x1, int y1, int x2, int y2, QRgb colour)
{
    flushRun();
    QPainter &p = painter();
    const int t = m_thickness;
    if (t > 1 && (x1 == x2 || y1 == y2)) {
        // Axis-aligned and thick: the rectangle of the run it would make.
        p.fillRect(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
                         QPoint(std::max(x1, x2) + t - 1, std::max(y1, y2) + t - 1)),
                   QColor(colour));
    } else {
        // The one-pixel line, widened to a block of t x t device pixels at
        // each of its pixels.
        p.setPen(QPen(QColor(colour), 1));
        for (int dy = 0; dy < t; ++dy)
            for (int dx = 0; dx < t; ++dx)
                p.drawLine(QPoint(x1 + dx, y1 + dy), QPoint(x2 + dx, y2 + dy));
    }
    markDirty(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + t - 1,
              std::max(y1, y2) + t - 1);
}

void PictureBox::fillRun()
{
    // Clip to the image; a run is as thick as a line.
    const int left = std::max(m_run.left, 0);
    const int right = std::min(m_run.right + m_thickness - 1, m_imageWidth - 1);
    const int top = std::max(m_run.top, 0);
    const int bottom = std::min(m_run.bottom + m_thickness - 1, m_imageHeight - 1);
    if (left > right || top > bottom)
        return;
    if (!m_bits) {
        m_bits = reinterpret_cast<QRgb *>(m_image.bits());
        m_stride = m_image.bytesPerLine() / qsizetype(sizeof(QRgb));
    }
    const QRgb value = m_run.colour | 0xff000000u;
    QRgb *row = m_bits + top * m_stride + left;
    const int width = right - left + 1;
    // Most runs are one device pixel wide (an edge at ratio 1): a column.
    if (width == 1) {
        for (int y = top; y <= bottom; ++y, row += m_stride)
            *row = value;
    } else {
        for (int y = top; y <= bottom; ++y, row += m_stride)
            std::fill(row, row + width, value);
    }
    markDirty(left, top, right, bottom);
}

void PictureBox::flushRun()
{
    if (!m_run.active)
        return;
    m_run.active = false;
    // Pixels written directly must land after whatever the painter drew.
    endPainter();
    fillRun();
}

void PictureBox::flush()
{
    flushRun();
    endPainter();
}

QImage PictureBox::image()
{
    ensureImage();
    flush();
    return m_image.copy();
}

void PictureBox::Cls()
{
    ensureImage();
    m_run.active = false;
    endPainter();
    m_image.fill(m_background);
    m_currentX = 0;
    m_currentY = 0;
    m_penKnown = false;
    markDirty(0, 0, m_image.width() - 1, m_image.height() - 1);
}

void PictureBox::Print(const QString &text)
{
    ensureImageSize();
    flushRun();
    QPainter &p = painter();
    QFont f = font();
    if (f.pixelSize() > 0)
        f.setPixelSize(qRound(f.pixelSize() * m_dpr));
    else
        f.setPointSizeF(f.pointSizeF() * m_dpr);
    p.setFont(f);
    p.setPen(QColor(m_foreColor));
    const QFontMetrics metrics(f, &m_image);
    const int x = toDevice(m_currentX);
    const int y = toDevice(m_currentY);
    p.drawText(QPoint(x, y + metrics.ascent()), text);
    markDirty(x, y, x + metrics.horizontalAdvance(text), y + metrics.height() - 1);
    // The current point moves to the start of the next text line.
    m_currentX = 0;
    m_currentY += float(metrics.height() * m_unitsPerPixel / m_dpr);
    m_penKnown = false;
}

void PictureBox::paintLine(float x1, float y1, float x2, float y2, QRgb colour)
{
    ensureImageSize();
    paintSegment(toDevicePlain(x1), toDevicePlain(y1), toDevicePlain(x2), toDevicePlain(y2),
                 colour);
}

void PictureBox::scheduleRepaint()
{
    m_repaintQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_repaintQueued = false;
        flush();
        if (m_dirtyLeft > m_dirtyRight || m_dirtyTop > m_dirtyBottom)
            return;
        const QRectF logical(m_dirtyLeft / m_dpr, m_dirtyTop / m_dpr,
                             (m_dirtyRight - m_dirtyLeft + 1) / m_dpr,
                             (m_dirtyBottom - m_dirtyTop + 1) / m_dpr);
        m_dirtyLeft = m_dirtyTop = std::numeric_limits<int>::max();
        m_dirtyRight = m_dirtyBottom = std::numeric_limits<int>::min();
        update(logical.toAlignedRect().translated(m_border, m_border).adjusted(-1, -1, 1, 1));
    });
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    ensureImage();
    flush();
    // Drawing the image may keep a shallow copy of it for a while.
    m_bits = nullptr;
    QPainter p(this);
    const QRect inner(m_border, m_border, width() - 2 * m_border, height() - 2 * m_border);
    if (m_border > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::Dark));
        p.drawRect(rect());
    }
    p.setClipRect(event->rect() & inner);
    // In device pixels, so that the image is copied one to one, never stretched.
    p.scale(1 / m_dpr, 1 / m_dpr);
    p.drawImage(QPointF(m_border * m_dpr, m_border * m_dpr), m_image);
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    Q_EMIT mouseMoved(event->buttons(), event->modifiers(),
                    float((pos.x() - m_border) * m_unitsPerPixel),
                    float((pos.y() - m_border) * m_unitsPerPixel));
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    Q_EMIT mousePressed(event->button(), event->modifiers(),
                      float((pos.x() - m_border) * m_unitsPerPixel),
                      float((pos.y() - m_border) * m_unitsPerPixel));
}

} // namespace wavemill::platform
