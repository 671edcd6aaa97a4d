// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstdint>

namespace wavemill::session_setup {

/// A time in a PulseView setup (the view's offset, a flag's time), as
/// PulseView 0.4.2 keeps it: its decimal number type, a 24-digit
/// cpp_dec_float, stored as a Boost serialization text archive: the
/// header, six limbs of eight decimal digits (the first not zero), the
/// decimal exponent of the first limb, the sign, the class (finite) and the
/// precision in limbs. Sample \a sample at \a rateHz, exactly to 48 digits:
/// "22 serialization::archive 18 0 0 0 0 2 33907881 ... 0 0 0 6" is 2.33907881... s.
QString pulseViewTime(std::int64_t sample, std::uint32_t rateHz);

} // namespace wavemill::session_setup
