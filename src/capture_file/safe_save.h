// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace wavemill::capture_file {

/// Saves a file so that it appears whole or not at all: the content goes to a
/// temporary file beside the target, and only once every write, the flush to
/// the disk and the close have succeeded is it renamed over the target. Any
/// failure removes the temporary file and leaves an earlier file as it was.
///
/// The file that replaces an earlier one keeps its mode (all twelve bits) and,
/// where the process may give it away, its owner and group. A symbolic link
/// is written through: its target is replaced and the link stays. A target
/// that exists but is not a regular file (a folder, a FIFO, a device), that
/// the process may not write, or a link to nothing, is refused before anything
/// is made. Temporary files are named "<target>.wavemill-<pid>-<random>", so
/// that a later save can tell the ones a killed process left behind.
class SafeSave
{
public:
    /// What to do where no temporary file can be made beside the target (a
    /// folder the user may not write).
    enum class Fallback {
        Never,   // fail
        InPlace, // write an existing file the user may write in place, not atomically
    };

    explicit SafeSave(const QString &path, Fallback fallback = Fallback::Never);
    /// Removes the temporary file unless committed.
    ~SafeSave();
    SafeSave(const SafeSave &) = delete;
    SafeSave &operator=(const SafeSave &) = delete;

    /// Checks the target and makes the temporary file. False, with
    /// errorString() set and nothing made, when the target cannot be written.
    bool open();
    /// Appends to the temporary file. False once any write has failed.
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    /// Puts the temporary file in the target's place. Whatever wrote it (the
    /// writes above, or another writer that replaced it by name) must be done.
    /// False, with nothing left behind, when anything failed.
    bool commit();
    /// Gives up: the temporary file is removed, the target left as it was.
    void cancel();

    /// Where the content goes until the commit: the temporary file, or the
    /// target itself when written in place.
    QString temporaryPath() const { return m_temporary; }
    /// The file the commit replaces: the target, or the file a link leads to.
    QString finalPath() const { return m_final; }
    /// Why the last step failed, in a few words.
    QString errorString() const { return m_error; }
    /// Whether a step has failed: the save can only be cancelled now.
    bool failed() const { return m_failed; }

    /// Removes the temporary files of \a path that processes no longer
    /// running left behind (killed before they could clean up): regular files
    /// of this user with the name this class gives them. Returns how many.
    static int removeLeftovers(const QString &path);
    /// The words for a failed file operation's errno: "no space left on the
    /// device" for ENOSPC, where the system's text says less.
    static QString systemErrorText(int errnum);

private:
    bool refuse(const QString &why);
    bool failWith(int errnum);
    bool resolveTarget();
    bool makeTemporary();
    bool applyEarlierOwnerAndMode(int fd);

    QString m_path;
    Fallback m_fallback;
    QString m_final;     // the target, links followed
    QString m_temporary; // beside m_final, or m_final itself in place
    QString m_error;
    int m_fd = -1;
    bool m_inPlace = false;
    bool m_failed = false;
    bool m_existed = false; // an earlier file is replaced
    uid_t m_owner = 0;      // the earlier file's owner, group and mode
    gid_t m_group = 0;
    mode_t m_mode = 0;
};

} // namespace wavemill::capture_file
