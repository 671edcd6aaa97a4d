// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/session_metadata.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace wavemill::sigrok {

/// A sigrok session file (format version 1 or 2) opened for reading: its
/// sample rate, unit size and channels, and its samples streamed from its
/// chunks ("logic-1", or "logic-1-1", "logic-1-2" ...) through libzip a block
/// at a time, so that memory stays flat whatever the recording's length.
///
/// A file is refused at open() when it is not a regular file, not a zip, or
/// not a session file (no version 1 or 2, no metadata parseSessionMetadata()
/// takes), when a chunk is missing between others, is compressed other than
/// stored or deflated, or when its chunks' stated sizes are not whole
/// samples, come to none, or exceed what deflate can make of the file
/// (a zip bomb). readSamples() fails when a chunk's data is damaged or is
/// not as long as stated.
class SessionReader
{
public:
    /// Called with each block of samples in order: \a count samples of
    /// unitSize() bytes at \a data. Returning false stops the reading.
    using SampleSink = std::function<bool(const std::uint8_t *data, std::size_t count)>;

    SessionReader();
    ~SessionReader();
    SessionReader(const SessionReader &) = delete;
    SessionReader &operator=(const SessionReader &) = delete;

    /// Opens \a path and reads its metadata; false with \a why, one line
    /// that does not repeat the path.
    bool open(const QString &path, QString *why);

    int formatVersion() const { return m_version; }
    const SessionMetadata &metadata() const { return m_metadata; }
    std::uint64_t sampleRateHz() const { return m_metadata.sampleRateHz; }
    int unitSize() const { return m_metadata.unitSize; }
    const QList<SessionChannel> &channels() const { return m_metadata.channels; }
    /// The samples the chunks hold, by their stated sizes.
    std::uint64_t sampleCount() const { return m_samples; }

    /// Streams every sample from the first, in blocks of at most
    /// kBlockBytes; may be called again to read them again. True when all
    /// were read or \a sink stopped; false with \a why when a chunk failed,
    /// once the samples read before the failure are handed on.
    bool readSamples(const SampleSink &sink, QString *why) const;

    /// The most bytes handed to the sink at once.
    static constexpr std::size_t kBlockBytes = std::size_t(1) << 20;

private:
    struct Archive;
    std::unique_ptr<Archive> m_archive;
    int m_version = 0;
    SessionMetadata m_metadata;
    std::uint64_t m_samples = 0;
};

} // namespace wavemill::sigrok
