// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

namespace wavemill::platform {

class PictureBox;

/// A line control that lives on a drawing surface: it is moved by setting its
/// end points (in the surface's units), never drawn, always shows above the
/// drawing, and the surface's Cls leaves it in place. Its thickness is
/// centred on the line and clipped to the surface's inner area.
class LineControl : public QWidget
{
    Q_OBJECT

public:
    LineControl(PictureBox *surface, double x1, double y1, double x2, double y2,
                QRgb colour = qRgb(0, 0, 0), int borderWidth = 1);

    double X1() const { return m_x1; }
    double Y1() const { return m_y1; }
    double X2() const { return m_x2; }
    double Y2() const { return m_y2; }
    QRgb BorderColor() const { return m_colour; }
    int BorderWidth() const { return m_borderWidth; }

    void setX1(double x);
    void setY1(double y);
    void setX2(double x);
    void setY2(double y);
    void setBorderColor(QRgb colour);
    /// Thickness in pixels, centred on the line.
    void setBorderWidth(int width);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    PictureBox *m_surface;
    double m_x1, m_y1, m_x2, m_y2;
    QRgb m_colour;
    int m_borderWidth;
};

} // namespace wavemill::platform
