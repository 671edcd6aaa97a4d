// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "about/window_opacity.h"

#include <QString>

namespace wavemill::about {

/// Window opacity through Qt, on the platforms where Qt supports it.
class QtWindowOpacity : public WindowOpacity
{
public:
    bool available() const override;
    void setAlpha(QWidget &window, int alpha) override;

    /// Whether Qt's window opacity works on the platform plug-in \a platformName.
    static bool supportedOn(const QString &platformName);
};

} // namespace wavemill::about
