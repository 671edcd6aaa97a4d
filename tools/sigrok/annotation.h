// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace wavemill::sigrok {

/// One annotation a sigrok decoder put out: the samples it spans (end
/// excluded, as sigrok counts), the traces its stack reads, the decoder and
/// annotation class, and its texts from the longest to the shortest.
struct Annotation
{
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    QList<int> traces;
    QString decoder;
    QString annotationClass;
    QStringList texts;
};

} // namespace wavemill::sigrok
