# SPDX-License-Identifier: MIT
# Installs the build into a scratch root, as a package build does with DESTDIR,
# and checks that each file lands where the FHS, freedesktop and Debian say (the
# library's under LIBDIR), that each installed header finds the headers it
# includes, that the manual pages are what the build made, compressed with gzip
# -9n, that the metainfo installed names this release first (VERSION_TEXT, such
# as 1.00), and, where DEBIAN_DOCS is on, that share/doc/sheetfind holds the
# licence as copyright and the Debian changelog, compressed, its newest entry
# this VERSION.
# Where the build has the Python module (PYTHON names Debian's python3), it must
# land where that python3 looks, both under /usr and under /usr/local.

file(REMOVE_RECURSE ${OUT})
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${OUT} ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed")
endif()

foreach(path
        bin/sheetfind
        bin/sheetfind-cli
        share/bash-completion/completions/sheetfind-cli
        share/applications/${APP_ID}.desktop
        share/metainfo/${APP_ID}.metainfo.xml
        include/sheetfind/grid.h
        ${LIBDIR}/cmake/sheetfind/sheetfindConfig.cmake
        ${LIBDIR}/cmake/sheetfind/sheetfindConfigVersion.cmake
        ${LIBDIR}/cmake/sheetfind/sheetfind-engine-targets.cmake
        ${LIBDIR}/pkgconfig/sheetfind.pc)
    if(NOT EXISTS ${OUT}/usr/${path})
        message(FATAL_ERROR "cmake --install did not put /usr/${path} in place")
    endif()
endforeach()

