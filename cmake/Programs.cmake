# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# wavemill_program(TARGET SUMMARY text [MANUAL page.1.in]
#                  [PACKAGE name [DESCRIPTION text]])
#
# Installs TARGET as one of Wavemill's programs: into bin, with a manual page
# in section 1 and a place in a Debian package (cmake/Packaging.cmake makes
# the pages and the packages once every program is known).
#
#   SUMMARY      what the program does, in a few words without a capital or
#                a full stop: the NAME line of its manual page
#   MANUAL       a manual page kept by hand (configured with @VAR@ values);
#                without it the page is made by help2man from the program's
#                --help, so the two cannot drift apart
#   PACKAGE      the Debian package that holds it, by default wavemill (the
#                window's package); another name makes a package of its own,
#                for programs whose libraries the window must not pull in
#   DESCRIPTION  that package's long description, in lines of at most 80
#                characters joined by \n (its short description is the
#                SUMMARY of its first program)
include(GNUInstallDirs)
# Whatever is installed without naming a package goes with the window.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME wavemill)

function(wavemill_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SUMMARY;MANUAL;PACKAGE;DESCRIPTION" "")
  if(NOT arg_SUMMARY)
    message(FATAL_ERROR "wavemill_program(${target}): give a SUMMARY for its manual page")
  endif()
  if(NOT arg_PACKAGE)
    set(arg_PACKAGE wavemill)
  endif()
  if(arg_MANUAL)
    get_filename_component(arg_MANUAL ${arg_MANUAL} ABSOLUTE)
  endif()

  # Every program sits in one place in the build tree, bin/, as it will
  # once installed: the README's commands and the scripts run them there.
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${arg_PACKAGE})
  set_target_properties(${target} PROPERTIES
    WAVEMILL_SUMMARY "${arg_SUMMARY}"
    WAVEMILL_MANUAL "${arg_MANUAL}"
    WAVEMILL_PACKAGE ${arg_PACKAGE})
  set_property(GLOBAL APPEND PROPERTY WAVEMILL_PROGRAMS ${target})

  get_property(packages GLOBAL PROPERTY WAVEMILL_PACKAGES)
  if(NOT arg_PACKAGE IN_LIST packages)
    set_property(GLOBAL APPEND PROPERTY WAVEMILL_PACKAGES ${arg_PACKAGE})
    set_property(GLOBAL PROPERTY WAVEMILL_PACKAGE_SUMMARY_${arg_PACKAGE} "${arg_SUMMARY}")
    set_property(GLOBAL PROPERTY WAVEMILL_PACKAGE_DESCRIPTION_${arg_PACKAGE} "${arg_DESCRIPTION}")
  endif()
endfunction()
