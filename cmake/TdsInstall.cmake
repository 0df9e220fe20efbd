# Where `cmake --install` puts the program as a Linux desktop program, and the Debian package
# that scripts/package makes of the same files with CPack.
#
# Installed under the prefix: the program and the simulator in bin/, the desktop entry, the
# AppStream metainfo and the icons (SVG and PNG sizes) under the reverse-DNS id, and the
# README and the udev rule example as documentation (never into /etc).

include(GNUInstallDirs)

set(TDS_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS tarnel-data-scan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tarnel-analyzer-sim)
    install(TARGETS tarnel-analyzer-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${TDS_PACKAGING}/${TDS_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TDS_PACKAGING}/${TDS_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${TDS_PACKAGING}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnel-data-scan)
install(FILES ${TDS_PACKAGING}/udev/99-tarnel-analyzer.rules
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnel-data-scan/examples)

set(CPACK_PACKAGE_NAME tarnel-data-scan)
set(CPACK_PACKAGE_VENDOR "The Tarnel team")
set(CPACK_PACKAGE_CONTACT "The Tarnel team <tarnel@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front end of an HF antenna analyzer on a USB-serial line")
set(CPACK_PACKAGE_DESCRIPTION
    "Sweeps an antenna with a small HF antenna analyzer (an SWR and impedance meter on a
USB-serial line) and plots SWR, the impedance magnitude and the resistance across the band,
with the lowest SWR, the SWR at the centre and cursor lines. Charts can be printed, copied
and saved as a chart file, CSV, PNG, JPEG, BMP, SVG or PDF. A simulated analyzer,
tarnel-analyzer-sim, is included for trying the program without one.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tarnel-data-scan)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link give the rest of the dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's captions were laid out for the metric clone of Arial when Tahoma is missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
include(CPack)
