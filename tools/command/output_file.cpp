// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "command/output_file.h"

#include "command/command_line.h"

namespace wavemill::command {

OutputFile::OutputFile(const QString &path) : m_path(path), m_file(path) {}

void OutputFile::failWriting(const QString &why) const
{
    fail(kExitFailed, QStringLiteral("%1: cannot write: %2").arg(m_path, why));
}

void OutputFile::open()
{
    capture_file::SafeSave::removeLeftovers(m_path);
    if (!m_file.open())
        failWriting(m_file.errorString());
}

void OutputFile::write(const QByteArray &bytes)
{
    if (!m_file.write(bytes)) {
        const QString why = m_file.errorString();
        m_file.cancel();
        failWriting(why);
    }
}

void OutputFile::commit()
{
    if (!m_file.commit())
        failWriting(m_file.errorString());
}

} // namespace wavemill::command
