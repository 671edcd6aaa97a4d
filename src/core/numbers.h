// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstdint>

namespace wavemill {

/// Nearest integer, exact halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

/// The value of the number a combo box text begins with. Blanks are ignored
/// wherever they stand; an optional sign, digits, an optional fraction and an
/// optional exponent make the number. A text that does not begin with a
/// number gives 0.
double comboNumber(const QString &text);

/// A time in milliseconds as the program shows it: three decimals with exact
/// halves to even, one leading blank when not negative, "." whatever the
/// locale, no exponent, no trailing zeros, then "ms" (" 2.007ms", "-4.015ms",
/// " 0ms"). Values below 1 ms keep their zero before the point (" 0.321ms").
QString timeText(double milliseconds);

/// The duration of a capture in its status text: the shortest decimal form,
/// one leading blank, no exponent (" 10.2", " 10", " 0").
QString durationText(double seconds);

/// Clamps a value into the 16-bit signed range, as the fields held in 16 bits do.
std::int16_t saturate16(double value);

/// The board's sample period as help texts and file headers write it,
/// exactly as its picoseconds give it: "20.0736 us", or with \a unit.
QString samplePeriodText(const QString &unit = QStringLiteral("us"));

} // namespace wavemill
