// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstdint>

namespace wavemill::capturing {

/// Tells from the pace of the bytes, over the first seconds, whether the
/// board may not be a 16 MHz ATmega328P: a 3.3 V / 8 MHz Pro Mini flashed
/// with the same firmware samples at half the rate and sends at 58,823
/// baud, which reads as noise at 115200. A verdict comes once.
class BoardPace
{
public:
    /// Notes \a bytes received by \a ms after the port opened, and
    /// \a lineErrors framing errors (-1: not counted). Returns the warning
    /// once the first seconds are measured and they look wrong; otherwise,
    /// and ever after, an empty text.
    QString observe(std::int64_t ms, std::int64_t bytes, qint64 lineErrors);

    /// The pace of a board with its 16 MHz crystal: a byte every 8 samples.
    static double boardBytesPerSecond();

private:
    std::int64_t m_startMs = -1; // when the steady stream was first seen
    std::int64_t m_startBytes = 0;
    std::int64_t m_lastBytes = 0; // at the last look
    bool m_done = false;
};

} // namespace wavemill::capturing
