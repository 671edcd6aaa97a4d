// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/annotation.h"
#include "sigrok/protocol_stack.h"

#include <QHash>

#include <cstdint>
#include <mutex>
#include <vector>

struct srd_session;
struct srd_decoder_inst;
struct srd_proto_data;

namespace wavemill::decode {

class SigrokDecoders;

/// One run of sigrok decoder stacks over a capture, in this process: the
/// capture's samples go to libsigrokdecode straight from memory, one byte a
/// sample with trace n in bit n - 1, at sigrok's rate for the board, as
/// sigrok-cli reads them from the capture's session file.
class DecodeSession
{
public:
    explicit DecodeSession(SigrokDecoders &decoders);
    ~DecodeSession();
    DecodeSession(const DecodeSession &) = delete;
    DecodeSession &operator=(const DecodeSession &) = delete;

    /// Adds a stack. A bottom decoder given no channel reads \a defaultTrace
    /// (1 to 3, 0 for none) on its one required channel, or on its first
    /// optional one when it requires none. False with \a error when a
    /// decoder is unknown, an option unknown or of the wrong kind, a channel
    /// given no trace from 1 to 3, or no channel given at all.
    bool addStack(const sigrok::DecoderStack &stack, int defaultTrace, QString *error);

    /// Decodes \a samples (one byte each, trace n in bit n - 1). False with
    /// \a error when a decoder fails.
    bool run(const std::vector<std::uint8_t> &samples, QString *error);

    /// What the decoders put out, in the order they did.
    const std::vector<sigrok::Annotation> &annotations() const { return m_annotations; }

private:
    static void onAnnotation(srd_proto_data *data, void *self);

    SigrokDecoders &m_decoders;
    srd_session *m_session = nullptr;
    /// The traces each decoder instance's stack reads.
    QHash<srd_decoder_inst *, QList<int>> m_traces;
    std::mutex m_mutex;
    std::vector<sigrok::Annotation> m_annotations;
};

} // namespace wavemill::decode
