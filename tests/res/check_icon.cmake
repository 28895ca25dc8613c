# The committed icon files are what res/make_icon.py draws, and they are what the
# platforms expect: a .ico with a 32 x 32 and a 16 x 16 image of 16 colours at 4
# bits per pixel, and PNGs with a 4-bit palette.

function(fail)
    message(FATAL_ERROR ${ARGV})
endfunction()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${PYTHON} ${RES}/make_icon.py ${OUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    fail("make_icon.py failed")
endif()
foreach(name sheetfind.ico sheetfind-32.png sheetfind-16.png)
    file(SHA256 ${OUT}/${name} drawn)
    file(SHA256 ${RES}/${name} committed)
    if(NOT drawn STREQUAL committed)
        fail("res/${name} differs from what make_icon.py draws; run: python3 res/make_icon.py")
    endif()
endforeach()

# ICONDIR: reserved 0, type 1 (icon), two images. Each ICONDIRENTRY: width,
# height, colour count, reserved, planes (2 bytes), bits per pixel (2 bytes).
file(READ ${RES}/sheetfind.ico directory HEX LIMIT 38)
string(SUBSTRING "${directory}" 0 12 header)
string(SUBSTRING "${directory}" 12 16 first)
string(SUBSTRING "${directory}" 44 16 second)
if(NOT header STREQUAL "000001000200")
    fail("sheetfind.ico is not an icon with two images: ${header}")
endif()
if(NOT first STREQUAL "2020100001000400" OR NOT second STREQUAL "1010100001000400")
    fail("sheetfind.ico should hold 32x32 then 16x16, 16 colours, 4 bits: ${first} ${second}")
endif()

# IHDR: width, height (4 bytes each), bit depth 4, colour type 3 (palette).
foreach(size 16 32)
    file(READ ${RES}/sheetfind-${size}.png ihdr HEX OFFSET 16 LIMIT 10)
    math(EXPR hex "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${hex}" 2 -1 hex)
    if(NOT ihdr STREQUAL "000000${hex}000000${hex}0403")
        fail("sheetfind-${size}.png is not a ${size}x${size} 4-bit palette image: ${ihdr}")
    endif()
endforeach()
