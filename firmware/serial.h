// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The link to the host: USART0, transmit only, 115200 baud 8N1 with double
// speed (U2X0), where the baud rate is F_CPU / (8 (UBRR0 + 1)).

#include "timing.h"

#include <avr/io.h>
#include <stdint.h>

#define SERIAL_BAUD 115200UL
// Nearest divisor: 16 at 16 MHz, for 117,647 baud.
#define SERIAL_UBRR ((F_CPU + 4 * SERIAL_BAUD) / (8 * SERIAL_BAUD) - 1)
#define SERIAL_ACTUAL_BAUD (F_CPU / (8 * (SERIAL_UBRR + 1)))
// How far the real rate is from 115200, in tenths of a percent: +21 (2.1 %)
// at 16 MHz, the error the Uno's own USB chip runs with and that CH340 and
// FTDI adapters accept.
#define SERIAL_ERROR_PERMILLE \
    (((long)SERIAL_ACTUAL_BAUD - (long)SERIAL_BAUD) * 1000L / (long)SERIAL_BAUD)
_Static_assert(SERIAL_ERROR_PERMILLE <= 25 && SERIAL_ERROR_PERMILLE >= -25,
               "115200 baud is more than 2.5 % off at this F_CPU");
_Static_assert(SERIAL_UBRR <= 4095, "UBRR0 is 12 bits");

// A frame (start, 8 data, stop) leaves in 10 bit times; a byte of samples
// is ready every 8 sample periods. The frame is the shorter (1,360 against
// 2,568 cycles at 16 MHz), so the transmitter has sent the last byte and
// UDR0 is empty whenever the next one is written: nothing waits, nothing is
// dropped.
#define SERIAL_FRAME_CYCLES (10UL * 8UL * (SERIAL_UBRR + 1))
_Static_assert(SERIAL_FRAME_CYCLES < 8UL * SAMPLE_CYCLES,
               "the serial link is slower than the samples come");

void serial_start(void);

// Hands a byte to the transmitter. UDR0 is always empty here (above), so
// there is no UDRE0 to wait for.
static inline void serial_put(uint8_t byte)
{
    UDR0 = byte;
}
