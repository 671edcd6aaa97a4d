// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/port_holders.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

#include <dirent.h>
#include <unistd.h>

namespace wavemill::capturing {

namespace {

/// Where lock files of serial devices are kept, in the order QSerialPort
/// looks for a folder to put its own.
const QStringList kLockFolders{
    QStringLiteral("/var/lock"),       QStringLiteral("/etc/locks"),
    QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
    QStringLiteral("/tmp"),            QStringLiteral("/var/tmp"),
    QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"),
};

bool running(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString programName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                          : QString();
}

} // namespace

QList<PortHolder> processesHolding(const QString &device)
{
    const QByteArray target = QFile::encodeName(QFileInfo(device).canonicalFilePath());
    QList<PortHolder> holders;
    if (target.isEmpty())
        return holders;
    DIR *processes = ::opendir("/proc");
    if (!processes)
        return holders;
    while (const dirent *process = ::readdir(processes)) {
        char *end = nullptr;
        const long long pid = std::strtoll(process->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == ::getpid())
            continue;
        // Another user's descriptors are hidden from all but root: skipped.
        const QByteArray folder = "/proc/" + QByteArray(process->d_name) + "/fd/";
        DIR *descriptors = ::opendir(folder.constData());
        if (!descriptors)
            continue;
        while (const dirent *fd = ::readdir(descriptors)) {
            char link[PATH_MAX];
            const ssize_t length =
                ::readlink((folder + fd->d_name).constData(), link, sizeof link - 1);
            if (length > 0 && QByteArray(link, length) == target) {
                holders.append({pid, programName(pid)});
                break;
            }
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return holders;
}

std::optional<PortHolder> lockHolder(const QString &device)
{
    // QSerialPort names the lock after the device's path below /dev, with
    // its slashes as underscores: LCK..ttyUSB0, LCK..pts_3.
    QString name = QFileInfo(device).canonicalFilePath();
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &folder : kLockFolders) {
        const QString path = folder + QStringLiteral("/LCK..") + name;
        if (!QFileInfo::exists(path))
            continue;
        QLockFile lock(path);
        qint64 pid = 0;
        QString host;
        QString program;
        if (lock.getLockInfo(&pid, &host, &program) && running(pid))
            return PortHolder{pid, program.isEmpty() ? programName(pid) : program};
    }
    return std::nullopt;
}

QString holderText(const PortHolder &holder)
{
    return holder.name.isEmpty() ? QStringLiteral("PID %1").arg(holder.pid)
                                 : QStringLiteral("%1 (PID %2)").arg(holder.name).arg(holder.pid);
}

} // namespace wavemill::capturing
