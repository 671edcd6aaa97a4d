// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sigrok/annotation.h"
#include "sigrok/protocol_stack.h"

#include <QList>
#include <QString>
#include <QStringList>

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
/// in one line. The capture's samples go to it straight from memory, one
/// byte a sample with trace n in bit n - 1, at sigrok's rate for the board,
/// as sigrok-cli reads them from the capture's session file.
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

    /// Runs \a stacks over \a samples and gives what they put out, in the
    /// order they did. A bottom decoder given no channel reads \a
    /// defaultTrace (1 to 3, 0 for none) on its one required channel, or on
    /// its first optional one when it requires none. Without \a samples the
    /// stacks are only set up and started, which tells whether the decoders
    /// take them. Setup: a decoder unknown, an option unknown, of the wrong
    /// kind or refused when the decoder starts, a channel given no trace
    /// from 1 to 3 or none given, a decoder stacked on one whose output it
    /// does not read. Run: a decoder failed on the samples.
    DecodeFailure decode(const QList<sigrok::DecoderStack> &stacks, int defaultTrace,
                         const std::vector<std::uint8_t> *samples,
                         std::vector<sigrok::Annotation> *annotations, QString *why);

    /// Every decoder whose input is logic and that reads one channel, with
    /// at most one more it can do without.
    QList<DecoderSummary> singleChannelDecoders(QString *why);

    /// Whether any folder the library searches holds a decoder.
    bool decodersInstalled() const;

    /// Loads decoder \a id (once); nullptr with \a why when it is unknown
    /// or sigrok's decoders are not installed.
    srd_decoder *load(const QString &id, QString *why);

    /// Whether decoder \a id reads logic samples, rather than what another
    /// decoder puts out (ook_oregon reads ook's); false when it is unknown.
    bool readsLogic(const QString &id);

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
