# The web build (the web preset, Emscripten): the program alone, in a page.
# Tests and benchmarks need GoogleTest and run natively; they are not built.
add_library(ravlin_host_web STATIC platform/host/web.cpp platform/host/web_keys.cpp platform/host/no_faults.cpp)
target_include_directories(ravlin_host_web PUBLIC ${PROJECT_SOURCE_DIR})
# Asyncify lets Sleep and the wait for the vertical blank give the browser its
# turn in the middle of the program's loop. Each start of the program is a
# new instance made by createRavlin(), which the page calls. The program's
# memory starts at 64 KiB, as a Windows process's does: Win32 takes a pointer
# below that for an atom (a window class's name, for one). Asyncify
# instruments every function that may reach a wait, and any indirect call
# counts as one that may; the C and C++ library's own indirect calls (the new
# handler, printf's output, signal handlers, type lookups) never wait, and
# leaving them out saves a tenth of a frame's time.
target_link_options(ravlin_host_web INTERFACE
    -sASYNCIFY
    "-sASYNCIFY_REMOVE=['operator.new*','__cxxabiv1::*','printf_core','__fwritex','raise']"
    -sGLOBAL_BASE=65536
    -sALLOW_MEMORY_GROWTH
    -sMODULARIZE
    -sEXPORT_NAME=createRavlin
    -sEXPORTED_RUNTIME_METHODS=FS
    -sENVIRONMENT=web
    "SHELL:--js-library ${PROJECT_SOURCE_DIR}/platform/host/web_page.js")

# The page's half of the host is a JavaScript library of its own.
set_property(TARGET ravlin APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/platform/host/web_page.js)

# ravlin.js and ravlin.wasm, beside the page of the project's own.
set_target_properties(ravlin PROPERTIES SUFFIX .js)
configure_file(app/web/ravlin.html ${PROJECT_BINARY_DIR}/ravlin.html COPYONLY)
