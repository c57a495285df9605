# What installing and the packages hold (tools/package): the program, and on
# Linux its desktop entry, icons and man page; README and LICENSE with both.

include(GNUInstallDirs)

# The icons, drawn from one of the program's own frames by the headless
# ravlin_frame (RAVLIN_ICON_FRAME_TOOL) at build time: hicolor PNGs and
# ravlin.ico (tools/icons.py).
set(RAVLIN_ICON_FOLDER ${PROJECT_BINARY_DIR}/icons)
function(ravlin_icons frame_tool depends)
    find_program(RAVLIN_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
    add_custom_command(
        OUTPUT ${RAVLIN_ICON_FOLDER}/ravlin.ico ${RAVLIN_ICON_FOLDER}/hicolor/256x256/apps/ravlin.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${RAVLIN_ICON_FOLDER}
        COMMAND ${frame_tool} ${RAVLIN_ICON_FOLDER}/frame.bmp 256 256 3.0 1
        COMMAND ${RAVLIN_PYTHON} ${PROJECT_SOURCE_DIR}/tools/icons.py ${RAVLIN_ICON_FOLDER}/frame.bmp
                ${RAVLIN_ICON_FOLDER}
        DEPENDS ${depends} ${PROJECT_SOURCE_DIR}/tools/icons.py
        COMMENT "Drawing the icons from a frame")
    add_custom_target(ravlin_icons ALL DEPENDS ${RAVLIN_ICON_FOLDER}/ravlin.ico)
endfunction()

if(WIN32)
    # The zip: ravlin.exe at its top, beside README and LICENSE.
    install(TARGETS ravlin RUNTIME DESTINATION .)
    install(FILES README.md LICENSE DESTINATION .)
else()
    ravlin_icons($<TARGET_FILE:ravlin_frame> ravlin_frame)
    install(TARGETS ravlin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES app/linux/ravlin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(DIRECTORY ${RAVLIN_ICON_FOLDER}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
    configure_file(app/linux/ravlin.6 ${PROJECT_BINARY_DIR}/ravlin.6 @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/ravlin.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
    install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
    # Where Debian looks for a package's licence.
    install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
endif()
