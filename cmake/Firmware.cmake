# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The board's firmware (firmware/), cross-compiled for the ATmega328P as a
# project of its own whenever avr-gcc and avr-libc are there, and skipped
# otherwise. It lands in the build tree as firmware/wavemill-board.elf and
# firmware/wavemill-board.hex, and the package ships the .hex.
#
# WAVEMILL_FIRMWARE_ELF is set to the ELF when the firmware is built, for the
# simulated chip's tests.

find_program(WAVEMILL_AVR_GCC avr-gcc)
find_program(WAVEMILL_AVR_OBJCOPY avr-objcopy)
find_path(WAVEMILL_AVR_LIBC avr/io.h PATHS /usr/lib/avr/include NO_DEFAULT_PATH)
if(WAVEMILL_AVR_GCC AND WAVEMILL_AVR_OBJCOPY AND WAVEMILL_AVR_LIBC)
  include(ExternalProject)
  set(firmware_dir ${CMAKE_BINARY_DIR}/firmware)
  set(WAVEMILL_FIRMWARE_ELF ${firmware_dir}/wavemill-board.elf)
  # The same folder and settings scripts/flash builds with. BUILD_ALWAYS lets
  # the firmware's own Ninja decide what changed: a second or less.
  ExternalProject_Add(wavemill_firmware
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/firmware
    BINARY_DIR ${firmware_dir}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/AvrToolchain.cmake
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${WAVEMILL_FIRMWARE_ELF} ${firmware_dir}/wavemill-board.hex)
  install(FILES ${firmware_dir}/wavemill-board.hex
          DESTINATION ${CMAKE_INSTALL_DATADIR}/wavemill/firmware COMPONENT wavemill)
else()
  unset(WAVEMILL_FIRMWARE_ELF)
  message(STATUS "No avr-gcc and avr-libc: the board's firmware is not built "
                 "(apt-get install gcc-avr avr-libc binutils-avr)")
endif()
