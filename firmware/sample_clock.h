// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The board's sample clock in cycles of the chip's clock, as plain
// arithmetic on the clock rate: the firmware takes it at F_CPU (timing.h),
// and wavemill-board's simulated chip at its own clock, where the build
// checks it against the program's sample period. No register and no
// avr-libc here, so that a C++ compiler for the computer reads it too.

// The crystal of the boards the firmware is for: 16 MHz on the Uno, the
// Nano and the 5 V Pro Mini.
#define BOARD_CLOCK_HZ 16000000UL

// The period the window assumes between samples: 20.0736 us.
#define SAMPLE_PERIOD_PS 20073600ULL
#define PS_PER_SECOND 1000000000000ULL

// Cycles per sample times 10^12: 321.1776e12 at 16 MHz.
#define SAMPLE_CYCLES_E12_AT(hz) ((unsigned long long)(hz) * SAMPLE_PERIOD_PS)
// Whole cycles per sample: 321 at 16 MHz.
#define SAMPLE_CYCLES_AT(hz) (SAMPLE_CYCLES_E12_AT(hz) / PS_PER_SECOND)
// The fraction of a cycle left over, in ten-thousandths: 1776 at 16 MHz.
#define FRACTION_STEPS 10000U
#define FRACTION_DIVISOR (PS_PER_SECOND / FRACTION_STEPS)
#define SAMPLE_FRACTION_AT(hz) ((SAMPLE_CYCLES_E12_AT(hz) % PS_PER_SECOND) / FRACTION_DIVISOR)

// What the fraction's ten-thousandths leave out, in parts per billion of a
// sample period: 0 at 16 MHz, and under 10 ppm (10,000 ppb) at any clock.
#define FRACTION_ERROR_PPB_AT(hz) \
    ((SAMPLE_CYCLES_E12_AT(hz) % FRACTION_DIVISOR) * 1000000000ULL / SAMPLE_CYCLES_E12_AT(hz))
