// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "about/window_opacity.h"

#include <QList>

/// Window opacity that says yes or no as told and records every alpha set.
class RecordingOpacity : public wavemill::about::WindowOpacity
{
public:
    explicit RecordingOpacity(bool translucent = true) : translucent(translucent) {}

    bool available() const override { return translucent; }
    void setAlpha(QWidget &, int alpha) override { alphas.append(alpha); }

    bool translucent;
    QList<int> alphas;
};
