// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/message_box.h"

class QWidget;

namespace wavemill::platform {

/// A modal message box titled with the program's name.
class QtMessageBox : public MessageBox
{
public:
    explicit QtMessageBox(QWidget *parent) : m_parent(parent) {}
    void show(const QString &text) override;

private:
    QWidget *m_parent;
};

} // namespace wavemill::platform
