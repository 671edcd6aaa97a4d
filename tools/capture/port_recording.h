// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/qt_serial_component.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace wavemill::capturing {

class ProgressLine;
class StopSignals;

/// What a block handed on asks of the recording.
enum class BlockVerdict {
    More,     // go on
    Complete, // the recording is complete
    Failed,   // the block could not be kept: stop
};

/// How a recording ended.
enum class RecordingEnd { Complete, Failed, DeviceLost, Stopped };

/// Reads the board's serial port the way the window's capture does: the
/// port set up by Init_com (115200,n,8,1, blocks of 1,024 bytes) on the
/// QtSerialComponent, the blocks taken on its receive events from the first
/// byte after the port opens, in order, nothing lost.
class PortRecording
{
public:
    /// A recording of \a total bytes from the port the selector's text
    /// \a portText names: a number picks the n-th serial port, a path names
    /// a device.
    PortRecording(const QString &portText, std::int64_t total);

    /// Opens the port. Fails (kExitFailed) with the reason when it cannot.
    void open();
    /// Hands every block to \a take until it answers Complete or Failed, the
    /// device goes away or \a stop is raised; the port is closed then.
    /// Shows the progress every 200 ms, as the window's timer does.
    RecordingEnd run(const std::function<BlockVerdict(const QByteArray &)> &take,
                     ProgressLine &progress, const StopSignals &stop);

    /// Bytes taken from the port so far.
    std::int64_t taken() const { return m_taken; }
    /// Why the device went away, in the system's words (may be empty).
    QString lossReason() const { return m_port.systemErrorText(); }

private:
    QString m_portText;
    std::int64_t m_total;
    std::int64_t m_taken = 0;
    platform::QtSerialComponent m_port;
};

} // namespace wavemill::capturing
