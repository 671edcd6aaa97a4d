// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "board/firmware_image.h"

#include "command/printable_text.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavemill::board {

using command::printable;

namespace {

/// A firmware file larger than this is none: the flash holds 32 KiB, and an
/// ELF with all its debugging information stays far below.
constexpr off_t kMaxFileBytes = off_t(16) * 1024 * 1024;

// ELF (System V ABI, and binutils' AVR values).
constexpr std::uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};
constexpr std::size_t kElf32HeaderBytes = 52;
constexpr std::size_t kElf32ProgramHeaderBytes = 32;
constexpr std::size_t kElf32SectionHeaderBytes = 40;
constexpr std::uint8_t kElfClass32 = 1;
constexpr std::uint8_t kElfLittleEndian = 1;
constexpr std::uint16_t kMachineAvr = 83;
/// The architecture in an AVR ELF's e_flags (EF_AVR_MACH), and the
/// ATmega328P's: avr5.
constexpr std::uint32_t kAvrArchMask = 0x7F;
constexpr std::uint32_t kArchAtmega328p = 5;
constexpr std::uint32_t kLoadSegment = 1; // PT_LOAD
constexpr std::uint32_t kNoteSection = 7; // SHT_NOTE
/// An AVR ELF puts data memory from 0x800000 and the EEPROM, fuses and lock
/// bits above it: below is the flash.
constexpr std::uint32_t kDataSpace = 0x800000;
/// avr-libc's device note: owner "AVR", type 1, then six words of memory
/// sizes, the length of a table of offsets, the offsets, and the strings.
constexpr std::uint32_t kDeviceInfoNote = 1;
constexpr std::size_t kDeviceInfoFixedBytes = std::size_t(7) * 4;
constexpr const char *kDevice = "atmega328p";

// Intel hex record types.
constexpr int kHexData = 0x00;
constexpr int kHexEnd = 0x01;
constexpr int kHexSegment = 0x02;
constexpr int kHexStartSegment = 0x03;
constexpr int kHexLinear = 0x04;
constexpr int kHexStartLinear = 0x05;

std::uint16_t u16(const std::vector<std::uint8_t> &b, std::size_t at)
{
    return std::uint16_t(b[at] | b[at + 1] << 8);
}

std::uint32_t u32(const std::vector<std::uint8_t> &b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

/// Whether [offset, offset + count * size) lies within a file of \a fileSize.
bool within(std::uint64_t offset, std::uint64_t count, std::uint64_t size, std::size_t fileSize)
{
    return offset <= fileSize && count * size <= fileSize - offset;
}

std::string machineName(std::uint16_t machine)
{
    switch (machine) {
    case 3:
        return "x86";
    case 40:
        return "ARM";
    case 62:
        return "x86-64";
    case 183:
        return "AArch64";
    case 243:
        return "RISC-V";
    default:
        return "machine " + std::to_string(machine);
    }
}

/// The device avr-gcc built for, from the notes in [offset, offset + size):
/// empty when no device note names one.
std::string deviceOfNotes(const std::vector<std::uint8_t> &b, std::size_t offset, std::size_t size)
{
    std::size_t at = offset;
    const std::size_t end = offset + size;
    while (end - at >= 12) {
        const std::uint32_t nameBytes = u32(b, at);
        const std::uint32_t descBytes = u32(b, at + 4);
        const std::uint32_t type = u32(b, at + 8);
        const std::uint64_t namePadded = (std::uint64_t(nameBytes) + 3) / 4 * 4;
        const std::uint64_t descPadded = (std::uint64_t(descBytes) + 3) / 4 * 4;
        if (12 + namePadded + descBytes > end - at)
            return {};
        const std::size_t desc = at + 12 + std::size_t(namePadded);
        if (type == kDeviceInfoNote && nameBytes == 4 && std::memcmp(&b[at + 12], "AVR", 4) == 0 &&
            descBytes > kDeviceInfoFixedBytes) {
            // The name is the string table's one word of lower-case letters
            // and digits.
            std::string word;
            std::string device;
            for (std::size_t i = desc + kDeviceInfoFixedBytes; i <= desc + descBytes; ++i) {
                const char c = i < desc + descBytes ? char(b[i]) : '\0';
                if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
                    word += c;
                } else {
                    if (word.size() >= 3 && device.empty())
                        device = word;
                    word.clear();
                }
            }
            return device;
        }
        if (12 + namePadded + descPadded > end - at)
            return {};
        at += 12 + std::size_t(namePadded + descPadded);
    }
    return {};
}

