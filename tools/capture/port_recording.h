// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "capture/line_errors.h"

#include "platform/qt_serial_component.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

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
enum class RecordingEnd {
    Complete,
    Failed,     // a block could not be kept
    DeviceLost, // the device went away
    Stalled,    // no byte came for kStallMs
    Stopped,    // a stop signal came
};

/// Reads the board's serial port the way the window's capture does: the
/// port set up by Init_com (115200,n,8,1, blocks of 1,024 bytes) on the
/// QtSerialComponent, the blocks taken on its receive events from the first
/// byte after the port opens, in order, nothing lost. Unlike the window, it
/// gives up on a board that stops sending, and it measures the board's pace.
class PortRecording
{
public:
    /// No byte for this long ends a recording: the board sends 6,227 a
    /// second, and an Uno's bootloader holds them back about a second after
    /// the port opens (the old Nano bootloader some two).
    static constexpr int kStallMs = 5000;

    /// A recording of \a total bytes from the port the selector's text
    /// \a portText names: a number picks the n-th serial port, a path names
    /// a device.
    PortRecording(const QString &portText, std::int64_t total);

    /// Opens the port. Fails (kExitFailed) with the reason when it cannot:
    /// not a serial port, in use by another process (named where it can be
    /// told), not permitted (with the group that is), or the system's words.
    void open();
    /// Hands every block to \a take until it answers Complete or Failed, the
    /// device goes away, no byte comes for kStallMs or \a stop is raised; the
    /// port is closed then. Shows the progress every 200 ms, as the window's
    /// timer does, and once the first seconds are measured, gives \a warn a
    /// line if the board's pace is wrong.
    RecordingEnd run(const std::function<BlockVerdict(const QByteArray &)> &take,
                     ProgressLine &progress, const StopSignals &stop,
                     const std::function<void(const QString &)> &warn);

    /// Bytes taken from the port so far.
    std::int64_t taken() const { return m_taken; }
    /// Why the device went away, in the system's words (may be empty).
    QString lossReason() const;

private:
    void checkDevice() const;
    QString openFailure(const QString &refused) const;
    QString permissionText() const;

    QString m_portText;
    QString m_device; // the device the text names, where it names one
    std::int64_t m_total;
    std::int64_t m_taken = 0;
    platform::QtSerialComponent m_port;
    std::optional<LineErrors> m_lineErrors;
};

} // namespace wavemill::capturing
