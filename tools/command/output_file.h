// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "capture_file/safe_save.h"

#include <QByteArray>
#include <QString>

namespace wavemill::command {

/// A program's output file, saved safely (capture_file::SafeSave, never in
/// place): made beside the target when opened, so that a target that cannot
/// be written fails before any work, and put in place by commit(). Every
/// failure ends the program (kExitFailed) with "PATH: cannot write: why";
/// an uncommitted file is removed with the object.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);

    /// Removes what killed runs left beside the target, checks the target and
    /// makes the temporary file.
    void open();
    void write(const QByteArray &bytes);
    /// Puts the file in the target's place.
    void commit();
    void cancel() { m_file.cancel(); }
    [[noreturn]] void failWriting(const QString &why) const;

    QString path() const { return m_path; }
    /// Where the content goes until the commit, for a writer that writes by name.
    QString temporaryPath() const { return m_file.temporaryPath(); }
    capture_file::SafeSave &file() { return m_file; }

private:
    QString m_path;
    capture_file::SafeSave m_file;
};

} // namespace wavemill::command
