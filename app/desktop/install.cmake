# What a desktop needs to offer the program for its tables: the entry with
# its icon, and the tables' file type.
include(GNUInstallDirs)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/fln.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/fln.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/fln-table.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
