// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/text_format.h"

namespace wavemill::exporting {

QByteArray TextFormat::whole(const TraceBuffers &buffers, const QList<int> &traces,
                             bool everySample)
{
    QByteArray out = head();
    appendRows(levelRows(buffers, traces, everySample), out);
    appendEnd(kCaptureSamples, out);
    return out;
}

} // namespace wavemill::exporting
