// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/qt_window_opacity.h"

#include <QGuiApplication>
#include <QWidget>

namespace wavemill::about {

namespace {

/// Full opacity on the 0 to 255 scale of the fade.
constexpr double kOpaqueAlpha = 255.0;

} // namespace

bool QtWindowOpacity::supportedOn(const QString &platformName)
{
    // Qt draws a translucent top-level window on X11, Windows and macOS;
    // Wayland, the offscreen and the minimal plug-ins ignore the setting.
    return platformName == QLatin1String("xcb") || platformName == QLatin1String("windows") ||
           platformName == QLatin1String("cocoa");
}

bool QtWindowOpacity::available() const
{
    return supportedOn(QGuiApplication::platformName());
}

void QtWindowOpacity::setAlpha(QWidget &window, int alpha)
{
    window.setWindowOpacity(alpha / kOpaqueAlpha);
    // On X11 the new opacity waits in the connection's output buffer until
    // something flushes it; a repaint does, so each step shows at once.
    window.update();
}

} // namespace wavemill::about
