// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/protocol_stack.h"

#include <QString>

#include <vector>

namespace wavemill::session_setup {

/// One option of a sigrok decoder: its id, the type of its default as a
/// GVariant type string ('x' a 64-bit integer, 'd' a double, 's' a string),
/// and the default, as text. PulseView hands an option to the decoder with
/// the type it is stored with, and the decoder refuses one whose type is not
/// its default's.
struct DecoderOption
{
    const char *id;
    char type;
    const char *defaultValue;
};

/// One channel of a sigrok decoder: its id and the name PulseView shows.
struct DecoderChannel
{
    const char *id;
    const char *name;
};

/// What a session setup needs to know of one sigrok decoder, without the
/// decoder library (wavemill-export does not load it): the same facts its
/// pd.py declares, which a test checks against libsigrokdecode itself.
struct DecoderInfo
{
    const char *id;
    /// Its short name in a decode signal's name ("UART", "IR NEC").
    const char *label;
    /// "logic" for a decoder that reads traces; otherwise the output of the
    /// decoder it is stacked on ("uart" for LIN).
    const char *input;
    /// Its output for a decoder stacked on it, or nullptr.
    const char *output;
    /// Required channels, then optional ones: PulseView numbers them so and
    /// assigns a trace to a channel by that number.
    std::vector<DecoderChannel> channels;
    /// Every option it takes.
    std::vector<DecoderOption> options;
    /// Options set for reading the decoded text on screen, unless the
    /// detection chose them ("format=ascii" shows a UART's bytes as text).
    std::vector<DecoderOption> viewOptions;
    /// How wide one frame (a UART character, a remote's code, a PWM period)
    /// is drawn for its annotations' text to fit, in pixels.
    double framePixels;
    /// A short summary of the options for the decode signal's name ("UART
    /// 9600 8N1"), or nullptr for the label alone.
    QString (*summary)(const DecoderInfo &info, const sigrok::DecoderChoice &choice);

    const DecoderOption *option(const QString &optionId) const;
    /// The value \a choice gives option \a optionId, or its default.
    QString valueOf(const sigrok::DecoderChoice &choice, const char *optionId) const;
    /// The channel's number as PulseView counts it, -1 when there is none.
    int channelIndex(const QString &channelId) const;
};

/// The decoders a session setup may attach: every one the detection
/// chooses, and the ones stacked on them.
const std::vector<DecoderInfo> &decoderTable();

/// The table's row for \a id, or nullptr.
const DecoderInfo *findDecoder(const QString &id);

} // namespace wavemill::session_setup
