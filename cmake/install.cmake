# SPDX-License-Identifier: MIT
# Where `cmake --install` puts the programs: sheetfind and sheetfind-cli in bin/,
# and on freedesktop systems the launcher, the AppStream metainfo and the icons
# under share/, all named by the application id so that the desktop ties them
# together, and the manual pages; and the engine as a C++ library, its archives,
# headers, CMake package and pkg-config file. This is the only file with install
# rules.
include(GNUInstallDirs)
# Some names below mean something on Debian and its kin only: the systems with
# /etc/debian_version.
if(EXISTS /etc/debian_version)
    set(debian_system ON)
else()
    set(debian_system OFF)
endif()

set(SHEETFIND_APP_ID ca.sheetfind.Sheetfind)
# The hicolor sizes that res/make_icon.py draws a PNG for; the SVG serves the rest.
set(SHEETFIND_ICON_SIZES 16 24 32 48 64 128 256)

# The metainfo names the release, so it is configured from the project's version.
set(SHEETFIND_METAINFO ${SHEETFIND_GENERATED_DIR}/${SHEETFIND_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/res/${SHEETFIND_APP_ID}.metainfo.xml.in ${SHEETFIND_METAINFO}
    @ONLY)

# Installs SOURCE under DESTINATION as SOURCE's name with .gz added, compressed at
# build time as Debian wants manual pages and changelogs: gzip -9, and -n so that
# no name or time goes into the header and two builds give the same bytes.
function(sheetfind_install_gzipped source destination)
    find_program(GZIP gzip REQUIRED)
    get_filename_component(name ${source} NAME)
    set(copy ${PROJECT_BINARY_DIR}/gzipped/${name})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${GZIP} -9nf ${copy}
        DEPENDS ${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
    add_custom_target(gzip_${name} ALL DEPENDS ${copy}.gz)
    install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

# Each face where it is built (SHEETFIND_BUILD_WINDOW, SHEETFIND_BUILD_CLI).
foreach(program sheetfind sheetfind-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
# sheetfind-cli loads its GIS commands from this module, found relative to itself.
if(TARGET sheetfind-cli-gis)
    install(TARGETS sheetfind-cli-gis LIBRARY DESTINATION ${SHEETFIND_GIS_MODULE_INSTALL_DIR})
endif()

# Debian's packages, and so the one `cpack -G DEB` makes, carry their licence as
# share/doc/<package>/copyright and their Debian changelog beside it. Elsewhere
# those names mean nothing, so by default they are installed only on a system of
# Debian's kind.
# The package's version has no Debian revision, which makes it a native package,
# whose changelog is changelog.gz (changelog.Debian.gz is for one that packages
# another project's release).
option(SHEETFIND_INSTALL_DEBIAN_DOCS
    "Install share/doc/sheetfind/copyright and changelog.gz as a Debian package has them"
    ${debian_system})
if(SHEETFIND_INSTALL_DEBIAN_DOCS)
    # The folder is named by the package, sheetfind, not by the project as
    # CMAKE_INSTALL_DOCDIR would be.
    set(SHEETFIND_DEBIAN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/sheetfind)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${SHEETFIND_DEBIAN_DOC_DIR}
        RENAME copyright)
    sheetfind_install_gzipped(${PROJECT_SOURCE_DIR}/res/debian/changelog ${SHEETFIND_DEBIAN_DOC_DIR})
endif()

if(UNIX AND NOT APPLE AND TARGET sheetfind)
    install(FILES ${PROJECT_SOURCE_DIR}/res/${SHEETFIND_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${SHEETFIND_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    sheetfind_install_gzipped(${PROJECT_BINARY_DIR}/man/sheetfind.1 ${CMAKE_INSTALL_MANDIR}/man1)
    foreach(size IN LISTS SHEETFIND_ICON_SIZES)
        install(FILES ${PROJECT_SOURCE_DIR}/res/sheetfind-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${SHEETFIND_APP_ID}.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/res/sheetfind.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${SHEETFIND_APP_ID}.svg)
endif()
if(UNIX AND NOT APPLE AND TARGET sheetfind-cli)
    if(TARGET manpages)
        sheetfind_install_gzipped(${SHEETFIND_CLI_MAN} ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
    # Where bash-completion looks, as its own pkg-config file says; relative to the
    # prefix, so that a staged install (DESTDIR, a package) keeps its layout.
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND)
        pkg_get_variable(SHEETFIND_COMPLETIONS_DIR bash-completion completionsdir)
    endif()
    if(SHEETFIND_COMPLETIONS_DIR)
        file(RELATIVE_PATH SHEETFIND_COMPLETIONS_DIR /usr ${SHEETFIND_COMPLETIONS_DIR})
    else()
        set(SHEETFIND_COMPLETIONS_DIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/res/completion/sheetfind-cli.bash
        DESTINATION ${SHEETFIND_COMPLETIONS_DIR} RENAME sheetfind-cli)
endif()

# The QGIS plugin goes where QGIS looks for the system's plugins, so that installing the
# package is all a QGIS user does; its icon is the application's.
if(TARGET _sheetfind)
    set(plugin ${CMAKE_INSTALL_DATADIR}/qgis/python/plugins/sheetfind_provider)
    file(GLOB plugin_sources ${PROJECT_SOURCE_DIR}/qgis/sheetfind_provider/*.py)
    install(FILES ${plugin_sources} ${PROJECT_SOURCE_DIR}/qgis/sheetfind_provider/metadata.txt
        DESTINATION ${plugin})
    install(FILES ${PROJECT_SOURCE_DIR}/res/sheetfind.svg DESTINATION ${plugin} RENAME icon.svg)
endif()

# The Python package goes where Debian's python3 looks under the prefix: for the
# system's own packages, /usr, that is lib/python3/dist-packages; for a local one,
# /usr/local, lib/python3.X/dist-packages, the only folder of /usr/local on its path.
# The prefix is known only when installing (a package is staged with /usr, a plain
# `cmake --install` has /usr/local), so the folder is chosen then.
if(TARGET _sheetfind)
    set(SHEETFIND_PYTHON_INSTALL_DIR "" CACHE STRING
        "Where cmake --install puts the sheetfind package, relative to the prefix; empty: \
where Debian's python3 looks under that prefix")
    set(sources "$<TARGET_FILE:_sheetfind>" ${SHEETFIND_PACKAGE_SOURCES_INSTALL})
    if(TARGET _sheetfind_gis)
        list(APPEND sources "$<TARGET_FILE:_sheetfind_gis>")
    endif()
    list(JOIN sources "\" \"" sources)
    install(CODE "
        set(folder \"${SHEETFIND_PYTHON_INSTALL_DIR}\")
        if(NOT folder AND CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
            set(folder lib/python3/dist-packages)
        elseif(NOT folder)
            set(folder lib/python${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}/dist-packages)
        endif()
        file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${folder}/sheetfind\"
            TYPE FILE FILES \"${sources}\")
    ")
endif()

# The engine as a C++ library. The archives are static, so a program links what
# they use privately too; the CMake package finds it, and pkg-config names it for
# --static. Their headers include one another by bare name, so they go flat into
# one folder, include/sheetfind, and a program writes <sheetfind/grid.h>.
include(CMakePackageConfigHelpers)
# On Debian the library goes where Debian's own do, lib/<multiarch>: pkg-config and
# CMake look there under /usr and /usr/local alike, a cross build's pkg-config
# looks nowhere else, and lintian warns of a pkg-config file in lib/pkgconfig.
# GNUInstallDirs picks that folder only when /usr is the prefix at configure
# time, whereas the package is staged with /usr long after; so its plain default,
# lib, is taken as not chosen. The cache keeps it, since Qt has already derived
# the programs' RPATH from it.
if(debian_system AND CMAKE_LIBRARY_ARCHITECTURE AND CMAKE_INSTALL_LIBDIR STREQUAL "lib")
    set(SHEETFIND_LIBRARY_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
    set(SHEETFIND_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR})
endif()
set(SHEETFIND_CMAKE_PACKAGE_DIR ${SHEETFIND_LIBRARY_DIR}/cmake/sheetfind)
set(SHEETFIND_HEADER_DIR ${CMAKE_INSTALL_INCLUDEDIR}/sheetfind)
# The grid, covers along geodesics, the readers of typed points and the shift of
# points between datums, each archive before the ones it uses, as a linker reading -l
# options wants them.
set(SHEETFIND_ENGINE_LIBRARIES sheetfind_input sheetfind_datum sheetref_geodesic sheetref)

# sheetfind::sheetfind, the engine as one target; the target name sheetfind is
# the window's.
add_library(sheetfind_engine INTERFACE)
target_link_libraries(sheetfind_engine INTERFACE ${SHEETFIND_ENGINE_LIBRARIES})
set_target_properties(sheetfind_engine PROPERTIES EXPORT_NAME sheetfind)
set_target_properties(sheetfind_input PROPERTIES EXPORT_NAME input)
set_target_properties(sheetref_geodesic PROPERTIES EXPORT_NAME geodesic)
set_target_properties(sheetfind_datum PROPERTIES EXPORT_NAME datum)

# Installs TARGETS with their headers as the export set NAME, read from
# sheetfind-NAME-targets.cmake. A header is any .h among a target's sources but
# the layout tables private to the grid. Two headers of one name would leave the
# second in place of the first, so that stops the configure.
function(sheetfind_install_library name)
    set(headers)
    foreach(target IN LISTS ARGN)
        get_target_property(sources ${target} SOURCES)
        get_target_property(folder ${target} SOURCE_DIR)
        list(FILTER sources INCLUDE REGEX "\\.h$")
        list(FILTER sources EXCLUDE REGEX "(^|/)((nts|bcgs|png)_layout|bc_extent)\\.h$")
        foreach(header IN LISTS sources)
            cmake_path(ABSOLUTE_PATH header BASE_DIRECTORY ${folder})
            cmake_path(GET header FILENAME file)
            get_property(owner GLOBAL PROPERTY sheetfind_installed_header_${file})
            if(owner)
                message(FATAL_ERROR "Two installed headers are named ${file}: ${owner} and ${header}")
            endif()
            set_property(GLOBAL PROPERTY sheetfind_installed_header_${file} ${header})
            list(APPEND headers ${header})
        endforeach()
    endforeach()
    install(FILES ${headers} DESTINATION ${SHEETFIND_HEADER_DIR})
    install(TARGETS ${ARGN} EXPORT sheetfind-${name}
        ARCHIVE DESTINATION ${SHEETFIND_LIBRARY_DIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(EXPORT sheetfind-${name} NAMESPACE sheetfind:: DESTINATION ${SHEETFIND_CMAKE_PACKAGE_DIR}
        FILE sheetfind-${name}-targets.cmake)
endfunction()

sheetfind_install_library(engine sheetfind_engine ${SHEETFIND_ENGINE_LIBRARIES})
# CSV tables and GIS layers, where this build has them: each has its own targets
# file, so that a program that wants neither needs neither libcsv nor GDAL.
if(TARGET sheetfind_tables)
    set_target_properties(sheetfind_tables PROPERTIES EXPORT_NAME tables)
    sheetfind_install_library(tables sheetfind_tables)
endif()
if(TARGET sheetfind_gis)
    set_target_properties(sheetfind_gis PROPERTIES EXPORT_NAME gis)
    sheetfind_install_library(gis sheetfind_gis)
endif()

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/sheetfindConfig.cmake.in
    ${PROJECT_BINARY_DIR}/package/sheetfindConfig.cmake
    INSTALL_DESTINATION ${SHEETFIND_CMAKE_PACKAGE_DIR}
    NO_SET_AND_CHECK_MACRO)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/sheetfindConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/sheetfindConfig.cmake
    ${PROJECT_BINARY_DIR}/package/sheetfindConfigVersion.cmake
    DESTINATION ${SHEETFIND_CMAKE_PACKAGE_DIR})

# The prefix is found from the file's own place, ${pcfiledir}, so the one file
# serves whatever prefix it is installed under.
file(RELATIVE_PATH SHEETFIND_PC_PREFIX /prefix/${SHEETFIND_LIBRARY_DIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" SHEETFIND_PC_PREFIX ${SHEETFIND_PC_PREFIX})
# PROJ is loaded by the datum archive when a shift needs it: a link needs only the
# loader's library.
if(SHEETFIND_WITH_PROJ AND CMAKE_DL_LIBS)
    set(SHEETFIND_PC_PROJ -l${CMAKE_DL_LIBS})
endif()
list(TRANSFORM SHEETFIND_ENGINE_LIBRARIES PREPEND -l OUTPUT_VARIABLE SHEETFIND_PC_LIBS)
list(JOIN SHEETFIND_PC_LIBS " " SHEETFIND_PC_LIBS)
configure_file(${PROJECT_SOURCE_DIR}/cmake/sheetfind.pc.in ${PROJECT_BINARY_DIR}/package/sheetfind.pc
    @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/sheetfind.pc
    DESTINATION ${SHEETFIND_LIBRARY_DIR}/pkgconfig)
