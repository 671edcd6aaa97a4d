// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "board/signal_settings.h"
#include "signals/signals.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace wavemill::board {

/// An option a signal reads: "--frequency HZ", its default, and its help.
/// The help names the signals that read it from the table.
struct SignalOption
{
    const char *name;
    const char *valueName;    // nullptr for a switch
    const char *defaultValue; // nullptr: none
    const char *help;
};

/// A signal wavemill-board plays: one row of its table. A new signal is one
/// class in tools/signals and one row here; --help, the options parsed and
/// the "unknown signal" message all read the table.
struct BoardSignal
{
    const char *name;
    const char *help;                 // what it is
    std::vector<const char *> reads;  // the options it reads, in the order --help names them
    std::function<std::unique_ptr<signals::Signal>(const SignalSettings &)> make;
};

/// The signals' options, in the order --help lists them.
const std::vector<SignalOption> &signalOptions();
/// The signals, the first the default.
const std::vector<BoardSignal> &boardSignals();

/// The row of \a name; nullptr when there is none.
const BoardSignal *findSignal(const QString &name);
/// "square, uart, ... or file".
QString signalNames();
/// The options for a parser: --signal and every signal's options.
QList<QCommandLineOption> signalCommandLineOptions();
/// --help's list of the signals, a line or more each with the options it
/// reads, wrapped to the width of the rest.
QString signalList();
/// --help's lines for --signal and the signals' options.
QString signalOptionHelp();

} // namespace wavemill::board
