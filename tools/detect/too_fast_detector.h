// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// A signal faster than the sample rate can read, said plainly with its
/// figures rather than guessed at: either the level changes within a sample
/// or two again and again (pulses of one sample in cycles of at most four:
/// serial data at 31,250 bit/s, DMX, 1-Wire slots, an alias of a fast PWM),
/// or every pulse at the active level is at most four samples long and each
/// stands alone between long stretches of idle level, so that what it
/// carries lies inside a pulse the board cannot resolve (a MIDI
/// active-sensing byte). A signal whose edges are slow apart from narrow
/// pulses at one level (serial data through a slow optocoupler) still reads,
/// and is left to the detectors that read it. No guess (nullopt) otherwise.
std::optional<TraceDescription> describeTooFast(const PulseTrain &train);

} // namespace wavemill::detect
