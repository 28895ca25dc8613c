# SPDX-License-Identifier: MIT
# Writes sheetfind-cli(1): help2man reads the overview from `sheetfind-cli --help`,
# and a section for each subcommand is made from its own --help.
execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE overview RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "sheetfind-cli --help failed")
endif()
# The subcommands are the lines of the overview indented by two under "Commands".
string(REGEX MATCHALL "\n  [a-z]+  " lines "${overview}")
set(include "[SUBCOMMANDS]\n")
foreach(line IN LISTS lines)
    string(STRIP "${line}" command)
    execute_process(COMMAND ${CLI} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "sheetfind-cli ${command} --help failed")
    endif()
    # Backslashes and lines starting with a dot or a quote would be read as roff.
    string(REPLACE "\\" "\\e" help "${help}")
    string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" help "${help}")
    string(APPEND include ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
get_filename_component(dir ${OUT} DIRECTORY)
file(WRITE ${dir}/sheetfind-cli.h2m "${include}\n[SEE ALSO]\n.BR sheetfind (1)\n")
execute_process(
    COMMAND ${HELP2MAN} --no-info --no-discard-stderr
            --name "which Canadian NTS map sheet covers a point, for batches and GIS work"
            --include ${dir}/sheetfind-cli.h2m --output ${OUT} ${CLI}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed")
endif()
