// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/streamed_file.h"

#include "command/command_line.h"
#include "core/samples.h"
#include "export/csv_writer.h"
#include "export/sigrok_session_writer.h"
#include "sigrok/sigrok_logic.h"

#include <QFileInfo>

namespace wavemill::capturing {

using command::fail;
using command::kExitFailed;

namespace {

/// The one trace of a recording, named trace1 as the export names trace 1.
const QList<int> kChannel{1};

} // namespace

StreamedFile::StreamedFile(Kind kind, const QString &path, std::int64_t bytes,
                           const exporting::VcdHeader &header)
    : m_kind(kind), m_path(path), m_bytes(bytes), m_header(header), m_file(path)
{
}

StreamedFile::~StreamedFile() = default;

void StreamedFile::failWriting(const QString &why) const
{
    fail(kExitFailed, QStringLiteral("%1: cannot write: %2").arg(m_path, why));
}

void StreamedFile::open()
{
    const QFileInfo target(m_path);
    if (target.exists() && !target.isFile())
        failWriting(QStringLiteral("not a regular file"));
    if (m_kind == Kind::Sigrok) {
        m_session = std::make_unique<exporting::SigrokSessionStream>(m_path, kChannel,
                                                                     m_bytes * kSamplesPerByte);
        QString why;
        if (!m_session->open(&why))
            failWriting(why);
        return;
    }
    if (!m_file.open(QIODevice::WriteOnly))
        failWriting(m_file.errorString());
    if (m_kind == Kind::Vcd) {
        m_vcd.emplace(kChannel, m_header);
        write(m_vcd->definitions());
    } else {
        m_csv = std::make_unique<exporting::CsvWriter>(kChannel);
        write(m_csv->headerLine());
    }
}

bool StreamedFile::write(const QByteArray &text)
{
    // QSaveFile keeps the first failure and refuses the commit.
    return m_file.write(text) == text.size();
}

bool StreamedFile::append(const std::uint8_t *bytes, std::size_t count)
{
    m_appended += std::int64_t(count);
    if (m_session) {
        m_samples.assign(count * kSamplesPerByte, 0);
        sigrok::spreadSamples(bytes, count, 0, m_samples.data());
        return m_session->append(m_samples.data(), m_samples.size());
    }
    m_rows.clear();
    m_scanner.scan({bytes}, count, m_rows);
    QByteArray text;
    if (m_vcd)
        m_vcd->appendRows(m_rows, text);
    else
        m_csv->appendRows(m_rows, text);
    return write(text);
}

void StreamedFile::commit()
{
    if (m_appended != m_bytes)
        failWriting(QStringLiteral("%1 of %2 bytes came").arg(m_appended).arg(m_bytes));
    const std::int64_t samples = m_bytes * kSamplesPerByte;
    if (m_session) {
        QString why;
        if (!m_session->finish(&why))
            failWriting(why);
        return;
    }
    QByteArray text;
    if (m_vcd)
        text = exporting::VcdWriter::end(samples);
    else
        m_csv->appendEnd(samples, text);
    write(text);
    if (!m_file.commit())
        failWriting(m_file.errorString());
}

} // namespace wavemill::capturing
