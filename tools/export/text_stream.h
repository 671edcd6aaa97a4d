// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "export/level_rows.h"
#include "export/output_stream.h"
#include "export/text_format.h"

#include <memory>

namespace wavemill::exporting {

/// A text format streamed: each piece of the traces scanned for level rows,
/// the rows written to the file as they are found.
class TextStream : public OutputStream
{
public:
    /// \a samples samples of \a format, every change, or every sample with
    /// \a everySample.
    TextStream(std::unique_ptr<TextFormat> format, bool everySample, std::int64_t samples);

    void begin(command::OutputFile &file) override;
    bool append(const std::vector<const std::uint8_t *> &traces, std::size_t count) override;
    bool end(QString *error) override;

private:
    std::unique_ptr<TextFormat> m_format;
    LevelScanner m_scanner;
    std::int64_t m_samples;
    command::OutputFile *m_file = nullptr;
    std::vector<LevelRow> m_rows; // reused for every piece
    QByteArray m_text;            // reused for every piece
};

} // namespace wavemill::exporting
