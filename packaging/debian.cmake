# The Debian package kolmo_3.00-1_amd64.deb: CPack's DEB generator over the
# install rules, with /usr as the prefix.  scripts/package.sh builds it.
#
# Depends: what dpkg-shlibdeps finds the binaries linked against, plus the
# packages the desktop program loads at run time rather than links: the Qt
# platform plugins (the window cannot open without the xcb plugin, which
# libqt6gui6 only recommends) and Qt's own Slovene translation (qt_sl.qm, for
# the file dialogs and boxes).  The plot export lays text out in Helvetica's
# measure, which fonts-urw-base35 (Nimbus Sans) has; without it another font
# is stretched to fit, so it is recommended only.
set(KOLMO_MAINTAINER "Kolmo maintainers <kolmo@example.org>"
    CACHE STRING "Maintainer field of the Debian package: name <address>")

# Debian's documentation files: the copyright with the data's licence, and
# the changelog, gzipped as policy wants (no time stamp, so the package stays
# reproducible).
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
find_program(KOLMO_GZIP gzip)
if(KOLMO_GZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
    COMMAND ${KOLMO_GZIP} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
    VERBATIM)
  add_custom_target(kolmo_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION share/doc/kolmo OPTIONAL)
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION share/doc/kolmo)
# The README and the example networks it works through, as plain documents.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/kolmo)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION share/doc/kolmo/examples
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION share/lintian/overrides RENAME kolmo)

# Everything the install rules take from the build.
add_custom_target(kolmo_package_files)
add_dependencies(kolmo_package_files kolmo-cli)
foreach(t kolmo kolmo_manpages kolmo_changelog)
  if(TARGET ${t})
    add_dependencies(kolmo_package_files ${t})
  endif()
endforeach()

# cpack installs through the "preinstall" target; without this it would build
# every target first, the tests included.  scripts/package.sh builds what the
# package holds (target kolmo_package_files) before it calls cpack.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kolmo)
set(CPACK_PACKAGE_VERSION "3.00")
set(CPACK_PACKAGE_VENDOR "Kolmo")
set(CPACK_PACKAGE_CONTACT "${KOLMO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "coordinate transformations between Slovenian datums D48 and D96")
# The long description as dpkg shows it: lines of under 80 columns, an empty
# line between paragraphs (CPack indents the lines and writes " .").
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Kolmo transforms point coordinates between the two Slovenian national"
  "datums: the old D48 (Bessel, Gauss-Krueger plane coordinates D48/GK) and"
  "the new D96 (GRS80, latitude and longitude D96/fi_la or Transverse"
  "Mercator D96/TM).  From common points it estimates a 7-parameter spatial"
  "similarity (Gauss-Helmert adjustment with Pope's tau test), a 4-parameter"
  "plane similarity or a 6-parameter plane affine transformation, transforms"
  "all points, interpolates the residuals and writes a Slovene results"
  "report.  It converts D96 coordinates with heights from the geoid models"
  "of the SVS2010 and SVS2000 height systems and keeps a database of named"
  "parameter sets."
  ""
  "For the national migration from D48 to D96 it moves point files and GIS"
  "datasets (GeoPackage, Shapefile, GeoJSON, FlatGeobuf, GML, DXF) between"
  "D48/GK and D96/TM with the official triangle-based transformation model of"
  "the Surveying and Mapping Authority (virtual tie points v4.0), moving"
  "heights between SVS2000 and SVS2010 with the official offset grid if asked."
  ""
  "The package holds the desktop program kolmo (Qt 6, in Slovene) and the"
  "batch program kolmo-cli (GPL-3.0-or-later), with the transformation model"
  "and the geoid models (derived from SLO-VRP2016/Koper and SLO-VTP2024),"
  "(c) Geodetska uprava Republike Slovenije, CC BY 4.0, and the national"
  "border (Natural Earth, public domain).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # kolmo_3.00-1_amd64.deb
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KOLMO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KOLMO_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-urw-base35")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
