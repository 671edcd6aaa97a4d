// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The trace detector of wavemill-decode over any trace. The first byte of an
// input chooses how the rest becomes a trace: 0, its bytes as they are; n,
// each of its bits held for n samples, so that short inputs make pulses as
// long as a remote's or a slow serial line's. Either way the pattern repeats
// to the end of the capture. Aborts unless the description names a kind only
// with its checks passed (confidence from the threshold to 1, unrecognised
// below), always says what it rests on, and hands a trace to a sigrok
// decoder only with the channel it reads and a comparison with its reading.

#include "detect/trace_detector.h"

#include "core/samples.h"

#include <cstdint>
#include <cstring>

namespace {

using wavemill::TraceBuffer;
using wavemill::detect::kConfidenceThreshold;
using wavemill::detect::TraceDescription;

void fill(TraceBuffer &buffer, const std::uint8_t *data, std::size_t size)
{
    buffer.fill(0);
    if (size < 2)
        return;
    const unsigned hold = data[0];
    const std::uint8_t *pattern = data + 1;
    const std::size_t bytes = size - 1;
    if (hold == 0) {
        for (std::size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = pattern[i % bytes];
        return;
    }
    const std::size_t bits = bytes * 8;
    for (std::size_t s = 0; s < buffer.size() * wavemill::kSamplesPerByte; ++s) {
        const std::size_t bit = (s / hold) % bits;
        if ((pattern[bit / 8] >> (7 - bit % 8)) & 1)
            buffer[s / 8] |= wavemill::sampleBit(int(s % 8));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static TraceBuffer buffer;
    fill(buffer, data, size);
    const TraceDescription d = wavemill::detect::describeTrace(buffer);

    if (!(d.confidence >= 0 && d.confidence <= 1))
        __builtin_trap();
    const bool named = d.kind != QLatin1String("unrecognised");
    if (named && d.confidence < kConfidenceThreshold)
        __builtin_trap();
    if (d.title.isEmpty() || d.evidence.isEmpty())
        __builtin_trap();
    // A decoder chosen comes with its channel and its comparison, which
    // must hold up against sigrok reading nothing at all.
    const bool decoder = !d.decoders.isEmpty();
    if (decoder != bool(d.compareWithSigrok) || decoder == d.channel.isEmpty())
        __builtin_trap();
    if (decoder && d.compareWithSigrok({}).isEmpty())
        __builtin_trap();
    return 0;
}
