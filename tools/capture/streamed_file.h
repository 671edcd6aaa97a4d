// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "export/level_rows.h"
#include "export/vcd_writer.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace wavemill::exporting {
class SigrokSessionStream;
class CsvWriter;
} // namespace wavemill::exporting

namespace wavemill::capturing {

/// One trace's recording written to its file as the board's bytes arrive,
/// so that memory stays flat however long it runs: a sigrok session file, a
/// Value Change Dump or CSV, with one channel, trace1. The file is made
/// beside the target and put in its place only by commit(); until then, and
/// if commit() is never reached, the target is left as it was.
class StreamedFile
{
public:
    enum class Kind { Sigrok, Vcd, Csv };

    /// A file of \a kind for \a path that will hold exactly \a bytes of the
    /// board's bytes (eight samples each); \a header heads a dump.
    StreamedFile(Kind kind, const QString &path, std::int64_t bytes,
                 const exporting::VcdHeader &header);
    ~StreamedFile();
    StreamedFile(const StreamedFile &) = delete;
    StreamedFile &operator=(const StreamedFile &) = delete;

    /// Begins the file. Fails (kExitFailed) when it cannot be made.
    void open();
    /// Writes the next of the board's bytes. False when the write failed;
    /// commit() then fails with the reason.
    bool append(const std::uint8_t *bytes, std::size_t count);
    /// Puts the complete file in place. Fails (kExitFailed) with the reason.
    void commit();

private:
    bool write(const QByteArray &text);
    [[noreturn]] void failWriting(const QString &why) const;

    Kind m_kind;
    QString m_path;
    std::int64_t m_bytes;
    std::int64_t m_appended = 0;
    exporting::VcdHeader m_header;
    QSaveFile m_file;
    std::unique_ptr<exporting::SigrokSessionStream> m_session;
    std::optional<exporting::VcdWriter> m_vcd;
    std::unique_ptr<exporting::CsvWriter> m_csv;
    exporting::LevelScanner m_scanner{false};
    std::vector<exporting::LevelRow> m_rows; // reused for every block
    std::vector<std::uint8_t> m_samples;     // reused for every block
};

} // namespace wavemill::capturing
