# Where `cmake --install` puts the programs: sheetfind and sheetfind-cli in bin/,
# and on freedesktop systems the launcher, the AppStream metainfo and the icons
# under share/, all named by the application id so that the desktop ties them
# together. This is the only file with install rules.
include(GNUInstallDirs)

set(SHEETFIND_APP_ID ca.sheetfind.Sheetfind)

# The metainfo names the release, so it is configured from the project's version.
set(SHEETFIND_METAINFO ${SHEETFIND_GENERATED_DIR}/${SHEETFIND_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/res/${SHEETFIND_APP_ID}.metainfo.xml.in ${SHEETFIND_METAINFO}
    @ONLY)

install(TARGETS sheetfind sheetfind-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX AND NOT APPLE)
    install(FILES ${PROJECT_SOURCE_DIR}/res/${SHEETFIND_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${SHEETFIND_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 32)
        install(FILES ${PROJECT_SOURCE_DIR}/res/sheetfind-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${SHEETFIND_APP_ID}.png)
    endforeach()
endif()

# The Python package where Debian's python3 looks for packages of the system under a
# prefix: lib/python3/dist-packages (/usr/lib/python3/dist-packages for /usr).
if(TARGET _sheetfind)
    set(SHEETFIND_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE STRING
        "Where cmake --install puts the sheetfind package, relative to the prefix")
    install(TARGETS _sheetfind LIBRARY DESTINATION ${SHEETFIND_PYTHON_INSTALL_DIR}/sheetfind)
    install(FILES ${SHEETFIND_PACKAGE_SOURCES_INSTALL}
        DESTINATION ${SHEETFIND_PYTHON_INSTALL_DIR}/sheetfind)
endif()
