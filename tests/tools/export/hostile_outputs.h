// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What wavemill-export's and wavemill-capture's tests do to the place a
// program writes to: a disk that fills up, a limit on file sizes, another
// user, and a look at everything in a folder, byte for byte.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>

#include <csignal>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavemill::testing {

/// An unprivileged user's and group's ids, for the tests run as root.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

/// Everything under \a folder, by path: a file's bytes, a link's target, a
/// folder's or a FIFO's kind (a FIFO is never opened).
inline QMap<QString, QByteArray> folderSnapshot(const QString &folder)
{
    QMap<QString, QByteArray> snapshot;
    const QDir top(folder);
    const QFileInfoList entries =
        top.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : entries) {
        const QString name = info.fileName();
        if (info.isSymLink()) {
            snapshot[name] = "link to " + QFile::encodeName(info.symLinkTarget());
        } else if (info.isDir()) {
            snapshot[name] = "(folder)";
            const auto inside = folderSnapshot(info.filePath());
            for (auto it = inside.begin(); it != inside.end(); ++it)
                snapshot[name + QLatin1Char('/') + it.key()] = it.value();
        } else if (info.isFile()) {
            QFile file(info.filePath());
            snapshot[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : "(unreadable)";
        } else {
            snapshot[name] = "(special)";
        }
    }
    return snapshot;
}

/// Mounts a tmpfs of \a kib KiB on \a folder, where the tests may (as root).
inline bool mountSmallDisk(const QString &folder, int kib)
{
    if (::geteuid() != 0)
        return false;
    QProcess mount;
    mount.start(QStringLiteral("mount"),
                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                 QStringLiteral("size=%1k").arg(kib), QStringLiteral("tmpfs"), folder});
    return mount.waitForFinished() && mount.exitStatus() == QProcess::NormalExit &&
           mount.exitCode() == 0;
}

inline void unmount(const QString &folder)
{
    QProcess::execute(QStringLiteral("umount"), {folder});
}

/// What a program's process is given before it starts: a limit on the size
/// of the files it writes (bytes, 0 for none), and another user.
struct ChildLimits
{
    rlim_t fileSize = 0;
    bool asNobody = false;
};

inline void limitChild(QProcess &process, const ChildLimits &limits)
{
    process.setChildProcessModifier([limits] {
        if (limits.fileSize > 0) {
            const rlimit limit{limits.fileSize, limits.fileSize};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (limits.asNobody && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNoGroup) != 0 || ::setuid(kNobody) != 0)
                ::_exit(125);
        }
    });
}

} // namespace wavemill::testing
