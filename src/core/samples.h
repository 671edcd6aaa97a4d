// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

namespace wavemill {

/// A buffer byte holds eight consecutive samples.
constexpr int kSamplesPerByte = 8;

/// The bit of a byte that holds sample \a k (0 to 7) of it: the earliest
/// sample is in the most significant bit.
constexpr std::uint8_t sampleBit(int k)
{
    return std::uint8_t(0x80u >> k);
}

/// The level of sample \a k (0 to 7) of \a byte: true is high.
constexpr bool sampleLevel(std::uint8_t byte, int k)
{
    return (byte & sampleBit(k)) != 0;
}

} // namespace wavemill
