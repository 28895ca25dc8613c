# SPDX-License-Identifier: MIT
# Fails when any C++ source of the project differs from what clang-format makes of it.
file(GLOB_RECURSE sources
    ${ROOT}/src/*.cpp ${ROOT}/src/*.h
    ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
    ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h
    ${ROOT}/fuzz/*.cpp ${ROOT}/fuzz/*.h)
execute_process(
    COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "clang-format would change the files above; run: clang-format -i <file>")
endif()
