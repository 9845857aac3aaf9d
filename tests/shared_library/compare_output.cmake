# Writes the sample files, runs the run-time loading host on them (and on a
# file that does not exist) and compares what it prints with the expected
# lines, exactly. Line ends aside: on Windows the host writes CRLF.
#   cmake [-DEMULATOR=wine] -DWRITER=... -DHOST=... -DLIBRARY=... \
#         -DWORK_DIR=... -DEXPECTED=... -P compare_output.cmake
foreach(var WRITER HOST LIBRARY WORK_DIR EXPECTED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND ${EMULATOR} "${WRITER}" .
  WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the sample writer failed: ${status}")
endif()

file(GLOB samples RELATIVE "${WORK_DIR}" "${WORK_DIR}/*.kvmf")
list(SORT samples)
list(APPEND samples missing.kvmf)
execute_process(COMMAND ${EMULATOR} "${HOST}" "${LIBRARY}" ${samples}
  WORKING_DIRECTORY "${WORK_DIR}"
  OUTPUT_VARIABLE actual ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the host failed (${status}): ${errors}")
endif()
string(REPLACE "\r\n" "\n" actual "${actual}")
file(WRITE "${WORK_DIR}/actual.txt" "${actual}")

file(READ "${EXPECTED}" expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "The host printed other lines than ${EXPECTED}:\n${actual}"
                      "(saved as ${WORK_DIR}/actual.txt)")
endif()
message(STATUS "The host printed the expected lines for ${samples}")
