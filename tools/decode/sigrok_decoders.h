// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/annotation.h"
#include "sigrok/protocol_stack.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <vector>

struct srd_decoder;

namespace wavemill::decode {

/// A decoder that takes one logic channel, for --list.
struct DecoderSummary
{
    QString id;
    QString name;
    QString description;
    QStringList channels; // the channel ids it can be given
};

/// Why a decoding did not happen: the decoders were asked for something
/// they do not take (the user's to fix), or could not run at all.
enum class DecodeFailure { None, Setup, Run };

/// The one adapter to sigrok's protocol decoder library, started once for
/// the process: it embeds Python, which cannot be started again once
/// finished. Its log is kept rather than printed, so that a failure is told
/// in one line. DecodeSession runs its decoders.
class SigrokDecoders
{
public:
    SigrokDecoders();
    ~SigrokDecoders();
    SigrokDecoders(const SigrokDecoders &) = delete;
    SigrokDecoders &operator=(const SigrokDecoders &) = delete;

    /// False when the library could not start; error() says why.
    bool ready() const { return m_ready; }
    const QString &error() const { return m_error; }

    /// Runs \a stacks over a capture's \a samples (one byte a sample, trace n
    /// in bit n - 1, told 49,817 Hz as sigrok-cli is by the capture's session
    /// file) at once, and gives what they put out in the order they did. A
    /// bottom decoder given no channel reads \a defaultTrace (1 to 3, 0 for
    /// none), as DecodeSession::addStack() says. Without \a samples the
    /// stacks are only set up and started. Setup: a stack DecodeSession
    /// refuses; Run: a decoder failed on the samples. For a recording of any
    /// length, feed a DecodeSession a block at a time instead.
    DecodeFailure decode(const QList<sigrok::DecoderStack> &stacks, int defaultTrace,
                         const std::vector<std::uint8_t> *samples,
                         std::vector<sigrok::Annotation> *annotations, QString *why);

    /// Every decoder whose input is logic and that reads one channel, with
    /// at most one more it can do without.
    QList<DecoderSummary> singleChannelDecoders(QString *why);

    /// A decoder that reads logic and puts out \a input (another decoder's
    /// input, as "uart" is midi's), with its channels, for a message: the one
    /// of that name first. False when none does.
    bool producerOf(const QString &input, QString *id, QStringList *channels);

    /// Whether any folder the library searches holds a decoder.
    bool decodersInstalled() const;

    /// Loads decoder \a id (once); nullptr with \a why when it is unknown
    /// or sigrok's decoders are not installed.
    srd_decoder *load(const QString &id, QString *why);
    /// Whether decoder \a id reads logic samples, not another decoder's
    /// output; false with \a why when it cannot be loaded.
    bool readsLogic(const QString &id, QString *why);

    /// The last error the library logged since clearLog(), on one line.
    QString lastLogError() const;
    void clearLog();

private:
    static int onLog(void *self, int level, const char *format, va_list args);
    QString notInstalled() const;

    bool m_ready = false;
    QString m_error;
    mutable std::mutex m_logMutex;
    QString m_lastError;
};

} // namespace wavemill::decode
