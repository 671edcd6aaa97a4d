// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace wavemill::platform {

/// A modal message with one OK button and no icon.
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    virtual void show(const QString &text) = 0;
};

} // namespace wavemill::platform
