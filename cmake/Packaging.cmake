# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Manual pages, desktop integration and the Debian packages. Each program
# names itself with wavemill_program() (cmake/Programs.cmake); once all are
# known, this makes their manual pages, gives every package its copyright
# file and changelog, and sets up `cpack -G DEB`: one package per
# wavemill_program() PACKAGE: `wavemill` (the window, wavemill-board,
# wavemill-capture, wavemill-export) and `wavemill-decode`. The decoder has a package of its own
# because libsigrokdecode embeds Python: apt installs a package's Recommends
# by default, so a Recommends would still bring Python in with the window, and
# the decoder cannot run without the library anyway.

include(${CMAKE_CURRENT_LIST_DIR}/Changelog.cmake)

set(WAVEMILL_MAINTAINER "Wavemill developers <developers@wavemill.github.io>" CACHE STRING
    "Maintainer of the Debian packages, as 'Name <address>'")
set(WAVEMILL_HOMEPAGE "https://github.com/wavemill/wavemill")
set(WAVEMILL_SCREENSHOT_URL
    "https://raw.githubusercontent.com/wavemill/wavemill/main/docs/main-window.png")

set(generated ${CMAKE_BINARY_DIR}/packaging)
set(manual_page_script ${CMAKE_CURRENT_LIST_DIR}/ManualPage.cmake)
get_property(programs GLOBAL PROPERTY WAVEMILL_PROGRAMS)
get_property(packages GLOBAL PROPERTY WAVEMILL_PACKAGES)

# wavemill-flash is scripts/flash, installed under that name: it writes the
# firmware cmake/Firmware.cmake installs. Being a script and no target, it
# is named here, beside the programs, for its manual page and the checks.
# help2man names a page after the file it runs: a link gives it the name.
file(MAKE_DIRECTORY ${generated})
file(CREATE_LINK ${PROJECT_SOURCE_DIR}/scripts/flash ${generated}/wavemill-flash SYMBOLIC)
set(flash_script ${generated}/wavemill-flash)
set(flash_summary "write Wavemill's firmware into an Arduino board through its bootloader")
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/flash DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME wavemill-flash
        COMPONENT wavemill)

# The Debian changelog and the AppStream releases, from CHANGELOG.md.
wavemill_changelog(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${generated}/changelog
                   "${WAVEMILL_MAINTAINER}" WAVEMILL_RELEASES WAVEMILL_RELEASE_DATE)
