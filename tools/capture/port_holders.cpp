// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/port_holders.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <csignal>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace wavemill::capturing {

namespace {

/// Where lock files of serial devices are kept, in the order QSerialPort
/// looks for a folder to put its own.
const QStringList kLockFolders{
    QStringLiteral("/var/lock"),
    QStringLiteral("/etc/locks"),
    QStringLiteral("/var/spool/locks"),
    QStringLiteral("/var/spool/uucp"),
    QStringLiteral("/tmp"),
    QStringLiteral("/var/tmp"),
    QStringLiteral("/var/lock/lockdev"),
    QStringLiteral("/run/lock"),
};

bool running(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

/// The name the program was started by: its command line's first word,
/// which the system does not cut to 15 letters as it does its own name.
QString programName(qint64 pid)
{
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!commandLine.open(QIODevice::ReadOnly))
        return {};
    const QByteArray first = commandLine.readAll().split('\0').front();
    return QFileInfo(QFile::decodeName(first)).fileName();
}

/// The number of the pseudo-terminal \a path names ("/dev/pts/3": 3), or -1.
int pseudoTerminalNumber(const QString &path)
{
    if (!path.startsWith(QLatin1String("/dev/pts/")))
        return -1;
    bool ok = false;
    const int number = path.mid(9).toInt(&ok);
    return ok ? number : -1;
}

/// Whether descriptor \a fd of process \a pid is the master side of
/// pseudo-terminal \a number: its fdinfo names the slave's index.
bool holdsMaster(qint64 pid, const QString &fd, int number)
{
    QFile info(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid).arg(fd));
    if (!info.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : info.readAll().split('\n')) {
        if (line.startsWith("tty-index:"))
            return line.mid(10).trimmed().toInt() == number;
    }
    return false;
}

} // namespace

bool isTerminal(const QString &device)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(device).constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    const auto major = qlonglong(major(status.st_rdev));
    const auto minor = qlonglong(minor(status.st_rdev));
    // Lines such as "usbserial  /dev/ttyUSB  188 0-511 serial": the driver's
    // major number and its range of minor numbers.
    QFile drivers(QStringLiteral("/proc/tty/drivers"));
    if (!drivers.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : drivers.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || fields[2].toLongLong() != major)
            continue;
        const QList<QByteArray> range = fields[3].split('-');
        const qlonglong first = range.front().toLongLong();
        const qlonglong last = range.back().toLongLong();
        if (minor >= first && minor <= last)
            return true;
    }
    return false;
}

QList<PortHolder> processesHolding(const QString &device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    const int pseudoTerminal = pseudoTerminalNumber(target);
    QList<PortHolder> holders;
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (!target.isEmpty() && processes.hasNext()) {
        processes.next();
        bool ok = false;
        const qint64 pid = processes.fileName().toLongLong(&ok);
        if (!ok || pid == ::getpid())
            continue;
        // Another user's descriptors are hidden from all but root: skipped.
        QDirIterator descriptors(processes.filePath() + QStringLiteral("/fd"),
                                 QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        bool holds = false;
        bool farEnd = false;
        while (descriptors.hasNext()) {
            descriptors.next();
            const QString link = descriptors.fileInfo().symLinkTarget();
            holds = holds || link == target;
            // The process at a pseudo-terminal's other end (a board, a
            // terminal) may keep the slave open too: it is not a reader.
            farEnd = farEnd || (pseudoTerminal >= 0 && link.endsWith(QLatin1String("ptmx")) &&
                                holdsMaster(pid, descriptors.fileName(), pseudoTerminal));
        }
        if (holds && !farEnd)
            holders.append({pid, programName(pid)});
    }
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
