// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt_serial_component.h"

#include <QHash>
#include <QSerialPortInfo>

#include <algorithm>

namespace wavemill::platform {

namespace {

QStringList systemPortLocations()
{
    QStringList names;
    QHash<QString, QString> locations;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        names.append(info.portName());
        locations.insert(info.portName(), info.systemLocation());
    }
    QStringList ordered;
    for (const QString &name : orderSerialPortNames(names))
        ordered.append(locations.value(name));
    return ordered;
}

QString reasonFor(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("设备不存在");
    case QSerialPort::PermissionError:
        return QStringLiteral("没有访问权限或已被其他程序占用");
    case QSerialPort::OpenError:
        return QStringLiteral("串口已被打开");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("不是串口设备或不支持该设置");
    case QSerialPort::ResourceError:
        return QStringLiteral("设备已移除或出错");
    default:
        return QStringLiteral("无法打开");
    }
}

} // namespace

QtSerialComponent::QtSerialComponent(QObject *parent)
    : SerialComponent(parent), m_portLister(systemPortLocations)
{
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialComponent::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialComponent::onError);
}

QtSerialComponent::~QtSerialComponent()
{
    m_port.close();
}

bool QtSerialComponent::refuse(const QString &why)
{
    m_error = why;
    return false;
}

QString QtSerialComponent::portLabel() const
{
    return QStringLiteral("串口") + (m_device.isEmpty() ? QString::number(m_commPort) : m_device);
}

bool QtSerialComponent::setCommPort(std::int16_t port)
{
    if (PortOpen())
        return refuse(portLabel() + QStringLiteral("已打开，不能更换串口"));
    m_commPort = port;
    m_device.clear();
    return true;
}

bool QtSerialComponent::setCommDevice(const QString &device)
{
    if (PortOpen())
        return refuse(portLabel() + QStringLiteral("已打开，不能更换串口"));
    m_device = device;
    return true;
}

bool QtSerialComponent::setRThreshold(std::int16_t bytes)
{
    if (bytes < 0)
        return refuse(QStringLiteral("接收阈值无效"));
    m_queue.setThreshold(bytes);
    scheduleDispatch();
    return true;
}

bool QtSerialComponent::setSThreshold(std::int16_t bytes)
{
    if (bytes < 0)
        return refuse(QStringLiteral("发送阈值无效"));
    m_sThreshold = bytes;
    return true;
}

void QtSerialComponent::applySettings()
{
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setParity(m_settings.parity);
    m_port.setDataBits(m_settings.dataBits);
    m_port.setStopBits(m_settings.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
}

bool QtSerialComponent::setSettings(const QString &settings)
{
    const auto parsed = SerialSettings::parse(settings);
    if (!parsed)
        return refuse(QStringLiteral("串口参数无效：") + settings);
    m_settings = *parsed;
    if (m_port.isOpen())
        applySettings();
    return true;
}

bool QtSerialComponent::setInBufferCount(std::int16_t count)
{
    if (count != 0)
        return refuse(QStringLiteral("只能把接收缓冲区清零"));
    m_queue.clear();
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Input);
    return true;
}

bool QtSerialComponent::setOutBufferCount(std::int16_t count)
{
    if (count != 0)
        return refuse(QStringLiteral("只能把发送缓冲区清零"));
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Output);
    return true;
}

bool QtSerialComponent::setInputMode(std::int32_t mode)
{
    if (mode != comInputModeText && mode != comInputModeBinary)
        return refuse(QStringLiteral("输入模式无效"));
    m_inputMode = mode;
    return true;
}

bool QtSerialComponent::setInputLen(std::int16_t bytes)
{
    if (bytes < 0)
        return refuse(QStringLiteral("读取长度无效"));
    m_queue.setInputLen(bytes);
    return true;
}

bool QtSerialComponent::PortOpen() const
{
    return m_port.isOpen() || m_lost;
}

QString QtSerialComponent::deviceForPort(int port) const
{
#ifdef Q_OS_WIN
    return port >= 1 ? QStringLiteral("COM%1").arg(port) : QString();
#else
    const QStringList ports = m_portLister();
    return (port >= 1 && port <= ports.size()) ? ports.at(port - 1) : QString();
#endif
}

