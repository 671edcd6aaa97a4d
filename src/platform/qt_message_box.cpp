// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt_message_box.h"

#include <QMessageBox>

namespace wavemill::platform {

void QtMessageBox::show(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Wavemill"), text, QMessageBox::Ok,
                    m_parent);
    box.exec();
}

} // namespace wavemill::platform
