# SPDX-License-Identifier: MIT
# What a Windows user downloads: the installer Sheetfind-VERSION-setup.exe, made by
# NSIS, and the portable Sheetfind-VERSION-windows-x86.zip of the two programs.
# Both are written beside the programs, each under a temporary name first and
# renamed into place once whole.
find_program(MAKENSIS makensis REQUIRED)

set(programs_dir ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
if(NOT programs_dir)
    message(FATAL_ERROR "The Windows packages need CMAKE_RUNTIME_OUTPUT_DIRECTORY, the folder of both programs")
endif()
set(installer ${programs_dir}/Sheetfind-${PROJECT_VERSION}-setup.exe)
set(portable ${programs_dir}/Sheetfind-${PROJECT_VERSION}-windows-x86.zip)
set(nsi ${PROJECT_SOURCE_DIR}/res/windows/sheetfind.nsi)

add_custom_command(OUTPUT ${installer}
    COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DVERSION_TEXT=${SHEETFIND_VERSION_TEXT}
            "-DPUBLISHER=${CPACK_PACKAGE_VENDOR}" -DPROGRAMS=${programs_dir}
            -DICON=${PROJECT_SOURCE_DIR}/res/sheetfind.ico -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
            -DOUTFILE=${installer}.part ${nsi}
    COMMAND ${CMAKE_COMMAND} -E rename ${installer}.part ${installer}
    DEPENDS Sheetfind sheetfind-cli ${nsi} ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Making the installer ${installer}"
    VERBATIM)

# The ZIP holds a folder, so that unpacking it puts nothing loose on the desktop.
set(portable_dir ${CMAKE_CURRENT_BINARY_DIR}/portable/Sheetfind-${PROJECT_VERSION})
add_custom_command(OUTPUT ${portable}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_CURRENT_BINARY_DIR}/portable
    COMMAND ${CMAKE_COMMAND} -E make_directory ${portable_dir}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Sheetfind> $<TARGET_FILE:sheetfind-cli>
            ${portable_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${portable_dir}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_CURRENT_BINARY_DIR}/portable
            ${CMAKE_COMMAND} -E tar cf ${portable}.part --format=zip Sheetfind-${PROJECT_VERSION}
    COMMAND ${CMAKE_COMMAND} -E rename ${portable}.part ${portable}
    DEPENDS Sheetfind sheetfind-cli ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Making the portable ZIP ${portable}"
    VERBATIM)

add_custom_target(windows_packages ALL DEPENDS ${installer} ${portable})