int hexDigit(std::uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string FirmwareImage::read(const std::string &path)
{
    m_flash.clear();
    const std::string shown = printable(path);
    // Not blocking: a FIFO would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return "cannot read " + shown + ": " + std::generic_category().message(errno);
    struct stat status
    {
    };
    std::string why;
    std::vector<std::uint8_t> file;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        why = shown + (S_ISDIR(status.st_mode) ? " is a folder, not a firmware file"
                                               : " is not a regular file, so no firmware file");
    } else if (status.st_size == 0) {
        why = shown + " is empty";
    } else if (status.st_size > kMaxFileBytes) {
        why = shown + " is too large to be firmware for the ATmega328P";
    } else {
        file.resize(std::size_t(status.st_size));
        std::size_t got = 0;
        while (got < file.size()) {
            const ssize_t n = ::read(fd, file.data() + got, file.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                why = "cannot read " + shown + ": " +
                      (n < 0 ? std::generic_category().message(errno) : "it shrank");
                break;
            }
            got += std::size_t(n);
        }
    }
    ::close(fd);
    if (!why.empty())
        return why;

    if (file.size() >= sizeof kElfMagic && std::memcmp(file.data(), kElfMagic, 4) == 0)
        why = readElf(file);
    else if (file[0] == ':')
        why = readHex(file);
    else
        why = "is neither an ELF file nor Intel hex";
    if (why.empty() && m_flash.empty())
        why = "holds nothing for the flash";
    if (!why.empty()) {
        m_flash.clear();
        return shown + " " + why;
    }
    return {};
}

bool FirmwareImage::place(std::uint32_t address, const std::uint8_t *bytes, std::uint32_t size)
{
    if (std::uint64_t(address) + size > kFlashBytes)
        return false;
    if (m_flash.size() < address + size)
        m_flash.resize(address + size, 0xFF); // erased flash reads as ones
    std::memcpy(m_flash.data() + address, bytes, size);
    return true;
}

std::string FirmwareImage::readElf(const std::vector<std::uint8_t> &b)
{
    // The machine lies at the same place in 32- and 64-bit headers.
    if (b.size() >= kElf32HeaderBytes && b[5] == kElfLittleEndian && u16(b, 18) != kMachineAvr)
        return "is built for " + machineName(u16(b, 18)) + ", not for the AVR";
    if (b.size() < kElf32HeaderBytes)
        return "is a damaged ELF file: its header is cut short";
    if (b[4] != kElfClass32 || b[5] != kElfLittleEndian)
        return "is not an ELF file for the AVR (not 32-bit little-endian)";

    // The device first, by name where avr-gcc wrote it: an ATmega328P and
    // an ATmega32 are both avr5.
    const std::uint32_t sectionOffset = u32(b, 32);
    const std::uint16_t sectionBytes = u16(b, 46);
    const std::uint16_t sections = u16(b, 48);
    if (sections > 0 && (sectionBytes < kElf32SectionHeaderBytes ||
                         !within(sectionOffset, sections, sectionBytes, b.size())))
        return "is a damaged ELF file: its section headers lie past its end";
    for (std::uint16_t i = 0; i < sections; ++i) {
        const std::size_t header = sectionOffset + std::size_t(i) * sectionBytes;
        if (u32(b, header + 4) != kNoteSection)
            continue;
        const std::uint32_t offset = u32(b, header + 16);
        const std::uint32_t size = u32(b, header + 20);
        if (!within(offset, 1, size, b.size()))
            return "is a damaged ELF file: a note lies past its end";
        const std::string device = deviceOfNotes(b, offset, size);
        if (!device.empty() && device != kDevice)
            return "is built for the " + device + ", not the ATmega328P";
    }
    const std::uint32_t arch = u32(b, 36) & kAvrArchMask;
    if (arch != kArchAtmega328p)
        return "is built for an avr" + std::to_string(arch) + " chip, not the ATmega328P (avr5)";

    const std::uint32_t programOffset = u32(b, 28);
    const std::uint16_t programBytes = u16(b, 42);
    const std::uint16_t programs = u16(b, 44);
    if (programs == 0)
        return "is an ELF file with nothing to load";
    if (programBytes < kElf32ProgramHeaderBytes ||
        !within(programOffset, programs, programBytes, b.size()))
        return "is a damaged ELF file: its program headers lie past its end";
    for (std::uint16_t i = 0; i < programs; ++i) {
        const std::size_t header = programOffset + std::size_t(i) * programBytes;
        const std::uint32_t offset = u32(b, header + 4);
        const std::uint32_t address = u32(b, header + 12); // physical: where it lies in flash
        const std::uint32_t size = u32(b, header + 16);
        if (u32(b, header) != kLoadSegment || size == 0 || address >= kDataSpace)
            continue;
        if (!within(offset, 1, size, b.size()))
            return "is a damaged ELF file: a segment lies past its end";
        if (!place(address, b.data() + offset, size))
            return "does not fit the ATmega328P's 32 KiB of flash";
    }
    return {};
}

