// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/file_dialog.h"

#include <QList>
#include <QString>

#include <optional>

namespace wavemill::testing {

/// A file dialog that answers from a script and logs every time it is shown.
/// Like the real control it keeps one file name for both kinds of dialog: a
/// confirmed choice replaces it, a cancel leaves it as it was.
class ScriptedFileDialog : public platform::FileDialog
{
public:
    enum class Kind { Open, Save };

    struct Shown
    {
        Kind kind;
        QString filter;       // the filter when the dialog opened
        QString startingName; // the name it opened with
    };

    /// The next dialog confirms \a name.
    void choose(const QString &name) { m_script.append(name); }
    /// The next dialog is cancelled.
    void cancel() { m_script.append(std::nullopt); }

    const QList<Shown> &shown() const { return m_shown; }
    /// Dialogs shown with nothing left in the script (each counts as a cancel).
    int unscripted() const { return m_unscripted; }

    void setFilter(const QString &filter) override { m_filter = filter; }
    QString Filter() const override { return m_filter; }
    QString FileName() const override { return m_fileName; }
    void setFileName(const QString &name) override { m_fileName = name; }
    bool ShowOpen() override { return show(Kind::Open); }
    bool ShowSave() override { return show(Kind::Save); }

private:
    bool show(Kind kind)
    {
        m_shown.append({kind, m_filter, m_fileName});
        if (m_script.isEmpty()) {
            ++m_unscripted;
            return false;
        }
        const std::optional<QString> answer = m_script.takeFirst();
        if (!answer)
            return false;
        m_fileName = *answer;
        return true;
    }

    QList<std::optional<QString>> m_script;
    QList<Shown> m_shown;
    int m_unscripted = 0;
    QString m_filter;
    QString m_fileName;
};

} // namespace wavemill::testing
