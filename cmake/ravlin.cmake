# Flags shared by every target of both builds.

# Warnings are errors everywhere.
add_compile_options(-Wall -Wextra -Werror)

# The same floating-point values on both builds: no fused multiply-add, and on
# 32-bit x86 SSE2 arithmetic instead of the x87's extended precision.
add_compile_options(-ffp-contract=off)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    add_compile_options(-msse2 -mfpmath=sse)
endif()

if(WIN32)
    # ravlin.exe runs on a bare Windows: the C++ runtime is linked in.
    add_link_options(-static-libgcc -static-libstdc++ -static)
endif()

# Links a program with the runtime and, on Linux, the software platform with
# the named host (sdl or headless): the host is chosen here, when linking.
function(ravlin_link target host)
    target_link_libraries(${target} PRIVATE ravlin_runtime)
    if(WIN32)
        # System DLLs only: DirectDraw and DirectInput are loaded at run time.
        target_link_libraries(${target} PRIVATE gdi32 user32 winmm)
    else()
        target_link_libraries(${target} PRIVATE ravlin_soft ravlin_host_${host})
    endif()
endfunction()
