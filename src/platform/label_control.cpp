// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/label_control.h"

#include <QMouseEvent>
#include <QPalette>

#include <cmath>

namespace wavemill::platform {

LabelControl::LabelControl(QWidget *parent, const QString &caption, int left, int top, int width,
                           int height, bool autoSize)
    : QLabel(caption, parent), m_left(left), m_top(top), m_autoSize(autoSize)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    resize(int(std::lround(width / double(kTwipsPerPixel))),
           int(std::lround(height / double(kTwipsPerPixel))));
    place();
    if (m_autoSize)
        adjustSize();
}

void LabelControl::setCaption(const QString &caption)
{
    setText(caption);
    if (m_autoSize)
        adjustSize();
}

void LabelControl::setForeColor(QRgb colour)
{
    // Only this role is set, so it wins over every later palette change.
    QPalette own = palette();
    own.setColor(QPalette::WindowText, QColor::fromRgb(colour));
    setPalette(own);
}

void LabelControl::setLeft(double twips)
{
    m_left = twips;
    place();
}

void LabelControl::setTop(double twips)
{
    m_top = twips;
    place();
}

void LabelControl::setClickable(bool clickable)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, !clickable);
    setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void LabelControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (rect().contains(event->position().toPoint()))
        Q_EMIT Click();
    QLabel::mouseReleaseEvent(event);
}

void LabelControl::place()
{
    move(int(std::floor(m_left / kTwipsPerPixel)), int(std::floor(m_top / kTwipsPerPixel)));
}

} // namespace wavemill::platform
