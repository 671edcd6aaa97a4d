// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/uart_reading.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace wavemill::detect {

/// The sync byte that follows a LIN break: alternate bits, for a slave to
/// measure the master's bit rate by.
constexpr std::uint16_t kLinSync = 0x55;

/// One LIN frame as a serial line carries it: a break (13 bits or more at
/// the dominant level) and its delimiter, the sync byte 0x55, the protected
/// identifier (6 bits of id and 2 of parity), then the response: up to 8
/// data bytes and a checksum. A malformed frame stops short.
struct LinFrame
{
    std::int64_t start = 0; // the break's start
    bool synced = false;    // the break was followed by the sync byte
    bool hasId = false;
    std::uint8_t pid = 0;
    std::vector<std::uint8_t> response; // data bytes, then the checksum

    int id() const { return pid & 0x3F; }
    /// The identifier's two parity bits as LIN computes them.
    bool parityRight() const;
    /// The checksum over the data (classic, LIN 1) or over the protected
    /// identifier and the data (enhanced, LIN 2; the diagnostic ids 60 and
    /// 61 keep the classic one); false without a response.
    bool checksumRight(bool enhanced) const;
    /// "ID 0x01: 11 11, checksum 0x1C", "ID 0x23, no response", "sync, no
    /// identifier", "break without sync".
    QString text() const;
};

/// The frames of a serial line's characters and breaks: each break opens
/// one; its response ends at the next break, or where the line idles for
/// more than two frames of \a frameSamples, as a receiver takes it.
std::vector<LinFrame> linFrames(const std::vector<UartEvent> &events, double frameSamples);

/// sigrok's lin decoder's annotations read back into frame texts as
/// LinFrame::text() writes them.
QStringList sigrokLinFrames(const QStringList &classes, const QStringList &texts);

} // namespace wavemill::detect
