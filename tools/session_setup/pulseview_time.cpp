// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session_setup/pulseview_time.h"

#include <QStringList>

#include <vector>

namespace wavemill::session_setup {

namespace {

/// cpp_dec_float keeps its digits in limbs of eight (base 10^8).
constexpr std::uint64_t kLimbBase = 100'000'000;
constexpr int kLimbDigits = 8;
/// The limbs PulseView's 24-digit number has, and writes, whatever its value.
constexpr int kLimbs = 6;
/// The archive's header: the length of its signature, the signature, and
/// Boost 1.74's library version (Debian 12's PulseView); later Boost reads
/// it. The four zeros are the class information of the number and of its
/// backend, written once in an archive of one object.
constexpr auto kHeader = "22 serialization::archive 18 0 0 0 0";
/// After the exponent and sign: the class (0, finite) and the precision in limbs.
constexpr auto kTrailer = "0 6";

} // namespace

QString pulseViewTime(std::int64_t sample, std::uint32_t rateHz)
{
    const bool negative = sample < 0;
    // The magnitude, safe for the most negative sample too.
    const std::uint64_t magnitude =
        negative ? std::uint64_t(-(sample + 1)) + 1 : std::uint64_t(sample);
    const std::uint64_t whole = magnitude / rateHz;
    std::uint64_t rest = magnitude % rateHz;

    // The whole seconds' limbs, most significant first, then the fraction's
    // by long division: rest < rateHz < 2^32, so rest * 10^8 fits in 64 bits.
    std::vector<std::uint64_t> limbs;
    for (std::uint64_t w = whole; w > 0; w /= kLimbBase)
        limbs.insert(limbs.begin(), w % kLimbBase);
    int exponent = limbs.empty() ? 0 : (int(limbs.size()) - 1) * kLimbDigits;
    while (int(limbs.size()) < kLimbs && rest != 0) {
        rest *= kLimbBase;
        const std::uint64_t limb = rest / rateHz;
        rest %= rateHz;
        if (limbs.empty() && limb == 0) {
            exponent -= kLimbDigits; // leading zeros of a fraction below one
            continue;
        }
        if (limbs.empty())
            exponent -= kLimbDigits;
        limbs.push_back(limb);
    }
    if (limbs.empty())
        exponent = 0; // zero: all limbs zero, positive
    limbs.resize(kLimbs, 0);

    QStringList parts{QLatin1String(kHeader)};
    for (const std::uint64_t limb : limbs)
        parts << QString::number(limb);
    parts << QString::number(exponent) << QString::number(negative ? 1 : 0)
          << QLatin1String(kTrailer);
    return parts.join(QLatin1Char(' '));
}

} // namespace wavemill::session_setup
