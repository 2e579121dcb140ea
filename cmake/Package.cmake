# What `cmake --install` puts where, and the Debian package CPack builds from it.
# Adding a file from docs/ is one zarn_install_doc line; manual pages are compressed.

include(GNUInstallDirs)

set(ZARN_PACKAGE_MAINTAINER "Zarn developers <zarn@example.org>" CACHE STRING
  "Name <address> for the package's Maintainer field")

set(ZARN_PACKAGE_FILES ${PROJECT_BINARY_DIR}/package-files)
add_custom_target(zarn_package_files ALL)

# zarn_install_doc(FILE DESTINATION): docs/FILE into DESTINATION; a manual page
# (FILE.N) as FILE.N.gz, compressed the way Debian wants it.
function(zarn_install_doc file destination)
  set(source ${PROJECT_SOURCE_DIR}/docs/${file})
  if(file MATCHES "\\.[1-8]$")
    set(packed ${ZARN_PACKAGE_FILES}/${file}.gz)
    add_custom_command(OUTPUT ${packed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ZARN_PACKAGE_FILES}
      COMMAND gzip -9nc ${source} > ${packed}
      DEPENDS ${source} VERBATIM)
    string(MAKE_C_IDENTIFIER "zarn_doc_${file}" target)
    add_custom_target(${target} DEPENDS ${packed})
    add_dependencies(zarn_package_files ${target})
    set(source ${packed})
  endif()
  install(FILES ${source} DESTINATION ${destination})
endfunction()

# Programs on the PATH.
install(TARGETS zarn zarnlog zarn-board-sim zarn-record zarn-fleet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages and other files from docs/.
zarn_install_doc(zarn.1 ${CMAKE_INSTALL_MANDIR}/man1)
zarn_install_doc(zarnlog.1 ${CMAKE_INSTALL_MANDIR}/man1)
zarn_install_doc(zarn-board-sim.1 ${CMAKE_INSTALL_MANDIR}/man1)
zarn_install_doc(zarn-record.1 ${CMAKE_INSTALL_MANDIR}/man1)
zarn_install_doc(zarn-fleet.1 ${CMAKE_INSTALL_MANDIR}/man1)
# The card's installer is in the package, though not on the PATH.
zarn_install_doc(ZarnSetup.1 ${CMAKE_INSTALL_MANDIR}/man1)
# Not enabled by the package: a kiosk turns it on (docs/hand-held.md).
zarn_install_doc(zarn-kiosk.service lib/systemd/system)
# One survey per instance, enabled by whoever sets up a monitoring site.
zarn_install_doc(zarn-record@.service lib/systemd/system)
# The network's page for the desk, enabled by whoever runs the archive.
zarn_install_doc(zarn-fleet.service lib/systemd/system)

# The desktop: menu entry, icon in every size, and access to the board's adapters.
install(FILES packaging/zarn.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${ZARN_DESKTOP_ICONS}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
# udev reads lib/udev/rules.d below /usr as below /.
install(FILES packaging/60-zarn-serial-adapters.rules DESTINATION lib/udev/rules.d)

# The device's storage-card image as the build lays it out, so the installer
# started from there finds its card without ZARN_CARD.
set(ZARN_CARD_DIR ${CMAKE_INSTALL_DATADIR}/zarn/card)
install(PROGRAMS $<TARGET_FILE:ZarnSetup> DESTINATION ${ZARN_CARD_DIR} RENAME autorun.exe)
install(CODE "file(CREATE_LINK autorun.exe \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ZARN_CARD_DIR}/ZarnSetup\" SYMBOLIC)")
install(PROGRAMS $<TARGET_FILE:zarn> DESTINATION ${ZARN_CARD_DIR}/files/zarn RENAME zarn.exe)

# A stripping install (cpack, cmake --install --strip) strips every program as
# Debian does; install(TARGETS) alone would leave the card's copies whole.
foreach(program ${CMAKE_INSTALL_BINDIR}/zarn ${CMAKE_INSTALL_BINDIR}/zarnlog ${CMAKE_INSTALL_BINDIR}/zarn-board-sim
    ${CMAKE_INSTALL_BINDIR}/zarn-record ${CMAKE_INSTALL_BINDIR}/zarn-fleet
    ${ZARN_CARD_DIR}/autorun.exe ${ZARN_CARD_DIR}/files/zarn/zarn.exe)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${program}\" COMMAND_ERROR_IS_FATAL ANY)
  endif()")
endforeach()

# Sample channel tables and their description.
install(FILES resources/samples/cellular_survey.kct resources/samples/pcs_survey.kct
  resources/samples/mixed_survey.kct resources/samples/README.md
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zarn/samples)

# The package's documents: licence as its copyright, changelog, lintian's notes.
string(TIMESTAMP ZARN_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/changelog.in ${ZARN_PACKAGE_FILES}/changelog @ONLY)
add_custom_command(OUTPUT ${ZARN_PACKAGE_FILES}/changelog.gz
  COMMAND gzip -9nc ${ZARN_PACKAGE_FILES}/changelog > ${ZARN_PACKAGE_FILES}/changelog.gz
  DEPENDS ${ZARN_PACKAGE_FILES}/changelog VERBATIM)
add_custom_target(zarn_changelog DEPENDS ${ZARN_PACKAGE_FILES}/changelog.gz)
add_dependencies(zarn_package_files zarn_changelog)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
install(FILES ${ZARN_PACKAGE_FILES}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME zarn)

# The Debian package: zarn_<version>_<arch>.deb, dependencies from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZARN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front end for a dual-band cellular and PCS receiver board")
set(CPACK_PACKAGE_DESCRIPTION
  "Zarn talks to a dual-band receiver board (800 MHz cellular, 1900 MHz PCS)\n"
  "over a serial line and shows what it measures on a 240 x 320 screen: single\n"
  "channel, channel table, spectrum analysis and best servers. It records survey\n"
  "logs and JPEG snapshots in the field.\n"
  "\n"
  "The package holds the receiver program zarn, zarn-record to record surveys\n"
  "without a screen (with a systemd unit for monitoring sites), zarn-fleet to\n"
  "watch a network of sites and set their tasks on one page, zarnlog to read,\n"
  "export (CSV, rtl_power layout), plot and map (GeoPackage, KML, GeoJSON) the\n"
  "logs on a desktop with the GPS tracks recorded beside them, and zarn-board-sim,\n"
  "which plays the board on a pseudo-terminal for demonstrations and tests. A udev\n"
  "rule gives the user at the seat access to the usual USB serial adapters.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZARN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Read at run time: zarn-fleet serves Debian's Leaflet in its page.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-leaflet")
# Read at run time, so no binary names it: the bitmap fonts (a font package is
# recommended, never depended on).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xfonts-base")
# Positions for the survey tracks come from a gpsd, here or elsewhere.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gpsd")
include(CPack)
