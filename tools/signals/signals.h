// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Signals the board simulator streams, as the board sends them: eight
// samples a byte, the earliest in bit 7, a 1 bit meaning a high level.

#include "core/sample_period.h"
#include "core/samples.h"
#include "core/trace_buffers.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace wavemill::signals {

/// One byte leaves the board every 8 samples: about 6,227 bytes a second.
constexpr double kBoardBytesPerSecond = 1e6 / (kSamplePeriodUs * kSamplesPerByte);
/// 115200 baud with a start and a stop bit: 10 bits a byte.
constexpr double kLineBytesPerSecond = 115200.0 / 10.0;
/// One capture of the program: 62 blocks of 1,024 bytes.
constexpr std::size_t kCaptureBytes = kCaptureLength;

/// A stretch of one level in continuous time: the level, and the time in
/// seconds from the signal's start up to which it surely holds (it may hold
/// on past it; infinity when it holds for good).
struct Stretch
{
    bool high;
    double until;
};
/// The end of a stretch that never ends.
constexpr double kForever = std::numeric_limits<double>::infinity();

/// A stream of packed samples.
class Signal
{
public:
    virtual ~Signal() = default;
    /// The next byte; false once a finite signal has ended.
    virtual bool nextByte(std::uint8_t &byte) = 0;
    /// Starts the signal again from its first byte.
    virtual void rewind() = 0;
    /// For an input pin that follows the signal between samples: the
    /// stretch that holds \a seconds after the start, where the signal's own
    /// edges fall. nullopt for a signal known only sample by sample (random
    /// bytes, a file): its level changes on the sample grid.
    virtual std::optional<Stretch> stretchAt(double seconds) const
    {
        (void)seconds;
        return std::nullopt;
    }
    /// Why the signal ended before its time (a file that could not be read
    /// on); empty when it did not.
    virtual std::string failure() const { return {}; }
};

/// A signal defined sample by sample, packed eight samples a byte.
class SampledSignal : public Signal
{
public:
    bool nextByte(std::uint8_t &byte) override;
    void rewind() override { m_sample = 0; }

    /// The level of sample i, counted from 0 at the start: true is high.
    virtual bool level(std::uint64_t i) const = 0;

private:
    std::uint64_t m_sample = 0;
};

/// A square wave that starts high at sample 0; duty is the high share of a
/// period, 0 to 1. The phase is computed from the sample number, so the
/// frequency does not drift over long runs.
class SquareWave : public SampledSignal
{
public:
    SquareWave(double frequencyHz, double duty);
    bool level(std::uint64_t i) const override;
    std::optional<Stretch> stretchAt(double seconds) const override;

private:
    /// Whether the wave is high after \a cycles periods from its start.
    bool highAfter(double cycles) const;

    double m_frequencyHz;
    double m_cyclesPerSample;
    double m_duty;
};

/// Text sent as an asynchronous serial line: idle high, then for each
/// character a low start bit, 8 data bits least significant first and a high
/// stop bit, back to back. The line idles for one character time before the
/// text; with repeat, the text comes again after one more character time of
/// idle, otherwise the line idles high for good.
class UartText : public SampledSignal
{
public:
    UartText(std::string text, double baud, bool repeat);
    bool level(std::uint64_t i) const override;
    std::optional<Stretch> stretchAt(double seconds) const override;

    /// Bits of idle before the text, and between repeats.
    static constexpr int kIdleBits = 10;
    static constexpr int kFrameBits = 10;

private:
    /// The level of the line during bit time \a bitTime, counted from the start.
    bool bitLevel(std::int64_t bitTime) const;
    /// Whether the line idles for good from bit time \a bit on.
    bool idleForGood(std::int64_t bit) const;

    std::string m_text;
    double m_baud;
    double m_bitsPerSample;
    bool m_repeat;
};

/// Random bytes from a seed: the same seed always gives the same bytes, on
/// every system (mt19937 is fully specified; no distribution is used).
class RandomBytes : public Signal
{
public:
    explicit RandomBytes(std::uint32_t seed);
    bool nextByte(std::uint8_t &byte) override;
    void rewind() override { m_engine.seed(m_seed); }

private:
    std::uint32_t m_seed;
    std::mt19937 m_engine;
};

/// Another signal with every level the other way round: a serial line that
/// idles low, or a receiver that is active high.
class InvertedSignal : public Signal
{
public:
    explicit InvertedSignal(std::unique_ptr<Signal> signal) : m_signal(std::move(signal)) {}
    bool nextByte(std::uint8_t &byte) override;
    void rewind() override { m_signal->rewind(); }
    std::optional<Stretch> stretchAt(double seconds) const override;
    std::string failure() const override { return m_signal->failure(); }

private:
    std::unique_ptr<Signal> m_signal;
};

/// Up to count bytes of the signal, fewer if it ends first.
std::vector<std::uint8_t> take(Signal &signal, std::size_t count);

/// The samples of packed bytes, earliest first.
std::vector<bool> unpack(const std::vector<std::uint8_t> &bytes);

} // namespace wavemill::signals
