// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>

namespace wavemill::platform {

/// What the capture logic needs of the serial port component: properties it
/// writes while the port is closed, the port's open state, and one event,
/// OnComm, raised from the event loop between other handlers.
///
/// Writes return false when the component refuses them; errorText() then
/// says why, in the program's language.
class SerialComponent : public QObject
{
    Q_OBJECT

public:
    /// CommEvent values.
    static constexpr std::int16_t comEvReceive = 2;          // at least RThreshold bytes wait
    static constexpr std::int16_t comEventDeviceLost = 1100; // the device went away or failed

    /// InputMode values.
    static constexpr std::int32_t comInputModeText = 0;
    static constexpr std::int32_t comInputModeBinary = 1;

    using QObject::QObject;

    /// Port number: 1 is the system's first serial port.
    virtual bool setCommPort(std::int16_t port) = 0;
    /// A device named by its path (/dev/ttyUSB0) or system name (COM3)
    /// instead of a number.
    virtual bool setCommDevice(const QString &device) = 0;
    virtual bool setRThreshold(std::int16_t bytes) = 0;
    virtual bool setSThreshold(std::int16_t bytes) = 0;
    /// "baud,parity,data bits,stop bits", for example "115200,n,8,1".
    virtual bool setSettings(const QString &settings) = 0;
    /// Writing 0 discards the bytes waiting to be read.
    virtual bool setInBufferCount(std::int16_t count) = 0;
    /// Writing 0 discards the bytes waiting to be sent.
    virtual bool setOutBufferCount(std::int16_t count) = 0;
    virtual bool setInputMode(std::int32_t mode) = 0;
    /// Most bytes one read of Input takes (0: all that wait).
    virtual bool setInputLen(std::int16_t bytes) = 0;

    virtual bool PortOpen() const = 0;
    /// true opens the configured port, false closes it.
    virtual bool setPortOpen(bool open) = 0;

    /// Removes up to InputLen waiting bytes and returns them in arrival order.
    virtual QByteArray Input() = 0;
    /// Bytes waiting to be read, held in 16 bits (saturates at 32,767).
    virtual std::int16_t InBufferCount() const = 0;
    /// The reason of the event being handled.
    virtual std::int16_t CommEvent() const = 0;

    /// Why the last refused write or failed opening failed, for example
    /// "串口1打开失败：设备不存在".
    virtual QString errorText() const = 0;

Q_SIGNALS:
    void OnComm();
};

} // namespace wavemill::platform
