// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/annotation.h"

#include <QStringList>

#include <vector>

namespace wavemill::decode {

/// What a decoder the detection chose read, in a few lines: the uart
/// decoder's bytes as text, the remote decoders' codes (address and command)
/// in order, with how many there were.
QStringList summariseDecoded(const QString &decoder,
                             const std::vector<sigrok::Annotation> &annotations);

/// The bytes the uart decoder read (its rx-data annotations, in its default
/// hexadecimal format).
QByteArray uartBytes(const std::vector<sigrok::Annotation> &annotations);

/// Bytes as text on one line: printable ASCII as it is; carriage return,
/// line feed, tab, quote and backslash escaped as in C; others as \xNN. Cut
/// after \a limit characters with "...".
QString escapedText(const QByteArray &bytes, int limit);

} // namespace wavemill::decode
