# SPDX-License-Identifier: MIT
# Installs the build into a scratch root, as a package build does with DESTDIR,
# and checks that each file lands where the FHS, freedesktop and Debian say,
# that the manual pages are what the build made, compressed with gzip -9n, and
# that the metainfo installed names this release first (VERSION_TEXT, such as
# 1.00).

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
        share/metainfo/${APP_ID}.metainfo.xml)
    if(NOT EXISTS ${OUT}/usr/${path})
        message(FATAL_ERROR "cmake --install did not put /usr/${path} in place")
    endif()
endforeach()

# The compressed files, each with what it must hold once uncompressed. The
# command line tool's page is made by help2man, where the build found it.
set(compressed
    "share/man/man1/sheetfind.1.gz=${BUILD}/man/sheetfind.1")
if(EXISTS ${BUILD}/man/sheetfind-cli.1)
    list(APPEND compressed "share/man/man1/sheetfind-cli.1.gz=${BUILD}/man/sheetfind-cli.1")
endif()
find_program(GZIP gzip REQUIRED)
foreach(pair IN LISTS compressed)
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 installed)
    list(GET pair 1 source)
    set(installed ${OUT}/usr/${installed})
    if(NOT EXISTS ${installed})
        message(FATAL_ERROR "cmake --install did not put ${installed} in place")
    endif()
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

# Each hicolor folder must hold the picture drawn for its size: a 16 px picture
# in the 256x256 folder would be blown up, and the desktop never says so.
set(installed_icon_sizes 16 24 32 48 64 128 256)
set(icons)
foreach(size IN LISTS installed_icon_sizes)
    list(APPEND icons "${size}x${size}/apps/${APP_ID}.png=sheetfind-${size}.png")
endforeach()
list(APPEND icons "scalable/apps/${APP_ID}.svg=sheetfind.svg")
foreach(pair IN LISTS icons)
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 installed)
    list(GET pair 1 source)
    set(installed ${OUT}/usr/share/icons/hicolor/${installed})
    if(NOT EXISTS ${installed})
        message(FATAL_ERROR "cmake --install did not put ${installed} in place")
    endif()
    file(SHA256 ${installed} got)
    file(SHA256 ${RES}/${source} expected)
    if(NOT got STREQUAL expected)
        message(FATAL_ERROR "${installed} is not res/${source}")
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
