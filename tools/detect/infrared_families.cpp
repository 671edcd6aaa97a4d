// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "detect/infrared_families.h"

#include "detect/measure_text.h"
#include "signals/infrared_codes.h"

#include <algorithm>
#include <cmath>

namespace wavemill::detect {

namespace {

using namespace wavemill::signals;

/// A leader's mark and space each within 10 % (and a sample) of the family's.
constexpr double kLeaderTolerance = 0.10;
/// A bit's mark or space within 30 % of its nominal length; bi-phase halves
/// within 30 % of one unit of a whole number of units.
constexpr double kPulseTolerance = 0.30;
/// SIRC sends 12, 15 or 20 bits: 7 command bits, then 5, 8 or 5 + 8 address bits.
constexpr std::array<int, 3> kSircBits{12, 15, 20};
constexpr int kSircCommandBits = 7;
/// A leader's mark and space, left out when the units are measured.
constexpr std::size_t kLeaderPulses = 2;
/// Pulses up to 30 % longer than the shortest are one unit long.
constexpr double kOneUnitSpread = 0.30;
/// A burst whose pulses are this often whole RC-5 half-bits looks like RC-5.
constexpr double kResemblingShare = 0.75;
/// RC-6 frames carry 16 bits in mode 0, 8 to 32 in the others as remotes send them.
constexpr int kRc6Mode0Bits = 16;
constexpr int kRc6FewestBits = 8;
constexpr int kRc6MostBits = 32;
/// The mode besides 0 whose address and data sigrok's ir_rc6 reads (RC6A).
constexpr int kRc6ModeSigrokReads = 6;

double relativeError(double measured, double nominal)
{
    return std::fabs(measured - nominal) / nominal;
}

/// Within kPulseTolerance of \a nominal, plus \a slackUs: one sample, which
/// the sampling alone may add or take.
bool near(double measured, double nominal, double slackUs)
{
    return std::fabs(measured - nominal) <= kPulseTolerance * nominal + slackUs;
}

bool leaderFits(const Burst &b, double markUs, double spaceUs, double slackUs, Frame &f)
{
    if (b.size() < 3)
        return false;
    // Less the sample the sampling alone may add or take, as for the bits.
    const auto error = [&](double measured, double nominal) {
        return std::max(0.0, std::fabs(measured - nominal) - slackUs) / nominal;
    };
    f.leaderError = std::max(error(b[0], markUs), error(b[1], spaceUs));
    f.leaderMarkUs = b[0];
    f.leaderSpaceUs = b[1];
    return f.leaderError <= kLeaderTolerance;
}

/// A bit told by the length \a us of its mark or space: a 0 near \a zeroUs,
/// a 1 near \a oneUs; false when it is near neither.
bool readBit(double us, double zeroUs, double oneUs, double slackUs, Frame &f)
{
    if (near(us, zeroUs, slackUs)) {
        f.bits.push_back(false);
        f.zeroSum += us;
        ++f.zeros;
        return true;
    }
    if (near(us, oneUs, slackUs)) {
        f.bits.push_back(true);
        f.oneSum += us;
        ++f.ones;
        return true;
    }
    return false;
}

/// The bits of a pulse-distance frame from b[from] on: a mark, a space whose
/// length tells the bit, ..., the closing mark.
template <const PulseDistanceTiming &t>
bool readDistanceBits(const Burst &b, std::size_t from, double slackUs, Frame &f)
{
    if (b.size() != from + 2 * std::size_t(t.bits) + 1)
        return false;
    for (std::size_t i = 0; i <= std::size_t(t.bits); ++i) {
        const double mark = b[from + 2 * i];
        if (!near(mark, t.bitMarkUs, slackUs))
            return false;
        f.markSum += mark;
        ++f.marks;
        if (i == std::size_t(t.bits))
            break; // the closing mark
        if (!readBit(b[from + 1 + 2 * i], t.zeroSpaceUs, t.oneSpaceUs, slackUs, f))
            return false;
    }
    return true;
}

template <const PulseDistanceTiming &t>
std::optional<Frame> readPulseDistance(const Burst &b, double slackUs)
{
    Frame f;
    if (!leaderFits(b, t.leaderMarkUs, t.leaderSpaceUs, slackUs, f) ||
        !readDistanceBits<t>(b, kLeaderPulses, slackUs, f))
        return std::nullopt;
    return f;
}

template <const PulseDistanceTiming &t> bool hasLeader(const Burst &b, double slackUs)
{
    Frame f;
    return leaderFits(b, t.leaderMarkUs, t.leaderSpaceUs, slackUs, f);
}

std::optional<Frame> readNecRepeat(const Burst &b, double slackUs)
{
    Frame f;
    f.repeat = true;
    if (b.size() != 3 || !leaderFits(b, kNec.leaderMarkUs, kNecRepeatSpaceUs, slackUs, f) ||
        !near(b[2], kNec.bitMarkUs, slackUs))
        return std::nullopt;
    f.markSum = b[2];
    f.marks = 1;
    return f;
}

std::optional<Frame> readNec(const Burst &b, double slackUs)
{
    if (auto f = readPulseDistance<kNec>(b, slackUs))
        return f;
    return readNecRepeat(b, slackUs);
}

bool resemblesNec(const Burst &b, double slackUs)
{
    Frame f;
    return hasLeader<kNec>(b, slackUs) ||
           leaderFits(b, kNec.leaderMarkUs, kNecRepeatSpaceUs, slackUs, f);
}

/// JVC repeats its frame while the key is down without the leader.
std::optional<Frame> readJvc(const Burst &b, double slackUs)
{
    if (auto f = readPulseDistance<kJvc>(b, slackUs))
        return f;
    Frame f;
    f.repeat = true;
    if (!readDistanceBits<kJvc>(b, 0, slackUs, f))
        return std::nullopt;
    // No leader to measure the fit by: the bits' timing must be closer.
    f.leaderError = kLeaderTolerance;
    return f;
}

std::optional<Frame> readSirc(const Burst &b, double slackUs)
{
    Frame f;
    const std::size_t bits = b.size() / 2;
    if (b.size() % 2 != 1 ||
        std::find(kSircBits.begin(), kSircBits.end(), int(bits)) == kSircBits.end() ||
        !leaderFits(b, kSirc.leaderMarkUs, kSirc.spaceUs, slackUs, f))
        return std::nullopt;
    for (std::size_t i = 0; i < bits; ++i) {
        const double space = b[1 + 2 * i];
        const double mark = b[2 + 2 * i];
        if (!near(space, kSirc.spaceUs, slackUs) ||
            !readBit(mark, kSirc.zeroMarkUs, kSirc.oneMarkUs, slackUs, f))
            return std::nullopt;
    }
    return f;
}

bool resemblesSirc(const Burst &b, double slackUs)
{
    Frame f;
    return leaderFits(b, kSirc.leaderMarkUs, kSirc.spaceUs, slackUs, f);
}

/// The halves (true: mark) of a bi-phase stretch from b[from], each run a
/// whole number of units from 1 to \a most; empty when a run is not.
std::vector<bool> halves(const Burst &b, std::size_t from, double unitUs, int most,
                         double slackUs, Frame &f)
{
    std::vector<bool> out;
    for (std::size_t i = from; i < b.size(); ++i) {
        const double n = std::round(b[i] / unitUs);
        if (n < 1 || n > most || std::fabs(b[i] - n * unitUs) > kPulseTolerance * unitUs + slackUs)
            return {};
        f.unitSum += b[i];
        f.units += int(n);
        out.insert(out.end(), std::size_t(n), i % 2 == 0);
    }
    return out;
}

/// Reads \a count bi-phase bits of \a width halves each from \a h at \a at;
/// \a markFirstIsOne tells the family's convention. False on equal halves.
bool biphaseBits(const std::vector<bool> &h, std::size_t &at, int count, int width,
                 bool markFirstIsOne, std::vector<bool> &bits)
{
    for (int i = 0; i < count; ++i) {
        const bool first = h[at];
        for (int k = 1; k < width; ++k) {
            if (h[at + std::size_t(k)] != (k < width / 2 ? first : !first))
                return false;
        }
        bits.push_back(first == markFirstIsOne);
        at += std::size_t(width);
    }
    return true;
}

std::optional<Frame> readRc5(const Burst &b, double slackUs)
{
    Frame f;
    // The burst opens with the mark of the first start bit, whose space is idle.
    std::vector<bool> h{false};
    const std::vector<bool> rest = halves(b, 0, kRc5HalfBitUs, 2, slackUs, f);
    if (rest.empty())
        return std::nullopt;
    h.insert(h.end(), rest.begin(), rest.end());
    constexpr std::size_t kHalves = 2 * std::size_t(kRc5Bits);
    if (h.size() == kHalves - 1)
        h.push_back(false); // a closing space runs into the idle level
    if (h.size() != kHalves)
        return std::nullopt;
    std::size_t at = 0;
    if (!biphaseBits(h, at, kRc5Bits, 2, false, f.bits) || !f.bits[0])
        return std::nullopt;
    f.leaderError = relativeError(f.unitSum / f.units, kRc5HalfBitUs);
    return f;
}

/// A burst of RC-5's length whose pulses are nearly all one or two half-bits.
bool resemblesRc5(const Burst &b, double slackUs)
{
    if (b.size() < kRc5Bits || b.size() > 2 * std::size_t(kRc5Bits))
        return false;
    int units = 0;
    for (const double us : b) {
        const double n = std::round(us / kRc5HalfBitUs);
        units += n >= 1 && n <= 2 &&
                 std::fabs(us - n * kRc5HalfBitUs) <= kPulseTolerance * kRc5HalfBitUs + slackUs;
    }
    return double(units) >= kResemblingShare * double(b.size());
}

/// RC-6 in any mode: leader, start bit (1), three mode bits, the toggle bit
/// twice as long, then the mode's bits: 16 in mode 0 (address, command),
/// 8 to 32 in the others (mode 6, RC6A: a customer code, address and command).
std::optional<Frame> readRc6(const Burst &b, double slackUs)
{
    Frame f;
    const double t = kRc6UnitUs;
    if (!leaderFits(b, kRc6LeaderMarkUnits * t, kRc6LeaderSpaceUnits * t, slackUs, f))
        return std::nullopt;
    std::vector<bool> h = halves(b, 2, t, 3, slackUs, f);
    // Start and mode bits of 2 units, the toggle bit of 4, then bits of 2.
    constexpr std::size_t kHeaderUnits = 2 * (1 + kRc6ModeBits) + 4;
    if (h.size() % 2 == 1)
        h.push_back(false); // a closing space runs into the idle level
    if (h.size() < kHeaderUnits + 2 * std::size_t(kRc6FewestBits) ||
        h.size() > kHeaderUnits + 2 * std::size_t(kRc6MostBits))
        return std::nullopt;
    std::size_t at = 0;
    const int bits = int(h.size() - kHeaderUnits) / 2;
    if (!biphaseBits(h, at, 1 + kRc6ModeBits, 2, true, f.bits) ||
        !biphaseBits(h, at, 1, 4, true, f.bits) || !biphaseBits(h, at, bits, 2, true, f.bits) ||
        !f.bits[0])
        return std::nullopt;
    f.mode = int(f.bits[1]) << 2 | int(f.bits[2]) << 1 | int(f.bits[3]);
    if (f.mode == 0 && bits != kRc6Mode0Bits)
        return std::nullopt;
    return f;
}

bool resemblesRc6(const Burst &b, double slackUs)
{
    Frame f;
    return leaderFits(b, kRc6LeaderMarkUnits * kRc6UnitUs, kRc6LeaderSpaceUnits * kRc6UnitUs,
                      slackUs, f);
}

std::uint32_t valueLsbFirst(const std::vector<bool> &bits, std::size_t from, int count)
{
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i)
        v |= std::uint32_t(bits[from + std::size_t(i)]) << i;
    return v;
}

std::uint32_t valueMsbFirst(const std::vector<bool> &bits, std::size_t from, int count)
{
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i)
        v = v << 1 | std::uint32_t(bits[from + std::size_t(i)]);
    return v;
}

