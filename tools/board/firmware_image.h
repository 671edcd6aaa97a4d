// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavemill::board {

/// What goes into the ATmega328P's flash, read from an ELF file or an Intel
/// hex file and checked before anything runs it: an ELF must be for the AVR
/// (machine 83), of the ATmega328P's family (avr5) and, where avr-gcc names
/// the device in its .note.gnu.avr.deviceinfo section, for the ATmega328P
/// itself; a hex file must be hex digits with good checksums up to its
/// end-of-file record; and either must fit the 32 KiB of flash. Every
/// offset and length in the file is checked against its size: a truncated or
/// corrupt file is refused, never read past.
class FirmwareImage
{
public:
    /// The ATmega328P's flash (datasheet: 32 KiB).
    static constexpr std::uint32_t kFlashBytes = 32768;

    /// Reads \a path, an ELF or Intel hex file told apart by their first
    /// bytes. Empty on success, else why not, in one line.
    std::string read(const std::string &path);

    /// The flash from address 0 up to the last byte the image sets; what it
    /// leaves out between is erased (0xFF).
    const std::vector<std::uint8_t> &flash() const { return m_flash; }

private:
    std::string readElf(const std::vector<std::uint8_t> &file);
    std::string readHex(const std::vector<std::uint8_t> &file);
    /// Puts \a size bytes at flash address \a address; false when they do not fit.
    bool place(std::uint32_t address, const std::uint8_t *bytes, std::uint32_t size);

    std::vector<std::uint8_t> m_flash;
};

} // namespace wavemill::board
