# SPDX-License-Identifier: MIT
# The version is set once, in project(VERSION ...), and reaches everything that
# shows it from here: the code and the Windows version resource through a
# configured header (the INTERFACE target sheetfind_version), and the AppStream
# metainfo, configured in install.cmake.
set(SHEETFIND_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)

if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "project(VERSION ${PROJECT_VERSION}): expected MAJOR.MINOR.PATCH")
endif()
# As numbers, so that 1.05.0 gives 5 and not an octal 05 in C++.
math(EXPR SHEETFIND_VERSION_MAJOR "${PROJECT_VERSION_MAJOR}")
math(EXPR SHEETFIND_VERSION_MINOR "${PROJECT_VERSION_MINOR}")
math(EXPR SHEETFIND_VERSION_PATCH "${PROJECT_VERSION_PATCH}")
# Users see MAJOR.MINOR, the minor number in two digits: 1.00, 1.05, 1.10.
if(SHEETFIND_VERSION_MINOR GREATER 99)
    message(FATAL_ERROR "project(VERSION ${PROJECT_VERSION}): the minor number is shown "
                        "in two digits, so it must be at most 99")
elseif(SHEETFIND_VERSION_MINOR LESS 10)
    set(SHEETFIND_VERSION_TEXT ${SHEETFIND_VERSION_MAJOR}.0${SHEETFIND_VERSION_MINOR})
else()
    set(SHEETFIND_VERSION_TEXT ${SHEETFIND_VERSION_MAJOR}.${SHEETFIND_VERSION_MINOR})
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
    ${SHEETFIND_GENERATED_DIR}/sheetfind_version.h @ONLY)
add_library(sheetfind_version INTERFACE)
target_include_directories(sheetfind_version INTERFACE ${SHEETFIND_GENERATED_DIR})
