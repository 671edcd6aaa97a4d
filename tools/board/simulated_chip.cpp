// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/simulated_chip.h"

#include "board/firmware_image.h"
#include "command/printable_text.h"

#include "core/sample_period.h"

#include <avr_extint.h>
#include <avr_ioport.h>
#include <avr_uart.h>
#include <sim_avr.h>
#include <sim_io.h>
#include <sim_irq.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace wavemill::board {

using command::printable;

// The firmware's figures against the program's: the period it counts is the
// one the window assumes, and its cycles come out whole and exact.
static_assert(SAMPLE_PERIOD_PS == kSamplePeriodPs, "the firmware samples at the program's period");
static_assert(FRACTION_ERROR_PPB_AT(SimulatedChip::kClockHz) == 0,
              "the firmware's ten-thousandths of a cycle hold the period exactly");
static_assert(SimulatedChip::kSampleCycles ==
                  double(kSamplePeriodPs) * SimulatedChip::kClockHz / 1e12,
              "the chip's sample period is the board's, in its cycles");

namespace {

constexpr const char *kMcu = "atmega328p";
constexpr char kInputPort = 'D';
constexpr int kInputPin = 2;
/// PIND: I/O address 0x09, data address 0x29 (datasheet, register summary).
constexpr unsigned kPindIo = 0x09;
constexpr unsigned kPindData = 0x29;

/// The simulator's messages that reach stderr, for all the chips of the
/// process: a firmware that goes wrong can make it repeat one message
/// millions of times a second.
constexpr int kMaxSimulatorMessages = 20;
/// The longest message passed on.
constexpr int kSimulatorMessageChars = 200;
int g_simulatorMessages = 0;

/// simavr's messages: errors go to stderr, printable and cut short, up to
/// kMaxSimulatorMessages of them; the rest (loading, tracing) is not for the
/// board's user.
void logErrorsOnly(avr_t * /*avr*/, const int level, const char *format, va_list ap)
{
    if (level > LOG_ERROR || g_simulatorMessages > kMaxSimulatorMessages)
        return;
    if (++g_simulatorMessages > kMaxSimulatorMessages) {
        std::fputs("wavemill-board: simavr: further messages are left out\n", stderr);
        return;
    }
    char text[1024];
    std::vsnprintf(text, sizeof text, format, ap);
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    std::fprintf(stderr, "wavemill-board: simavr: %s\n",
                 printable(line, kSimulatorMessageChars).c_str());
}

/// The simulator sleeps in real time while the chip sleeps; the chip here
/// runs as fast as it can, and its caller paces it.
void neverSleep(avr_t * /*avr*/, avr_cycle_count_t /*howLong*/) {}

} // namespace

SimulatedChip::SimulatedChip()
{
    avr_global_logger_set(logErrorsOnly);
}

SimulatedChip::~SimulatedChip()
{
    unload();
}

void SimulatedChip::unload()
{
    if (m_avr) {
        avr_terminate(m_avr);
        std::free(m_avr);
    }
    m_avr = nullptr;
    m_pin = nullptr;
}

std::string SimulatedChip::load(const std::string &path)
{
    // Checked and read before the simulator sees it: its own readers trust
    // the file.
    FirmwareImage image;
    std::string refused = image.read(path);
    if (!refused.empty())
        return refused;
    unload();
    m_avr = avr_make_mcu_by_name(kMcu);
    if (!m_avr)
        return "this libsimavr has no ATmega328P";
    avr_init(m_avr);
    m_avr->log = LOG_ERROR;
    std::vector<std::uint8_t> flash = image.flash();
    avr_loadcode(m_avr, flash.data(), std::uint32_t(flash.size()), 0);
    m_avr->frequency = kClockHz;
    m_avr->sleep = neverSleep;
    avr_irq_register_notify(avr_io_getirq(m_avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT),
                            onSerialByte, this);
    m_pin = avr_io_getirq(m_avr, AVR_IOCTL_IOPORT_GETIRQ(kInputPort), kInputPin);
    // A reset clears PIND but not the level the pin's IRQ remembers, and a
    // filtered IRQ drops a raise to the level it remembers: the pin would
    // stay low after a reset while the signal is high.
    m_pin->flags &= ~std::uint32_t(IRQ_FLAG_FILTERED);
    reset(nullptr);
    return {};
}

