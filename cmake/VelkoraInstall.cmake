# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installation layout and the Debian package.
#
#   <prefix>/bin/velkora32, velkora32-cli
#   <prefix>/share/velkora32/          ENG.cwt and the other Morse tables, bands.ini
#   <prefix>/share/applications/       velkora32.desktop
#   <prefix>/share/icons/hicolor/NxN/apps/velkora32.png
#
# The data directory is fixed rather than taken from GNUInstallDirs because
# the program looks for it in exactly two places: <prefix>/share/velkora32
# for the prefix it was configured with, and ../share/velkora32 beside its
# own bin directory, which covers `cmake --install --prefix` elsewhere and
# the package's /usr. The files the program writes (settings, log, macros)
# go to the user's data directory when bin is not writable.

set(VELKORA_INSTALL_BINDIR bin)
set(VELKORA_INSTALL_DATADIR share/velkora32)

if(TARGET velkora32)
    install(TARGETS velkora32 RUNTIME DESTINATION ${VELKORA_INSTALL_BINDIR})
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/velkora32.desktop DESTINATION share/applications)
    foreach(size 32 64 128)
        install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/velkora32-${size}.png
                DESTINATION share/icons/hicolor/${size}x${size}/apps
                RENAME velkora32.png)
    endforeach()
endif()
install(TARGETS velkora32-cli RUNTIME DESTINATION ${VELKORA_INSTALL_BINDIR})

file(GLOB velkora_cw_tables ${CMAKE_SOURCE_DIR}/resources/*.cwt)
install(FILES ${velkora_cw_tables} ${CMAKE_SOURCE_DIR}/resources/bands.ini
              ${CMAKE_SOURCE_DIR}/docs/manual.html
        DESTINATION ${VELKORA_INSTALL_DATADIR})

# `cpack -G DEB` in the build directory. The runtime dependencies (Qt 6,
# PortAudio, libsndfile, FFTW) are found by dpkg-shlibdeps from the linked
# libraries; Debian's libqt6gui6 also carries the platform plugins.
set(CPACK_PACKAGE_NAME velkora32)
set(CPACK_PACKAGE_VENDOR "The Velkora32 developers")
set(CPACK_PACKAGE_CONTACT "The Velkora32 developers <developers@velkora32.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PSK keyboard-to-keyboard terminal for amateur radio")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Velkora32 receives and sends BPSK31, BPSK63, BPSK125 and BPSK250 through the sound card, "
    "shows the band as a waterfall to tune by mouse, keys the transmitter over a serial port's RTS "
    "line, and keeps a logbook with ADIF import and export. velkora32-cli decodes and encodes "
    "sound files from the command line.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
