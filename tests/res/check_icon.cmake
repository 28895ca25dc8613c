# SPDX-License-Identifier: MIT
# The committed icon files are what res/make_icon.py draws, and they are what the
# platforms expect: a .ico with a 32 and a 16 px image of 16 colours at 4 bits
# per pixel, PNGs with a 4-bit palette at every hicolor size the desktop
# installs, and an SVG that a desktop's renderer draws as the 256 px PNG.
# RSVG_CONVERT and COMPARE (ImageMagick) are optional: without them the last
# check is skipped.

function(fail)
    message(FATAL_ERROR ${ARGV})
endfunction()

set(png_sizes 16 24 32 48 64 128 256)

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${PYTHON} ${RES}/make_icon.py ${OUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    fail("make_icon.py failed")
endif()
set(names sheetfind.ico sheetfind.svg)
foreach(size IN LISTS png_sizes)
    list(APPEND names sheetfind-${size}.png)
endforeach()
file(GLOB drawn_names RELATIVE ${OUT} ${OUT}/*)
list(SORT drawn_names)
set(expected_names ${names})
list(SORT expected_names)
if(NOT drawn_names STREQUAL expected_names)
    fail("make_icon.py wrote ${drawn_names}; expected ${expected_names}")
endif()
foreach(name IN LISTS names)
    file(SHA256 ${OUT}/${name} drawn)
    file(SHA256 ${RES}/${name} committed)
    if(NOT drawn STREQUAL committed)
        fail("res/${name} differs from what make_icon.py draws; run: python3 res/make_icon.py")
    endif()
endforeach()

# ICONDIR: reserved 0, type 1 (icon), two images. Each ICONDIRENTRY: width,
# height (one byte each, 0 for 256), colour count, reserved, planes (2 bytes),
# bits per pixel (2 bytes), then the image's length and offset.
file(READ ${RES}/sheetfind.ico directory HEX LIMIT 70)
string(SUBSTRING "${directory}" 0 12 header)
if(NOT header STREQUAL "000001000200")
    fail("sheetfind.ico is not an icon with two images: ${header}")
endif()
set(entry 0)
foreach(side 20 10)
    math(EXPR at "12 + 32 * ${entry}")
    string(SUBSTRING "${directory}" ${at} 16 found)
    if(NOT found STREQUAL "${side}${side}100001000400")
        fail("sheetfind.ico image ${entry} should be 0x${side} px square, 16 colours, 4 bits: "
             "${found}")
    endif()
    math(EXPR entry "${entry} + 1")
endforeach()

# IHDR: width, height (4 bytes each), bit depth 4, colour type 3 (palette).
foreach(size IN LISTS png_sizes)
    file(READ ${RES}/sheetfind-${size}.png ihdr HEX OFFSET 16 LIMIT 10)
    # The side as 8 hexadecimal digits, as file(READ ... HEX) shows it.
    math(EXPR hex "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(REPLACE "0x" "00000000" hex "${hex}")
    string(LENGTH "${hex}" length)
    math(EXPR from "${length} - 8")
    string(SUBSTRING "${hex}" ${from} 8 side)
    if(NOT ihdr STREQUAL "${side}${side}0403")
        fail("sheetfind-${size}.png is not a ${size}x${size} 4-bit palette image: ${ihdr}")
    endif()
endforeach()

# The SVG is written by other code than the pixels: librsvg, which GNOME uses to
# draw scalable icons, must give the 256 px PNG pixel for pixel.
if(RSVG_CONVERT AND COMPARE)
    execute_process(
        COMMAND ${RSVG_CONVERT} --width=256 --height=256 --output=${OUT}/rendered-256.png
                ${RES}/sheetfind.svg
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        fail("rsvg-convert could not draw sheetfind.svg")
    endif()
    # AE: the number of pixels that differ; compare prints it on standard error.
    execute_process(
        COMMAND ${COMPARE} -metric AE ${OUT}/rendered-256.png ${RES}/sheetfind-256.png null:
        ERROR_VARIABLE differing RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT differing STREQUAL "0")
        fail("sheetfind.svg drawn at 256 px differs from sheetfind-256.png in ${differing} pixels")
    endif()
else()
    message(STATUS "rsvg-convert or compare is missing: the SVG is not drawn")
endif()
