# What a desktop needs to offer the program for its tables: the entry with
# its icon, and the tables' file type.
include(GNUInstallDirs)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/fln.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/fln.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/fln-table.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# The icon at the theme's fixed sizes, for menus and panels that do not draw
# SVG. Without rsvg-convert (librsvg2-bin) only the scalable icon is installed.
set(FLN_ICON_SIZES 16 22 24 32 48 64 128 256)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(icon_pngs)
  foreach(size ${FLN_ICON_SIZES})
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/fln.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_CURRENT_LIST_DIR}/fln.svg
      DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fln.svg
      COMMENT "Rendering the icon at ${size}x${size}"
      VERBATIM)
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(icons ALL DEPENDS ${icon_pngs})
else()
  message(STATUS "rsvg-convert not found: only the scalable icon is installed")
endif()

# Software centres read the metainfo; bash-completion loads the completion
# when `fln` is first completed.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/ru.ostrakon.fln.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${FLN_BASH_COMPLETION}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME fln)