std::string FirmwareImage::readHex(const std::vector<std::uint8_t> &b)
{
    std::uint32_t base = 0;
    int line = 0;
    std::size_t at = 0;
    while (at < b.size()) {
        ++line;
        std::size_t end = at;
        while (end < b.size() && b[end] != '\n')
            ++end;
        std::size_t last = end;
        if (last > at && b[last - 1] == '\r')
            --last;
        const std::string where = "line " + std::to_string(line);
        if (last == at || b[at] != ':')
            return "is not Intel hex: " + where + " does not start with ':'";
        std::vector<std::uint8_t> record;
        for (std::size_t i = at + 1; i < last; ++i) {
            const int digit = hexDigit(b[i]);
            if (digit < 0)
                return "is not Intel hex: " + where + " holds something other than hex digits";
            if ((i - at) % 2 == 1)
                record.push_back(std::uint8_t(digit << 4));
            else
                record.back() = std::uint8_t(record.back() | digit);
        }
        if ((last - at) % 2 == 0)
            return "is not Intel hex: " + where + " has an odd number of hex digits";
        if (record.size() < 5 || record.size() != std::size_t(record[0]) + 5)
            return "is not Intel hex: " + where + " is not as long as it says";
        std::uint8_t sum = 0;
        for (const std::uint8_t byte : record)
            sum = std::uint8_t(sum + byte);
        if (sum != 0)
            return "is damaged: " + where + " has a wrong checksum";
        const std::uint32_t address = std::uint32_t(record[1] << 8 | record[2]);
        const std::uint8_t *data = record.data() + 4;
        const std::uint32_t size = record[0];
        switch (record[3]) {
        case kHexData:
            if (!place(base + address, data, size))
                return "does not fit the ATmega328P's 32 KiB of flash";
            break;
        case kHexEnd:
            return {};
        case kHexSegment:
            if (size != 2)
                return "is not Intel hex: " + where + " is not as long as it says";
            base = std::uint32_t(data[0] << 8 | data[1]) << 4;
            break;
        case kHexLinear:
            if (size != 2)
                return "is not Intel hex: " + where + " is not as long as it says";
            base = std::uint32_t(data[0] << 8 | data[1]) << 16;
            break;
        case kHexStartSegment:
        case kHexStartLinear:
            break; // where to start: the chip starts from its reset vector
        default:
            return "is not Intel hex: " + where + " has a record of an unknown type";
        }
        at = end + 1;
    }
    return "is cut short: it ends before its end-of-file record";
}

} // namespace wavemill::board
