// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/trace_buffers.h"

#include <QByteArray>

#include <cstdint>

namespace wavemill::platform {
class SerialComponent;
}

namespace wavemill::acquisition {

/// The window's progress and rate timer ticks every 200 ms; wavemill-capture
/// shows its progress as often.
constexpr int kTickInterval = 200;

/// A capture is complete once the write index passes this.
constexpr int kCompletionIndex = kCaptureLength - 2; // 63,486

/// What the serial component's OnComm event means to a capture.
enum class CommOutcome {
    Other,      // nothing to take
    Block,      // a block of kReceiveBlock bytes waits to be taken with Input()
    DeviceLost, // the device went away; the component says why in errorText()
};

/// The outcome of the event \a port is raising. The window's capture and
/// wavemill-capture read the port's events through this and storeBlock, so
/// that both take the same blocks the same way.
CommOutcome commOutcome(const platform::SerialComponent &port);

/// Stores \a block at \a writeIndex in \a target (with none it is only
/// counted), never past the capture's end: a buffer's last element is not the
/// capture's. The index moves by the block's size, so that a short block
/// misplaces no later byte. Returns true once the capture is complete.
bool storeBlock(const QByteArray &block, TraceBuffer *target, std::int32_t &writeIndex);

} // namespace wavemill::acquisition
