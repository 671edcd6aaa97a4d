// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/lin_frames.h"

#include "detect/measure_text.h"

namespace wavemill::detect {

namespace {

/// The diagnostic frames, whose checksum is the classic one in LIN 2 too.
constexpr int kMasterRequestId = 60;
constexpr int kSlaveResponseId = 61;
/// A response ends where the line idles this many frames.
constexpr double kIdleFramesEndingResponse = 2;

/// The sum of \a bytes with each carry added back, as LIN sums.
unsigned carriedSum(const std::vector<std::uint8_t> &bytes)
{
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
        if (sum > 0xFF)
            sum -= 0xFF;
    }
    return sum;
}

QString hexBytes(const std::vector<std::uint8_t> &bytes)
{
    QStringList parts;
    for (const std::uint8_t b : bytes)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

} // namespace

bool LinFrame::parityRight() const
{
    const auto bit = [&](int k) { return (pid >> k) & 1; };
    const int p0 = bit(0) ^ bit(1) ^ bit(2) ^ bit(4);
    const int p1 = 1 ^ (bit(1) ^ bit(3) ^ bit(4) ^ bit(5));
    return (pid >> 6) == (p0 | p1 << 1);
}

bool LinFrame::checksumRight(bool enhanced) const
{
    if (!hasId || response.empty())
        return false;
    std::vector<std::uint8_t> summed(response.begin(), response.end() - 1);
    if (enhanced && id() != kMasterRequestId && id() != kSlaveResponseId)
        summed.push_back(pid);
    return carriedSum(summed) + response.back() == 0xFF;
}

QString LinFrame::text() const
{
    if (!synced)
        return QStringLiteral("break without sync");
    if (!hasId)
        return QStringLiteral("sync, no identifier");
    const QString id = QStringLiteral("ID %1").arg(hexText(std::uint32_t(this->id()), 2));
    if (response.empty())
        return id + QStringLiteral(", no response");
    const std::vector<std::uint8_t> data(response.begin(), response.end() - 1);
    return QStringLiteral("%1:%2 checksum %3")
        .arg(id, data.empty() ? QString() : QLatin1Char(' ') + hexBytes(data) + QLatin1Char(','),
             hexText(response.back(), 2));
}

std::vector<LinFrame> linFrames(const std::vector<UartEvent> &events, double frameSamples)
{
    std::vector<LinFrame> frames;
    bool awaitingSync = false; // right after a break
    bool ended = false;        // the line paused after the frame's last byte
    std::int64_t last = 0;     // where the last character or break began
    for (const UartEvent &e : events) {
        if (e.isBreak) {
            frames.push_back({});
            frames.back().start = e.start;
            awaitingSync = true;
            ended = false;
            last = e.start + e.length;
            continue;
        }
        const bool pause = double(e.start - last) > (1 + kIdleFramesEndingResponse) * frameSamples;
        last = e.start;
        if (frames.empty())
            continue; // before the first break: no frame to place it in
        LinFrame &f = frames.back();
        if (awaitingSync) {
            // The byte right after the break is the sync byte, or the frame is lost.
            f.synced = e.value == kLinSync;
            awaitingSync = false;
        } else if (!f.synced || pause || ended) {
            ended = ended || pause;
            continue; // a lost frame's bytes, or bytes after its response ended
        } else if (!f.hasId) {
            f.hasId = true;
            f.pid = std::uint8_t(e.value);
        } else {
            f.response.push_back(std::uint8_t(e.value));
        }
    }
    return frames;
}

QStringList sigrokLinFrames(const QStringList &classes, const QStringList &texts)
{
    // Each sync opens a frame; the identifier, data and checksum fill it.
    QStringList out;
    LinFrame f;
    bool open = false;
    const auto close = [&]() {
        if (open)
            out << f.text();
        f = LinFrame{};
        open = false;
    };
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString &text = texts[i];
        if (classes[i] == QLatin1String("error"))
            continue;
        bool ok = false;
        if (text == QLatin1String("Sync")) {
            close();
            f.synced = true;
            open = true;
        } else if (text.startsWith(QLatin1String("ID: "))) {
            const int id = text.mid(4, 2).toInt(&ok, 16);
            const int parity = text.section(QLatin1String("Parity: "), 1).left(1).toInt();
            f.hasId = ok;
            f.pid = std::uint8_t(id | parity << 6);
        } else if (text.startsWith(QLatin1String("Data: 0x"))) {
            f.response.push_back(std::uint8_t(text.mid(8, 2).toUInt(&ok, 16)));
        } else if (text.startsWith(QLatin1String("Checksum: 0x"))) {
            f.response.push_back(std::uint8_t(text.mid(12, 2).toUInt(&ok, 16)));
        }
    }
    close();
    return out;
}

} // namespace wavemill::detect
