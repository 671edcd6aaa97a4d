// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/port_recording.h"

#include "capture/progress_line.h"
#include "capture/stop_signals.h"

#include "acquisition/capture.h"
#include "acquisition/capture_blocks.h"
#include "acquisition/serial_setup.h"
#include "command/command_line.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace wavemill::capturing {

namespace {

/// Bytes read ahead of the blocks taken: 90 s at the link's 11,520 bytes a
/// second, so a real board never waits on it, while a faster source (a
/// pseudo-terminal) is held back and memory stays flat.
constexpr qint64 kReadAhead = qint64(1) << 20;

} // namespace

PortRecording::PortRecording(const QString &portText, std::int64_t total)
    : m_portText(portText.trimmed()), m_total(total)
{
    m_port.setReadAhead(kReadAhead);
}

void PortRecording::open()
{
    using command::fail;
    using command::kExitFailed;
    const QString refused = acquisition::Init_com(m_port, m_portText);
    if (refused.isEmpty() && m_port.setPortOpen(true))
        return;
    QString why = m_port.systemErrorText();
    if (why.isEmpty() && !acquisition::namesDevice(m_portText) &&
        m_port.deviceForPort(int(acquisition::portNumber(m_portText))).isEmpty())
        why = QStringLiteral("the system has no serial port number %1")
                  .arg(acquisition::portNumber(m_portText));
    if (why.isEmpty())
        why = refused.isEmpty() ? m_port.errorText() : refused; // the window's own words
    fail(kExitFailed, QStringLiteral("%1: cannot open: %2").arg(m_portText, why));
}

RecordingEnd PortRecording::run(const std::function<BlockVerdict(const QByteArray &)> &take,
                                ProgressLine &progress, const StopSignals &stop)
{
    QEventLoop loop;
    RecordingEnd end = RecordingEnd::Complete;
    const auto finish = [&](RecordingEnd how) {
        end = how;
        m_port.setPortOpen(false);
        loop.quit();
    };
    const auto showProgress = [&] {
        progress.show(std::min(m_total, m_taken + m_port.InBufferCount()), m_total);
    };

    const QMetaObject::Connection received =
        QObject::connect(&m_port, &platform::SerialComponent::OnComm, [&] {
            switch (acquisition::commOutcome(m_port)) {
            case acquisition::CommOutcome::DeviceLost:
                finish(RecordingEnd::DeviceLost);
                break;
            case acquisition::CommOutcome::Block: {
                const QByteArray block = m_port.Input();
                m_taken += block.size();
                const BlockVerdict verdict = take(block);
                if (verdict == BlockVerdict::Complete)
                    finish(RecordingEnd::Complete);
                else if (verdict == BlockVerdict::Failed)
                    finish(RecordingEnd::Failed);
                break;
            }
            case acquisition::CommOutcome::Other:
                break;
            }
        });
    const QMetaObject::Connection stopped =
        QObject::connect(&stop, &StopSignals::stopped, [&] { finish(RecordingEnd::Stopped); });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, showProgress);
    tick.start(acquisition::kTickInterval);
    showProgress();

    if (stop.received() == 0)
        loop.exec();
    else
        finish(RecordingEnd::Stopped);
    QObject::disconnect(received);
    QObject::disconnect(stopped);
    if (end == RecordingEnd::Complete)
        showProgress();
    return end;
}

} // namespace wavemill::capturing
