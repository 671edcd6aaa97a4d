// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "detect/pulse_train.h"

#include <QStringList>

namespace wavemill::detect {

/// What the pulses of a trace look like, for a trace no guess fits: the
/// number of changes, the commonest widths at each level with their shares,
/// and, when nearly every pulse is one of two widths, one twice the other,
/// each found at both levels and long enough for the board to tell the
/// ratio, a note that this is how bi-phase (Manchester) coding looks.
QStringList describeWidths(const PulseTrain &train);

} // namespace wavemill::detect
