// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/signal_settings.h"

#include "command/printable_text.h"
#include "command/command_line.h"

#include <cmath>

namespace wavemill::board {

using command::printable;

std::optional<double> SignalSettings::parseNumber(const QString &text)
{
    QString plain = text;
    plain.remove(QLatin1Char(',')).remove(QLatin1Char('_'));
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double SignalSettings::number(const QString &option, double low, double high) const
{
    const auto value = parseNumber(m_parser.value(option));
    if (!value || *value < low || *value > high)
        command::fail(command::kExitUsage,
                      QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                          .arg(option)
                          .arg(low)
                          .arg(high)
                          .arg(printable(m_parser.value(option))));
    return *value;
}

int SignalSettings::whole(const QString &option, int high) const
{
    const QString text = m_parser.value(option).trimmed();
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    bool ok = false;
    const qlonglong value = (hex ? text.mid(2) : text).toLongLong(&ok, hex ? 16 : 10);
    if (!ok || value < 0 || value > high)
        command::fail(command::kExitUsage,
                      QStringLiteral("--%1 wants a whole number from 0 to %2, not \"%3\"")
                          .arg(option)
                          .arg(high)
                          .arg(printable(m_parser.value(option))));
    return int(value);
}

} // namespace wavemill::board
