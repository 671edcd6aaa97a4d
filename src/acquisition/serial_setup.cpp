// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "acquisition/serial_setup.h"

#include "core/numbers.h"
#include "platform/serial_component.h"

namespace wavemill::acquisition {

bool namesDevice(const QString &portText)
{
    const QString text = portText.trimmed();
#ifdef Q_OS_WIN
    return text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("\\\\.\\"));
#else
    return text.startsWith(QLatin1Char('/'));
#endif
}

double portNumber(const QString &portText)
{
    return roundHalfEven(comboNumber(portText));
}

QString Init_com(platform::SerialComponent &MSComm1, const QString &portText)
{
    using Component = platform::SerialComponent;
    const QString trimmed = portText.trimmed();
    bool accepted;
    if (namesDevice(trimmed)) {
        accepted = MSComm1.setCommDevice(trimmed);
    } else {
        const double port = portNumber(portText);
        if (!(port >= -32768.0 && port <= 32767.0))
            return QStringLiteral("串口") + trimmed + QStringLiteral("打开失败：串口号超出范围");
        accepted = MSComm1.setCommPort(std::int16_t(port));
    }
    accepted = accepted && MSComm1.setRThreshold(kReceiveBlock) && MSComm1.setSThreshold(0) &&
               MSComm1.setSettings(kBoardSettings) && MSComm1.setInBufferCount(0) &&
               MSComm1.setOutBufferCount(0) &&
               MSComm1.setInputMode(Component::comInputModeBinary) &&
               MSComm1.setInputLen(kReceiveBlock);
    return accepted ? QString() : MSComm1.errorText();
}

} // namespace wavemill::acquisition
