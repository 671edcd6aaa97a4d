// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/serial_component.h"
#include "platform/receive_queue.h"
#include "platform/serial_settings.h"

#include <QSerialPort>

#include <functional>

namespace wavemill::platform {

/// The serial component over QSerialPort. Bytes are read as they arrive and
/// kept until the logic takes them, so nothing that arrives while a handler
/// runs is lost; OnComm is raised from the event loop, one event at a time.
class QtSerialComponent : public SerialComponent
{
    Q_OBJECT

public:
    explicit QtSerialComponent(QObject *parent = nullptr);
    ~QtSerialComponent() override;

    bool setCommPort(std::int16_t port) override;
    bool setCommDevice(const QString &device) override;
    bool setRThreshold(std::int16_t bytes) override;
    bool setSThreshold(std::int16_t bytes) override;
    bool setSettings(const QString &settings) override;
    bool setInBufferCount(std::int16_t count) override;
    bool setOutBufferCount(std::int16_t count) override;
    bool setInputMode(std::int32_t mode) override;
    bool setInputLen(std::int16_t bytes) override;
    bool PortOpen() const override;
    bool setPortOpen(bool open) override;
    QByteArray Input() override;
    std::int16_t InBufferCount() const override;
    std::int16_t CommEvent() const override { return m_commEvent; }
    QString errorText() const override { return m_error; }

    /// The system's serial port names (QSerialPortInfo by default); port
    /// number n is the n-th of them once ordered.
    void setPortLister(std::function<QStringList()> lister) { m_portLister = std::move(lister); }

    /// Most bytes kept waiting for the logic to take them; the rest stay with
    /// the system until it has taken some: a pseudo-terminal's writer then
    /// waits, a serial driver holds a few kilobytes and drops what comes
    /// after. 0, the default, keeps everything that arrives, however far
    /// the logic falls behind.
    void setReadAhead(qint64 bytes);

    /// The system's own words for the last failed opening or the loss of the
    /// device ("Permission denied"), where errorText() gives the program's;
    /// empty when the system was not asked (no device for a port number).
    QString systemErrorText() const { return m_systemError; }

    /// The device a port number stands for, or an empty string.
    QString deviceForPort(int port) const;

private:
    void applySettings();
    void onReadyRead();
    void pullFromPort();
    void onError(QSerialPort::SerialPortError error);
    void scheduleDispatch();
    void dispatch();
    QString portLabel() const;
    bool refuse(const QString &why);

    QSerialPort m_port;
    std::function<QStringList()> m_portLister;
    std::int16_t m_commPort = 1;
    QString m_device;
    std::int16_t m_sThreshold = 0;
    SerialSettings m_settings;
    std::int32_t m_inputMode = comInputModeText;
    ReceiveQueue m_queue;
    std::int16_t m_commEvent = 0;
    bool m_dispatchQueued = false;
    bool m_lost = false;    // the device went away; the loss is not yet reported
    quint64 m_openings = 0; // a loss reported late never reaches a later opening
    QString m_error;
    QString m_systemError;
    qint64 m_readAhead = 0;
};

} // namespace wavemill::platform
