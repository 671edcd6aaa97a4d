// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <string>

namespace wavemill::command {

/// How much of a value a message quotes: a path or an option's value, enough
/// to recognise it on one line.
constexpr int kQuotedChars = 60;
/// The longest failure line a program prints: room for a message and the
/// values it quotes, each cut to kQuotedChars; a longer one (an unknown
/// option of 100,000 characters) is cut too.
constexpr int kFailureLineChars = 300;

/// \a text as a message may quote it: what is not printable (control codes,
/// terminal escapes, bytes that are no UTF-8) becomes "?", and what is longer
/// than \a maxChars is cut there and ends in "…". A value from the command
/// line or a file never reaches the terminal as it is.
QString printable(const QString &text, int maxChars = kQuotedChars);
/// The same of bytes read as UTF-8, as a message of the simulator quotes them.
std::string printable(const std::string &bytes, int maxChars = kQuotedChars);

} // namespace wavemill::command
