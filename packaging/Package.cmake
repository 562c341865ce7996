# Installation layout and the Debian package (cpack -G DEB).
#
#   bin/kartotex
#   share/applications/org.kartotex.Kartotex.desktop
#   share/icons/hicolor/<N>x<N>/apps/org.kartotex.Kartotex.png (N = 16, 32, 48, 64, 128, 256)
#   share/icons/hicolor/scalable/apps/org.kartotex.Kartotex.svg
#   share/metainfo/org.kartotex.Kartotex.metainfo.xml
#   share/doc/kartotex/copyright, changelog.gz
#   share/man/man1/kartotex.1.gz
#   share/kartotex/Data.db
include(GNUInstallDirs)

set(KX_APP_ID org.kartotex.Kartotex)
set(KX_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS kartotex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KX_PACKAGING_DIR}/${KX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KX_PACKAGING_DIR}/${KX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The program's picture, the dove: the PNG sizes rendered from the SVG, and the SVG itself
# for desktops that scale.
foreach(size 16 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/kartotex/kartotex-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${KX_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/kartotex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${KX_APP_ID}.svg)

# The settings file the program comes with: tbl_Config, no rows. A new Data.db starts as a
# copy of it (without it the program makes the table itself from the same declaration).
add_executable(kx-make-data-db ${KX_PACKAGING_DIR}/MakeDataDb.cpp)
target_link_libraries(kx-make-data-db PRIVATE PkgConfig::SQLITE3)
set(KX_SHIPPED_DATA_DB ${CMAKE_CURRENT_BINARY_DIR}/packaging/Data.db)
add_custom_command(OUTPUT ${KX_SHIPPED_DATA_DB}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND kx-make-data-db ${KX_SHIPPED_DATA_DB} ${PROJECT_SOURCE_DIR}/storage/ConfigTable.sql
  DEPENDS kx-make-data-db ${PROJECT_SOURCE_DIR}/storage/ConfigTable.sql VERBATIM)
install(FILES ${KX_SHIPPED_DATA_DB} DESTINATION ${CMAKE_INSTALL_DATADIR}/kartotex)

# Debian wants the changelog compressed with maximum compression and no timestamp.
set(KX_CHANGELOG_GZ ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${KX_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND gzip -9 -n -c ${KX_PACKAGING_DIR}/changelog > ${KX_CHANGELOG_GZ}
  DEPENDS ${KX_PACKAGING_DIR}/changelog VERBATIM)
set(KX_MANPAGE_GZ ${CMAKE_CURRENT_BINARY_DIR}/packaging/kartotex.1.gz)
add_custom_command(OUTPUT ${KX_MANPAGE_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND gzip -9 -n -c ${KX_PACKAGING_DIR}/kartotex.1 > ${KX_MANPAGE_GZ}
  DEPENDS ${KX_PACKAGING_DIR}/kartotex.1 VERBATIM)
add_custom_target(kx_package_files ALL DEPENDS ${KX_CHANGELOG_GZ} ${KX_MANPAGE_GZ} ${KX_SHIPPED_DATA_DB})
install(FILES ${KX_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KX_PACKAGING_DIR}/copyright ${KX_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kartotex)

# The package needs only the program: cpack (and the install target) do not build the tests
# and tools first; scripts/package.sh builds the targets the install takes.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kartotex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kartotex")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "card index of records in a shared MariaDB database")
set(CPACK_PACKAGE_DESCRIPTION
  "Kartotex records items of information of any kind in a MariaDB or MySQL\n\
database that several workstations may share: title, type, category,\n\
keywords, reference, description, a photo and one attached file per record.\n\
Records are browsed, searched, printed or saved as PDF and summed up in\n\
statistics. The user interface is Hungarian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kartotex maintainers <maintainers@kartotex.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from dpkg-shlibdeps over the installed binary (libcups2 among them: print
# jobs reach the print system through it), after the one no library link shows: Qt's
# Hungarian translation, which the program loads for Qt's own dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
