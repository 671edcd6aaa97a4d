// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/text_stream.h"

#include "command/output_file.h"
#include "core/samples.h"

namespace wavemill::exporting {

TextStream::TextStream(std::unique_ptr<TextFormat> format, bool everySample, std::int64_t samples)
    : m_format(std::move(format)), m_scanner(everySample), m_samples(samples)
{
}

void TextStream::begin(command::OutputFile &file)
{
    m_file = &file;
    file.write(m_format->head());
}

bool TextStream::append(const std::vector<const std::uint8_t *> &traces, std::size_t count)
{
    m_rows.clear();
    m_scanner.scan(traces, count, m_rows);
    m_text.clear();
    m_format->appendRows(m_rows, m_text);
    // The safe save keeps the first failure and refuses the commit.
    return m_file->file().write(m_text);
}

bool TextStream::end(QString *error)
{
    capture_file::SafeSave &file = m_file->file();
    if (!file.failed() && m_scanner.samples() != m_samples) {
        *error = QStringLiteral("%1 of %2 samples came").arg(m_scanner.samples()).arg(m_samples);
        return false;
    }
    m_text.clear();
    m_format->appendEnd(m_samples, m_text);
    if (!file.write(m_text)) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace wavemill::exporting
