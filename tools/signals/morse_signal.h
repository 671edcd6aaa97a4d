// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "signals/waveform_signal.h"

#include <string>

namespace wavemill::signals {

/// Text keyed in Morse code as on and off levels, as a key or a tone
/// decoder gives it, again and again: at \a wpm words a minute a unit lasts
/// 1200 ms / wpm; a dot is one unit, a dash three, with a unit between the
/// marks of a letter, three between letters and seven between words (and
/// after the text). Letters, digits and . , ? / = + - in the ITU alphabet;
/// anything else is a word gap. Key down is high, or, inverted, low.
class MorseSignal : public WaveformSignal
{
public:
    MorseSignal(const std::string &text, double wpm, bool activeHigh = true);
};

} // namespace wavemill::signals