execute_process(COMMAND date -u -d ${WAVEMILL_RELEASE_DATE} +%s
                OUTPUT_VARIABLE release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
# The manual pages' date, as help2man writes it: "December 2026".
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -d ${WAVEMILL_RELEASE_DATE} "+%B %Y"
                OUTPUT_VARIABLE WAVEMILL_RELEASE_MONTH OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
add_custom_command(OUTPUT ${generated}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DPAGE=${generated}/changelog -P ${manual_page_script}
  DEPENDS ${generated}/changelog ${manual_page_script}
  VERBATIM)
add_custom_target(wavemill_changelog ALL DEPENDS ${generated}/changelog.gz)

# Manual pages, section 1: kept by hand (MANUAL) or made by help2man from
# --help. Each page's SEE ALSO names the other programs.
option(WAVEMILL_MANUAL_PAGES "Make and install the programs' manual pages (needs help2man)" ON)
if(WAVEMILL_MANUAL_PAGES)
  find_program(WAVEMILL_HELP2MAN help2man)
  if(NOT WAVEMILL_HELP2MAN)
    message(FATAL_ERROR "The manual pages need help2man: apt-get install help2man, or "
                        "configure with -DWAVEMILL_MANUAL_PAGES=OFF")
  endif()
  foreach(program IN LISTS programs ITEMS wavemill-flash)
    if(TARGET ${program})
      get_target_property(summary ${program} WAVEMILL_SUMMARY)
      get_target_property(manual ${program} WAVEMILL_MANUAL)
      get_target_property(package ${program} WAVEMILL_PACKAGE)
      set(binary $<TARGET_FILE:${program}>)
    else()
      set(summary ${flash_summary})
      set(manual "")
      set(package wavemill)
      set(binary ${flash_script})
    endif()
    set(others ${programs} wavemill-flash)
    list(REMOVE_ITEM others ${program})
    list(TRANSFORM others PREPEND ".BR ")
    list(TRANSFORM others APPEND " (1)")
    list(JOIN others ",\n" see_also)
    set(page ${generated}/man/${program}.1)
    if(manual)
      set(WAVEMILL_SUMMARY "${summary}")
      set(WAVEMILL_SEE_ALSO "${see_also}")
      configure_file(${manual} ${page} @ONLY)
      set(make_page -DPAGE=${page})
      set(inputs ${page})
    else()
      file(WRITE ${generated}/man/${program}.h2m "[SEE ALSO]\n${see_also}\n")
      set(make_page -DPAGE=${page} -DPROGRAM=${binary}
          -DHELP2MAN=${WAVEMILL_HELP2MAN} "-DSUMMARY=${summary}" -DVERSION=${PROJECT_VERSION}
          -DEPOCH=${release_epoch} -DINCLUDE=${generated}/man/${program}.h2m)
      set(inputs ${binary} ${generated}/man/${program}.h2m)
    endif()
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} ${make_page} -P ${manual_page_script}
      DEPENDS ${inputs} ${manual_page_script}
      COMMENT "Manual page of ${program}"
      VERBATIM)
    add_custom_target(${program}_manual_page ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${package})
  endforeach()
endif()

# Every package: the copyright file and the changelog, as Debian wants them.
foreach(package IN LISTS packages)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${generated}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${package})
endforeach()

# The window's menu entry, AppStream metadata, icons and sample captures.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/wavemill.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT wavemill)
# The capture file's MIME type; dpkg's triggers update the MIME database.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/wavemill-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME wavemill.xml COMPONENT wavemill)
# The screenshot's size, from its PNG header (width and height, 4 bytes each).
file(READ ${PROJECT_SOURCE_DIR}/docs/main-window.png size_hex OFFSET 16 LIMIT 8 HEX)
string(SUBSTRING ${size_hex} 0 8 width_hex)
string(SUBSTRING ${size_hex} 8 8 height_hex)
math(EXPR WAVEMILL_SCREENSHOT_WIDTH "0x${width_hex}")
math(EXPR WAVEMILL_SCREENSHOT_HEIGHT "0x${height_hex}")
set(WAVEMILL_PROVIDES "")
foreach(program IN LISTS programs)
  get_target_property(package ${program} WAVEMILL_PACKAGE)
  if(package STREQUAL "wavemill")
    string(APPEND WAVEMILL_PROVIDES "    <binary>${program}</binary>\n")
  endif()
endforeach()
string(APPEND WAVEMILL_PROVIDES "    <binary>wavemill-flash</binary>\n")
configure_file(${PROJECT_SOURCE_DIR}/packaging/io.github.wavemill.Wavemill.metainfo.xml.in
               ${generated}/io.github.wavemill.Wavemill.metainfo.xml @ONLY)
install(FILES ${generated}/io.github.wavemill.Wavemill.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT wavemill)
foreach(size 32 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icon${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME wavemill.png COMPONENT wavemill)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/examples/uart-hello.ird
              ${PROJECT_SOURCE_DIR}/examples/pwm.ird
              ${PROJECT_SOURCE_DIR}/examples/mixed.ird
              ${PROJECT_SOURCE_DIR}/examples/infrared.ird
        DESTINATION ${CMAKE_INSTALL_DATADIR}/wavemill/examples COMPONENT wavemill)

