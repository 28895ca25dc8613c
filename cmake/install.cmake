# SPDX-License-Identifier: MIT
# Where `cmake --install` puts the programs: sheetfind and sheetfind-cli in bin/,
# and on freedesktop systems the launcher, the AppStream metainfo and the icons
# under share/, all named by the application id so that the desktop ties them
# together, and the manual pages. This is the only file with install rules.
include(GNUInstallDirs)

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

install(TARGETS sheetfind sheetfind-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian's packages, and so the one `cpack -G DEB` makes, carry their licence as
# share/doc/<package>/copyright and their Debian changelog beside it. Elsewhere
# those names mean nothing, so by default they are installed only on a system of
# Debian's kind, the one that has /etc/debian_version.
# The package's version has no Debian revision, which makes it a native package,
# whose changelog is changelog.gz (changelog.Debian.gz is for one that packages
# another project's release).
if(EXISTS /etc/debian_version)
    set(debian_docs_default ON)
else()
    set(debian_docs_default OFF)
endif()
option(SHEETFIND_INSTALL_DEBIAN_DOCS
    "Install share/doc/sheetfind/copyright and changelog.gz as a Debian package has them"
    ${debian_docs_default})
if(SHEETFIND_INSTALL_DEBIAN_DOCS)
    # The folder is named by the package, sheetfind, not by the project as
    # CMAKE_INSTALL_DOCDIR would be.
    set(SHEETFIND_DEBIAN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/sheetfind)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${SHEETFIND_DEBIAN_DOC_DIR}
        RENAME copyright)
    sheetfind_install_gzipped(${PROJECT_SOURCE_DIR}/res/debian/changelog ${SHEETFIND_DEBIAN_DOC_DIR})
endif()

if(UNIX AND NOT APPLE)
    install(FILES ${PROJECT_SOURCE_DIR}/res/${SHEETFIND_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${SHEETFIND_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    sheetfind_install_gzipped(${PROJECT_BINARY_DIR}/man/sheetfind.1 ${CMAKE_INSTALL_MANDIR}/man1)
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
    foreach(size IN LISTS SHEETFIND_ICON_SIZES)
        install(FILES ${PROJECT_SOURCE_DIR}/res/sheetfind-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${SHEETFIND_APP_ID}.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/res/sheetfind.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${SHEETFIND_APP_ID}.svg)
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
