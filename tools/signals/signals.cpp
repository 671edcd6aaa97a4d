// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/signals.h"

#include <cmath>
#include <utility>

namespace wavemill::signals {

bool SampledSignal::nextByte(std::uint8_t &byte)
{
    std::uint8_t packed = 0;
    for (int k = 0; k < kSamplesPerByte; ++k) {
        if (level(m_sample++))
            packed |= sampleBit(k);
    }
    byte = packed;
    return true;
}

SquareWave::SquareWave(double frequencyHz, double duty)
    : m_frequencyHz(frequencyHz), m_cyclesPerSample(frequencyHz * kSamplePeriodUs / 1e6),
      m_duty(duty)
{
}

bool SquareWave::highAfter(double cycles) const
{
    return cycles - std::floor(cycles) < m_duty;
}

bool SquareWave::level(std::uint64_t i) const
{
    return highAfter(double(i) * m_cyclesPerSample);
}

std::optional<Stretch> SquareWave::stretchAt(double seconds) const
{
    const double cycles = seconds * m_frequencyHz;
    const bool high = highAfter(cycles);
    if (m_frequencyHz <= 0 || m_duty <= 0 || m_duty >= 1)
        return Stretch{high, kForever};
    const double end = std::floor(cycles) + (high ? m_duty : 1.0);
    return Stretch{high, end / m_frequencyHz};
}

UartText::UartText(std::string text, double baud, bool repeat)
    : m_text(std::move(text)), m_baud(baud), m_bitsPerSample(baud * kSamplePeriodUs / 1e6),
      m_repeat(repeat)
{
}

bool UartText::level(std::uint64_t i) const
{
    // The bit on the line at the time of this sample.
    return bitLevel(std::int64_t(std::floor(double(i) * m_bitsPerSample)));
}

std::optional<Stretch> UartText::stretchAt(double seconds) const
{
    const auto bit = std::int64_t(std::floor(seconds * m_baud));
    return Stretch{bitLevel(bit), idleForGood(bit) ? kForever : double(bit + 1) / m_baud};
}

bool UartText::idleForGood(std::int64_t bit) const
{
    return m_text.empty() ||
           (!m_repeat && bit >= kIdleBits + std::int64_t(m_text.size()) * kFrameBits);
}

bool UartText::bitLevel(std::int64_t bitTime) const
{
    std::int64_t bit = bitTime - kIdleBits;
    if (bit < 0 || m_text.empty())
        return true;
    const std::int64_t textBits = std::int64_t(m_text.size()) * kFrameBits;
    if (m_repeat)
        bit %= textBits + kIdleBits;
    if (bit >= textBits)
        return true;
    const int inFrame = int(bit % kFrameBits);
    if (inFrame == 0)
        return false; // start bit
    if (inFrame == kFrameBits - 1)
        return true; // stop bit
    const auto character = std::uint8_t(m_text[std::size_t(bit / kFrameBits)]);
    return (character >> (inFrame - 1)) & 1u;
}

RandomBytes::RandomBytes(std::uint32_t seed) : m_seed(seed), m_engine(seed) {}

bool RandomBytes::nextByte(std::uint8_t &byte)
{
    byte = std::uint8_t(m_engine() >> 24);
    return true;
}

bool InvertedSignal::nextByte(std::uint8_t &byte)
{
    if (!m_signal->nextByte(byte))
        return false;
    byte = std::uint8_t(~byte);
    return true;
}

std::optional<Stretch> InvertedSignal::stretchAt(double seconds) const
{
    std::optional<Stretch> stretch = m_signal->stretchAt(seconds);
    if (stretch)
        stretch->high = !stretch->high;
    return stretch;
}

std::vector<std::uint8_t> take(Signal &signal, std::size_t count)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(count);
    std::uint8_t byte = 0;
    while (bytes.size() < count && signal.nextByte(byte))
        bytes.push_back(byte);
    return bytes;
}

std::vector<bool> unpack(const std::vector<std::uint8_t> &bytes)
{
    std::vector<bool> samples;
    samples.reserve(bytes.size() * kSamplesPerByte);
    for (std::uint8_t byte : bytes) {
        for (int k = 0; k < kSamplesPerByte; ++k)
            samples.push_back(sampleLevel(byte, k));
    }
    return samples;
}

} // namespace wavemill::signals
