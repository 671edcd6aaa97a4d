// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture_file/safe_save.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavemill::capture_file {

namespace {

/// Links followed before giving up, as the kernel's own limit (MAXSYMLINKS).
constexpr int kMaxLinks = 40;
/// Names tried for a temporary file before giving up.
constexpr int kNameTries = 100;
/// Random letters in a temporary file's name, as mkstemp's XXXXXX.
constexpr int kRandomLetters = 6;
/// What a temporary file's name adds to its target's: ".wavemill-<pid>-<letters>";
/// libzip's own temporary beside it adds ".<six letters>" more.
constexpr auto kTemporaryMark = ".wavemill-";
/// Read and write for everyone the umask allows, as a new file gets from the shell.
constexpr mode_t kNewFileMode = 0666;
/// The permission bits with setuid, setgid and sticky: all a mode keeps.
constexpr mode_t kModeBits = 07777;

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString randomLetters()
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString text;
    for (int i = 0; i < kRandomLetters; ++i)
        text +=
            QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
    return text;
}

mode_t currentUmask()
{
    // The only way to read it is to set it; a file another thread makes in
    // between gets no mask at worst.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

/// Follows \a path's symbolic links to the file they lead to, without any check.
QString followLinks(const QString &path)
{
    QString current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        const QString next = QFileInfo(current).symLinkTarget();
        if (next.isEmpty())
            break;
        current = next;
    }
    return current;
}

/// What a file that is not a regular one is, for the message refusing it.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral(": a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral(": a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral(": a device");
    if (S_ISSOCK(mode))
        return QStringLiteral(": a socket");
    return {};
}

} // namespace

SafeSave::SafeSave(const QString &path, Fallback fallback) : m_path(path), m_fallback(fallback) {}

SafeSave::~SafeSave()
{
    cancel();
}

QString SafeSave::systemErrorText(int errnum)
{
    switch (errnum) {
    case ENOSPC:
        return QStringLiteral("no space left on the device");
    case EDQUOT:
        return QStringLiteral("the disk quota is used up");
    case EFBIG:
        return QStringLiteral("the file would pass the limit on file sizes (ulimit -f)");
    case EROFS:
        return QStringLiteral("the file system is read-only");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case ENOENT:
        return QStringLiteral("no such folder");
    case ENOTDIR:
        return QStringLiteral("a part of the path is not a folder");
    default:
        return qt_error_string(errnum);
    }
}

bool SafeSave::refuse(const QString &why)
{
    m_error = why;
    m_failed = true;
    return false;
}

bool SafeSave::failWith(int errnum)
{
    return refuse(systemErrorText(errnum));
}

bool SafeSave::open()
{
    if (m_fd >= 0 || m_failed)
        return false;
    if (m_path.isEmpty() || QFileInfo(m_path).fileName().isEmpty())
        return refuse(QStringLiteral("no file name"));
    if (!resolveTarget() || !makeTemporary())
        return false;
    return true;
}

