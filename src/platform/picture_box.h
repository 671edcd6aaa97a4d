#pragma once

#include "platform/drawing_surface.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <memory>

namespace wavemill::platform {

/// The real drawing surface: a widget with a persistent backing image, so a
/// drawing survives the window being covered, measured in logical units of
/// a fixed number per screen pixel (15 for twips, 1 for pixels).
///
/// Lines are snapped to device pixels once. Axis-aligned segments are written
/// straight into the backing image, and consecutive collinear segments of one
/// colour are merged into one run; anything else goes through QPainter. The
/// plain mode draws every line with its own QPainter call instead; both give
/// the same pixels.
class PictureBox : public QWidget, public DrawingSurface
{
    Q_OBJECT

public:
    PictureBox(QWidget *parent, int unitsPerPixel, QRgb background, int borderPixels = 0);
    ~PictureBox() override;

    void Line(float x1, float y1, float x2, float y2, QRgb colour) override;
    void LineTo(float x2, float y2, QRgb colour) override;
    void Cls() override;
    float CurrentX() const override { return m_currentX; }
    float CurrentY() const override { return m_currentY; }
    void setCurrentX(float x) override { m_currentX = x; }
    void setCurrentY(float y) override { m_currentY = y; }
    void setForeColor(QRgb colour) override { m_foreColor = colour; }
    void Print(const QString &text) override;
    float Width() const override;
    float Height() const override;
    float ScaleWidth() const override;

    /// One QPainter call per line, the straightforward way (for comparison).
    void setPlainPainting(bool plain);
    bool plainPainting() const { return m_plain; }

    /// Puts everything drawn so far into the backing image.
    void flush();
    /// A copy of the backing image, everything drawn so far included.
    QImage image();

    int unitsPerPixel() const { return m_unitsPerPixel; }
    int borderPixels() const { return m_border; }
    /// Widget coordinates of a point given in the surface's units.
    QPointF unitsToWidget(double x, double y) const;

signals:
    /// Pointer position in the surface's units.
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, float x, float y);
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Pixels of consecutive collinear segments of one colour, not yet written.
    struct Run
    {
        bool active = false;
        QRect pixels;     // one row or one column of device pixels
        QPoint pen;       // where the last segment ended
        QRgb colour = 0;
    };

    int toDevice(double units) const;
    void drawSegment(float x1, float y1, float x2, float y2, QRgb colour);
    void fillRun(const Run &run);
    void flushRun();
    QPainter &painter();
    void endPainter();
    void ensureImage();
    void markDirty(const QRect &deviceRect);

    const int m_unitsPerPixel;
    const QRgb m_background;
    const int m_border;
    double m_scale = 1.0; // device pixels per unit
    qreal m_dpr = 1.0;
    QImage m_image;
    std::unique_ptr<QPainter> m_painter;
    Run m_run;
    bool m_plain = false;
    float m_currentX = 0;
    float m_currentY = 0;
    QRgb m_foreColor = qRgb(0, 0, 0);
    QRect m_dirty;
    bool m_repaintQueued = false;
};

} // namespace wavemill::platform
