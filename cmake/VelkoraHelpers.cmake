# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Warnings and sanitizers for the project's own targets only.
function(velkora_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(VELKORA_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=${VELKORA_SANITIZE} -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=${VELKORA_SANITIZE})
    endif()
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
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    set(env "VELKORA_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "VELKORA_BIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
    if(T_WIDGETS)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
    if(T_TIMEOUT)
        set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
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
