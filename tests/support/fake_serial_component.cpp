// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/fake_serial_component.h"

#include "platform/serial_settings.h"

#include <algorithm>

namespace wavemill::testing {

bool FakeSerialComponent::write(const QString &property, const QString &value)
{
    m_writes.append(property + QLatin1Char('=') + value);
    return true;
}

bool FakeSerialComponent::setCommPort(std::int16_t port)
{
    if (m_open) {
        m_error = QStringLiteral("串口已打开，不能更换串口");
        return false;
    }
    m_commPort = port;
    m_device.clear();
    return write(QStringLiteral("CommPort"), QString::number(port));
}

bool FakeSerialComponent::setCommDevice(const QString &device)
{
    m_device = device;
    return write(QStringLiteral("CommDevice"), device);
}

bool FakeSerialComponent::setRThreshold(std::int16_t bytes)
{
    m_rThreshold = bytes;
    m_queue.setThreshold(bytes);
    return write(QStringLiteral("RThreshold"), QString::number(bytes));
}

bool FakeSerialComponent::setSThreshold(std::int16_t bytes)
{
    return write(QStringLiteral("SThreshold"), QString::number(bytes));
}

bool FakeSerialComponent::setSettings(const QString &settings)
{
    if (!platform::SerialSettings::parse(settings)) {
        m_error = QStringLiteral("串口参数无效：") + settings;
        return false;
    }
    m_settings = settings;
    return write(QStringLiteral("Settings"), settings);
}

bool FakeSerialComponent::setInBufferCount(std::int16_t count)
{
    if (count == 0)
        m_queue.clear();
    return write(QStringLiteral("InBufferCount"), QString::number(count));
}

bool FakeSerialComponent::setOutBufferCount(std::int16_t count)
{
    return write(QStringLiteral("OutBufferCount"), QString::number(count));
}

bool FakeSerialComponent::setInputMode(std::int32_t mode)
{
    return write(QStringLiteral("InputMode"), QString::number(mode));
}

bool FakeSerialComponent::setInputLen(std::int16_t bytes)
{
    m_inputLen = bytes;
    m_queue.setInputLen(bytes);
    return write(QStringLiteral("InputLen"), QString::number(bytes));
}

bool FakeSerialComponent::setPortOpen(bool open)
{
    if (!open) {
        m_open = false;
        m_queue.clear();
        return true;
    }
    if (!m_failOpen.isEmpty()) {
        m_error = m_failOpen;
        m_failOpen.clear();
        return false;
    }
    if (m_device.isEmpty() && m_commPort < 1) {
        m_error = QStringLiteral("串口%1打开失败：串口号无效").arg(m_commPort);
        return false;
    }
    m_open = true;
    m_queue.clear();
    return true;
}

QByteArray FakeSerialComponent::Input()
{
    return m_queue.take();
}

std::int16_t FakeSerialComponent::InBufferCount() const
{
    return std::int16_t(std::min<qsizetype>(m_queue.waiting(), 32767));
}

void FakeSerialComponent::feed(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_queue.append(bytes);
    deliver();
}

void FakeSerialComponent::deliver()
{
    // Bytes fed by a running handler are delivered by the loop it runs in.
    if (m_queue.inEvent() || !m_queue.eventDue())
        return;
    bool again = true;
    while (again && m_open) {
        m_queue.beginEvent();
        m_event = comEvReceive;
        Q_EMIT OnComm();
        m_event = 0;
        again = m_queue.endEvent();
    }
}

void FakeSerialComponent::raise(std::int16_t commEvent)
{
    m_event = commEvent;
    Q_EMIT OnComm();
    m_event = 0;
}

void FakeSerialComponent::vanish(const QString &why)
{
    if (!m_open)
        return;
    m_open = false;
    m_queue.clear();
    m_error = why;
    raise(comEventDeviceLost);
}

} // namespace wavemill::testing
