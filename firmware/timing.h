// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The sample clock: Timer1 in CTC mode (WGM1 = 4, TOP = OCR1A, no
// prescaler) raises TIMER1_COMPA once per sample. A period is OCR1A + 1
// cycles; the sample period is not a whole number of cycles, so each period
// is the whole part or one cycle more, chosen by an accumulator of the
// fraction, and the average comes out exact.

#include <avr/io.h>
#include <stdint.h>

// The period the window assumes between samples: 20.0736 us.
#define SAMPLE_PERIOD_PS 20073600ULL
#define PS_PER_SECOND 1000000000000ULL

// Cycles per sample times 10^12: 321.1776e12 at 16 MHz.
#define SAMPLE_CYCLES_E12 ((unsigned long long)F_CPU * SAMPLE_PERIOD_PS)
// Whole cycles per sample: 321 at 16 MHz.
#define SAMPLE_CYCLES (SAMPLE_CYCLES_E12 / PS_PER_SECOND)
// The fraction of a cycle left over, in ten-thousandths: 1776 at 16 MHz.
#define FRACTION_STEPS 10000U
#define FRACTION_DIVISOR (PS_PER_SECOND / FRACTION_STEPS)
#define SAMPLE_FRACTION ((uint16_t)((SAMPLE_CYCLES_E12 % PS_PER_SECOND) / FRACTION_DIVISOR))

// What the fraction's ten-thousandths leave out, in parts per billion of a
// sample period: 0 at 16 MHz, and under 10 ppm (10,000 ppb) at any clock.
#define FRACTION_ERROR_PPB \
    ((SAMPLE_CYCLES_E12 % FRACTION_DIVISOR) * 1000000000ULL / SAMPLE_CYCLES_E12)
_Static_assert(FRACTION_ERROR_PPB < 10000, "the average sample period is off by 10 ppm or more");

// The interrupt routine takes at most 117 cycles (main.c); a period must
// hold it with room to return to sleep, and OCR1A is 16 bits.
_Static_assert(SAMPLE_CYCLES >= 200, "F_CPU too slow for one interrupt per sample");
_Static_assert(SAMPLE_CYCLES <= 65535, "a sample period does not fit Timer1");

// Starts Timer1: the first compare match comes one whole period from now.
void timing_start(void);

extern uint16_t timing_fraction;

// Sets the length of the period after the one that just began: called in
// the compare-match interrupt, while TCNT1 is still far below either TOP.
static inline void timing_schedule_next(void)
{
    timing_fraction += SAMPLE_FRACTION;
    if (timing_fraction >= FRACTION_STEPS) {
        timing_fraction -= FRACTION_STEPS;
        OCR1A = SAMPLE_CYCLES; // one cycle more: SAMPLE_CYCLES + 1
    } else {
        OCR1A = SAMPLE_CYCLES - 1;
    }
}
