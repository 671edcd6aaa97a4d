// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "decode/annotation_order.h"

#include <algorithm>
#include <cmath>

namespace wavemill::decode {

AnnotationOrder::AnnotationOrder(std::uint64_t windowSamples, std::size_t maxHeld)
    : m_window(windowSamples), m_maxHeld(std::max<std::size_t>(maxHeld, 1))
{
}

std::uint64_t AnnotationOrder::windowFor(std::uint64_t sampleRateHz)
{
    return std::max<std::uint64_t>(1, std::uint64_t(std::ceil(double(sampleRateHz) * kWindowSeconds)));
}

void AnnotationOrder::add(std::vector<sigrok::Annotation> annotations)
{
    // A multimap puts an equal key after those it holds: equal starts keep their order.
    for (sigrok::Annotation &a : annotations)
        m_held.emplace(a.start, std::move(a));
}

void AnnotationOrder::release(std::uint64_t reached, const Sink &sink)
{
    const std::uint64_t before = reached > m_window ? reached - m_window : 0;
    while (!m_held.empty() &&
           (m_held.begin()->first < before || m_held.size() > m_maxHeld)) {
        sink(m_held.begin()->second);
        m_held.erase(m_held.begin());
    }
}

void AnnotationOrder::releaseAll(const Sink &sink)
{
    for (const auto &[start, annotation] : m_held)
        sink(annotation);
    m_held.clear();
}

} // namespace wavemill::decode
