// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QScrollBar>

namespace wavemill::platform {

/// A horizontal scroll bar that takes the keyboard focus and moves as the
/// keys say: the arrows by the small step, Page Up and Page Down by the large
/// step towards the start and the end. (QScrollBar inverts its controls for
/// the sake of vertical bars, which would swap left and right here.) While
/// it has the focus it draws the style's focus frame inside its edge, so
/// that Tab shows where the keys go; its size and place stay as they are.
class ScrollBarControl : public QScrollBar
{
    Q_OBJECT

public:
    explicit ScrollBarControl(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

} // namespace wavemill::platform
