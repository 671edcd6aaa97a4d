// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/annotation.h"
#include "sigrok/protocol_stack.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

struct srd_session;
struct srd_decoder_inst;
struct srd_proto_data;

namespace wavemill::decode {

class SigrokDecoders;

/// What a decoder's channel settings may name in a recording: the channel
/// number (from 1) a value names, 0 for none, and the choices, for a message.
struct ChannelNames
{
    std::function<int(const QString &)> numberOf;
    QString choices;
};

/// One libsigrokdecode session: decoder stacks set up from -P's terms, fed
/// samples a block at a time, and the annotations they put out.
class DecodeSession
{
public:
    explicit DecodeSession(SigrokDecoders &decoders);
    ~DecodeSession();
    DecodeSession(const DecodeSession &) = delete;
    DecodeSession &operator=(const DecodeSession &) = delete;

    /// Sets up \a stack. Its bottom decoder reads the channels its settings
    /// name through \a names; given none, it reads \a defaultChannel (0 for
    /// none) on its one required channel, or on its first optional one when
    /// it requires none. False with \a why: a decoder unknown, an option
    /// unknown, of the wrong kind, outside its listed values, not finite, or
    /// zero or below where its default is above zero (a rate, a size); a
    /// channel naming none of the recording's; a required channel not given;
    /// a decoder that reads another's output put at the bottom, or stacked on
    /// one whose output it does not read.
    bool addStack(const sigrok::DecoderStack &stack, int defaultChannel, const ChannelNames &names,
                  QString *why);
    /// Tells the decoders the sample rate and starts them: they check their
    /// options. False with \a why when one refuses.
    bool start(std::uint64_t sampleRateHz, QString *why);
    /// Decodes \a count samples of \a unitSize bytes from sample \a first; a
    /// channel numbered n is bit n - 1. False with \a why when a decoder failed.
    bool send(std::uint64_t first, const std::uint8_t *data, std::size_t count, int unitSize,
              QString *why);
    /// The annotations put out since the last take(), in the order they came.
    std::vector<sigrok::Annotation> take();

private:
    static void onAnnotation(srd_proto_data *data, void *self);
    QString logged() const;

    SigrokDecoders &m_decoders;
    srd_session *m_session = nullptr;
    /// The channels each decoder instance's stack reads.
    QHash<srd_decoder_inst *, QList<int>> m_channels;
    std::mutex m_mutex;
    std::vector<sigrok::Annotation> m_annotations;
    /// Each instance's annotation classes: its id and the class's name.
    QHash<QPair<srd_decoder_inst *, int>, QPair<QString, QString>> m_names;
    /// Texts as they came, keyed by their bytes, shared between annotations.
    QHash<QByteArray, QStringList> m_texts;
    /// The most texts shared at once; beyond, sharing starts afresh.
    static constexpr qsizetype kSharedTexts = 4096;
};

} // namespace wavemill::decode
