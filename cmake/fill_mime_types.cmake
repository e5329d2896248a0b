# Fills @VUMO_MIME_TYPES@ in INPUT with what CONVERT prints for OPTION (one MIME type a
# line) and writes OUTPUT, so the desktop files list exactly what the format registry reads.
execute_process(COMMAND ${CONVERT} ${OPTION}
                OUTPUT_VARIABLE types ERROR_VARIABLE error RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${CONVERT} ${OPTION} failed: ${error}")
endif()
string(STRIP "${types}" types)
if(types STREQUAL "")
  message(FATAL_ERROR "${CONVERT} ${OPTION} printed no MIME type")
endif()
string(REPLACE "\n" ";" types "${types}")
set(VUMO_MIME_TYPES "${types};")
configure_file(${INPUT} ${OUTPUT} @ONLY)
