// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/edge_signal.h"
#include "signals/infrared_codes.h"

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// A remote control used as people use one, through a receiver that is not
/// perfect: bursts (a frame, a repeat code, a frame without its leader) at
/// given times, each mark held longer and each space as much shorter, and
/// stray pulses of a sample or a few between them, as sunlight and lamps
/// give a receiver. Drawn for \a lengthUs, then again; a burst that starts
/// before 0 or runs past the length is cut there.
class RemoteSession : public EdgeSignal
{
public:
    struct Burst
    {
        double atUs;
        IrPulses pulses;
    };

    struct Options
    {
        std::vector<Burst> bursts;
        double markStretchUs = 0;
        int strayPulses = 0;          // over the length, away from the bursts
        double strayShortestUs = 20;  // each one from this...
        double strayLongestUs = 60;   // ...to this long
        double lengthUs = 10.2e6;
        std::uint32_t seed = 1;
    };

    explicit RemoteSession(const Options &options);

    /// An RC-6 frame of \a mode (0 to 7) carrying \a bits after its toggle
    /// bit: mode 0 takes 16 (address and command), mode 6 (RC6A) 32 and more.
    static IrPulses rc6ModeFrame(int mode, const std::vector<bool> &bits, bool toggle);
    /// \a frame without its leader's mark and space: JVC's repeats.
    static IrPulses withoutLeader(const IrPulses &frame);
};

} // namespace wavemill::signals
