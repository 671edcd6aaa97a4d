// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/annotation.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

namespace wavemill::detect {

/// Items in a row with repeats run together ("a; b ×3; c"), at most \a shown
/// of them, then "and N more".
QString runTogether(const QStringList &items, int shown);

/// The first text of each annotation of \a decoder whose class is one of \a
/// classes, in order.
QStringList annotationTexts(const std::vector<sigrok::Annotation> &annotations,
                            const QString &decoder, const QStringList &classes);

/// How sigrok's reading of \a what ("frames", "minutes") compares with the
/// timings': nothing when it read the same ones, else a line with how many
/// it matched, out of how many, and the ones it read that the timings do
/// not give, and \a why when given.
QString framesDiffer(const QString &decoder, const QString &what, std::size_t matched,
                     std::size_t ours, std::size_t theirs, const QString &why = {});

/// What sigrok's pwm decoder put out: each period's duty cycle (0 to 1) and
/// its length in microseconds, in order.
struct PwmReading
{
    std::vector<double> duties;
    std::vector<double> periodsUs;
};
PwmReading pwmReading(const std::vector<sigrok::Annotation> &annotations);

} // namespace wavemill::detect
