// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/paced_stream.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace wavemill::board {

namespace {

/// Bytes written at one go at the paced rates: a wake-up every 2 ms or so,
/// the way a USB serial adapter hands bytes over in small batches.
constexpr double kPacedBatchSeconds = 0.002;
/// Largest single write.
constexpr std::size_t kMaxWrite = 4096;
constexpr std::int64_t kNsPerSecond = 1000000000;

void sleepUntilNs(std::int64_t when)
{
    timespec ts{};
    ts.tv_sec = time_t(when / kNsPerSecond);
    ts.tv_nsec = long(when % kNsPerSecond);
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr); // EINTR: the loop looks again
}

} // namespace

std::int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

std::uint64_t streamPaced(BoardLink &out, signals::Signal &signal, std::uint64_t count,
                          double bytesPerSecond, const volatile std::sig_atomic_t *stop)
{
    const std::uint64_t limit = count ? count : UINT64_MAX;
    const bool paced = bytesPerSecond > 0;
    const std::uint64_t batch =
        paced ? std::max<std::uint64_t>(1, std::uint64_t(bytesPerSecond * kPacedBatchSeconds))
              : kMaxWrite;
    const double nsPerByte = paced ? 1e9 / bytesPerSecond : 0;
    const std::int64_t start = monotonicNs();
    std::vector<std::uint8_t> chunk;
    chunk.reserve(kMaxWrite);
    std::uint64_t sent = 0;
    bool ended = false;
    while (sent < limit && !ended && !*stop) {
        std::uint64_t due = limit;
        if (paced) {
            // Bytes whose time has come, counting the one leaving now.
            due = std::min<std::uint64_t>(
                limit, std::uint64_t(double(monotonicNs() - start) / nsPerByte) + 1);
            if (due <= sent) {
                const std::uint64_t next = std::min(limit, sent + batch) - 1;
                sleepUntilNs(start + std::int64_t(double(next) * nsPerByte));
                continue;
            }
        }
        chunk.clear();
        std::uint8_t byte = 0;
        while (sent + chunk.size() < due && chunk.size() < kMaxWrite) {
            if (!signal.nextByte(byte)) {
                ended = true;
                break;
            }
            chunk.push_back(byte);
        }
        if (!out.writeAll(chunk.data(), chunk.size(), stop))
            return sent;
        sent += chunk.size();
    }
    return sent;
}

} // namespace wavemill::board
