// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

namespace wavemill::platform {

/// The bytes a serial component has received and the logic has not yet
/// taken, and when a receive event is due: once at least the threshold
/// waits. Nothing is ever dropped but by clear().
class ReceiveQueue
{
public:
    void setThreshold(int bytes) { m_threshold = bytes; }
    /// Most bytes one take() removes; 0 takes all that wait.
    void setInputLen(int bytes) { m_inputLen = bytes; }
    int threshold() const { return m_threshold; }

    void append(const QByteArray &bytes);
    /// Removes up to InputLen bytes, oldest first.
    QByteArray take();
    qsizetype waiting() const { return m_bytes.size() - m_head; }
    void clear();

    /// A receive event is due: the threshold is set and met.
    bool eventDue() const { return m_threshold > 0 && waiting() >= m_threshold; }

    /// Brackets one receive event. endEvent says whether another is due
    /// now: the handler took bytes, or more arrived while it ran, and the
    /// threshold is still met. A handler that takes nothing is not asked
    /// again until more bytes arrive.
    void beginEvent();
    bool endEvent();
    bool inEvent() const { return m_inEvent; }

private:
    QByteArray m_bytes;
    qsizetype m_head = 0; // taken bytes before this are dropped lazily
    int m_threshold = 0;
    int m_inputLen = 0;
    bool m_inEvent = false;
    quint64 m_taken = 0;
    quint64 m_appended = 0;
    quint64 m_takenAtBegin = 0;
    quint64 m_appendedAtBegin = 0;
};

} // namespace wavemill::platform
