# Flags shared by every target of both builds. The compiler's flags are given
# to C and C++ sources only: the Windows build's resource compiler takes none.

# Warnings always; errors only where the compiler is one the project chose
# (the presets, which CI builds): a plain build with another compiler or
# version, which may warn where these do not, still builds.
option(RAVLIN_WARNINGS_AS_ERRORS "Make compiler warnings errors" OFF)
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra>")
if(RAVLIN_WARNINGS_AS_ERRORS)
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-Werror>")
endif()

# The same floating-point values on both builds: no fused multiply-add, and on
# 32-bit x86 SSE2 arithmetic instead of the x87's extended precision.
# WebAssembly's arithmetic is IEEE single and double already (Emscripten's
# toolchain calls the processor x86); there the SSE2 conversions the runtime
# uses come from Emscripten's SSE2 over WebAssembly's SIMD.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffp-contract=off>")
if(EMSCRIPTEN)
    add_compile_options(-msimd128 -msse2)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-msse2;-mfpmath=sse>")
endif()

if(WIN32)
    # ravlin.exe runs on a bare Windows: the C++ runtime is linked in.
    add_link_options(-static-libgcc -static-libstdc++ -static)
    # Debug information, which the shipped ravlin.exe keeps in a file beside
    # it (CMakeLists.txt). No -fstack-protector-strong: mingw-w64's libssp
    # seeds its guard through ADVAPI32.DLL, a DLL more to import.
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-g>")
endif()

# Links a program with the program's library, the runtime and, on Linux, the
# software platform with the named host (sdl, headless or web): the host is
# chosen here, when linking.
function(ravlin_link target host)
    target_link_libraries(${target} PRIVATE ravlin_program ravlin_runtime)
    if(WIN32)
        # System DLLs only: DirectDraw and DirectInput are loaded at run time.
        target_link_libraries(${target} PRIVATE gdi32 user32 winmm)
    else()
        target_link_libraries(${target} PRIVATE ravlin_soft ravlin_host_${host})
    endif()
endfunction()
