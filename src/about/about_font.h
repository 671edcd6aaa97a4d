// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

namespace wavemill::about {

/// The family for the About window's texts, chosen from the \a families that
/// can write Simplified Chinese: "宋体" where the system has it (under either
/// of its names), else a CJK face of similar purpose, else the first such
/// family; an empty result leaves the choice to the toolkit.
QString aboutFontFamily(const QStringList &families);

/// aboutFontFamily() over the families installed on this system.
QString aboutFontFamily();

} // namespace wavemill::about
