// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "board/board_link.h"
#include "board/simulated_chip.h"

#include <csignal>
#include <cstdint>
#include <string>

namespace wavemill::board {

/// What one run of the simulated chip came to.
struct ChipRun
{
    std::uint64_t sent = 0;       // bytes written to the link
    double simulatedSeconds = 0;  // of the chip's time
    double simulatingSeconds = 0; // of wall time spent simulating, waits left out
    double processorSeconds = 0;  // of this thread's processor time spent simulating
    std::string failure;          // the firmware's failure, empty if none

    /// "simulated 10.20 s in 1.02 s (10.0 x real time); PD2 read every ...".
    std::string summary(const SampleTiming &timing) const;
};

/// Resets the chip with \a input on PD2 and forwards what it sends to \a out
/// until \a count bytes are sent (0: without end), the reader goes, the
/// firmware fails or *stop is set. Paced, each byte leaves once the wall
/// clock has reached the chip's time of sending it, in batches of 2 ms, as
/// the board's own pace; otherwise as fast as the simulation runs.
ChipRun streamChip(BoardLink &out, SimulatedChip &chip, signals::Signal &input, std::uint64_t count,
                   bool paced, const volatile std::sig_atomic_t *stop);

} // namespace wavemill::board
