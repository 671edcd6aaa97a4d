// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLabel>

namespace wavemill::platform {

/// A label placed in twips on its parent, with a transparent background.
/// An auto-sizing label keeps its left edge and grows or shrinks to its text.
class LabelControl : public QLabel
{
    Q_OBJECT

public:
    static constexpr int kTwipsPerPixel = 15;

    /// Geometry in twips relative to the parent (for a label on a drawing
    /// surface, the surface's client area).
    LabelControl(QWidget *parent, const QString &caption, int left, int top, int width, int height,
                 bool autoSize = false);

    QString Caption() const { return text(); }
    void setCaption(const QString &caption);
    /// Position in twips.
    double Left() const { return m_left; }
    double Top() const { return m_top; }
    void setLeft(double twips);
    void setTop(double twips);

    /// The text colour, kept whatever the palette or theme; a label whose
    /// colour is never set follows the theme.
    void setForeColor(QRgb colour);

    /// A clickable label takes mouse presses; others let them through to
    /// what lies beneath.
    void setClickable(bool clickable);

Q_SIGNALS:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void place();

    double m_left;
    double m_top;
    bool m_autoSize;
};

} // namespace wavemill::platform
