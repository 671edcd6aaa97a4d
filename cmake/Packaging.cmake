# Desktop integration and the Debian package. The programs install their own
# binaries (src/, tools/board, tools/export); this adds the menu entry and
# icon and sets up `cpack -G DEB`.

include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/wavemill.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/icon32.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME wavemill.png)
install(FILES ${PROJECT_SOURCE_DIR}/examples/uart-hello.ird
              ${PROJECT_SOURCE_DIR}/examples/pwm.ird
              ${PROJECT_SOURCE_DIR}/examples/mixed.ird
        DESTINATION ${CMAKE_INSTALL_DATADIR}/wavemill/examples)

set(CPACK_PACKAGE_NAME wavemill)
set(CPACK_PACKAGE_VENDOR "Wavemill developers")
set(CPACK_PACKAGE_CONTACT "Wavemill developers <wavemill@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Front end for a single-channel logic analyzer board")
set(CPACK_PACKAGE_DESCRIPTION
    "Captures 10.2 s of one logic input from a small board over a serial port, "
    "draws three traces, zooms, measures and saves capture files. Comes with "
    "wavemill-board, a stand-in for the board, and wavemill-export, which turns "
    "capture files into VCD or CSV.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY wavemill)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries' packages (libqt6core6, libqt6gui6,
# libqt6widgets6, libqt6serialport6, libc6, libstdc++6 ...) with their versions.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the X11/Wayland
# platform plugins, and a font with the Chinese captions of the window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sigrok-cli, pulseview, gtkwave")

set(CPACK_GENERATOR DEB)
include(CPack)
