// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

namespace wavemill::display {

/// Zoom factor at start-up: 10 logical units (twips) per sample.
constexpr std::int16_t kInitialZoom = 10;
/// The zoom factor stays between these (logical units per sample).
constexpr std::int16_t kMinZoom = 2;
constexpr std::int16_t kMaxZoom = 20480;
/// Half of 63,486: the view starts at byte 2 x the scroll position.
constexpr double kScrollSpan = 31743.0;

/// Zoom in doubles the factor, at most to 20,480 (from 10,240 and from 16,384).
std::int16_t zoomedIn(std::int16_t zoom);
/// Zoom out halves it, halves to even, never below 2 (5 gives 2).
std::int16_t zoomedOut(std::int16_t zoom);
/// The scroll bar's maximum for a view \a width units wide at \a zoom:
/// 31,743 less the bytes across the view, rounded halves to even.
int scrollMaximum(float width, std::int16_t zoom);

} // namespace wavemill::display
