// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The serial components' block delivery over any sequence of arrivals. The
// input is a script: chunks of any size arrive (also while a handler runs),
// queued receive events run when the script says, the port is closed and
// reopened. The events are raised the way the serial components raise them
// (one queued at a time, never inside another, again after endEvent() asks),
// and every handler takes one read, as the capture handler does. Threshold
// and read length are 1,024. Aborts unless
//   - every block is 1,024 bytes, never short,
//   - the blocks are the bytes that arrived, in order, none lost or doubled,
//   - once the queued events have run, fewer than 1,024 bytes wait.

#include "platform/receive_queue.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>

namespace {

constexpr int kBlock = 1024; // RThreshold = InputLen, as the serial set-up writes them

/// The stream repeats every kPeriod bytes, a length prime to the block size,
/// so a block from the wrong place does not match by chance. The table holds
/// two periods: any run of up to kPeriod bytes is one slice of it.
constexpr std::size_t kPeriod = 65537;

const std::uint8_t *stream(std::uint64_t position)
{
    static const auto table = [] {
        static std::uint8_t bytes[2 * kPeriod];
        for (std::size_t i = 0; i < kPeriod; ++i) {
            std::uint64_t x = (i + 1) * 0x9E3779B97F4A7C15ull;
            x ^= x >> 29;
            bytes[i] = bytes[i + kPeriod] = std::uint8_t(x >> 7);
        }
        return bytes;
    }();
    return table + position % kPeriod;
}

/// Reads the script's next bytes; past its end every read gives 0.
class Script
{
public:
    Script(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    /// A chunk size: mostly small, sometimes several blocks at once.
    int chunkSize()
    {
        const int head = byte();
        const int low = byte();
        switch (head >> 6) {
        case 0:
            return low % 64;
        case 1:
            return (head & 0x3f) * 64 + low; // up to 4,287
        case 2:
            return kBlock + (low % 3) - 1; // around one block
        default:
            return (head & 0x0f) * 4096 + low; // up to 60 KiB
        }
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct Harness
{
    wavemill::platform::ReceiveQueue queue;
    bool dispatchQueued = false;
    std::uint64_t arrived = 0;  // stream position of the next byte to arrive
    std::uint64_t expected = 0; // stream position the next block must start at

    void arrive(int size)
    {
        queue.append(QByteArray(reinterpret_cast<const char *>(stream(arrived)), size));
        arrived += std::uint64_t(size);
        if (queue.waiting() != qsizetype(arrived - expected))
            __builtin_trap();
        schedule();
    }

    void schedule()
    {
        if (!dispatchQueued && queue.eventDue())
            dispatchQueued = true;
    }

    /// One queued event; the handler may see more bytes arrive while it runs.
    void dispatch(Script &script)
    {
        dispatchQueued = false;
        if (queue.inEvent() || !queue.eventDue())
            return;
        queue.beginEvent();
        const std::uint8_t during = script.byte();
        if (during & 1)
            arrive(script.chunkSize());
        const QByteArray block = queue.take();
        if (block.size() != kBlock)
            __builtin_trap(); // a short block would misplace every later byte
        if (std::memcmp(block.constData(), stream(expected), kBlock) != 0)
            __builtin_trap();
        expected += kBlock;
        if (during & 2)
            arrive(script.chunkSize());
        if (queue.endEvent())
            schedule();
    }

    /// Closing the port drops what waits; the next opening starts afresh.
    void reopen()
    {
        queue.clear();
        dispatchQueued = false;
        expected = arrived;
        if (queue.waiting() != 0 || queue.eventDue())
            __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Harness h;
    h.queue.setThreshold(kBlock);
    h.queue.setInputLen(kBlock);
    Script script(data, size);
    int steps = 0;
    while (!script.atEnd() && ++steps < 4096) {
        const std::uint8_t op = script.byte();
        switch (op % 8) {
        case 0:
        case 1:
        case 2:
            h.arrive(script.chunkSize());
            break;
        case 3:
        case 4:
        case 5:
            if (h.dispatchQueued)
                h.dispatch(script);
            break;
        case 6:
            if (h.queue.waiting() != qsizetype(h.arrived - h.expected))
                __builtin_trap(); // what InBufferCount reports
            break;
        default:
            if (op == 0xff)
                h.reopen();
            break;
        }
    }
    // The event loop runs what is still queued.
    while (h.dispatchQueued)
        h.dispatch(script);
    if (h.queue.waiting() >= kBlock || h.queue.eventDue())
        __builtin_trap();
    if (h.arrived - h.expected != std::uint64_t(h.queue.waiting()))
        __builtin_trap();
    return 0;
}
