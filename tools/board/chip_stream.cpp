// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/chip_stream.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace wavemill::board {

namespace {

using Clock = std::chrono::steady_clock;

/// Chip time simulated at one go: the batches a USB serial adapter hands
/// over, and the most a byte leaves late when the simulation keeps up.
constexpr std::uint64_t kBatchCycles = SimulatedChip::kClockHz / 500; // 2 ms

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// This thread's processor time: on a busy machine the wall clock also
/// counts the time other programs had the processor.
double processorSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

std::string ChipRun::summary(const SampleTiming &timing) const
{
    char text[400];
    const double speed = simulatingSeconds > 0 ? simulatedSeconds / simulatingSeconds : 0;
    const double processorSpeed = processorSeconds > 0 ? simulatedSeconds / processorSeconds : 0;
    const double period = timing.meanPeriodCycles();
    std::snprintf(text, sizeof text,
                  "simulated %.2f s of the chip in %.2f s (%.1f x real time; %.2f s of processor "
                  "time, %.1f x); PD2 read %llu "
                  "times, every %.6f us on average (%+.2f ppm), gaps %llu to %llu cycles, "
                  "within %.2f cycles peak to peak of the ideal instants",
                  simulatedSeconds, simulatingSeconds, speed, processorSeconds, processorSpeed,
                  static_cast<unsigned long long>(timing.samples()),
                  period * 1e6 / SimulatedChip::kClockHz,
                  period > 0 ? (period / SimulatedChip::kSampleCycles - 1) * 1e6 : 0.0,
                  static_cast<unsigned long long>(timing.shortestGap()),
                  static_cast<unsigned long long>(timing.longestGap()), timing.spreadCycles());
    return text;
}

ChipRun streamChip(BoardLink &out, SimulatedChip &chip, signals::Signal &input, std::uint64_t count,
                   bool paced, const volatile std::sig_atomic_t *stop)
{
    ChipRun run;
    chip.reset(&input);
    const std::uint64_t limit = count ? count : UINT64_MAX;
    const Clock::time_point start = Clock::now();
    std::vector<std::uint8_t> bytes;
    while (run.sent < limit && !*stop) {
        const Clock::time_point began = Clock::now();
        const double processorBegan = processorSeconds();
        const std::uint64_t until = chip.cycle() + kBatchCycles;
        const bool running = chip.runUntil(until);
        run.simulatingSeconds += secondsSince(began);
        run.processorSeconds += processorSeconds() - processorBegan;
        run.simulatedSeconds = double(chip.cycle()) / SimulatedChip::kClockHz;
        if (!running) {
            run.failure = chip.why();
            break;
        }
        bytes.clear();
        for (const SimulatedChip::SerialByte &byte : chip.takeSerial()) {
            if (run.sent + bytes.size() < limit)
                bytes.push_back(byte.value);
        }
        if (paced) // behind the chip's time, never ahead of it
            std::this_thread::sleep_until(start +
                                          std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(run.simulatedSeconds)));
        if (!out.writeAll(bytes.data(), bytes.size(), stop))
            break;
        run.sent += bytes.size();
    }
    return run;
}

} // namespace wavemill::board
