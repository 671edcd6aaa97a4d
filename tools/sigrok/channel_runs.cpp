// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sigrok/channel_runs.h"

#include "sigrok/session_reader.h"

#include <algorithm>
#include <cstring>

namespace wavemill::sigrok {

namespace {

constexpr std::size_t kWordBytes = sizeof(std::uint64_t);

} // namespace

ChannelRuns::ChannelRuns(int number, int unitSize, std::size_t maxRuns)
    : m_byte(std::size_t(number - 1) / 8), m_mask(std::uint8_t(1u << ((number - 1) % 8))),
      m_unitSize(std::size_t(unitSize)), m_wordMask(0),
      m_wordSamples(kWordBytes % std::size_t(unitSize) == 0 ? kWordBytes / std::size_t(unitSize)
                                                            : 0),
      m_maxRuns(std::max<std::size_t>(maxRuns, 1))
{
    // Samples are little-endian in memory: byte k of a word is bits 8k to 8k + 7.
    for (std::size_t s = 0; s < m_wordSamples; ++s)
        m_wordMask |= std::uint64_t(m_mask) << (8 * (s * m_unitSize + m_byte));
}

void ChannelRuns::change(std::int64_t at)
{
    if (m_runs.size() == m_maxRuns) {
        m_full = true;
        return;
    }
    m_runs.push_back({m_start, at - m_start, m_level});
    m_start = at;
    m_level = !m_level;
}

void ChannelRuns::add(const std::uint8_t *samples, std::size_t count)
{
    if (m_full || count == 0)
        return;
    std::size_t i = 0;
    if (m_taken == 0)
        m_level = (samples[m_byte] & m_mask) != 0;
    while (i < count) {
        // Whole words of samples at the level held: nothing to look at inside.
        if (m_wordSamples > 0) {
            const std::uint64_t held = m_level ? m_wordMask : 0;
            while (i + m_wordSamples <= count) {
                std::uint64_t word = 0;
                std::memcpy(&word, samples + i * m_unitSize, kWordBytes);
                if ((word & m_wordMask) != held)
                    break;
                i += m_wordSamples;
            }
        }
        const std::size_t end = std::min(count, i + std::max<std::size_t>(m_wordSamples, 1));
        for (; i < end; ++i) {
            const bool level = (samples[i * m_unitSize + m_byte] & m_mask) != 0;
            if (level == m_level)
                continue;
            change(m_taken + std::int64_t(i));
            if (m_full)
                return;
        }
    }
    m_taken += std::int64_t(count);
}

std::vector<LevelRun> ChannelRuns::finish()
{
    if (!m_full && m_taken > m_start)
        m_runs.push_back({m_start, m_taken - m_start, m_level});
    m_full = true;
    return std::move(m_runs);
}

bool readChannelRuns(const SessionReader &reader, int number, std::size_t maxRuns,
                     std::vector<LevelRun> *runs, QString *why)
{
    ChannelRuns cut(number, reader.unitSize(), maxRuns);
    const bool read = reader.readSamples(
        [&](const std::uint8_t *data, std::size_t count) {
            cut.add(data, count);
            return !cut.full();
        },
        why);
    *runs = cut.finish();
    return read;
}

} // namespace wavemill::sigrok
