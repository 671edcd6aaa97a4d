#include "platform/picture_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace wavemill::platform {

PictureBox::PictureBox(QWidget *parent, int unitsPerPixel, QRgb background, int borderPixels)
    : QWidget(parent), m_unitsPerPixel(unitsPerPixel), m_background(background),
      m_border(borderPixels)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
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

QPointF PictureBox::unitsToWidget(double x, double y) const
{
    return {m_border + x / m_unitsPerPixel, m_border + y / m_unitsPerPixel};
}

int PictureBox::toDevice(double units) const
{
    // A point lies in the device pixel that contains it.
    const double device = std::floor(units * m_scale);
    return int(std::clamp(device, -1.0e6, 1.0e6));
}

void PictureBox::ensureImage()
{
    const qreal dpr = devicePixelRatioF();
    const QSize inner(std::max(1, width() - 2 * m_border), std::max(1, height() - 2 * m_border));
    const QSize device = (QSizeF(inner) * dpr).toSize();
    if (!m_image.isNull() && m_image.size() == device)
        return;
    endPainter();
    QImage image(device, QImage::Format_RGB32);
    image.fill(m_background);
    if (!m_image.isNull()) {
        // The screen changed its pixel ratio: keep what was drawn.
        QPainter p(&image);
        p.drawImage(QRect(QPoint(0, 0), device), m_image);
    }
    m_image = image;
    m_dpr = dpr;
    m_scale = dpr / m_unitsPerPixel;
    m_run.active = false;
}

void PictureBox::resizeEvent(QResizeEvent *)
{
    ensureImage();
}

QPainter &PictureBox::painter()
{
    if (!m_painter) {
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

void PictureBox::Line(float x1, float y1, float x2, float y2, QRgb colour)
{
    drawSegment(x1, y1, x2, y2, colour);
}

void PictureBox::LineTo(float x2, float y2, QRgb colour)
{
    drawSegment(m_currentX, m_currentY, x2, y2, colour);
}

void PictureBox::drawSegment(float x1, float y1, float x2, float y2, QRgb colour)
{
    m_currentX = x2;
    m_currentY = y2;
    ensureImage();
    const int dx1 = toDevice(x1), dy1 = toDevice(y1);
    const int dx2 = toDevice(x2), dy2 = toDevice(y2);

    if (m_plain) {
        QPainter &p = painter();
        p.setPen(QPen(QColor(colour), 1));
        p.drawLine(QPoint(dx1, dy1), QPoint(dx2, dy2));
        markDirty(QRect(QPoint(dx1, dy1), QPoint(dx2, dy2)).normalized());
        return;
    }

    if (dx1 != dx2 && dy1 != dy2) {
        flushRun();
        QPainter &p = painter();
        p.setPen(QPen(QColor(colour), 1));
        p.drawLine(QPoint(dx1, dy1), QPoint(dx2, dy2));
        markDirty(QRect(QPoint(dx1, dy1), QPoint(dx2, dy2)).normalized());
        return;
    }

    const QRect segment = QRect(QPoint(dx1, dy1), QPoint(dx2, dy2)).normalized();
    if (m_run.active && m_run.colour == colour && m_run.pen == QPoint(dx1, dy1)) {
        const QRect merged = m_run.pixels | segment;
        if (merged.width() == 1 || merged.height() == 1) {
            m_run.pixels = merged;
            m_run.pen = QPoint(dx2, dy2);
            return;
        }
    }
    flushRun();
    m_run = {true, segment, QPoint(dx2, dy2), colour};
}

void PictureBox::fillRun(const Run &run)
{
    const QRect pixels = run.pixels & m_image.rect();
    if (pixels.isEmpty())
        return;
    const auto stride = m_image.bytesPerLine() / int(sizeof(QRgb));
    QRgb *row = reinterpret_cast<QRgb *>(m_image.bits()) + pixels.top() * stride;
    const QRgb value = run.colour | 0xff000000u;
    if (pixels.height() == 1) {
        std::fill(row + pixels.left(), row + pixels.right() + 1, value);
    } else {
        QRgb *pixel = row + pixels.left();
        for (int y = pixels.top(); y <= pixels.bottom(); ++y, pixel += stride)
            *pixel = value;
    }
    markDirty(pixels);
}

void PictureBox::flushRun()
{
    if (!m_run.active)
        return;
    // Pixels written directly must land after whatever the painter drew.
    endPainter();
    fillRun(m_run);
    m_run.active = false;
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
    markDirty(m_image.rect());
}

void PictureBox::Print(const QString &text)
{
    ensureImage();
    flushRun();
    QPainter &p = painter();
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * m_dpr);
    p.setFont(f);
    p.setPen(QColor(m_foreColor));
    const QFontMetrics metrics(f, &m_image);
    const int x = toDevice(m_currentX);
    const int y = toDevice(m_currentY);
    p.drawText(QPoint(x, y + metrics.ascent()), text);
    markDirty(QRect(x, y, metrics.horizontalAdvance(text) + 1, metrics.height()));
    // The current point moves to the start of the next text line.
    m_currentX = 0;
    m_currentY += float(metrics.height() / m_scale);
}

void PictureBox::setPlainPainting(bool plain)
{
    flush();
    m_plain = plain;
}

void PictureBox::markDirty(const QRect &deviceRect)
{
    m_dirty |= deviceRect;
    if (m_repaintQueued)
        return;
    m_repaintQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_repaintQueued = false;
        flush();
        const QRectF logical(m_dirty.x() / m_dpr, m_dirty.y() / m_dpr,
                             (m_dirty.width() + 1) / m_dpr, (m_dirty.height() + 1) / m_dpr);
        m_dirty = QRect();
        update(logical.toAlignedRect().translated(m_border, m_border).adjusted(-1, -1, 1, 1));
    });
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    ensureImage();
    flush();
    QPainter p(this);
    const QRect inner(m_border, m_border, width() - 2 * m_border, height() - 2 * m_border);
    if (m_border > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::Dark));
        p.drawRect(rect());
    }
    p.setClipRect(event->rect() & inner);
    p.drawImage(inner, m_image);
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    emit mouseMoved(event->buttons(), event->modifiers(),
                    float((pos.x() - m_border) * m_unitsPerPixel),
                    float((pos.y() - m_border) * m_unitsPerPixel));
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    emit mousePressed(event->button(), event->modifiers(),
                      float((pos.x() - m_border) * m_unitsPerPixel),
                      float((pos.y() - m_border) * m_unitsPerPixel));
}

} // namespace wavemill::platform
