// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace wavemill::board {

/// The command line's values as a signal of wavemill-board reads them, each
/// with its range: a value outside it ends the program (kExitUsage) with one
/// line naming the option and quoting the value.
class SignalSettings
{
public:
    explicit SignalSettings(const QCommandLineParser &parser) : m_parser(parser) {}

    /// A number from \a low to \a high; "," and "_" may group its digits.
    double number(const QString &option, double low, double high) const;
    /// A whole number from 0 to \a high, decimal or with 0x hexadecimal.
    int whole(const QString &option, int high) const;
    QString text(const QString &option) const { return m_parser.value(option); }
    bool isSet(const QString &option) const { return m_parser.isSet(option); }

    /// \a text as a number, or nullopt: the reading number() checks.
    static std::optional<double> parseNumber(const QString &text);

private:
    const QCommandLineParser &m_parser;
};

} // namespace wavemill::board
