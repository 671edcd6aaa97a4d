// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "acquisition/capture_blocks.h"

#include "platform/serial_component.h"

#include <algorithm>

namespace wavemill::acquisition {

CommOutcome commOutcome(const platform::SerialComponent &port)
{
    switch (port.CommEvent()) {
    case platform::SerialComponent::comEvReceive:
        return CommOutcome::Block;
    case platform::SerialComponent::comEventDeviceLost:
        return CommOutcome::DeviceLost;
    default:
        return CommOutcome::Other;
    }
}

bool storeBlock(const QByteArray &block, TraceBuffer *target, std::int32_t &writeIndex)
{
    if (target) {
        const int room = std::max(0, kCaptureLength - writeIndex);
        const int count = std::min<int>(int(block.size()), room);
        std::copy_n(reinterpret_cast<const std::uint8_t *>(block.constData()), count,
                    target->begin() + writeIndex);
    }
    writeIndex += int(block.size());
    return writeIndex > kCompletionIndex;
}

} // namespace wavemill::acquisition
