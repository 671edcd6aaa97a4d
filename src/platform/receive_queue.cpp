// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/receive_queue.h"

#include <algorithm>

namespace wavemill::platform {

void ReceiveQueue::append(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_bytes.append(bytes);
    m_appended += quint64(bytes.size());
}

QByteArray ReceiveQueue::take()
{
    const qsizetype available = waiting();
    const qsizetype count = m_inputLen > 0 ? std::min<qsizetype>(m_inputLen, available) : available;
    QByteArray block = m_bytes.mid(m_head, count);
    m_head += count;
    m_taken += quint64(count);
    // Drop the taken front once it outweighs what still waits.
    if (m_head > 4096 && m_head * 2 > m_bytes.size()) {
        m_bytes.remove(0, m_head);
        m_head = 0;
    }
    return block;
}

void ReceiveQueue::clear()
{
    m_bytes.clear();
    m_head = 0;
}

void ReceiveQueue::beginEvent()
{
    m_inEvent = true;
    m_takenAtBegin = m_taken;
    m_appendedAtBegin = m_appended;
}

bool ReceiveQueue::endEvent()
{
    m_inEvent = false;
    const bool moved = m_taken != m_takenAtBegin || m_appended != m_appendedAtBegin;
    return moved && eventDue();
}

} // namespace wavemill::platform
