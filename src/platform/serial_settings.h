// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <optional>

namespace wavemill::platform {

/// A parsed "baud,parity,data bits,stop bits" text such as "115200,n,8,1".
struct SerialSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    /// nullopt when the text is not a valid settings string.
    static std::optional<SerialSettings> parse(const QString &text);
};

/// Orders a system's serial port names for numbering: USB adapters first
/// (ttyUSB, ttyACM, cu.usb...), then the rest, each group in natural order
/// (ttyS2 before ttyS10).
QStringList orderSerialPortNames(QStringList names);

} // namespace wavemill::platform
