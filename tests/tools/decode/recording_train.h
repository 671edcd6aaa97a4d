// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The real recordings of tests/data/recordings as the detection reads them:
// the one channel of a sigrok session file as a pulse train at the file's
// own rate. Enough for those files (one byte a sample, the channel in bit 0,
// the rate in the metadata's "samplerate="); a file it cannot read gives an
// empty train, which no row expects.

#include "detect/pulse_train.h"

#include <QByteArray>
#include <QString>

#include <zip.h>

#include <memory>
#include <vector>

namespace wavemill::testing {

/// One member of an open zip, whole; empty when it is not there.
inline QByteArray zipMember(zip_t *zip, const QString &name)
{
    zip_stat_t stat;
    const QByteArray utf8 = name.toUtf8();
    if (zip_stat(zip, utf8.constData(), 0, &stat) != 0)
        return {};
    const std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> file(
        zip_fopen(zip, utf8.constData(), 0), &zip_fclose);
    QByteArray bytes(qsizetype(stat.size), '\0');
    if (!file || zip_fread(file.get(), bytes.data(), stat.size) != zip_int64_t(stat.size))
        return {};
    return bytes;
}

/// The rate in a session file's metadata, in hertz ("49.817 kHz", "1 MHz").
inline double metadataRateHz(const QByteArray &metadata)
{
    for (const QByteArray &line : metadata.split('\n')) {
        if (!line.startsWith("samplerate="))
            continue;
        const QList<QByteArray> words = line.mid(11).trimmed().split(' ');
        const double number = words.value(0).toDouble();
        const QByteArray unit = words.value(1);
        return number * (unit == "MHz" ? 1e6 : unit == "kHz" ? 1e3 : 1.0);
    }
    return 0;
}

/// The recording \a name (a file in tests/data/recordings) as a pulse train.
inline detect::PulseTrain recordingTrain(const QString &name)
{
    const QByteArray path = QStringLiteral(WAVEMILL_RECORDINGS_DIR "/%1").arg(name).toUtf8();
    int error = 0;
    const std::unique_ptr<zip_t, int (*)(zip_t *)> zip(zip_open(path.constData(), ZIP_RDONLY, &error),
                                                       &zip_close);
    if (!zip)
        return detect::PulseTrain({}, 1);
    const double rate = metadataRateHz(zipMember(zip.get(), QStringLiteral("metadata")));
    QByteArray samples;
    for (int chunk = 1;; ++chunk) {
        const QByteArray bytes = zipMember(zip.get(), QStringLiteral("logic-1-%1").arg(chunk));
        if (bytes.isEmpty())
            break;
        samples += bytes;
    }
    if (rate <= 0 || samples.isEmpty())
        return detect::PulseTrain({}, 1);
    std::vector<detect::Run> runs;
    std::int64_t start = 0;
    for (qsizetype i = 1; i <= samples.size(); ++i) {
        if (i == samples.size() || ((samples[i] ^ samples[i - 1]) & 1) != 0) {
            runs.push_back({start, std::int64_t(i) - start, (samples[i - 1] & 1) != 0});
            start = i;
        }
    }
    return detect::PulseTrain(std::move(runs), 1e6 / rate);
}

} // namespace wavemill::testing