bool QtSerialComponent::setPortOpen(bool open)
{
    if (!open) {
        m_port.close();
        m_queue.clear();
        m_lost = false;
        return true;
    }
    if (PortOpen())
        return refuse(portLabel() + QStringLiteral("已打开"));
    m_systemError.clear();

    const QString failed = portLabel() + QStringLiteral("打开失败：");
    QString device = m_device;
    if (device.isEmpty()) {
        if (m_commPort < 1)
            return refuse(failed + QStringLiteral("串口号无效"));
        device = deviceForPort(m_commPort);
        if (device.isEmpty())
            return refuse(failed + QStringLiteral("设备不存在"));
    }

    m_port.setPortName(device);
    applySettings();
    if (!m_port.open(QIODevice::ReadOnly)) {
        const QString why = reasonFor(m_port.error());
        m_systemError = m_port.errorString();
        m_port.clearError();
        return refuse(failed + why);
    }
    // A capture is what arrives after the opening: drop what was waiting.
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
    m_queue.clear();
    ++m_openings;
    m_error.clear();
    return true;
}

QByteArray QtSerialComponent::Input()
{
    QByteArray block = m_queue.take();
    if (m_readAhead > 0 && m_port.isOpen())
        pullFromPort(); // room again for what the system held back
    return block;
}

void QtSerialComponent::setReadAhead(qint64 bytes)
{
    m_readAhead = std::max<qint64>(bytes, 0);
    // QSerialPort stops reading from the system once this much waits in it.
    m_port.setReadBufferSize(m_readAhead);
}

std::int16_t QtSerialComponent::InBufferCount() const
{
    const qint64 waiting = m_queue.waiting() + (m_port.isOpen() ? m_port.bytesAvailable() : 0);
    return std::int16_t(std::min<qint64>(waiting, 32767));
}

void QtSerialComponent::onReadyRead()
{
    pullFromPort();
}

void QtSerialComponent::pullFromPort()
{
    if (m_readAhead == 0)
        m_queue.append(m_port.readAll());
    else if (const qint64 room = m_readAhead - m_queue.waiting(); room > 0)
        m_queue.append(m_port.read(room));
    scheduleDispatch();
}

void QtSerialComponent::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !m_port.isOpen())
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    // The device went away (a USB adapter pulled out, a closed terminal).
    // The system port is closed now, so that it raises nothing more; to the
    // logic the port stays open, with what had arrived still waiting, until
    // the loss is reported, and then it is closed with nothing waiting. So a
    // tick in between reads the same count as the tick before.
    m_error = portLabel() + QStringLiteral("连接已断开：") + reasonFor(QSerialPort::ResourceError);
    m_systemError = m_port.errorString();
    m_queue.append(m_port.readAll());
    m_port.close();
    if (m_lost)
        return;
    m_lost = true;
    const quint64 opening = m_openings;
    QMetaObject::invokeMethod(
        this,
        [this, opening] {
            // Opened again, or closed by the logic, since: nothing to report.
            if (opening != m_openings || !m_lost)
                return;
            m_lost = false;
            m_queue.clear();
            m_commEvent = comEventDeviceLost;
            Q_EMIT OnComm();
            m_commEvent = 0;
        },
        Qt::QueuedConnection);
}

void QtSerialComponent::scheduleDispatch()
{
    if (m_dispatchQueued || !m_queue.eventDue())
        return;
    m_dispatchQueued = true;
    QMetaObject::invokeMethod(this, &QtSerialComponent::dispatch, Qt::QueuedConnection);
}

void QtSerialComponent::dispatch()
{
    m_dispatchQueued = false;
    // Never inside another handler: the running one looks again when it returns.
    if (m_queue.inEvent() || !PortOpen() || !m_queue.eventDue())
        return;
    m_queue.beginEvent();
    m_commEvent = comEvReceive;
    Q_EMIT OnComm();
    m_commEvent = 0;
    if (m_queue.endEvent())
        scheduleDispatch();
}

} // namespace wavemill::platform
