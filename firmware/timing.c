// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "timing.h"

// The fraction of a cycle the periods so far have fallen behind the ideal
// instants, in ten-thousandths of a cycle: always below one cycle.
uint16_t timing_fraction;

void timing_start(void)
{
    TCCR1A = 0;
    TCNT1 = 0;
    OCR1A = SAMPLE_CYCLES - 1;
    TIFR1 = _BV(OCF1A);  // a one clears the flag
    TIMSK1 = _BV(OCIE1A);
    TCCR1B = _BV(WGM12) | _BV(CS10); // CTC on OCR1A, clk/1: starts counting
}
