// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QTimer>

namespace wavemill::platform {

/// A timer whose interval in milliseconds also starts and stops it: an
/// interval of 0 means it does not tick.
class IntervalTimer : public QObject
{
    Q_OBJECT

public:
    explicit IntervalTimer(QObject *parent = nullptr, int interval = 0) : QObject(parent)
    {
        connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::Timer);
        setInterval(interval);
    }

    int Interval() const { return m_timer.isActive() ? m_timer.interval() : 0; }
    void setInterval(int milliseconds)
    {
        if (milliseconds <= 0) {
            m_timer.stop();
            return;
        }
        if (m_timer.isActive() && m_timer.interval() == milliseconds)
            return;
        m_timer.start(milliseconds);
    }

Q_SIGNALS:
    void Timer();

private:
    QTimer m_timer;
};

} // namespace wavemill::platform
