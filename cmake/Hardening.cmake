# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Release builds take Debian's build flags from dpkg-buildflags, with every
# hardening feature on: the stack protector, _FORTIFY_SOURCE, format checks,
# read-only relocations and immediate binding (Debian's compiler makes
# position-independent executables by default; Qt's targets add -fPIC to
# all code that links Qt, and such executables are still linked as PIE).
# Debug and sanitizer builds are left alone, as _FORTIFY_SOURCE needs an
# optimizing build.
#
# _FORTIFY_SOURCE is raised from dpkg's 2 to 3 where GCC and glibc know it
# (GCC 12, glibc 2.34): at level 2 the window has no call whose buffer size
# the compiler can prove, so it would get no checked call at all, and
# hardening-check rightly reports the feature as missing. Level 3 also checks
# sizes known only at run time.

find_program(WAVEMILL_DPKG_BUILDFLAGS dpkg-buildflags)
if(WAVEMILL_DPKG_BUILDFLAGS)
  set(default_hardening ON)
else()
  set(default_hardening OFF)
endif()
option(WAVEMILL_DEB_BUILDFLAGS "Release builds take Debian's hardening flags from dpkg-buildflags"
       ${default_hardening})

if(WAVEMILL_DEB_BUILDFLAGS)
  if(NOT WAVEMILL_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "WAVEMILL_DEB_BUILDFLAGS needs dpkg-buildflags (Debian package dpkg-dev)")
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    # Run in the source folder, so -ffile-prefix-map names it and the build
    # path does not end up in the programs.
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${WAVEMILL_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(deb_${kind} UNIX_COMMAND "${flags}")
  endforeach()

  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
    list(TRANSFORM deb_CPPFLAGS REPLACE "^-D_FORTIFY_SOURCE=2$" "-D_FORTIFY_SOURCE=3")
  endif()

  set(release "$<CONFIG:Release>")
  foreach(flag IN LISTS deb_CPPFLAGS deb_CXXFLAGS)
    add_compile_options("$<${release}:${flag}>")
  endforeach()
  foreach(flag IN LISTS deb_LDFLAGS)
    add_link_options("$<${release}:${flag}>")
  endforeach()
  string(JOIN " " shown ${deb_CPPFLAGS} ${deb_CXXFLAGS} ${deb_LDFLAGS})
  message(STATUS "Release builds use Debian's flags: ${shown}")
endif()
