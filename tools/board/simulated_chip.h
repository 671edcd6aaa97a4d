// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "board/sample_timing.h"
#include "board/signal_pin.h"

#include "firmware/sample_clock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct avr_t;
struct avr_irq_t;

namespace wavemill::board {

/// An ATmega328P at 16 MHz, simulated by libsimavr in this process, running
/// a firmware image: the board's chip. Pin PD2 (Arduino D2) follows a signal
/// at the signal's own edge times, in CPU cycles; what USART0 sends comes out
/// with the cycle it was sent at; and the cycles at which the firmware reads
/// PD2 are timed against the board's sample period.
class SimulatedChip
{
public:
    static constexpr std::uint32_t kClockHz = BOARD_CLOCK_HZ;
    /// The sample period in cycles as the firmware counts it (timing.h):
    /// 321 whole cycles and 1,776 ten-thousandths at 16 MHz, 321.1776.
    static constexpr double kSampleCycles =
        double(SAMPLE_CYCLES_AT(kClockHz)) + double(SAMPLE_FRACTION_AT(kClockHz)) / FRACTION_STEPS;

    struct SerialByte
    {
        std::uint64_t cycle; // since the last reset
        std::uint8_t value;
    };

    SimulatedChip();
    ~SimulatedChip();
    SimulatedChip(const SimulatedChip &) = delete;
    SimulatedChip &operator=(const SimulatedChip &) = delete;

    /// Loads a firmware image, an ELF file or Intel hex, into a new chip,
    /// once FirmwareImage has found it fit for the ATmega328P. Returns an
    /// empty string on success, else why it failed; then there is no chip
    /// until a load succeeds, and runUntil() says so.
    std::string load(const std::string &path);

    /// Starts the chip again from reset with \a input on PD2 from its start
    /// (nullptr: PD2 left open, as the pull-up holds it high). The signal
    /// must outlive the run.
    void reset(signals::Signal *input);

    /// Runs until \a cycle cycles after the reset. False when the firmware
    /// has stopped (interrupts off and asleep) or crashed: why() says which.
    bool runUntil(std::uint64_t cycle);

    /// Cycles since the last reset.
    std::uint64_t cycle() const;
    /// The bytes sent since the last call, in order.
    std::vector<SerialByte> takeSerial();
    /// When the firmware read PD2 since the last reset: the instructions
    /// IN, LDS, SBIC and SBIS on PIND.
    const SampleTiming &sampleTiming() const { return m_timing; }
    const std::string &why() const { return m_why; }

private:
    static void onSerialByte(avr_irq_t *irq, std::uint32_t value, void *param);
    static std::uint64_t onEdge(avr_t *avr, std::uint64_t when, void *param);
    void unload();
    /// Puts \a high on PD2, as a signal driving the pin.
    void drive(bool high);
    /// Whether the instruction at the program counter reads PIND.
    bool readsInputPort() const;
    std::uint64_t cycleOf(double seconds) const;

    avr_t *m_avr = nullptr;
    avr_irq_t *m_pin = nullptr;
    std::uint64_t m_resetCycle = 0;
    std::unique_ptr<SignalPin> m_input;
    std::vector<SerialByte> m_serial;
    SampleTiming m_timing{kSampleCycles};
    std::string m_why;
};

} // namespace wavemill::board
