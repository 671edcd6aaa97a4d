// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A real recording of tests/data/recordings as detection reads it: its one
// channel's runs, at the board's period (the files are on its grid).

#include "detect/pulse_train.h"
#include "sigrok/channel_runs.h"
#include "sigrok/session_reader.h"
#include "sigrok/sigrok_logic.h"

#include <QString>

#include <limits>
#include <vector>

namespace wavemill::testing {

/// An empty train (one sample) when the file cannot be read, which no row
/// takes for its signal.
inline detect::PulseTrain recordingTrain(const QString &name)
{
    sigrok::SessionReader reader;
    std::vector<detect::Run> runs;
    QString why;
    if (!reader.open(QStringLiteral(WAVEMILL_RECORDINGS_DIR "/%1").arg(name), &why) ||
        !sigrok::readChannelRuns(reader, 1, std::numeric_limits<std::size_t>::max(), &runs, &why))
        return detect::PulseTrain({}, 1);
    return detect::PulseTrain(std::move(runs), sigrok::samplePeriodUsAt(reader.sampleRateHz()));
}

} // namespace wavemill::testing
