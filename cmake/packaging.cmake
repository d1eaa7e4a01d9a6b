# The Debian package of both programs: scripts/package.sh runs `cpack -G DEB` in a build folder.
set(CPACK_PACKAGE_NAME talver)
set(CPACK_PACKAGE_VENDOR "TALVER")
set(CPACK_PACKAGE_CONTACT "TALVER developers <talver@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configurator and bench poll responder for TALVER radio controllers")
set(CPACK_PACKAGE_DESCRIPTION
  "configurator reads and writes the settings of the transmitters and receivers of the TALVER
wireless sensor network over a serial port; poll-responder answers CRC-8 checked polls on a
serial line so that the polling side can be tried on the bench.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# cpack packs what is built and builds nothing itself, so that checking the package stays cheap.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
find_program(DPKG_EXECUTABLE dpkg)
if(DPKG_EXECUTABLE)
  execute_process(COMMAND ${DPKG_EXECUTABLE} --print-architecture
                  OUTPUT_VARIABLE TALVER_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(TALVER_DEB_ARCH ${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TALVER_DEB_ARCH})
set(CPACK_PACKAGE_FILE_NAME talver-${PROJECT_VERSION}-${TALVER_DEB_ARCH})
# Debian 12 and Ubuntu 22.04 names of the Qt and Qwt runtimes the programs link, and of the Qt
# translations for the Russian texts of the standard dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt5core5a (>= ${Qt5Core_VERSION_MAJOR}.${Qt5Core_VERSION_MINOR}), libqt5gui5, libqt5widgets5, libqt5serialport5, libqwt-qt5-6, qttranslations5-l10n")

include(CPack)
