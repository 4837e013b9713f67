# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Warnings and sanitizers for the project's own targets only; the target
# also shares the precompiled headers.
function(_velkora_compile_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(VELKORA_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=${VELKORA_SANITIZE} -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=${VELKORA_SANITIZE})
    endif()
endfunction()

function(velkora_target_defaults target)
    _velkora_compile_defaults(${target})
    set_property(GLOBAL APPEND PROPERTY VELKORA_TARGETS ${target})
endfunction()

# add_unit_test(name SOURCES a.cpp ... LIBS lib ... [WIDGETS] [TIMEOUT s])
# One Qt Test executable registered with ctest. WIDGETS runs it on the
# offscreen platform.
function(add_unit_test name)
    cmake_parse_arguments(T "WIDGETS" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    velkora_target_defaults(${name})
    # The code under test keeps the build's optimisation; the test code
    # itself is mostly Qt Test's macros, which -Og compiles a third faster.
    # (-Og still defines __OPTIMIZE__, so the shared precompiled headers fit.)
    if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
        target_compile_options(${name} PRIVATE -Og)
    endif()
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    set(env "VELKORA_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "VELKORA_BIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
    if(T_WIDGETS)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    # Under ThreadSanitizer every test knows what comes from the libraries
    # not built with it (tests/tsan.supp gives the reason for each),
    # and a test that starts a process with QProcess survives it: Qt starts
    # children with a vfork-style clone, whose child (which only execs)
    # the sanitizer takes for a fork of the whole multi-threaded test,
    # marking the parent so that its next thread would end it.
    if(VELKORA_SANITIZE MATCHES "thread")
        list(APPEND env "TSAN_OPTIONS=die_after_fork=0:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
    if(T_TIMEOUT)
        set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
    endif()
endfunction()

# Tests that open the sound library or Hamlib. Under AddressSanitizer the
# leak checker needs whole stacks to tell the libraries' own allocations
# (tests/lsan.supp names them) from ours; only these tests pay for the slow
# unwinding that takes.
function(velkora_library_leaks)
    if(VELKORA_SANITIZE MATCHES "address")
        set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=fast_unwind_on_malloc=0"
                     "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp")
    endif()
endfunction()

# Every tst_*.cpp in the calling folder becomes one test linked with LIBS.
function(add_unit_tests_in_folder)
    cmake_parse_arguments(T "WIDGETS" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    foreach(src IN LISTS sources)
        get_filename_component(name ${src} NAME_WE)
        if(T_WIDGETS)
            add_unit_test(${name} SOURCES ${src} LIBS ${T_LIBS} WIDGETS)
        else()
            add_unit_test(${name} SOURCES ${src} LIBS ${T_LIBS})
        endif()
    endforeach()
endfunction()

# Precompiled headers: the Qt headers nearly every source includes are
# compiled twice in all (a QtCore set and a widgets set, each in a carrier
# target) and reused by every target, which halves the build. A target
# takes the widgets set when Qt Widgets reaches it through its libraries.
# GCC uses a precompiled header only where it fits the compilation and
# otherwise reads the headers as usual, so a mismatch costs time, not
# correctness; a target with VELKORA_NO_PCH set goes without. VELKORA_PCH=OFF
# builds without any.
option(VELKORA_PCH "Share precompiled Qt headers between the targets" ON)

function(_velkora_reaches_widgets target result)
    set(${result} FALSE PARENT_SCOPE)
    get_target_property(libs ${target} LINK_LIBRARIES)
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    foreach(lib IN LISTS libs interface)
        if(lib MATCHES "^Qt6?::Widgets$")
            set(${result} TRUE PARENT_SCOPE)
            return()
        endif()
        if(TARGET ${lib} AND NOT lib MATCHES "^Qt")
            _velkora_reaches_widgets(${lib} found)
            if(found)
                set(${result} TRUE PARENT_SCOPE)
                return()
            endif()
        endif()
    endforeach()
endfunction()

# Called once, after every target is defined.
function(velkora_precompile_headers)
    if(NOT VELKORA_PCH)
        return()
    endif()
    get_property(targets GLOBAL PROPERTY VELKORA_TARGETS)
    add_library(velkora_pch_qtcore STATIC ${CMAKE_SOURCE_DIR}/cmake/pch/empty.cpp)
    target_link_libraries(velkora_pch_qtcore PRIVATE Qt6::Core)
    target_precompile_headers(velkora_pch_qtcore PRIVATE ${CMAKE_SOURCE_DIR}/cmake/pch/qtcore.h)
    _velkora_compile_defaults(velkora_pch_qtcore)
    if(VELKORA_WITH_GUI)
        add_library(velkora_pch_qtwidgets STATIC ${CMAKE_SOURCE_DIR}/cmake/pch/empty.cpp)
        target_link_libraries(velkora_pch_qtwidgets PRIVATE Qt6::Widgets)
        target_precompile_headers(velkora_pch_qtwidgets PRIVATE ${CMAKE_SOURCE_DIR}/cmake/pch/qtwidgets.h)
        _velkora_compile_defaults(velkora_pch_qtwidgets)
    endif()
    foreach(target IN LISTS targets)
        get_target_property(no_pch ${target} VELKORA_NO_PCH)
        if(no_pch)
            continue()
        endif()
        _velkora_reaches_widgets(${target} widgets)
        if(widgets AND VELKORA_WITH_GUI)
            target_precompile_headers(${target} REUSE_FROM velkora_pch_qtwidgets)
        else()
            target_precompile_headers(${target} REUSE_FROM velkora_pch_qtcore)
        endif()
    endforeach()
endfunction()
