// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace wavemill::capturing {

/// Turns SIGINT (Ctrl+C), SIGTERM and SIGHUP (the terminal closed) into a Qt
/// signal raised from the event loop, so that a recording stops between two
/// blocks and cleans up. Only
/// one may exist at a time; the earlier handlers come back with its end.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    /// The first stop signal that arrived, or 0.
    int received() const { return m_received; }

Q_SIGNALS:
    void stopped(int signal);

private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_received = 0;
    struct sigaction m_oldInterrupt
    {
    };
    struct sigaction m_oldTerminate
    {
    };
    struct sigaction m_oldHangUp
    {
    };
};

} // namespace wavemill::capturing
