// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "serial.h"

void serial_start(void)
{
    UBRR0 = SERIAL_UBRR;
    UCSR0A = _BV(U2X0);
    UCSR0C = _BV(UCSZ01) | _BV(UCSZ00); // asynchronous, 8 data bits, no parity, 1 stop bit
    // Transmitter only: the receiver stays off, so whatever the host sends
    // is never read and can hold nothing up.
    UCSR0B = _BV(TXEN0);
}
