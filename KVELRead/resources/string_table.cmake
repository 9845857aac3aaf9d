# Writes the Windows resource script with the library's STRINGTABLE, from
# the same message list that the other platforms compile in.
# Usage: cmake -DINPUT=messages.def -DOUTPUT=messages.rc -P string_table.cmake
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DINPUT=messages.def -DOUTPUT=messages.rc -P string_table.cmake")
endif()

file(STRINGS "${INPUT}" lines)
set(body "")
set(count 0)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^KVEL_MESSAGE")
    continue()
  endif()
  # Texts are plain: no quote or backslash, so they read the same in C and
  # in a resource script. Anything else is refused rather than mistranslated.
  if(NOT line MATCHES "^KVEL_MESSAGE\\(([0-9]+), \"([^\"\\\\]*)\"\\)$")
    message(FATAL_ERROR "${INPUT}: cannot translate: ${line}")
  endif()
  string(APPEND body "    ${CMAKE_MATCH_1}, \"${CMAKE_MATCH_2}\"\n")
  math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "${INPUT}: no KVEL_MESSAGE lines")
endif()

file(WRITE "${OUTPUT}.tmp"
  "// Generated from messages.def by string_table.cmake; do not edit.\n"
  "// ${count} message texts, loaded by id with LoadStringA.\n"
  "LANGUAGE 0x09, 0x01  // English (United States)\n"
  "STRINGTABLE\n"
  "BEGIN\n"
  "${body}"
  "END\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
