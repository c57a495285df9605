# What installing and the packages hold (tools/package): the program, and on
# Linux its desktop entry, icons, man page, changelog and XScreenSaver hack;
# README and LICENSE with both.

include(GNUInstallDirs)

if(WIN32)
    # The zip: ravlin.exe and ravlin.scr at its top, beside README and LICENSE.
    install(TARGETS ravlin ravlin_scr RUNTIME DESTINATION .)
    install(FILES README.md LICENSE DESTINATION .)
else()
    install(TARGETS ravlin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES app/linux/ravlin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(DIRECTORY ${RAVLIN_ICON_FOLDER}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
    # The man page and the changelog go compressed, as Debian keeps them:
    # gzip -n leaves out the time and name, so the same text gives the same
    # bytes.
    configure_file(app/linux/ravlin.6 ${PROJECT_BINARY_DIR}/ravlin.6 @ONLY)
    configure_file(app/linux/changelog ${PROJECT_BINARY_DIR}/changelog COPYONLY)
    add_custom_command(
        OUTPUT ${PROJECT_BINARY_DIR}/ravlin.6.gz ${PROJECT_BINARY_DIR}/changelog.gz
        COMMAND gzip -9nkf ravlin.6 changelog
        DEPENDS ${PROJECT_BINARY_DIR}/ravlin.6 ${PROJECT_BINARY_DIR}/changelog
        WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
    add_custom_target(ravlin_compressed_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/ravlin.6.gz
                                                         ${PROJECT_BINARY_DIR}/changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/ravlin.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
    install(FILES ${PROJECT_BINARY_DIR}/changelog.gz README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
    # As XScreenSaver's hack: the program under the name of its hacks, and
    # the entry that describes it to xscreensaver-settings.
    file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/xscreensaver)
    file(CREATE_LINK ../../${CMAKE_INSTALL_BINDIR}/ravlin ${PROJECT_BINARY_DIR}/xscreensaver/ravlin SYMBOLIC)
    install(FILES ${PROJECT_BINARY_DIR}/xscreensaver/ravlin DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
    install(FILES app/linux/ravlin.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
    # Where Debian looks for a package's licence.
    install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
endif()