# The headers lie flat in one folder and include one another by bare name, so a
# header naming one that stayed behind compiles in the source tree only.
file(GLOB headers ${OUT}/usr/include/sheetfind/*.h)
foreach(header IN LISTS headers)
    file(STRINGS ${header} includes REGEX "^#include \"")
    foreach(include IN LISTS includes)
        string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" name "${include}")
        if(NOT EXISTS ${OUT}/usr/include/sheetfind/${name})
            message(FATAL_ERROR "${header} includes \"${name}\", which was not installed")
        endif()
    endforeach()
endforeach()

# The compressed files, each with what it must hold once uncompressed. The
# command line tool's page is made by help2man, where the build found it.
set(compressed
    "share/man/man1/sheetfind.1.gz=${BUILD}/man/sheetfind.1")
if(EXISTS ${BUILD}/man/sheetfind-cli.1)
    list(APPEND compressed "share/man/man1/sheetfind-cli.1.gz=${BUILD}/man/sheetfind-cli.1")
endif()
if(DEBIAN_DOCS)
    list(APPEND compressed "share/doc/sheetfind/changelog.gz=${RES}/debian/changelog")
endif()
# Reads "INSTALLED=SOURCE" into installed (the file under the scratch root, which
# must be there) and source.
macro(installed_and_source pair)
    string(REPLACE "=" ";" parts "${pair}")
    list(GET parts 0 installed)
    list(GET parts 1 source)
    set(installed ${OUT}/usr/${installed})
    if(NOT EXISTS ${installed})
        message(FATAL_ERROR "cmake --install did not put ${installed} in place")
    endif()
endmacro()

find_program(GZIP gzip REQUIRED)
foreach(pair IN LISTS compressed)
    installed_and_source("${pair}")
    # gzip's header: the magic number, deflate, no flags (so no file name), a
    # zero time, and the mark of maximum compression. A name or a time there
    # would make every build's package differ.
    file(READ ${installed} header HEX LIMIT 9)
    if(NOT header STREQUAL "1f8b08000000000002")
        message(FATAL_ERROR "${installed} was not compressed with gzip -9n: header ${header}")
    endif()
    execute_process(COMMAND ${GZIP} -dc ${installed} OUTPUT_FILE ${OUT}/uncompressed
        RESULT_VARIABLE status)
    file(SHA256 ${OUT}/uncompressed got)
    file(SHA256 ${source} expected)
    if(NOT status EQUAL 0 OR NOT got STREQUAL expected)
        message(FATAL_ERROR "${installed} does not uncompress to ${source}")
    endif()
endforeach()

# The files installed as they are, each with the one it must be the same as.
# Each hicolor folder must hold the picture drawn for its size: a 16 px picture
# in the 256x256 folder would be blown up, and the desktop never says so.
set(installed_icon_sizes 16 24 32 48 64 128 256)
set(copies)
foreach(size IN LISTS installed_icon_sizes)
    list(APPEND copies
        "share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png=${RES}/sheetfind-${size}.png")
endforeach()
list(APPEND copies "share/icons/hicolor/scalable/apps/${APP_ID}.svg=${RES}/sheetfind.svg")
if(DEBIAN_DOCS)
    list(APPEND copies "share/doc/sheetfind/copyright=${LICENSE}")
endif()
foreach(pair IN LISTS copies)
    installed_and_source("${pair}")
    file(SHA256 ${installed} got)
    file(SHA256 ${source} expected)
    if(NOT got STREQUAL expected)
        message(FATAL_ERROR "${installed} is not ${source}")
    endif()
endforeach()
foreach(program sheetfind sheetfind-cli)
    execute_process(COMMAND test -x ${OUT}/usr/bin/${program} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "/usr/bin/${program} is not executable")
    endif()
endforeach()

file(READ ${OUT}/usr/share/metainfo/${APP_ID}.metainfo.xml metainfo)
# AppStream lists the newest release first.
if(NOT metainfo MATCHES "<release version=\"([^\"]*)\"" OR NOT CMAKE_MATCH_1 STREQUAL VERSION_TEXT)
    message(FATAL_ERROR "The installed metainfo's newest release is \"${CMAKE_MATCH_1}\"; "
                        "expected ${VERSION_TEXT}")
endif()

# The Debian changelog's newest entry, its first line, must be this release's: a
# package whose changelog stops at the release before tells its users nothing of
# what changed in it.
if(DEBIAN_DOCS)
    file(READ ${RES}/debian/changelog changelog)
    if(NOT changelog MATCHES "^sheetfind \\(([^)]*)\\) " OR NOT CMAKE_MATCH_1 STREQUAL VERSION)
        message(FATAL_ERROR "The Debian changelog's newest entry is for \"${CMAKE_MATCH_1}\"; "
                            "expected one for sheetfind ${VERSION}")
    endif()
elseif(EXISTS ${OUT}/usr/share/doc/sheetfind)
    message(FATAL_ERROR "share/doc/sheetfind was installed with SHEETFIND_INSTALL_DEBIAN_DOCS off")
endif()

# The QGIS plugin, where QGIS finds the system's plugins, whole and of this version:
# QGIS refuses a plugin whose metadata has none.
if(PYTHON)
    set(plugin ${OUT}/usr/share/qgis/python/plugins/sheetfind_provider)
    foreach(file __init__.py algorithms.py plugin.py provider.py icon.svg)
        if(NOT EXISTS ${plugin}/${file})
            message(FATAL_ERROR "the QGIS plugin's ${file} was not installed in ${plugin}")
        endif()
    endforeach()
    file(STRINGS ${plugin}/metadata.txt version REGEX "^version=")
    if(NOT version STREQUAL "version=${VERSION}")
        message(FATAL_ERROR "the QGIS plugin's metadata says '${version}'; expected ${VERSION}")
    endif()
endif()

# The Python package, under /usr as a package puts it and under /usr/local as a
# plain `cmake --install` does: a folder that python3 does not search would leave
# `import sheetfind` failing after a successful install.
if(PYTHON)
    execute_process(COMMAND ${PYTHON} -I -c "import sys; print(';'.join(sys.path))"
        OUTPUT_VARIABLE search OUTPUT_STRIP_TRAILING_WHITESPACE)
    foreach(prefix /usr /usr/local)
        set(root ${OUT}-python)
        file(REMOVE_RECURSE ${root})
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root} ${CMAKE_COMMAND} --install ${BUILD}
                    --prefix ${prefix}
            OUTPUT_QUIET RESULT_VARIABLE status)
        file(GLOB_RECURSE module RELATIVE ${root} ${root}/__init__.py)
        list(FILTER module INCLUDE REGEX "/sheetfind/__init__.py$")
        if(NOT status EQUAL 0 OR NOT module)
            message(FATAL_ERROR "cmake --install --prefix ${prefix} put no sheetfind package")
        endif()
        cmake_path(GET module PARENT_PATH package)
        cmake_path(GET package PARENT_PATH folder)
        list(FIND search /${folder} found)
        if(found EQUAL -1)
            message(FATAL_ERROR "cmake --install --prefix ${prefix} put the sheetfind package in "
                                "/${folder}, where python3 does not look (${search})")
        endif()
        foreach(file __init__.pyi _frames.py py.typed)
            if(NOT EXISTS ${root}/${package}/${file})
                message(FATAL_ERROR "/${package}/${file} was not installed")
            endif()
        endforeach()
        file(GLOB compiled ${root}/${package}/_sheetfind*.so)
        if(NOT compiled)
            message(FATAL_ERROR "/${package} holds no compiled _sheetfind module")
        endif()
    endforeach()
endif()
