// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace wavemill::capturing {

/// A process that has a serial device: two readers of one port share its
/// bytes, each missing what the other takes.
struct PortHolder
{
    qint64 pid = 0;
    QString name; // the program's name, as the system keeps it
};

/// Whether \a device is a terminal (a serial port, a pseudo-terminal), told
/// from the system's list of terminal drivers without opening it: opening a
/// serial port resets an Uno.
bool isTerminal(const QString &device);

/// The processes other than this one that have \a device open: all of them
/// for root, otherwise those of this user (the system shows no others). A
/// process that has a pseudo-terminal's master side too is its other end (a
/// board on the line, a terminal), not another reader, and is left out.
QList<PortHolder> processesHolding(const QString &device);

/// The running process whose lock file ("LCK..ttyUSB0" in /run/lock or a
/// folder like it, as QSerialPort and the uucp tools take it) holds
/// \a device. A lock whose process has ended is nobody's.
std::optional<PortHolder> lockHolder(const QString &device);

/// "cat (PID 1234)", or "PID 1234" where the name is unknown.
QString holderText(const PortHolder &holder);

} // namespace wavemill::capturing