void SimulatedChip::reset(signals::Signal *input)
{
    if (!m_avr)
        return;
    // The reset keeps the cycle timers: the last signal's next edge goes.
    avr_cycle_timer_cancel(m_avr, onEdge, this);
    avr_reset(m_avr);
    // Bytes go to onSerialByte alone, not to the console; the firmware never
    // waits on the receiver, so nothing is to be gained by sleeping on it.
    std::uint32_t flags = 0;
    avr_ioctl(m_avr, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
    flags &= ~std::uint32_t(AVR_UART_FLAG_STDIO | AVR_UART_FLAG_POLL_SLEEP);
    avr_ioctl(m_avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);

    // PD2 is also INT0. While it is low simavr polls it every few cycles, to
    // raise a level-triggered INT0 again and again, and the simulation runs
    // 18 times slower; the board's firmware never enables INT0.
    avr_extint_set_strict_lvl_trig(m_avr, 0, 0);

    m_resetCycle = m_avr->cycle;
    m_serial.clear();
    m_timing.clear();
    m_why.clear();
    m_input = input ? std::make_unique<SignalPin>(*input) : nullptr;
    drive(m_input ? m_input->level() : true);
    if (m_input) {
        const double next = m_input->advance();
        if (std::isfinite(next))
            avr_cycle_timer_register(m_avr, cycleOf(next) - m_avr->cycle, onEdge, this);
    }
}

void SimulatedChip::drive(bool high)
{
    // simavr puts the pull-up's level on an input pin whenever the firmware
    // writes its port, unless the pin is marked as pulled from outside, and
    // then puts that level: so the signal's level is the outside pull too, as
    // a signal driving the pin outweighs the chip's weak pull-up.
    avr_ioport_external_t external{};
    external.name = kInputPort;
    external.mask = 1u << kInputPin;
    external.value = high ? 1u << kInputPin : 0u;
    avr_ioctl(m_avr, AVR_IOCTL_IOPORT_SET_EXTERNAL(kInputPort), &external);
    avr_raise_irq(m_pin, high ? 1 : 0);
}

std::uint64_t SimulatedChip::cycle() const
{
    return m_avr ? m_avr->cycle - m_resetCycle : 0;
}

std::uint64_t SimulatedChip::cycleOf(double seconds) const
{
    return m_resetCycle + std::uint64_t(std::ceil(seconds * kClockHz));
}

std::uint64_t SimulatedChip::onEdge(avr_t * /*avr*/, std::uint64_t when, void *param)
{
    auto *chip = static_cast<SimulatedChip *>(param);
    chip->drive(chip->m_input->level());
    const double next = chip->m_input->advance();
    if (!std::isfinite(next))
        return 0; // the level holds for good
    // Changes closer than a cycle come one cycle apart.
    return std::max(chip->cycleOf(next), when + 1);
}

void SimulatedChip::onSerialByte(avr_irq_t * /*irq*/, std::uint32_t value, void *param)
{
    auto *chip = static_cast<SimulatedChip *>(param);
    chip->m_serial.push_back({chip->cycle(), std::uint8_t(value)});
}

bool SimulatedChip::readsInputPort() const
{
    const std::uint32_t pc = m_avr->pc;
    if (pc + 3 > m_avr->flashend)
        return false;
    const unsigned op = m_avr->flash[pc] | unsigned(m_avr->flash[pc + 1]) << 8;
    // IN Rd,A: 1011 0AAd dddd AAAA
    if ((op & 0xF800) == 0xB000 && (((op >> 5) & 0x30) | (op & 0x0F)) == kPindIo)
        return true;
    // SBIC / SBIS A,b: 1001 1001 / 1001 1011, then AAAA Abbb
    if (((op >> 8) == 0x99 || (op >> 8) == 0x9B) && ((op >> 3) & 0x1F) == kPindIo)
        return true;
    // LDS Rd,k: 1001 000d dddd 0000, then k
    const unsigned next = m_avr->flash[pc + 2] | unsigned(m_avr->flash[pc + 3]) << 8;
    return (op & 0xFE0F) == 0x9000 && next == kPindData;
}

bool SimulatedChip::runUntil(std::uint64_t cycle)
{
    if (!m_avr) {
        m_why = "no firmware is loaded";
        return false;
    }
    while (this->cycle() < cycle) {
        const int state = m_avr->state;
        if (state == cpu_Running) {
            if (readsInputPort())
                m_timing.add(this->cycle());
        } else if (state != cpu_Sleeping) {
            m_why = state == cpu_Done ? "the firmware stopped: asleep with interrupts off"
                                      : "the firmware crashed";
            return false;
        }
        avr_run(m_avr);
    }
    return true;
}

std::vector<SimulatedChip::SerialByte> SimulatedChip::takeSerial()
{
    std::vector<SerialByte> bytes;
    bytes.swap(m_serial);
    return bytes;
}

} // namespace wavemill::board
