# SPDX-License-Identifier: MIT
# What a Windows user downloads, for the architecture being built (x86 or x64): the
# installer Sheetfind-VERSION-windows-ARCH-setup.exe, made by NSIS, and the portable
# Sheetfind-VERSION-windows-ARCH.zip of the two programs with PROJ's database in
# proj\ beside them. Both are written beside the programs, each under a temporary
# name first and renamed into place once whole.
find_program(MAKENSIS makensis REQUIRED)

set(programs_dir ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
if(NOT programs_dir)
    message(FATAL_ERROR "The Windows packages need CMAKE_RUNTIME_OUTPUT_DIRECTORY, the folder of both programs")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SHEETFIND_WINDOWS_ARCH x64)
else()
    set(SHEETFIND_WINDOWS_ARCH x86)
endif()
set(package_name Sheetfind-${PROJECT_VERSION}-windows-${SHEETFIND_WINDOWS_ARCH})
set(installer ${programs_dir}/${package_name}-setup.exe)
set(portable ${programs_dir}/${package_name}.zip)
set(nsi ${PROJECT_SOURCE_DIR}/res/windows/sheetfind.nsi)

# PROJ's database, which the programs look for in proj\ beside them (projDataFolders).
set(proj_db)
if(SHEETFIND_WITH_PROJ)
    # PROJ installs its database under its prefix: PROJ_DIR is PREFIX/lib/cmake/proj.
    get_filename_component(proj_prefix ${PROJ_DIR}/../../.. ABSOLUTE)
    set(SHEETFIND_PROJ_DB ${proj_prefix}/share/proj/proj.db)
    if(NOT EXISTS ${SHEETFIND_PROJ_DB})
        message(FATAL_ERROR "PROJ's database is not at ${SHEETFIND_PROJ_DB}")
    endif()
    set(proj_db ${programs_dir}/proj/proj.db)
    add_custom_command(OUTPUT ${proj_db}
        COMMAND ${CMAKE_COMMAND} -E copy ${SHEETFIND_PROJ_DB} ${proj_db}
        DEPENDS ${SHEETFIND_PROJ_DB}
        COMMENT "Putting PROJ's database beside the programs"
        VERBATIM)
endif()

add_custom_command(OUTPUT ${installer}
    COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DVERSION_TEXT=${SHEETFIND_VERSION_TEXT}
            "-DPUBLISHER=${CPACK_PACKAGE_VENDOR}" -DPROGRAMS=${programs_dir}
            -DARCH=${SHEETFIND_WINDOWS_ARCH}
            -DICON=${PROJECT_SOURCE_DIR}/res/sheetfind.ico -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
            -DOUTFILE=${installer}.part ${nsi}
    COMMAND ${CMAKE_COMMAND} -E rename ${installer}.part ${installer}
    DEPENDS Sheetfind sheetfind-cli ${proj_db} ${nsi} ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Making the installer ${installer}"
    VERBATIM)

# The ZIP holds a folder, so that unpacking it puts nothing loose on the desktop.
set(portable_dir ${CMAKE_CURRENT_BINARY_DIR}/portable/Sheetfind-${PROJECT_VERSION})
set(portable_proj)
if(proj_db)
    set(portable_proj COMMAND ${CMAKE_COMMAND} -E copy_directory ${programs_dir}/proj
        ${portable_dir}/proj)
endif()
add_custom_command(OUTPUT ${portable}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_CURRENT_BINARY_DIR}/portable
    COMMAND ${CMAKE_COMMAND} -E make_directory ${portable_dir}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Sheetfind> $<TARGET_FILE:sheetfind-cli>
            ${portable_dir}
    ${portable_proj}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${portable_dir}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_CURRENT_BINARY_DIR}/portable
            ${CMAKE_COMMAND} -E tar cf ${portable}.part --format=zip Sheetfind-${PROJECT_VERSION}
    COMMAND ${CMAKE_COMMAND} -E rename ${portable}.part ${portable}
    DEPENDS Sheetfind sheetfind-cli ${proj_db} ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Making the portable ZIP ${portable}"
    VERBATIM)

add_custom_target(windows_packages ALL DEPENDS ${installer} ${portable})
