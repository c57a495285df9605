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

# ravlin_script_test(NAME LABEL [SCRIPT script] [ARGS argument...] [BUILD preset]
#                    [NEEDS preset/file...] [DISPLAY display] [PROPERTIES property value...])
# Registers the script tools/SCRIPT (tools/NAME if not given), given ARGS, as
# the test NAME under LABEL. The script finds the build folders it tests in
# RAVLIN_<PRESET>_BUILD (tools/lib.sh): this one as the BUILD preset's, and for
# each file it NEEDS from another preset's build, that preset's folder, a cache
# variable of the same name that is build/<preset> by default. While one of
# those files is missing, CTest does not run the test and counts it as failed.
# With DISPLAY, it runs on that display (a name of start_display, tools/lib.sh),
# which the fixture display-DISPLAY starts (ravlin_display_fixture), and takes
# turns with the other tests on it (RESOURCE_LOCK).
function(ravlin_script_test name label)
    if(NOT label IN_LIST RAVLIN_TESTS)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 2 test "" "SCRIPT;BUILD;DISPLAY" "ARGS;NEEDS;PROPERTIES")
    if(NOT test_SCRIPT)
        set(test_SCRIPT ${name})
    endif()
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
    set(command ${PROJECT_SOURCE_DIR}/tools/${test_SCRIPT} ${test_ARGS})
    if(test_DISPLAY)
        set(fixture display-${test_DISPLAY})
        ravlin_display_fixture(${fixture} ${label} ${test_DISPLAY})
        set(command ${PROJECT_SOURCE_DIR}/tools/virtual-display run ${CMAKE_CURRENT_BINARY_DIR}/${fixture} ${command})
        list(APPEND test_PROPERTIES FIXTURES_REQUIRED ${fixture} RESOURCE_LOCK ${fixture})
    endif()
    add_test(NAME ${name} COMMAND ${command})
    ravlin_test_properties(${name} ${label} ${test_PROPERTIES})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" REQUIRED_FILES "${required}")
endfunction()

# ravlin_scenario_tests(SCRIPT LABEL [BUILD preset])
# Registers each scenario that `tools/SCRIPT --list` lists, a line each (its
# name, its display or none, and "sanitize" where it needs the sanitize
# build's ravlin), as the test SCRIPT-NAME under LABEL: `tools/SCRIPT NAME` on
# that display (ravlin_script_test's DISPLAY). Scenarios on one display take
# turns; the others run side by side.
function(ravlin_scenario_tests script label)
    if(NOT label IN_LIST RAVLIN_TESTS)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 2 test "" "BUILD" "")
    set(tool ${PROJECT_SOURCE_DIR}/tools/${script})
    execute_process(COMMAND ${tool} --list OUTPUT_VARIABLE listed OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${tool} --list failed")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tool})
    string(REPLACE "\n" ";" scenarios "${listed}")
    foreach(scenario IN LISTS scenarios)
        separate_arguments(words UNIX_COMMAND "${scenario}")
        list(POP_FRONT words name display)
        set(options SCRIPT ${script} ARGS ${name} BUILD ${test_BUILD} PROPERTIES TIMEOUT 120)
        if(sanitize IN_LIST words)
            list(APPEND options NEEDS sanitize/ravlin)
        endif()
        if(NOT display STREQUAL none)
            list(APPEND options DISPLAY ${display})
        endif()
        ravlin_script_test(${script}-${name} ${label} ${options})
    endforeach()
endfunction()

# ravlin_display_fixture(FIXTURE LABEL DISPLAY)
# The fixture FIXTURE: its tests FIXTURE-start and FIXTURE-stop, under LABEL,
# start the display DISPLAY (tools/virtual-display: a name of start_display,
# tools/lib.sh, or an Xvfb's WIDTHxHEIGHTxDEPTH) before the first test that
# requires it and stop it after the last. The file FIXTURE in this folder
# tells those tests where it is. Registered once, for however many tests.
function(ravlin_display_fixture fixture label display)
    if(TEST ${fixture}-start)
        return()
    endif()
    set(tool ${PROJECT_SOURCE_DIR}/tools/virtual-display)
    set(file ${CMAKE_CURRENT_BINARY_DIR}/${fixture})
    add_test(NAME ${fixture}-start COMMAND ${tool} start ${file} ${display})
    add_test(NAME ${fixture}-stop COMMAND ${tool} stop ${file})
    set_tests_properties(${fixture}-start PROPERTIES LABELS ${label} TIMEOUT 30 FIXTURES_SETUP ${fixture})
    set_tests_properties(${fixture}-stop PROPERTIES LABELS ${label} TIMEOUT 30 FIXTURES_CLEANUP ${fixture})
endfunction()

# ravlin_display_test(NAME LABEL DISPLAY COMMAND...)
# Registers COMMAND as the test NAME under LABEL, run on a display (an Xvfb's
# WIDTHxHEIGHTxDEPTH, or a name of start_display) that the fixture
# NAME-display starts before it and stops after it.
function(ravlin_display_test name label display)
    if(NOT label IN_LIST RAVLIN_TESTS)
        return()
    endif()
    ravlin_display_fixture(${name}-display ${label} ${display})
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/tools/virtual-display run
        ${CMAKE_CURRENT_BINARY_DIR}/${name}-display ${ARGN})
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
