// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace wavemill::platform {
class SerialComponent;
}

namespace wavemill::acquisition {

/// The board's line: 115200 baud, no parity, 8 data bits, 1 stop bit.
inline const QString kBoardSettings = QStringLiteral("115200,n,8,1");
/// A receive event, and one read, for every 1,024 waiting bytes.
constexpr int kReceiveBlock = 1024;

/// Whether the port selector's text names a device (it begins with "/", or
/// "COM" on Windows) rather than giving a port number.
bool namesDevice(const QString &portText);
/// The port number the selector's text gives: the number it begins with,
/// halves rounded to even (0 when it begins with none).
double portNumber(const QString &portText);

/// Puts the serial component into the board's configuration for the port
/// named by the port selector's text, without opening it. A number picks the
/// n-th system port (halves rounded to even); a text beginning with "/"
/// (or "COM" on Windows) names a device. Returns an empty string on success,
/// else why the component refused a write; the later writes are then skipped.
QString Init_com(platform::SerialComponent &MSComm1, const QString &portText);

} // namespace wavemill::acquisition
