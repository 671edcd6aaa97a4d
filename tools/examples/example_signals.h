// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/samples.h"
#include "core/trace_buffers.h"
#include "signals/waveform.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace wavemill::examples {

/// Samples in one trace buffer, its last element included.
constexpr int kSampleCount = kTraceBufferSize * kSamplesPerByte;

/// The levels of one trace, one per sample, before they are packed eight to
/// a byte as the board sends them.
class TraceSketch
{
public:
    explicit TraceSketch(bool idleLevel);

    /// Sets every sample taken at a time in [fromUs, toUs) to \a level.
    void set(double fromUs, double toUs, bool level);
    /// Sets the samples \a wave covers to its levels, each from its change
    /// up to the next (the last up to its end).
    void draw(const signals::Waveform &wave);
    /// The samples packed eight to a byte, the earliest in bit 7.
    TraceBuffer packed() const;

    /// Microseconds from the start of the capture to sample \a index.
    static double sampleTime(int index);
    /// Microseconds from the first sample to just past the last one.
    static double length();

private:
    std::vector<bool> m_levels;
};

/// The waveforms of tools/signals drawn on a trace, for those who draw
/// captures of their own (the detection's tests and trial bench): serial
/// frames of \a text, 8N1, returning the time past the last stop bit; a
/// square wave from \a fromUs to \a toUs, high for \a duty of each period
/// first; a remote control's pulses as a receiver gives them, returning the
/// time past the last pulse.
double addUart(TraceSketch &trace, double fromUs, double baud, const QByteArray &text);
void addPwm(TraceSketch &trace, double fromUs, double toUs, double periodUs, double duty);
double addInfrared(TraceSketch &trace, double fromUs, const signals::IrPulses &pulses);

/// \a bytes Manchester coded from \a fromUs, most significant bit first: a 1
/// goes low to high in mid-bit, a 0 high to low. Returns the time past the last bit.
double addManchester(TraceSketch &trace, double fromUs, double bitUs, const QByteArray &bytes);

/// Pseudo-random bytes from a 16-bit Galois LFSR, the same for the same seed.
QByteArray pseudoRandomBytes(int count, std::uint16_t seed);

/// One sample capture file: its name, its three traces and what trace 1 says.
struct Example
{
    QString fileName;
    double baud;         // trace 1's serial speed (0: no serial text)
    QByteArray uartText; // every frame sent on trace 1, in order
    std::unique_ptr<TraceBuffers> traces;
};

/// The sample captures shipped in examples/: serial text on trace 1, a PWM
/// signal on trace 2 and something busier on trace 3; and one of three
/// remote controls, one a trace.
std::vector<Example> makeExamples();

} // namespace wavemill::examples
