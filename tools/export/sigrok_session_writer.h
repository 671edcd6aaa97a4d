// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"
#include "export/output_format.h"
#include "export/output_stream.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

namespace wavemill::exporting {

/// A sigrok session file (format version 2) of \a traces (numbers 1 to 3, in
/// the order wanted): a zip holding "version", "metadata" (one device, a
/// logic channel per trace named trace1 to trace3, the sample rate in whole
/// hertz, unit size 1) and "logic-1-1" with the capture's 507,904 samples,
/// bit i of each byte the level of the i-th chosen trace. Returns an empty
/// array and sets \a error when the archive cannot be made.
QByteArray writeSigrokSession(const TraceBuffers &buffers, const QList<int> &traces,
                              QString *error);

/// A sigrok session file written as its samples arrive, for recordings too
/// long to hold: the same entries, the samples in chunks "logic-1-1",
/// "logic-1-2", ... of kChunkSamples each. libzip writes the archive into the
/// output file from a thread of its own, deflating each chunk as its samples
/// are handed on (libzip makes a file of its own beside it and renames it
/// over the output file once the last chunk is written); memory holds only
/// the samples not yet deflated.
class SigrokSessionStream : public OutputStream
{
public:
    /// Samples in each chunk but the last: 84 s of the board's samples.
    static constexpr std::int64_t kChunkSamples = std::int64_t(1) << 22;

    /// A session of exactly \a samples samples of \a traces.
    SigrokSessionStream(const QList<int> &traces, std::int64_t samples);
    /// An unfinished session is discarded, and libzip's file with it.
    ~SigrokSessionStream() override;
    SigrokSessionStream(const SigrokSessionStream &) = delete;
    SigrokSessionStream &operator=(const SigrokSessionStream &) = delete;

    /// Begins the archive in \a file.
    void begin(command::OutputFile &file) override;
    /// Hands on the next samples of each trace. False once writing has
    /// failed: end() says why.
    bool append(const std::vector<const std::uint8_t *> &traces, std::size_t count) override;
    /// Waits until every sample is written into the file. False, with
    /// \a error set, when writing failed or fewer samples came than announced.
    bool end(QString *error) override;

private:
    bool open(const QString &path, QString *error);

    struct State;
    std::unique_ptr<State> m_state;
    std::vector<std::uint8_t> m_samples; // reused for every piece
};

/// The sigrok session file's row of the table of formats.
OutputFormat sigrokSessionFormat();

} // namespace wavemill::exporting
