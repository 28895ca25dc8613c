# SPDX-License-Identifier: MIT
# The manual pages: sheetfind-cli(1) is made at build time by help2man from the
# program's own --help and the --help of every subcommand, so the page and the
# program cannot drift apart; sheetfind(1) is written once and configured with the
# version. Without help2man there is no sheetfind-cli page, and one line says so.
configure_file(${PROJECT_SOURCE_DIR}/res/man/sheetfind.1.in ${PROJECT_BINARY_DIR}/man/sheetfind.1
    @ONLY)

find_program(HELP2MAN help2man)
if(NOT TARGET sheetfind-cli OR CMAKE_CROSSCOMPILING)
    # Nothing to write a page for, or a program that cannot run here to write it.
elseif(HELP2MAN)
    set(SHEETFIND_CLI_MAN ${PROJECT_BINARY_DIR}/man/sheetfind-cli.1)
    add_custom_command(OUTPUT ${SHEETFIND_CLI_MAN}
        COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:sheetfind-cli> -DHELP2MAN=${HELP2MAN}
                -DOUT=${SHEETFIND_CLI_MAN} -P ${PROJECT_SOURCE_DIR}/cmake/make_cli_man.cmake
        DEPENDS sheetfind-cli ${PROJECT_SOURCE_DIR}/cmake/make_cli_man.cmake
        COMMENT "Writing the sheetfind-cli manual page from its --help")
    add_custom_target(manpages ALL DEPENDS ${SHEETFIND_CLI_MAN})
else()
    message(STATUS "No sheetfind-cli manual page: help2man was not found (install help2man)")
endif()
