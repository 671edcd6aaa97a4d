// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The sample clock: Timer1 in CTC mode (WGM1 = 4, TOP = OCR1A, no
// prescaler) raises TIMER1_COMPA once per sample. A period is OCR1A + 1
// cycles; the sample period is not a whole number of cycles, so each period
// is the whole part or one cycle more, chosen by an accumulator of the
// fraction, and the average comes out exact.

#include "sample_clock.h"

#include <avr/io.h>
#include <stdint.h>

#ifndef F_CPU
#define F_CPU BOARD_CLOCK_HZ
#endif

#define SAMPLE_CYCLES SAMPLE_CYCLES_AT(F_CPU)
#define SAMPLE_FRACTION ((uint16_t)SAMPLE_FRACTION_AT(F_CPU))
_Static_assert(FRACTION_ERROR_PPB_AT(F_CPU) < 10000,
               "the average sample period is off by 10 ppm or more");

// The interrupt routine takes at most 117 cycles (main.c); a period must
// hold it with room to return to sleep, and OCR1A is 16 bits.
_Static_assert(SAMPLE_CYCLES >= 200, "F_CPU too slow for one interrupt per sample");
_Static_assert(SAMPLE_CYCLES <= 65535, "a sample period does not fit Timer1");

// Starts Timer1: the first compare match comes one whole period from now.
void timing_start(void);

extern uint16_t timing_fraction;

// Sets the length of the period that has just begun: called in the
// compare-match interrupt, while TCNT1 is still far below either TOP. In CTC
// mode OCR1A is not double-buffered, so the new TOP takes effect at once, for
// the count under way (datasheet, "Clear Timer on Compare Match (CTC) Mode").
static inline void timing_set_period(void)
{
    timing_fraction += SAMPLE_FRACTION;
    if (timing_fraction >= FRACTION_STEPS) {
        timing_fraction -= FRACTION_STEPS;
        OCR1A = SAMPLE_CYCLES; // one cycle more: SAMPLE_CYCLES + 1
    } else {
        OCR1A = SAMPLE_CYCLES - 1;
    }
}
