# SPDX-License-Identifier: MIT
# Compiles res/sheetfind.rc as a Windows build would, then checks the compiled
# resource twice: its raw bytes, and what windres reads back out of them. Given
# PROGRAM, it checks a built program the same way: Sheetfind.exe, or the one NAME
# names (sheetfind-cli for sheetfind-cli.exe). The
# version in it must be the project's (VERSION, MAJOR.MINOR.PATCH), shown as
# MAJOR.MINOR with two digits for the minor number.

function(fail)
    message(FATAL_ERROR ${ARGV})
endfunction()

if(NOT VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    fail("VERSION=${VERSION} is not MAJOR.MINOR.PATCH")
endif()
math(EXPR major "${CMAKE_MATCH_1}")
math(EXPR minor "${CMAKE_MATCH_2}")
math(EXPR patch "${CMAKE_MATCH_3}")
if(minor LESS 10)
    set(text "${major}.0${minor}")
else()
    set(text "${major}.${minor}")
endif()

if(NOT NAME)
    set(NAME Sheetfind)
endif()

# With PROGRAM, the resources are read back out of a built program instead.
if(PROGRAM)
    set(resource ${PROGRAM})
else()
    set(resource ${OUT}/sheetfind.res)
    file(REMOVE_RECURSE ${OUT})
    file(MAKE_DIRECTORY ${OUT})
    # No MinGW compiler is needed: the host's C preprocessor does the same job here.
    execute_process(
        COMMAND ${WINDRES} --preprocessor=${CPP} --include-dir=${RES} --include-dir=${GENERATED}
                --input=${RES}/sheetfind.rc --output-format=res --output=${resource}
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        fail("windres could not compile sheetfind.rc")
    endif()
endif()

# Strings in a compiled resource are UTF-16LE; each key is followed by its value.
set(strings
    ProductName Sheetfind
    FileVersion ${text}
    ProductVersion ${text}
    InternalName ${NAME}
    OriginalFilename ${NAME}.exe)
file(READ ${resource} bytes HEX)
set(from 0)
foreach(text IN LISTS strings)
    string(HEX "${text}" ascii)
    string(REGEX REPLACE "(..)" "\\100" utf16 "${ascii}")
    string(SUBSTRING "${bytes}" ${from} -1 rest)
    string(FIND "${rest}" "${utf16}0000" at)
    if(at EQUAL -1)
        fail("\"${text}\" is missing from the compiled resource, or out of order")
    endif()
    math(EXPR from "${from} + ${at} + 1")
endforeach()

execute_process(
    COMMAND ${WINDRES} --input=${resource} --output-format=rc
    OUTPUT_VARIABLE rc
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    fail("windres could not read the compiled resource back")
endif()

string(REGEX MATCHALL "VALUE \"[A-Za-z]+\", \"[^\"]*\"" values "${rc}")
set(expected
    "VALUE \"ProductName\", \"Sheetfind\""
    "VALUE \"FileVersion\", \"${text}\""
    "VALUE \"ProductVersion\", \"${text}\""
    "VALUE \"InternalName\", \"${NAME}\""
    "VALUE \"OriginalFilename\", \"${NAME}.exe\"")
if(NOT values STREQUAL expected)
    fail("The string table holds\n  ${values}\ninstead of\n  ${expected}")
endif()

foreach(line
        "BLOCK \"040904B0\""                     # US English, Unicode
        "VALUE \"Translation\", 0x409, 1200"
        " FILEVERSION ${major}, ${minor}, ${patch}, 0\n"
        " PRODUCTVERSION ${major}, ${minor}, ${patch}, 0\n"
        " FILEOS 0x4\n"                          # VOS__WINDOWS32
        " FILETYPE 0x1\n"                        # VFT_APP
        # The icon group of two images: width, height, 16 colours, 1 plane, 4 bits.
        "/* Has 2 elements.  */"
        "\"\\040\\040\\020\\000\", 1, 4,"        # 32 x 32
        "\"\\020\\020\\020\\000\", 1, 4,")       # 16 x 16
    string(FIND "${rc}" "${line}" at)
    if(at EQUAL -1)
        fail("The compiled resource lacks ${line}:\n${rc}")
    endif()
endforeach()
