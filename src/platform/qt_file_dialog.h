// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/file_dialog.h"

class QWidget;

namespace wavemill::platform {

/// The file dialogs of the windowing system.
class QtFileDialog : public FileDialog
{
public:
    explicit QtFileDialog(QWidget *parent) : m_parent(parent) {}

    void setFilter(const QString &filter) override { m_filter = filter; }
    QString Filter() const override { return m_filter; }
    QString FileName() const override { return m_fileName; }
    void setFileName(const QString &name) override { m_fileName = name; }
    bool ShowOpen() override;
    bool ShowSave() override;

    /// "Description|*.ext|..." as Qt writes it: "Description (*.ext);;...".
    static QString toQtFilter(const QString &filter);

private:
    QWidget *m_parent;
    QString m_filter;
    QString m_fileName;
};

} // namespace wavemill::platform