# For the package and manual page checks, a line per program: its name, its
# package, where its manual page comes from (help2man or manual) and the
# built program.
set(listing "")
foreach(program IN LISTS programs)
  get_target_property(package ${program} WAVEMILL_PACKAGE)
  get_target_property(manual ${program} WAVEMILL_MANUAL)
  if(manual)
    set(kind manual)
  else()
    set(kind help2man)
  endif()
  string(APPEND listing "${program} ${package} ${kind} $<TARGET_FILE:${program}>\n")
endforeach()
string(APPEND listing "wavemill-flash wavemill help2man ${flash_script}\n")
file(GENERATE OUTPUT ${generated}/programs.txt CONTENT "${listing}")

set(CPACK_PACKAGE_NAME wavemill)
set(CPACK_PACKAGE_VENDOR "Wavemill developers")
set(CPACK_PACKAGE_CONTACT "${WAVEMILL_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${WAVEMILL_HOMEPAGE}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY wavemill)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${packages})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries' packages (libqt6core6, libqt6gui6,
# libqt6widgets6, libqt6serialport6, libc6, libstdc++6 ...) with their versions.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The control files and the folders the installation makes get Debian's
# modes (0644, 0755) whatever the packager's umask.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# A package's description: the short one (under 80 characters, no full stop),
# then the long one in lines of at most 80.
set_property(GLOBAL PROPERTY WAVEMILL_PACKAGE_SUMMARY_wavemill
  "front end for a single-channel logic analyzer board")
set_property(GLOBAL PROPERTY WAVEMILL_PACKAGE_DESCRIPTION_wavemill
  "Wavemill captures 10.2 s of one logic input from a small analyzer board\n"
  "over a serial port, draws it as one of three traces, zooms and scrolls,\n"
  "measures the time between two points, and saves and loads capture files.\n"
  "\n"
  "The package also holds wavemill-board, which plays the board on a\n"
  "pseudo-terminal for trying Wavemill without one; wavemill-capture, which\n"
  "captures from a terminal or a script, one capture or a longer recording;\n"
  "and wavemill-export, which turns capture files into sigrok session files\n"
  "for PulseView and sigrok-cli, or Value Change Dump and CSV files for\n"
  "GTKWave. Decoding protocols is in the package wavemill-decode.\n"
  "\n"
  "The board itself is an Arduino Uno R3, Nano or Pro Mini 5 V running the\n"
  "firmware in /usr/share/wavemill/firmware, which wavemill-flash writes into\n"
  "it through its bootloader with avrdude.")
foreach(package IN LISTS packages)
  string(TOUPPER ${package} component)
  get_property(summary GLOBAL PROPERTY WAVEMILL_PACKAGE_SUMMARY_${package})
  get_property(description GLOBAL PROPERTY WAVEMILL_PACKAGE_DESCRIPTION_${package})
  string(JOIN "" description ${description})
  set(CPACK_DEBIAN_${component}_PACKAGE_NAME ${package})
  set(CPACK_DEBIAN_${component}_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_${component}_DESCRIPTION "${summary}\n${description}")
endforeach()
# Loaded at run time, so dpkg-shlibdeps cannot see them: the X11/Wayland
# platform plugins, and a font with the Chinese captions of the window.
set(CPACK_DEBIAN_WAVEMILL_PACKAGE_DEPENDS "qt6-qpa-plugins")
# avrdude: for wavemill-flash.
set(CPACK_DEBIAN_WAVEMILL_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, avrdude")
set(CPACK_DEBIAN_WAVEMILL_PACKAGE_SUGGESTS "wavemill-decode, sigrok-cli, pulseview, gtkwave")
# The decoder needs only its libraries; the window brings the sample captures.
set(CPACK_DEBIAN_WAVEMILL-DECODE_PACKAGE_RECOMMENDS "wavemill")
set(CPACK_DEBIAN_WAVEMILL-DECODE_PACKAGE_SUGGESTS "sigrok-cli, pulseview")

include(CPack)
