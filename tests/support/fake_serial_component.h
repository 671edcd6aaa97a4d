// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/receive_queue.h"
#include "platform/serial_component.h"

#include <QStringList>

namespace wavemill::testing {

/// A serial component for tests: it logs every property write, opens or fails
/// as told, and raises OnComm as the real one does when bytes are fed to it.
class FakeSerialComponent : public platform::SerialComponent
{
    Q_OBJECT

public:
    using platform::SerialComponent::SerialComponent;

    bool setCommPort(std::int16_t port) override;
    bool setCommDevice(const QString &device) override;
    bool setRThreshold(std::int16_t bytes) override;
    bool setSThreshold(std::int16_t bytes) override;
    bool setSettings(const QString &settings) override;
    bool setInBufferCount(std::int16_t count) override;
    bool setOutBufferCount(std::int16_t count) override;
    bool setInputMode(std::int32_t mode) override;
    bool setInputLen(std::int16_t bytes) override;
    bool PortOpen() const override { return m_open; }
    bool setPortOpen(bool open) override;
    QByteArray Input() override;
    std::int16_t InBufferCount() const override;
    std::int16_t CommEvent() const override { return m_event; }
    QString errorText() const override { return m_error; }

    /// Every write so far, as "Property=value", in order.
    const QStringList &writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }

    std::int16_t commPort() const { return m_commPort; }
    QString commDevice() const { return m_device; }
    QString settings() const { return m_settings; }
    std::int16_t rThreshold() const { return m_rThreshold; }
    std::int16_t inputLen() const { return m_inputLen; }
    qsizetype waiting() const { return m_queue.waiting(); }

    /// The next opening fails with this text (empty: it succeeds).
    void failNextOpen(const QString &why) { m_failOpen = why; }
    /// Bytes arriving from the board; receive events follow at once, each
    /// after the previous handler has returned.
    void feed(const QByteArray &bytes);
    /// Bytes that arrive without raising an event yet.
    void feedQuietly(const QByteArray &bytes)
    {
        if (m_open)
            m_queue.append(bytes);
    }
    /// Raises an event of another kind.
    void raise(std::int16_t commEvent);
    /// The device goes away while open.
    void vanish(const QString &why);

private:
    bool write(const QString &property, const QString &value);
    void deliver();

    QStringList m_writes;
    bool m_open = false;
    std::int16_t m_commPort = 1;
    QString m_device;
    QString m_settings = QStringLiteral("9600,n,8,1");
    std::int16_t m_rThreshold = 0;
    std::int16_t m_inputLen = 0;
    platform::ReceiveQueue m_queue;
    std::int16_t m_event = 0;
    QString m_error;
    QString m_failOpen;
};

} // namespace wavemill::testing
