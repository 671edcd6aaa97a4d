// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt_file_dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace wavemill::platform {

QString QtFileDialog::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries.append(parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')'));
    return entries.join(QStringLiteral(";;"));
}

bool QtFileDialog::ShowOpen()
{
    const QString name =
        QFileDialog::getOpenFileName(m_parent, QString(), m_fileName, toQtFilter(m_filter));
    if (name.isEmpty())
        return false;
    m_fileName = name;
    return true;
}

bool QtFileDialog::ShowSave()
{
    const QString name =
        QFileDialog::getSaveFileName(m_parent, QString(), m_fileName, toQtFilter(m_filter));
    if (name.isEmpty())
        return false;
    m_fileName = name;
    return true;
}

} // namespace wavemill::platform
