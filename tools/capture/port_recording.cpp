// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/port_recording.h"

#include "capture/board_pace.h"
#include "capture/port_holders.h"
#include "capture/progress_line.h"
#include "capture/stop_signals.h"

#include "acquisition/capture_blocks.h"
#include "acquisition/serial_setup.h"
#include "command/command_line.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace wavemill::capturing {

namespace {

using command::fail;
using command::kExitFailed;

/// Bytes read ahead of the blocks taken: 90 s at the link's 11,520 bytes a
/// second, so a real board never waits on it, while a faster source (a
/// pseudo-terminal) is held back and memory stays flat.
constexpr qint64 kReadAhead = qint64(1) << 20;

/// The system's words for \a errnum, as Qt gives them for a failed opening.
QString systemText(int errnum)
{
    return qt_error_string(errnum);
}

/// What a path that is no character device is, for the message refusing it.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISREG(mode))
        return QStringLiteral("a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    return QStringLiteral("no character device");
}

/// The name of group \a id, or an empty text.
QString groupName(gid_t id)
{
    group entry{};
    group *found = nullptr;
    std::vector<char> buffer(16384);
    return ::getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found
               ? QString::fromLocal8Bit(found->gr_name)
               : QString();
}

/// The name of user \a id, or the number.
QString userName(uid_t id)
{
    passwd entry{};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    return ::getpwuid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found
               ? QString::fromLocal8Bit(found->pw_name)
               : QString::number(id);
}

} // namespace

PortRecording::PortRecording(const QString &portText, std::int64_t total)
    : m_portText(portText.trimmed()), m_total(total)
{
    m_port.setReadAhead(kReadAhead);
}

void PortRecording::checkDevice() const
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(m_device).constData(), &status) != 0)
        return; // the opening says why
    if (!S_ISCHR(status.st_mode))
        fail(kExitFailed, QStringLiteral("%1: cannot open: not a serial port but %2")
                              .arg(m_portText, kindOf(status.st_mode)));
    // Two readers of one port share its bytes, each missing what the other
    // takes: refused before the opening, which would also change the line
    // settings under the other reader. Only a terminal's readers count
    // (everyone has /dev/null open).
    if (!isTerminal(m_device))
        return;
    const QList<PortHolder> holders = processesHolding(m_device);
    if (!holders.isEmpty())
        fail(kExitFailed, QStringLiteral("%1: the port is in use by %2; close it first")
                              .arg(m_portText, holderText(holders.front())));
}

QString PortRecording::permissionText() const
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(m_device).constData(), &status) != 0)
        return systemText(EACCES);
    const QString group = groupName(status.st_gid);
    if (!group.isEmpty() && (status.st_mode & S_IRGRP) && (status.st_mode & S_IWGRP))
        return QStringLiteral("permission denied: %1 belongs to the %2 group; add yourself with "
                              "sudo usermod -aG %2 \"$USER\", then log in again")
            .arg(m_device, group);
    return QStringLiteral("permission denied: only %1 may open %2")
        .arg(userName(status.st_uid), m_device);
}

QString PortRecording::openFailure(const QString &refused) const
{
    if (!m_device.isEmpty()) {
        // QSerialPort's lock says only "Permission error while locking".
        if (const std::optional<PortHolder> holder = lockHolder(m_device))
            return QStringLiteral("the port is in use by %1").arg(holderText(*holder));
    }
    QString why = m_port.systemErrorText();
    if (why == systemText(EACCES))
        return permissionText();
    if (why == systemText(ENOTTY))
        return QStringLiteral("not a serial port (%1)").arg(why);
    if (!why.isEmpty())
        return why;
    if (m_device.isEmpty())
        return QStringLiteral("the system has no serial port number %1")
            .arg(acquisition::portNumber(m_portText));
    return refused.isEmpty() ? m_port.errorText() : refused; // the window's own words
}

QString PortRecording::lossReason() const
{
    // A read that found the terminal hung up leaves the error of an earlier
    // call, "Inappropriate ioctl for device", which says nothing of the loss.
    const QString why = m_port.systemErrorText();
    return why == systemText(ENOTTY) ? QString() : why;
}

void PortRecording::open()
{
    m_device = acquisition::namesDevice(m_portText)
                   ? m_portText
                   : m_port.deviceForPort(int(acquisition::portNumber(m_portText)));
    if (!m_device.isEmpty())
        checkDevice();
    const QString refused = acquisition::Init_com(m_port, m_portText);
    if (refused.isEmpty() && m_port.setPortOpen(true)) {
        m_lineErrors.emplace(m_device);
        return;
    }
    fail(kExitFailed, QStringLiteral("%1: cannot open: %2").arg(m_portText, openFailure(refused)));
}

RecordingEnd PortRecording::run(const std::function<BlockVerdict(const QByteArray &)> &take,
                                ProgressLine &progress, const StopSignals &stop,
                                const std::function<void(const QString &)> &warn)
{
    QEventLoop loop;
    RecordingEnd end = RecordingEnd::Complete;
    const auto finish = [&](RecordingEnd how) {
        end = how;
        m_port.setPortOpen(false);
        loop.quit();
    };
    const auto received = [&] { return std::min(m_total, m_taken + m_port.InBufferCount()); };

    const QMetaObject::Connection arrived =
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

    QElapsedTimer clock;
    clock.start();
    std::int64_t lastCount = 0;
    qint64 lastChangeMs = 0;
    qint64 lastTickMs = 0;
    BoardPace pace;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const std::int64_t count = received();
        const qint64 now = clock.elapsed();
        // A tick long late means the loop was busy (a slow disk), not reading
        // the port: the pause is this program's, not the board's.
        if (now - lastTickMs > qint64(2) * acquisition::kTickInterval)
            lastChangeMs = now;
        lastTickMs = now;
        if (count != lastCount) {
            lastCount = count;
            lastChangeMs = now;
        } else if (now - lastChangeMs >= kStallMs) {
            finish(RecordingEnd::Stalled);
            return;
        }
        const QString warning = pace.observe(now, count, m_lineErrors ? m_lineErrors->count() : -1);
        if (!warning.isEmpty())
            warn(QStringLiteral("%1: %2").arg(m_portText, warning));
        progress.show(count, m_total);
    });
    tick.start(acquisition::kTickInterval);
    progress.show(received(), m_total);

    if (stop.received() == 0)
        loop.exec();
    else
        finish(RecordingEnd::Stopped);
    QObject::disconnect(arrived);
    QObject::disconnect(stopped);
    if (end == RecordingEnd::Complete)
        progress.show(m_taken, m_total);
    return end;
}

} // namespace wavemill::capturing
