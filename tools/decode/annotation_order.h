// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/annotation.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace wavemill::decode {

/// Puts annotations in the order of their start sample, though decoders put
/// them out late and out of order (ir_nec tells a code's leader after its
/// later parts, uart a frame once its stop bit is read): each is held until
/// the decoding has gone a window of samples past its start, or until more
/// than a bound are held, so that memory stays flat however many come.
/// Equal starts keep the order they came in. One that comes after others
/// past it went out goes out with the next release: late, never lost.
class AnnotationOrder
{
public:
    using Sink = std::function<void(const sigrok::Annotation &)>;

    /// Held until the decoding is \a windowSamples past their start; never
    /// more than \a maxHeld held.
    AnnotationOrder(std::uint64_t windowSamples, std::size_t maxHeld);

    void add(std::vector<sigrok::Annotation> annotations);
    /// Hands on, in order, those that the decoding having read every sample
    /// before \a reached lets go, and the earliest of any beyond the bound.
    void release(std::uint64_t reached, const Sink &sink);
    /// Hands on all that are held: the decoding has ended.
    void releaseAll(const Sink &sink);

    /// The window for \a sampleRateHz: kWindowSeconds of samples.
    static std::uint64_t windowFor(std::uint64_t sampleRateHz);
    /// How long annotations wait for earlier ones: longer than any
    /// decoder here takes to tell one (a frame, a remote's code).
    static constexpr double kWindowSeconds = 1.0;
    /// The most held at once, whatever the rate: 32,768 annotations, some
    /// 10 MB.
    static constexpr std::size_t kMaxHeld = std::size_t(1) << 15;

private:
    std::uint64_t m_window;
    std::size_t m_maxHeld;
    std::multimap<std::uint64_t, sigrok::Annotation> m_held;
};

} // namespace wavemill::decode
