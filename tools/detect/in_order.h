// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <vector>

namespace wavemill::detect {

/// How far ahead in sigrok's reading the next of ours is looked for: a
/// decoder that drops or adds a few items still matches the rest.
constexpr std::size_t kMatchLookAhead = 8;

/// How many of \a ours \a theirs holds in the same order, each looked for at
/// most kMatchLookAhead items past the last one matched.
template <typename T>
std::size_t matchedInOrder(const std::vector<T> &ours, const std::vector<T> &theirs)
{
    std::size_t matched = 0;
    std::size_t next = 0;
    for (const T &item : ours) {
        for (std::size_t j = next; j < theirs.size() && j < next + kMatchLookAhead; ++j) {
            if (theirs[j] == item) {
                ++matched;
                next = j + 1;
                break;
            }
        }
    }
    return matched;
}

} // namespace wavemill::detect
