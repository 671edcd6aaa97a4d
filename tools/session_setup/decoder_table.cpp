// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session_setup/decoder_table.h"

namespace wavemill::session_setup {

namespace {

/// One UART character ("H", "[0D]") in the ascii format is about 30 pixels
/// of PulseView's annotation text, with room around it.
constexpr double kCharacterPixels = 40;
/// A remote's code holds its address and command fields, each about a
/// quarter of it and some 15 characters of text.
constexpr double kCodePixels = 640;
/// A PWM period holds its duty cycle ("45.5%").
constexpr double kPeriodPixels = 60;
/// An on-off keyed packet holds dozens of bits and the fields they make.
constexpr double kPacketPixels = 640;
/// DCF77 sends one bit a second, each with a line of text.
constexpr double kSecondPixels = 160;
/// An RFID tag's frame holds 64 bits, each a digit with room around it.
constexpr double kTagFramePixels = 64 * 20;

/// "9600 8N1": rate, data bits, the parity's initial, stop bits.
QString uartSummary(const DecoderInfo &info, const sigrok::DecoderChoice &choice)
{
    const QString parity = info.valueOf(choice, "parity");
    QString text = QStringLiteral("%1 %2%3%4")
                       .arg(info.valueOf(choice, "baudrate"), info.valueOf(choice, "data_bits"),
                            parity.left(1).toUpper(),
                            QString::number(info.valueOf(choice, "stop_bits").toDouble()));
    if (info.valueOf(choice, "invert_rx") == QLatin1String("yes"))
        text += QStringLiteral(" inverted");
    return text;
}

/// "active-high" where the polarity is not the default.
QString polaritySummary(const DecoderInfo &info, const sigrok::DecoderChoice &choice)
{
    const QString polarity = info.valueOf(choice, "polarity");
    return polarity == QLatin1String(info.option(QStringLiteral("polarity"))->defaultValue)
               ? QString()
               : polarity;
}

/// "RF/64", and "active-low" where the polarity is not the default.
QString rfidSummary(const DecoderInfo &info, const sigrok::DecoderChoice &choice)
{
    const QString polarity = polaritySummary(info, choice);
    const QString rate = QStringLiteral("RF/") + info.valueOf(choice, "datarate");
    return polarity.isEmpty() ? rate : rate + QLatin1Char(' ') + polarity;
}

// The rows repeat what each decoder's pd.py in libsigrokdecode declares:
// test_session_setup checks every row against the library.
const std::vector<DecoderInfo> kTable = {
    {"uart",
     "UART",
     "logic",
     "uart",
     {{"rx", "RX"}, {"tx", "TX"}},
     {{"baudrate", 'x', "115200"},
      {"data_bits", 'x', "8"},
      {"parity", 's', "none"},
      {"stop_bits", 'd', "1.0"},
      {"bit_order", 's', "lsb-first"},
      {"format", 's', "hex"},
      {"invert_rx", 's', "no"},
      {"invert_tx", 's', "no"},
      {"rx_packet_delim", 'x', "-1"},
      {"tx_packet_delim", 'x', "-1"},
      {"rx_packet_len", 'x', "-1"},
      {"tx_packet_len", 'x', "-1"}},
     {{"format", 's', "ascii"}},
     kCharacterPixels,
     uartSummary},
    {"lin", "LIN", "uart", nullptr, {}, {{"version", 'x', "2"}}, {}, kCharacterPixels, nullptr},
    {"pwm",
     "PWM",
     "logic",
     nullptr,
     {{"data", "Data"}},
     {{"polarity", 's', "active-high"}},
     {},
     kPeriodPixels,
     polaritySummary},
    {"ir_nec",
     "IR NEC",
     "logic",
     nullptr,
     {{"ir", "IR"}},
     {{"polarity", 's', "active-low"}, {"cd_freq", 'x', "0"}},
     {},
     kCodePixels,
     polaritySummary},
    {"ir_rc5",
     "IR RC-5",
     "logic",
     nullptr,
     {{"ir", "IR"}},
     {{"polarity", 's', "active-low"}, {"protocol", 's', "standard"}},
     {},
     kCodePixels,
     polaritySummary},
    {"ir_rc6",
     "IR RC-6",
     "logic",
     nullptr,
     {{"ir", "IR"}},
     {{"polarity", 's', "auto"}},
     {},
     kCodePixels,
     polaritySummary},
    {"ook",
     "OOK",
     "logic",
     "ook",
     {{"data", "Data"}},
     {{"invert", 's', "no"},
      {"decodeas", 's', "Manchester"},
      {"preamble", 's', "auto"},
      {"preamlen", 's', "7"},
      {"diffmanvar", 's', "1"}},
     {},
     kPacketPixels,
     nullptr},
    {"ook_oregon",
     "Oregon",
     "ook",
     nullptr,
     {},
     {{"unknown", 's', "Unknown"}},
     {},
     kPacketPixels,
     nullptr},
    {"dcf77", "DCF77", "logic", nullptr, {{"data", "DATA"}}, {}, {}, kSecondPixels, nullptr},
    {"em4100",
     "EM4100",
     "logic",
     nullptr,
     {{"data", "Data"}},
     {{"polarity", 's', "active-high"}, {"datarate", 'x', "64"}, {"coilfreq", 'x', "125000"}},
     {},
     kTagFramePixels,
     rfidSummary},
};

} // namespace

const DecoderOption *DecoderInfo::option(const QString &optionId) const
{
    for (const DecoderOption &o : options) {
        if (optionId == QLatin1String(o.id))
            return &o;
    }
    return nullptr;
}

QString DecoderInfo::valueOf(const sigrok::DecoderChoice &choice, const char *optionId) const
{
    for (const auto &[key, value] : choice.settings) {
        if (key == QLatin1String(optionId))
            return value;
    }
    const DecoderOption *o = option(QLatin1String(optionId));
    return o ? QLatin1String(o->defaultValue) : QString();
}

int DecoderInfo::channelIndex(const QString &channelId) const
{
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (channelId == QLatin1String(channels[i].id))
            return int(i);
    }
    return -1;
}

const std::vector<DecoderInfo> &decoderTable()
{
    return kTable;
}

const DecoderInfo *findDecoder(const QString &id)
{
    for (const DecoderInfo &info : kTable) {
        if (id == QLatin1String(info.id))
            return &info;
    }
    return nullptr;
}

} // namespace wavemill::session_setup
