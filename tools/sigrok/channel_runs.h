// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavemill::sigrok {

/// A stretch of samples of one channel at one level.
struct LevelRun
{
    std::int64_t start;  // first sample
    std::int64_t length; // samples
    bool high;
};

/// One channel of a stream of logic samples cut into runs of equal level,
/// as detection reads a channel, keeping at most a given number of runs so
/// that a recording of any length takes bounded memory. The samples come a
/// block at a time, as SessionReader hands them on.
class ChannelRuns
{
public:
    /// Channel \a number (1 is bit 0 of each sample) of samples \a unitSize
    /// bytes wide (1 to 8), keeping at most \a maxRuns runs (at least 1).
    ChannelRuns(int number, int unitSize, std::size_t maxRuns);

    /// Takes the next \a count samples.
    void add(const std::uint8_t *samples, std::size_t count);
    /// Whether it holds all the runs it keeps: later samples change nothing.
    bool full() const { return m_full; }

    /// The runs, back to back from sample 0: of every sample taken, or, once
    /// full, up to the change of level that would have begun one run more.
    /// Empty when no sample was taken.
    std::vector<LevelRun> finish();

private:
    void change(std::int64_t at);

    std::size_t m_byte;        // of the channel's bit within a sample
    std::uint8_t m_mask;       // the bit within that byte
    std::size_t m_unitSize;
    std::uint64_t m_wordMask;  // the channel's bit in each sample of 8 bytes
    std::size_t m_wordSamples; // samples in 8 bytes, 0 when they do not fit evenly
    std::size_t m_maxRuns;
    std::vector<LevelRun> m_runs;
    std::int64_t m_taken = 0; // samples taken so far
    std::int64_t m_start = 0; // of the run under way
    bool m_level = false;
    bool m_full = false;
};

class SessionReader;

/// Channel \a number of the session file \a reader has open, cut into at
/// most \a maxRuns runs as its samples stream; false with \a why when a
/// chunk failed.
bool readChannelRuns(const SessionReader &reader, int number, std::size_t maxRuns,
                     std::vector<LevelRun> *runs, QString *why);

} // namespace wavemill::sigrok
