// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/board_pace.h"

#include "core/sample_period.h"
#include "core/samples.h"

#include <QLocale>

#include <cmath>

namespace wavemill::capturing {

namespace {

/// How long the pace is measured: long enough that a USB adapter's
/// bunching of bytes (up to 16 ms) moves it by less than 1 %.
constexpr std::int64_t kMeasureMs = 3000;
/// A board's crystal keeps its pace within 0.01 %; one off by more than this
/// share is not sampling every 20.0736 µs.
constexpr double kTolerance = 0.15;
/// The most bytes a second 115200 baud carries (10 bits a byte), with the
/// board's 2.1 % fast divisor and room: a faster source is no serial line
/// (a pseudo-terminal), whose pace says nothing of a board.
constexpr double kLinkBytesPerSecond = 117647.0 / 10 * 1.02;

} // namespace

double BoardPace::boardBytesPerSecond()
{
    return 1e12 / double(kSamplePeriodPs * kSamplesPerByte);
}

QString BoardPace::observe(std::int64_t ms, std::int64_t bytes, qint64 lineErrors)
{
    if (m_done)
        return {};
    // The pace of a steady stream only: a board sends every 1.3 ms, so each
    // look sees new bytes. A pause (a bootloader, a burst from a fast source,
    // a board that stopped) starts the measurement again.
    if (m_startMs < 0 || bytes == m_lastBytes) {
        m_startMs = bytes > 0 ? ms : -1;
        m_startBytes = bytes;
        m_lastBytes = bytes;
        return {};
    }
    m_lastBytes = bytes;
    if (ms - m_startMs < kMeasureMs)
        return {};
    m_done = true;
    const double rate = double(bytes - m_startBytes) * 1000.0 / double(ms - m_startMs);
    const double expected = boardBytesPerSecond();
    const bool offPace = std::abs(rate / expected - 1) > kTolerance && rate < kLinkBytesPerSecond;
    if (!offPace && lineErrors <= 0)
        return {};
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    QString seen = QStringLiteral("%1 bytes a second came where a 16 MHz ATmega328P sends %2")
                       .arg(c.toString(qlonglong(std::llround(rate))),
                            c.toString(qlonglong(std::llround(expected))));
    if (lineErrors > 0)
        seen += QStringLiteral(", with %1 framing errors").arg(c.toString(lineErrors));
    return seen + QStringLiteral(": the board may not be a 16 MHz ATmega328P (a 3.3 V / 8 MHz "
                                 "board sends half as many, at 58,823 baud); the capture goes on");
}

} // namespace wavemill::capturing
