# The packages (tools/package): a .deb and a .tar.gz on Linux, a .zip on
# Windows.
set(CPACK_PACKAGE_NAME ravlin)
set(CPACK_PACKAGE_VENDOR "the ravlin authors")
set(CPACK_PACKAGE_CONTACT "the ravlin authors <ravlin@invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen animation of three tilted rings of glowing balls")
set(CPACK_PACKAGE_DESCRIPTION "A pulsing glow above the screen centre and three tilted rings of glowing balls,
drawn full screen until a key is released or the mouse moves.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME windows-x86)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
    set(CPACK_GENERATOR DEB TGZ)
    # ravlin.exe is stripped when built, naming its debug information's file.
    set(CPACK_STRIP_FILES ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    # A program for the X desktop, as the screen savers are.
    set(CPACK_DEBIAN_PACKAGE_SECTION x11)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
endif()
include(CPack)
