# The icons, drawn from one of the program's own frames by a headless
# ravlin_frame at build time: hicolor PNGs and ravlin.ico (tools/icons.py).
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
