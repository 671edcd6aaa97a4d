// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Wavemill's acquisition board: an ATmega328P at 16 MHz (Arduino Uno R3,
// Nano, Pro Mini 5 V). It samples pin D2 (PD2) every 20.0736 us, packs
// eight samples a byte, the earliest in bit 7, 1 for high, and sends the
// bytes at 115200 baud 8N1 from reset on, without header or framing, never
// waiting for the host. The LED on D13 (PB5) blinks once a second while it
// runs.
//
// Everything happens in the timer's compare-match interrupt; main only
// sleeps. So every interrupt finds the CPU in the same state, asleep in idle
// mode, and is answered in the same number of cycles (datasheet, "Interrupt
// Response Time": 4 cycles, 4 more to wake from sleep, 3 for the vector's
// jump): PD2 is read a fixed time after each compare match, and the samples
// inherit the timer's spacing exactly.

#include "serial.h"
#include "timing.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <avr/wdt.h>
#include <stdint.h>

// Bytes between two changes of the LED: half a second of samples (3,113).
#define LED_TOGGLE_BYTES ((uint16_t)(PS_PER_SECOND / SAMPLE_PERIOD_PS / 8 / 2))

static uint8_t s_packed;          // samples of the byte being filled, latest in bit 0
static uint8_t s_left = 8;        // samples still to take for it
static uint16_t s_led_countdown = LED_TOGGLE_BYTES;

// One sample. Cycle budget at 16 MHz: 8 to answer from sleep, 3 for the
// vector's jmp, 20 of prologue (the pushes) to the read of PIND, then 62 to
// 86 more to the end of reti, the most when a byte is sent and the LED
// turns (counted in the listing and in the simulated chip): at most 117 of
// the 321 a period has, so main is asleep again long before the next match.
ISR(TIMER1_COMPA_vect)
{
    const uint8_t pins = PIND; // the sample: first, at a fixed cycle after the match
    timing_set_period();
    s_packed = (uint8_t)(s_packed << 1) | ((pins >> PD2) & 1);
    if (--s_left == 0) {
        serial_put(s_packed);
        s_left = 8;
        if (--s_led_countdown == 0) {
            s_led_countdown = LED_TOGGLE_BYTES;
            PINB = _BV(PINB5); // writing a one to PINx toggles the pin's output
        }
    }
}

int main(void)
{
    // A watchdog reset leaves the watchdog on; this program never feeds it.
    MCUSR = 0;
    wdt_disable();

    // D2 is an input with the internal pull-up (20 to 50 kOhm): left
    // unconnected it reads a steady high, the idle level of a serial line
    // and of an infrared receiver, not noise. Any driven signal overrides it.
    DDRD &= (uint8_t)~_BV(DDD2);
    PORTD |= _BV(PORTD2);
    // D13's LED, on from the start.
    DDRB |= _BV(DDB5);
    PORTB |= _BV(PORTB5);

    serial_start();
    timing_start();
    set_sleep_mode(SLEEP_MODE_IDLE); // the timer and the USART run on in idle
    sleep_enable();
    sei(); // the instruction after sei runs before any interrupt: the sleep below
    for (;;)
        sleep_cpu();
}
