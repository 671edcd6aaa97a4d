# Desktop integration and the Debian packages. The programs install their own
# binaries (src/, tools/board, tools/export, tools/decode); this adds the menu
# entry, icon and sample captures and sets up `cpack -G DEB`, which makes two
# packages: wavemill (the window, wavemill-board, wavemill-export) and
# wavemill-decode, which installs into the "decode" component. The decoder
# has a package of its own because libsigrokdecode embeds Python: apt installs
# a package's Recommends by default, so a Recommends would still bring Python
# in with the window, and the decoder cannot run without the library anyway.

include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/wavemill.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/icon32.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME wavemill.png)
install(FILES ${PROJECT_SOURCE_DIR}/examples/uart-hello.ird
              ${PROJECT_SOURCE_DIR}/examples/pwm.ird
              ${PROJECT_SOURCE_DIR}/examples/mixed.ird
              ${PROJECT_SOURCE_DIR}/examples/infrared.ird
        DESTINATION ${CMAKE_INSTALL_DATADIR}/wavemill/examples)

set(CPACK_PACKAGE_NAME wavemill)
set(CPACK_PACKAGE_VENDOR "Wavemill developers")
set(CPACK_PACKAGE_CONTACT "Wavemill developers <wavemill@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Front end for a single-channel logic analyzer board")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Captures 10.2 s of one logic input from a small board over a serial port, "
    "draws three traces, zooms, measures and saves capture files. Comes with "
    "wavemill-board, a stand-in for the board, and wavemill-export, which turns "
    "capture files into VCD, CSV or sigrok session files for PulseView.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY wavemill)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
# Everything installed without a component is the window's package.
set(CPACK_COMPONENTS_ALL Unspecified decode)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME wavemill)
set(CPACK_DEBIAN_DECODE_PACKAGE_NAME wavemill-decode)
# CPack puts the one summary line above each package's text.
set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
string(CONCAT CPACK_DEBIAN_DECODE_DESCRIPTION
    "wavemill-decode tells what the traces of a Wavemill capture carry (flat, "
    "a clock or PWM, serial text with its bit rate, an infrared remote code) and "
    "decodes them with sigrok's protocol decoders through libsigrokdecode.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries' packages (libqt6core6, libqt6gui6,
# libqt6widgets6, libqt6serialport6, libzip4, libc6, libstdc++6 ...; for the
# decoder libsigrokdecode4) with their versions.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the X11/Wayland
# platform plugins, and a font with the Chinese captions of the window.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SUGGESTS "wavemill-decode, sigrok-cli, pulseview, gtkwave")
# The decoder needs only its libraries; the window brings the sample captures.
set(CPACK_DEBIAN_DECODE_PACKAGE_RECOMMENDS "wavemill")
set(CPACK_DEBIAN_DECODE_PACKAGE_SUGGESTS "sigrok-cli, pulseview")

set(CPACK_GENERATOR DEB)
include(CPack)
