// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace wavemill::capturing {

/// The framing errors a serial driver counts on a port this process has open
/// (TIOCGICOUNT): bytes whose stop bit came wrong, the sign of a sender at
/// another rate. Qt 6 reports none of them; most USB serial adapters'
/// drivers count them, pseudo-terminals do not.
class LineErrors
{
public:
    /// Counts from now on, for \a device, which this process has open.
    explicit LineErrors(const QString &device);

    /// Framing and parity errors and breaks since the start; -1 where the
    /// driver does not count them.
    qint64 count() const;

private:
    qint64 total() const;

    int m_fd = -1; // this process's descriptor of the device
    qint64 m_start = 0;
};

} // namespace wavemill::capturing
