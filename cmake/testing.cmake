# Registering tests with CTest (tests/CMakeLists.txt). A build folder
# registers the tests of the labels in RAVLIN_TESTS, which each preset sets;
# docs/testing.md ("Running them") lists what each label holds.

# What every test has: its LABEL and a time limit. Under the label wine, the
# tests take turns in the one Wine prefix (RESOURCE_LOCK).
function(ravlin_test_properties name label)
    set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT 600 ${ARGN})
    if(label STREQUAL wine)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine-prefix)
    endif()
endfunction()

# ravlin_script_test(NAME LABEL [ARGS argument...] [BUILD preset]
#                    [NEEDS preset/file...] [PROPERTIES property value...])
# Registers the script tools/NAME, given ARGS, as the test NAME under LABEL.
# The script finds the build folders it tests in RAVLIN_<PRESET>_BUILD
# (tools/lib.sh): this one as the BUILD preset's, and for each file it NEEDS
# from another preset's build, that preset's folder, a cache variable of the
# same name that is build/<preset> by default. While one of those files is
# missing, CTest does not run the test and counts it as failed.
function(ravlin_script_test name label)
    if(NOT label IN_LIST RAVLIN_TESTS)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 2 test "" "BUILD" "ARGS;NEEDS;PROPERTIES")
    set(environment "")
    if(test_BUILD)
        string(TOUPPER ${test_BUILD} preset)
        list(APPEND environment "RAVLIN_${preset}_BUILD=${PROJECT_BINARY_DIR}")
    endif()
    set(required "")
    foreach(need IN LISTS test_NEEDS)
        string(REGEX REPLACE "/.*" "" preset "${need}")
        string(REGEX REPLACE "^[^/]*/" "" file "${need}")
        string(TOUPPER ${preset} variable)
        set(variable RAVLIN_${variable}_BUILD)
        set(${variable} ${PROJECT_SOURCE_DIR}/build/${preset} CACHE PATH
            "The ${preset} preset's build folder, whose programs this folder's tests use")
        list(APPEND environment "${variable}=${${variable}}")
        list(APPEND required "${${variable}}/${file}")
    endforeach()
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/tools/${name} ${test_ARGS})
    ravlin_test_properties(${name} ${label} ${test_PROPERTIES})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" REQUIRED_FILES "${required}")
endfunction()

# ravlin_display_test(NAME LABEL GEOMETRY COMMAND...)
# Registers COMMAND as the test NAME under LABEL, run on a virtual X server of
# GEOMETRY (tools/virtual-display) that the fixture's tests NAME-display-start
# and NAME-display-stop start before it and stop after it.
function(ravlin_display_test name label geometry)
    if(NOT label IN_LIST RAVLIN_TESTS)
        return()
    endif()
    set(tool ${PROJECT_SOURCE_DIR}/tools/virtual-display)
    set(file ${CMAKE_CURRENT_BINARY_DIR}/${name}.display)
    add_test(NAME ${name}-display-start COMMAND ${tool} start ${file} ${geometry})
    add_test(NAME ${name}-display-stop COMMAND ${tool} stop ${file})
    add_test(NAME ${name} COMMAND ${tool} run ${file} ${ARGN})
    set_tests_properties(${name}-display-start PROPERTIES LABELS ${label} TIMEOUT 30 FIXTURES_SETUP ${name}-display)
    set_tests_properties(${name}-display-stop PROPERTIES LABELS ${label} TIMEOUT 30 FIXTURES_CLEANUP ${name}-display)
    set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT 120 FIXTURES_REQUIRED ${name}-display)
endfunction()

# ravlin_program_test(TARGET LABEL [property value...])
# Registers the program TARGET as one test under LABEL, run through
# CMAKE_CROSSCOMPILING_EMULATOR where the build has one (tools/wine-run).
function(ravlin_program_test target label)
    if(label IN_LIST RAVLIN_TESTS)
        add_test(NAME ${target} COMMAND ${target})
        ravlin_test_properties(${target} ${label} ${ARGN})
    endif()
endfunction()

# ravlin_gtest_cases(TARGET)
# Registers each GoogleTest case of TARGET as a test, listed when TARGET is
# built, under the label sanitize where RAVLIN_TESTS has it, or else unit.
include(GoogleTest)
function(ravlin_gtest_cases target)
    foreach(label sanitize unit)
        if(label IN_LIST RAVLIN_TESTS)
            gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${label})
            return()
        endif()
    endforeach()
endfunction()

# GoogleTest for the Windows build, from the source Debian's libgtest-dev
# ships. It needs the compiler with POSIX threads (the windows-tests preset).
function(ravlin_googletest_from_source)
    add_subdirectory(/usr/src/googletest/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    target_compile_options(gtest PRIVATE -Wno-error)
    target_compile_options(gtest_main PRIVATE -Wno-error)
endfunction()
