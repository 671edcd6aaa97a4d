// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

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
/// "logic-1-2", ... of kChunkSamples each. libzip writes the archive into a
/// temporary file beside the target from a thread of its own, deflating each
/// chunk as its samples are handed on, and renames it into place once the last
/// one is written; memory holds only the samples not yet deflated.
class SigrokSessionStream
{
public:
    /// Samples in each chunk but the last: 84 s of the board's samples.
    static constexpr std::int64_t kChunkSamples = std::int64_t(1) << 22;

    /// A session of exactly \a samples samples of \a traces, for \a path.
    SigrokSessionStream(const QString &path, const QList<int> &traces, std::int64_t samples);
    /// An unfinished session is discarded: no file is left, nor its temporary.
    ~SigrokSessionStream();
    SigrokSessionStream(const SigrokSessionStream &) = delete;
    SigrokSessionStream &operator=(const SigrokSessionStream &) = delete;

    /// Begins the archive. False, with \a error set, when it cannot be made.
    bool open(QString *error);
    /// Hands on the next \a count samples, one byte each, bit i the level of
    /// the i-th trace. False once writing has failed: finish() says why.
    bool append(const std::uint8_t *samples, std::size_t count);
    /// Waits until every sample is written and the file is in place. False,
    /// with \a error set and nothing left behind, when writing failed or
    /// fewer samples came than announced.
    bool finish(QString *error);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace wavemill::exporting
