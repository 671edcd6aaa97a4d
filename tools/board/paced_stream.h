// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "board/board_link.h"
#include "signals/signals.h"

#include <csignal>
#include <cstdint>

namespace wavemill::board {

/// Streams one run of \a signal into \a out: \a count bytes (0: without end)
/// or until the signal ends, the reader goes or *stop is set. At \a
/// bytesPerSecond (0: as fast as the reader takes them) the pace is kept
/// against the clock, so byte k leaves at start + k / rate however long the
/// run, in batches of about 2 ms as a USB serial adapter hands them over.
/// Returns the bytes sent.
std::uint64_t streamPaced(BoardLink &out, signals::Signal &signal, std::uint64_t count,
                          double bytesPerSecond, const volatile std::sig_atomic_t *stop);

/// Nanoseconds on the monotonic clock.
std::int64_t monotonicNs();

} // namespace wavemill::board
