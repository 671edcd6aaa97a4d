// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The board's signals by a short name, as the decoder tests' tables give
// them, and a trace buffer of one capture of them.

#include "signals/infrared_remote.h"
#include "signals/signals.h"

#include "core/trace_buffers.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <memory>

namespace wavemill::testing {

/// The text the board's serial signal sends in these tests, once, or again
/// and again with "repeated".
inline const char *kBoardText = "Hello from wavemill-board\r\n";

/// "uart RATE [repeated] [inverted]", "nec|rc5|rc6 ADDRESS COMMAND [inverted]",
/// "square HZ DUTY", "random SEED"; nullptr for anything else.
inline std::unique_ptr<signals::Signal> boardSignal(const QString &name)
{
    const QStringList w = name.split(QLatin1Char(' '));
    std::unique_ptr<signals::Signal> signal;
    if (w[0] == QLatin1String("uart"))
        signal = std::make_unique<signals::UartText>(kBoardText, w.value(1).toDouble(),
                                                   w.contains(QLatin1String("repeated")));
    else if (w[0] == QLatin1String("square"))
        signal = std::make_unique<signals::SquareWave>(w.value(1).toDouble(), w.value(2).toDouble());
    else if (w[0] == QLatin1String("random"))
        signal = std::make_unique<signals::RandomBytes>(w.value(1).toUInt());
    else if (w[0] == QLatin1String("nec") || w[0] == QLatin1String("rc5") ||
             w[0] == QLatin1String("rc6"))
        signal = std::make_unique<signals::InfraredRemote>(
            w[0] == QLatin1String("nec")   ? signals::RemoteFamily::Nec
            : w[0] == QLatin1String("rc5") ? signals::RemoteFamily::Rc5
                                           : signals::RemoteFamily::Rc6,
            w.value(1).toInt(nullptr, 0), w.value(2).toInt(nullptr, 0));
    if (signal && w.back() == QLatin1String("inverted"))
        signal = std::make_unique<signals::InvertedSignal>(std::move(signal));
    return signal;
}

/// One capture of \a signal as the board streams it, into a trace buffer.
inline TraceBuffer captureOf(signals::Signal &signal)
{
    TraceBuffer buffer{};
    const std::vector<std::uint8_t> bytes = signals::take(signal, kCaptureLength);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return buffer;
}

} // namespace wavemill::testing
