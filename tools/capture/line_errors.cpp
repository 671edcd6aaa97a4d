// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/line_errors.h"

#include <QDirIterator>
#include <QFileInfo>

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace wavemill::capturing {

LineErrors::LineErrors(const QString &device)
{
    // The port's descriptor is the serial component's; it is found by the
    // device it leads to, as the counts are the port's, not the descriptor's.
    const QString target = QFileInfo(device).canonicalFilePath();
    QDirIterator descriptors(QStringLiteral("/proc/self/fd"),
                             QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    while (!target.isEmpty() && descriptors.hasNext()) {
        descriptors.next();
        if (descriptors.fileInfo().symLinkTarget() == target) {
            m_fd = descriptors.fileName().toInt();
            break;
        }
    }
    m_start = total();
}

qint64 LineErrors::total() const
{
    serial_icounter_struct counts{};
    if (m_fd < 0 || ::ioctl(m_fd, TIOCGICOUNT, &counts) != 0)
        return -1;
    return qint64(counts.frame) + counts.parity + counts.brk;
}

qint64 LineErrors::count() const
{
    const qint64 now = total();
    return now < 0 || m_start < 0 ? -1 : now - m_start;
}

} // namespace wavemill::capturing
