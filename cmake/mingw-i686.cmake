# Cross-compiling for 32-bit x86 Windows with mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

# The thread model: win32 for the program (nothing beside the system DLLs),
# posix for GoogleTest, which needs std::mutex.
if(NOT DEFINED RAVLIN_MINGW_THREADS)
    set(RAVLIN_MINGW_THREADS win32)
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${RAVLIN_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${RAVLIN_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
