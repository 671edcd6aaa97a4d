// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "signals/lin_bus.h"

namespace wavemill::signals {

namespace {

constexpr std::uint8_t kSync = 0x55;
/// The diagnostic frames keep the classic checksum in LIN 2 too.
constexpr int kMasterRequestId = 60;
constexpr int kSlaveResponseId = 61;

EdgeSignal::Sketch sketchOf(const LinBus::Options &o)
{
    const double bitUs = 1e6 / o.baud;
    EdgeSignal::Sketch s(true);
    for (const LinBus::Frame &frame : o.frames) {
        const double start = s.endUs();
        s.hold(true, bitUs); // idle before the break
        s.hold(false, o.breakBits * bitUs);
        s.hold(true, o.delimiterBits * bitUs);
        const std::uint8_t pid = LinBus::protectedId(frame.id);
        std::vector<std::uint8_t> bytes{kSync, pid};
        if (!frame.data.empty()) {
            bytes.insert(bytes.end(), frame.data.begin(), frame.data.end());
            const bool diagnostic = frame.id == kMasterRequestId || frame.id == kSlaveResponseId;
            bytes.push_back(LinBus::checksum(pid, frame.data, o.enhanced && !diagnostic));
        }
        for (const std::uint8_t byte : bytes) {
            s.hold(false, bitUs);
            for (int k = 0; k < 8; ++k)
                s.hold(((byte >> k) & 1) != 0, bitUs);
            s.hold(true, bitUs);
        }
        s.hold(true, start + o.everyUs - s.endUs());
    }
    return s;
}

} // namespace

LinBus::LinBus(const Options &options) : EdgeSignal(sketchOf(options), 0) {}

std::uint8_t LinBus::protectedId(int id)
{
    const auto bit = [&](int k) { return (id >> k) & 1; };
    const int p0 = bit(0) ^ bit(1) ^ bit(2) ^ bit(4);
    const int p1 = 1 ^ bit(1) ^ bit(3) ^ bit(4) ^ bit(5);
    return std::uint8_t((id & 0x3F) | p0 << 6 | p1 << 7);
}

std::uint8_t LinBus::checksum(std::uint8_t pid, const std::vector<std::uint8_t> &data,
                              bool enhanced)
{
    unsigned sum = enhanced ? pid : 0;
    for (const std::uint8_t byte : data) {
        sum += byte;
        if (sum > 0xFF)
            sum -= 0xFF; // the carry added back
    }
    return std::uint8_t(~sum & 0xFF);
}

} // namespace wavemill::signals
