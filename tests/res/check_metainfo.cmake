# SPDX-License-Identifier: MIT
# The configured metainfo (METAINFO) passes AppStream's validator with nothing
# above a pedantic hint: --strict fails on warnings and on infos too. The
# pedantic hint left is the upper case in the id, which is the reverse domain
# name that the launcher, the icons and the desktop already share.
#
# The validator does not look at what the metainfo claims about the tree, so
# this does: the licence is the one in LICENSE, and the screenshot's stated
# size is that of docs/window.png (ROOT), the picture the site serves.

function(fail)
    message(FATAL_ERROR ${ARGV})
endfunction()

execute_process(COMMAND ${APPSTREAMCLI} validate --pedantic --strict --no-net ${METAINFO}
    OUTPUT_VARIABLE report ERROR_VARIABLE report RESULT_VARIABLE status)
message("${report}")
if(NOT status EQUAL 0)
    fail("appstreamcli found more than pedantic hints in ${METAINFO}")
endif()

file(READ ${METAINFO} metainfo)
file(STRINGS ${ROOT}/LICENSE licence LIMIT_COUNT 1)
string(REGEX MATCH "<project_license>([^<]*)</project_license>" ignored "${metainfo}")
if(NOT "${CMAKE_MATCH_1} License" STREQUAL licence)
    fail("The metainfo's project_license \"${CMAKE_MATCH_1}\" is not LICENSE's \"${licence}\"")
endif()

if(NOT metainfo MATCHES "<image type=\"source\" width=\"([0-9]+)\" height=\"([0-9]+)\">[^<]*/([^/<]+)</image>")
    fail("The metainfo has no source screenshot with a width and a height")
endif()
set(width ${CMAKE_MATCH_1})
set(height ${CMAKE_MATCH_2})
set(picture ${ROOT}/docs/${CMAKE_MATCH_3})
if(NOT EXISTS ${picture})
    fail("The metainfo's screenshot ${picture} is not in docs/")
endif()
# IHDR: the width and the height, 4 bytes each, big-endian.
file(READ ${picture} ihdr HEX OFFSET 16 LIMIT 8)
string(SUBSTRING "${ihdr}" 0 8 w)
string(SUBSTRING "${ihdr}" 8 8 h)
math(EXPR w "0x${w}")
math(EXPR h "0x${h}")
if(NOT w EQUAL width OR NOT h EQUAL height)
    fail("${picture} is ${w} x ${h}, but the metainfo says ${width} x ${height}")
endif()