Code necCode(const Frame &f)
{
    const std::uint32_t a = valueLsbFirst(f.bits, 0, 8);
    const std::uint32_t na = valueLsbFirst(f.bits, 8, 8);
    const std::uint32_t c = valueLsbFirst(f.bits, 16, 8);
    const std::uint32_t nc = valueLsbFirst(f.bits, 24, 8);
    const bool extended = na != (~a & 0xFF);
    Code code{extended ? a | na << 8 : a, c, {}};
    code.text =
        QStringLiteral("address %1 command %2%3")
            .arg(extended ? hexText(code.address, 4) + QStringLiteral(" (extended)")
                          : hexText(a, 2),
                 hexText(c, 2), nc == (~c & 0xFF) ? QString() : QStringLiteral(" (inverse wrong)"));
    return code;
}

Code rc5Code(const Frame &f)
{
    // The second start bit is the inverted seventh command bit in extended RC-5.
    Code code{valueMsbFirst(f.bits, 3, 5), valueMsbFirst(f.bits, 8, 6) | (f.bits[1] ? 0 : 64), {}};
    code.text = QStringLiteral("address %1 command %2 toggle %3")
                    .arg(code.address)
                    .arg(code.command)
                    .arg(int(f.bits[2]));
    return code;
}

/// Mode 0: address and command; mode 6 as sigrok's ir_rc6 reads it: an
/// address of 8 bits when the first bit is 0 (RC6A's short customer code),
/// of 16 otherwise, and the rest as data; other modes: their bits.
Code rc6Code(const Frame &f)
{
    constexpr std::size_t kFirst = 5; // after the start, mode and toggle bits
    const int bits = int(f.bits.size() - kFirst);
    const int addressBits = f.mode == 0 || !f.bits[kFirst] ? 8 : 16;
    if (f.mode != 0 && f.mode != kRc6ModeSigrokReads) {
        Code code{0, valueMsbFirst(f.bits, kFirst, std::min(bits, 32)), {}};
        code.text = QStringLiteral("mode %1, %2 bits %3 toggle %4")
                        .arg(f.mode)
                        .arg(bits)
                        .arg(hexText(code.command, (bits + 3) / 4))
                        .arg(int(f.bits[4]));
        return code;
    }
    const int dataBits = std::min(bits - addressBits, 32);
    Code code{valueMsbFirst(f.bits, kFirst, addressBits),
              valueMsbFirst(f.bits, kFirst + std::size_t(addressBits), dataBits),
              {}};
    code.text = QStringLiteral("%1address %2 command %3 toggle %4")
                    .arg(f.mode == 0 ? QString() : QStringLiteral("mode %1, ").arg(f.mode),
                         hexText(code.address, addressBits / 4),
                         hexText(code.command, std::max(2, (dataBits + 3) / 4)))
                    .arg(int(f.bits[4]));
    return code;
}

