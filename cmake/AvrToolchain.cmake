# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Cross-compiling for 8-bit AVR with Debian's gcc-avr, binutils-avr and
# avr-libc: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/AvrToolchain.cmake -S firmware
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR avr)

find_program(CMAKE_C_COMPILER avr-gcc REQUIRED)
find_program(AVR_OBJCOPY avr-objcopy REQUIRED)
find_program(AVR_SIZE avr-size REQUIRED)

# There is no operating system to link a test program against.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Headers and libraries come from avr-libc only, never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/lib/avr)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
