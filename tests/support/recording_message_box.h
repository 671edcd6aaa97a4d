// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/message_box.h"

#include <QStringList>

namespace wavemill::testing {

/// A message box that only remembers what it was asked to show.
class RecordingMessageBox : public platform::MessageBox
{
public:
    void show(const QString &text) override { texts.append(text); }

    QStringList texts;
};

} // namespace wavemill::testing
