// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/zoom.h"

#include "core/numbers.h"

namespace wavemill::display {

std::int16_t zoomedIn(std::int16_t zoom)
{
    if (zoom >= kMaxZoom / 2)
        zoom = kMaxZoom / 2;
    return std::int16_t(zoom * 2);
}

std::int16_t zoomedOut(std::int16_t zoom)
{
    const double halved = roundHalfEven(zoom / 2.0);
    if (halved < 2.5)
        return kMinZoom;
    return std::int16_t(halved);
}

int scrollMaximum(float width, std::int16_t zoom)
{
    return int(roundHalfEven(kScrollSpan - double(width) / zoom / 8.0));
}

} // namespace wavemill::display
