# cmake -DCHMCMD=... -DDIR=<copied sources> -DOUT=<help file> -P CompileHelp.cmake
# Runs chmcmd on DIR/hostvane.hhp and moves the result to OUT. chmcmd may report errors and still
# exit with 0, so the result is checked as well.
file(REMOVE ${DIR}/hostvane.chm)
execute_process(COMMAND ${CHMCMD} --no-html-scan hostvane.hhp
    WORKING_DIRECTORY ${DIR}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${DIR}/hostvane.chm OR out MATCHES "Error" OR err MATCHES "Error")
    message(FATAL_ERROR "chmcmd could not compile the help file (status ${rc}):\n${out}\n${err}")
endif()
get_filename_component(outdir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${outdir})
file(RENAME ${DIR}/hostvane.chm ${OUT})
