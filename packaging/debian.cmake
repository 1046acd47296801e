# The Debian package: `cpack -G DEB` in a build tree gives
# fln_<version>_<arch>.deb with everything the install() rules install, its
# shared-library dependencies computed by dpkg-shlibdeps. scripts/package
# builds it on a clean machine.
include(GNUInstallDirs)

# Debian's copyright file (machine-readable format) and, for a native
# package, changelog.gz, both beside the manual.
set(debian_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${debian_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/changelog ${CMAKE_BINARY_DIR}/packaging/changelog
  COMMAND ${GZIP_PROGRAM} -9nf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  COMMENT "Compressing the Debian changelog"
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${debian_changelog_gz})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${debian_changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fln)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ФЛН-РК2 maintainers <maintainers@users.noreply.c-seed-4ea3723e.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "archive program of the ФЛН-РК2 temperature instrument")
# The extended description, in lines of Debian's width.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Downloads the measurement archive of the two-channel temperature"
  "instrument ФЛН-РК2 over a serial cable, keeps it as a dBase IV table file"
  "and lets the user view, annotate, sort, colour, chart, print and export"
  "the measurements. The interface is in Russian."
  ""
  "A command-line mode does the jobs that need no window: table facts, rows"
  "as CSV, downloads, charts, workbooks and printed reports.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Arial resolves to Liberation Sans; Qt's own buttons and dialogs in Russian.
# libqt6svg6 (Qt's SVG icon engine, for the toolbar's pictures) comes from the
# program's own link to Qt SVG, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, qt6-translations-l10n")
# The exported workbook opens in the desktop's spreadsheet program through
# xdg-open; without it the workbook is still saved.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-calc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