Code sircCode(const Frame &f)
{
    const int count = int(f.bits.size());
    Code code{valueLsbFirst(f.bits, kSircCommandBits, count - kSircCommandBits),
              valueLsbFirst(f.bits, 0, kSircCommandBits),
              {}};
    code.text = QStringLiteral("%1 bits: address %2 command %3")
                    .arg(count)
                    .arg(hexText(code.address, count == 12 ? 2 : 4), hexText(code.command, 2));
    return code;
}

/// Families without a decoder: the bits as sent, first bit least significant.
Code bitsCode(const Frame &f)
{
    const int count = int(f.bits.size());
    QString bytes;
    for (int at = 0; at < count; at += 8)
        bytes += (bytes.isEmpty() ? QString() : QStringLiteral(" ")) +
                 hexText(valueLsbFirst(f.bits, std::size_t(at), std::min(8, count - at)), 2);
    return {0, 0, QStringLiteral("%1 bits: %2").arg(count).arg(bytes)};
}

template <const PulseDistanceTiming &t> QString distanceTimings()
{
    return QStringLiteral("leader %1 + %2, bit mark %3, spaces %4 / %5")
        .arg(microsecondsText(t.leaderMarkUs), microsecondsText(t.leaderSpaceUs),
             microsecondsText(t.bitMarkUs), microsecondsText(t.zeroSpaceUs),
             microsecondsText(t.oneSpaceUs));
}

