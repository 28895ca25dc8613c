# SPDX-License-Identifier: MIT
# Installs the build under a scratch prefix and builds examples/consumer (SOURCE)
# against it twice, as other projects would: through find_package with
# CMAKE_PREFIX_PATH, and through pkg-config with the compiler alone. Each program
# must print 092G06. The build's compiler and flags (CXX, CXX_FLAGS, LINKER_FLAGS)
# go with it, since the archives carry whatever sanitizer they were built with.
# A copy of Sheetfind installed on the system must not stand in for the scratch one.
# The optional parts this build has (PARTS, such as tables,gis) must load as
# COMPONENTS, and each of their headers (from PROJECT_SOURCE/src/PART) must compile
# with what its target carries.

function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${what} failed:\n${out}")
    endif()
endfunction()

function(check_prints program)
    execute_process(COMMAND ${program} RESULT_VARIABLE status OUTPUT_VARIABLE out)
    if(NOT status EQUAL 0 OR NOT out STREQUAL "092G06\n")
        message(FATAL_ERROR "${program} printed \"${out}\" with status ${status}; expected 092G06")
    endif()
endfunction()

set(prefix ${OUT}/prefix)
file(REMOVE_RECURSE ${OUT})
run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})

run("Configuring the consumer" ${CMAKE_COMMAND} -S ${SOURCE} -B ${OUT}/cmake -G Ninja
    -DCMAKE_MAKE_PROGRAM=${NINJA} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
    -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
file(STRINGS ${OUT}/cmake/CMakeCache.txt package_dir REGEX "^sheetfind_DIR:")
if(NOT package_dir STREQUAL "sheetfind_DIR:PATH=${prefix}/${LIBDIR}/cmake/sheetfind")
    message(FATAL_ERROR "find_package(sheetfind) found ${package_dir}, not the scratch install")
endif()
run("Building the consumer" ${CMAKE_COMMAND} --build ${OUT}/cmake)
check_prints(${OUT}/cmake/consumer)

if(PARTS)
    string(REPLACE "," " " parts "${PARTS}")
    # Each part's installed headers compile with what its target carries.
    set(sources)
    set(targets)
    string(REPLACE "," ";" part_list "${PARTS}")
    foreach(part IN LISTS part_list)
        file(WRITE ${OUT}/parts/${part}.cpp "")
        file(GLOB part_headers ${PROJECT_SOURCE}/src/${part}/*.h)
        foreach(header IN LISTS part_headers)
            cmake_path(GET header FILENAME name)
            file(APPEND ${OUT}/parts/${part}.cpp "#include <sheetfind/${name}>\n")
        endforeach()
        list(APPEND sources ${part}.cpp)
        list(APPEND targets sheetfind::${part})
    endforeach()
    file(WRITE ${OUT}/parts/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(Parts LANGUAGES CXX)
find_package(sheetfind REQUIRED COMPONENTS ${parts})
add_library(parts OBJECT ${sources})
target_link_libraries(parts PRIVATE ${targets})
target_compile_features(parts PRIVATE cxx_std_20)
")
    run("find_package(sheetfind COMPONENTS ${parts})" ${CMAKE_COMMAND} -S ${OUT}/parts
        -B ${OUT}/parts/build -G Ninja -DCMAKE_MAKE_PROGRAM=${NINJA} -DCMAKE_PREFIX_PATH=${prefix}
        -DCMAKE_CXX_COMPILER=${CXX})
    run("Compiling every header of ${parts}" ${CMAKE_COMMAND} --build ${OUT}/parts/build)
endif()

set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
execute_process(COMMAND ${PKG_CONFIG} --static --cflags --libs sheetfind
    RESULT_VARIABLE status OUTPUT_VARIABLE flags ERROR_VARIABLE flags
    OUTPUT_STRIP_TRAILING_WHITESPACE)
# The file finds its prefix from where it lies, so the path holds ../ steps.
string(REGEX MATCH "-I([^ ]*)" include "${flags}")
file(REAL_PATH "${CMAKE_MATCH_1}" include)
file(REAL_PATH ${prefix}/include expected)
if(NOT status EQUAL 0 OR NOT include STREQUAL expected)
    message(FATAL_ERROR "pkg-config sheetfind gave \"${flags}\"; expected -I${prefix}/include")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(linker_flags UNIX_COMMAND "${LINKER_FLAGS}")
run("Compiling the consumer with pkg-config's flags" ${CXX} ${cxx_flags} -std=c++20
    ${SOURCE}/main.cpp ${flags} ${linker_flags} -o ${OUT}/pkg-config-consumer)
check_prints(${OUT}/pkg-config-consumer)
