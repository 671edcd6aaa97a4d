// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"
#include "detect/trace_description.h"

#include <optional>

namespace wavemill::detect {

/// Morse code keyed as on and off levels (a key, or a tone decoder's
/// output): dots of one unit and dashes of three with the key down, gaps of
/// one unit within a letter, three between letters and seven or more
/// between words, a unit of 20 to 400 ms (60 down to 3 words a minute).
/// The unit is measured from the dots; the text is read with the ITU
/// alphabet. Its checks: every mark a dot or a dash, every gap one of the
/// three, every letter in the alphabet, and the dash and letter-gap ratios
/// near three. Read with sigrok's morse decoder given the unit, for a key
/// down high. nullopt below eight marks, without both dots and dashes, or
/// without letters of more than one mark.
std::optional<TraceDescription> describeMorse(const PulseTrain &train);

} // namespace wavemill::detect