QString sircTimings()
{
    return QStringLiteral("leader %1, spaces %2, bit marks %3 / %4")
        .arg(microsecondsText(kSirc.leaderMarkUs), microsecondsText(kSirc.spaceUs),
             microsecondsText(kSirc.zeroMarkUs), microsecondsText(kSirc.oneMarkUs));
}

QString rc5Timings()
{
    return QStringLiteral("bi-phase, half-bit %1, 14 bits").arg(microsecondsText(kRc5HalfBitUs));
}

QString rc6Timings()
{
    return QStringLiteral("leader %1 + %2, bi-phase unit %3")
        .arg(microsecondsText(kRc6LeaderMarkUnits * kRc6UnitUs),
             microsecondsText(kRc6LeaderSpaceUnits * kRc6UnitUs), microsecondsText(kRc6UnitUs));
}

/// sigrok's decoders name their address and command annotations, and write
/// their numbers, each its own way.
const std::array<InfraredFamily, 7> kFamilies{{
    {"NEC", &readNec, &resemblesNec, &necCode, &distanceTimings<kNec>, "ir_nec", "addr", "cmd",
     16, "ir_nec takes each pulse within 5 % of its nominal length, and no extended address"},
    {"RC-5", &readRc5, &resemblesRc5, &rc5Code, &rc5Timings, "ir_rc5", "address", "command", 10,
     "ir_rc5 takes each edge within a quarter bit of where it expects it"},
    {"RC-6", &readRc6, &resemblesRc6, &rc6Code, &rc6Timings, "ir_rc6", "address", "command", 16,
     "ir_rc6 reads the address and data of modes 0 and 6 only, and rounds each pulse to whole "
     "units, with no allowance for stretched marks"},
    {"Samsung", &readPulseDistance<kSamsung>, &hasLeader<kSamsung>, &bitsCode,
     &distanceTimings<kSamsung>, nullptr, nullptr, nullptr, 0, nullptr},
    {"JVC", &readJvc, &hasLeader<kJvc>, &bitsCode, &distanceTimings<kJvc>, nullptr, nullptr,
     nullptr, 0, nullptr},
    {"Kaseikyo", &readPulseDistance<kKaseikyo>, &hasLeader<kKaseikyo>, &bitsCode,
     &distanceTimings<kKaseikyo>, nullptr, nullptr, nullptr, 0, nullptr},
    {"SIRC", &readSirc, &resemblesSirc, &sircCode, &sircTimings, nullptr, nullptr, nullptr, 0,
     nullptr},
}};

