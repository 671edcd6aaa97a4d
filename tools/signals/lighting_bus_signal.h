// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <cstdint>
#include <vector>

namespace wavemill::signals {

/// Frames on a lighting control bus, bi-phase with the bytes most
/// significant bit first after a start bit, \a gapUs apart and again and
/// again: DALI (1200 bit/s, idle high; a bit low then high is a 1, the start
/// bit a 1; a frame of one byte is a reply, two a forward frame, three a
/// DALI-2 one) or DSI (600 bit/s, idle low; a bit low then high is a 0, the
/// start bit a 0; frames of one byte, the lamp level). Inverted, every
/// level the other way round.
class LightingBusSignal : public WaveformSignal
{
public:
    LightingBusSignal(bool dsi, const std::vector<std::vector<std::uint8_t>> &frames, double gapUs,
                      bool inverted = false);
};

} // namespace wavemill::signals
