# What installing and the packages hold (tools/package): the program, and on
# Linux its desktop entry, icons and man page; README and LICENSE with both.

include(GNUInstallDirs)

if(WIN32)
    # The zip: ravlin.exe at its top, beside README and LICENSE.
    install(TARGETS ravlin RUNTIME DESTINATION .)
    install(FILES README.md LICENSE DESTINATION .)
else()
    install(TARGETS ravlin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES app/linux/ravlin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(DIRECTORY ${RAVLIN_ICON_FOLDER}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
    configure_file(app/linux/ravlin.6 ${PROJECT_BINARY_DIR}/ravlin.6 @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/ravlin.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
    install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
    # Where Debian looks for a package's licence.
    install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
endif()
