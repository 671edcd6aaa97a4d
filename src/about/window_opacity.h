// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QWidget;

namespace wavemill::about {

/// Per-window opacity, used only by the About window's fade-in.
class WindowOpacity
{
public:
    virtual ~WindowOpacity() = default;

    /// Whether the windowing system can draw a whole window translucent;
    /// asked afresh at every load of the About window.
    virtual bool available() const = 0;
    /// Draws the whole \a window with \a alpha, 0 (transparent) to 255 (opaque).
    virtual void setAlpha(QWidget &window, int alpha) = 0;
};

} // namespace wavemill::about
