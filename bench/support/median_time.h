// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

namespace wavemill::bench {

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

/// The median time of \a work over \a runs runs in ms, or -1 when it failed once.
inline double medianMs(int runs, const std::function<bool()> &work)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer clock;
        clock.start();
        if (!work())
            return -1;
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

} // namespace wavemill::bench