bool SafeSave::resolveTarget()
{
    QString current = m_path;
    struct stat status
    {
    };
    for (int hop = 0;; ++hop) {
        if (::lstat(native(current).constData(), &status) != 0) {
            if (errno != ENOENT)
                return failWith(errno);
            if (hop > 0)
                return refuse(
                    QStringLiteral("a symbolic link to %1, which does not exist").arg(current));
            m_existed = false;
            m_final = current;
            return true;
        }
        if (!S_ISLNK(status.st_mode))
            break;
        if (hop == kMaxLinks)
            return refuse(QStringLiteral("too many symbolic links"));
        // As the kernel's protected_symlinks: in a folder anyone may write
        // (/tmp), a link someone else made is not followed, or it could lead
        // a save anywhere its maker likes.
        struct stat folder
        {
        };
        const QString parent = QFileInfo(current).path();
        if (::stat(native(parent).constData(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
            (folder.st_mode & S_IWOTH) && status.st_uid != ::geteuid() &&
            status.st_uid != folder.st_uid)
            return refuse(QStringLiteral("a symbolic link someone else made in a shared folder; "
                                         "not followed"));
        QByteArray target(qsizetype(status.st_size) + 1, '\0');
        const ssize_t length =
            ::readlink(native(current).constData(), target.data(), size_t(target.size()));
        if (length < 0 || length >= target.size())
            return failWith(length < 0 ? errno : ENAMETOOLONG);
        const QString next = QFile::decodeName(target.left(qsizetype(length)));
        current = QFileInfo(next).isAbsolute() ? next : parent + QLatin1Char('/') + next;
    }
    m_final = current;
    if (!S_ISREG(status.st_mode))
        return refuse(QStringLiteral("not a regular file") + kindOf(status.st_mode));
    if (::access(native(m_final).constData(), W_OK) != 0)
        return failWith(errno);
    m_existed = true;
    m_owner = status.st_uid;
    m_group = status.st_gid;
    m_mode = status.st_mode & kModeBits;
    return true;
}

bool SafeSave::makeTemporary()
{
    const QFileInfo target(m_final);
    const QString stem = target.path() + QLatin1Char('/') + target.fileName() +
                         QLatin1String(kTemporaryMark) + QString::number(::getpid()) +
                         QLatin1Char('-');
    int error = 0;
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        const QString name = stem + randomLetters();
        m_fd = ::open(native(name).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
        if (m_fd >= 0) {
            m_temporary = name;
            return true;
        }
        error = errno;
        if (error != EEXIST)
            break;
    }
    if (m_fallback == Fallback::InPlace && m_existed && (error == EACCES || error == EPERM)) {
        // No file can be made in the folder, but the target may be written:
        // it is, in place, and cut to the new length at the commit.
        m_fd = ::open(native(m_final).constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
        if (m_fd >= 0) {
            m_inPlace = true;
            m_temporary = m_final;
            return true;
        }
        error = errno;
    }
    return failWith(error);
}

bool SafeSave::write(const char *data, qint64 size)
{
    if (m_fd < 0 || m_failed)
        return false;
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return failWith(errno);
        }
        data += written;
        size -= written;
    }
    return true;
}

bool SafeSave::applyEarlierOwnerAndMode(int fd)
{
    mode_t mode = kNewFileMode & ~currentUmask();
    if (m_existed) {
        // The owner and group where the process may give them (root may);
        // otherwise the group alone where it is one of the user's; otherwise
        // the file stays the user's. The mode after, as a change of owner
        // clears setuid and setgid.
        if (::fchown(fd, m_owner, m_group) != 0)
            static_cast<void>(::fchown(fd, uid_t(-1), m_group));
        mode = m_mode;
    }
    return ::fchmod(fd, mode) == 0 || failWith(errno);
}

bool SafeSave::commit()
{
    if (m_failed || (m_fd < 0 && m_temporary.isEmpty())) {
        cancel();
        return false;
    }
    const QByteArray temporary = native(m_temporary);
    if (m_fd >= 0) {
        // Every byte on the disk before the rename: a full disk or a failing
        // device may only tell at the flush or the close.
        int error = 0;
        if (m_inPlace) {
            const off_t length = ::lseek(m_fd, 0, SEEK_CUR);
            if (length < 0 || ::ftruncate(m_fd, length) != 0)
                error = errno;
        }
        if (error == 0 && ::fsync(m_fd) != 0)
            error = errno;
        if (::close(m_fd) != 0 && error == 0)
            error = errno;
        m_fd = -1;
        if (error != 0) {
            failWith(error);
            cancel();
            return false;
        }
    }
    if (m_inPlace) {
        m_temporary.clear();
        return true;
    }
    // Opened again by name: a writer given the name (libzip) may have put
    // a file of its own there.
    const int fd = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat status
    {
    };
    bool done = fd >= 0 && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (!done)
        failWith(fd >= 0 ? EINVAL : errno);
    done = done && applyEarlierOwnerAndMode(fd);
    done = done && (::fsync(fd) == 0 || failWith(errno));
    if (fd >= 0 && ::close(fd) != 0 && done)
        done = failWith(errno);
    done = done &&
           (::rename(temporary.constData(), native(m_final).constData()) == 0 || failWith(errno));
    if (!done) {
        cancel();
        return false;
    }
    m_temporary.clear();
    return true;
}

void SafeSave::cancel()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_inPlace && !m_temporary.isEmpty())
        ::unlink(native(m_temporary).constData());
    m_temporary.clear();
}

int SafeSave::removeLeftovers(const QString &path)
{
    const QFileInfo target(followLinks(path));
    const QRegularExpression ours(
        QLatin1Char('^') +
        QRegularExpression::escape(target.fileName() + QLatin1String(kTemporaryMark)) +
        QStringLiteral("(\\d+)-[A-Za-z0-9]{%1}(\\.[A-Za-z0-9]{6})?$").arg(kRandomLetters));
    int removed = 0;
    const QDir folder(target.path());
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch match = ours.match(name);
        if (!match.hasMatch())
            continue;
        bool ok = false;
        const auto pid = pid_t(match.captured(1).toLongLong(&ok));
        // A process that still runs, or one this user may not signal, may be
        // writing it.
        if (!ok || pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        const QByteArray file = native(folder.filePath(name));
        struct stat status
        {
        };
        if (::lstat(file.constData(), &status) == 0 && S_ISREG(status.st_mode) &&
            status.st_uid == ::geteuid() && ::unlink(file.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace wavemill::capture_file