/// The frame \a burst reads as, pulse lengths as they are.
std::optional<Frame> readAsItIs(const Burst &burst, double slackUs)
{
    std::optional<Frame> best;
    for (const InfraredFamily &family : kFamilies) {
        std::optional<Frame> f = family.read(burst, slackUs);
        if (f && (!best || f->leaderError < best->leaderError)) {
            f->family = &family;
            best = std::move(f);
        }
    }
    return best;
}

/// The mean of the values up to kOneUnitSpread above the smallest.
double shortestMean(const std::vector<double> &values)
{
    return meanAtMost(values,
                      *std::min_element(values.begin(), values.end()) * (1 + kOneUnitSpread));
}

/// Half the difference between the shortest marks and the shortest spaces
/// after the leader: both are one unit long in every family, so a receiver
/// that holds its output low a while after each mark makes the one longer
/// and the other shorter by the same time.
double markStretch(const Burst &b)
{
    std::vector<double> marks;
    std::vector<double> spaces;
    for (std::size_t i = kLeaderPulses; i < b.size(); ++i)
        (i % 2 == 0 ? marks : spaces).push_back(b[i]);
    return (shortestMean(marks) - shortestMean(spaces)) / 2;
}

} // namespace

const std::array<InfraredFamily, 7> &infraredFamilies()
{
    return kFamilies;
}

std::optional<Frame> readBurst(const Burst &burst, double slackUs)
{
    std::optional<Frame> best = readAsItIs(burst, slackUs);
    if (best || burst.size() < kLeaderPulses + 2)
        return best;
    const double stretch = markStretch(burst);
    if (std::fabs(stretch) <= slackUs)
        return best;
    Burst setBack = burst;
    for (std::size_t i = 0; i < setBack.size(); ++i)
        setBack[i] += i % 2 == 0 ? -stretch : stretch;
    best = readAsItIs(setBack, slackUs);
    if (best)
        best->stretchUs = stretch;
    return best;
}

const InfraredFamily *resembledFamily(const Burst &burst, double slackUs)
{
    for (const InfraredFamily &family : kFamilies) {
        if (family.resembles(burst, slackUs))
            return &family;
    }
    return nullptr;
}

} // namespace wavemill::detect
