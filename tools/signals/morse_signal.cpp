// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/morse_signal.h"

#include <array>
#include <cctype>
#include <utility>

namespace wavemill::signals {

namespace {

/// PARIS, the standard word, is 50 units: at one word a minute a unit
/// lasts 60 s / 50.
constexpr double kUnitAtOneWpmUs = 1.2e6;

constexpr std::array<std::pair<char, const char *>, 43> kCodes{{
    {'A', ".-"},    {'B', "-..."},   {'C', "-.-."},   {'D', "-.."},    {'E', "."},
    {'F', "..-."},  {'G', "--."},    {'H', "...."},   {'I', ".."},     {'J', ".---"},
    {'K', "-.-"},   {'L', ".-.."},   {'M', "--"},     {'N', "-."},     {'O', "---"},
    {'P', ".--."},  {'Q', "--.-"},   {'R', ".-."},    {'S', "..."},    {'T', "-"},
    {'U', "..-"},   {'V', "...-"},   {'W', ".--"},    {'X', "-..-"},   {'Y', "-.--"},
    {'Z', "--.."},  {'0', "-----"},  {'1', ".----"},  {'2', "..---"},  {'3', "...--"},
    {'4', "....-"}, {'5', "....."},  {'6', "-...."},  {'7', "--..."},  {'8', "---.."},
    {'9', "----."}, {'.', ".-.-.-"}, {',', "--..--"}, {'?', "..--.."}, {'/', "-..-."},
    {'=', "-...-"}, {'+', ".-.-."},  {'-', "-....-"},
}};

const char *codeOf(char c)
{
    for (const auto &[letter, code] : kCodes) {
        if (letter == char(std::toupper(static_cast<unsigned char>(c))))
            return code;
    }
    return nullptr;
}

} // namespace

MorseSignal::MorseSignal(const std::string &text, double wpm, bool activeHigh)
{
    const double unit = kUnitAtOneWpmUs / wpm;
    Waveform wave;
    wave.hold(!activeHigh, 7 * unit);
    for (const char c : text) {
        const char *code = codeOf(c);
        if (!code) {
            wave.hold(!activeHigh, 4 * unit); // a word gap: seven with the letter's three
            continue;
        }
        for (const char *mark = code; *mark; ++mark) {
            wave.hold(activeHigh, (*mark == '-' ? 3 : 1) * unit);
            wave.hold(!activeHigh, unit);
        }
        wave.hold(!activeHigh, 2 * unit); // three between letters
    }
    wave.hold(!activeHigh, 4 * unit);
    setWaveform(wave, true);
}

} // namespace wavemill::signals
