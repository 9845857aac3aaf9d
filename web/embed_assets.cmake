# Writes a C++ header holding the timeline's script and style as string
# literals, so that `kvel view` embeds the very files the web page loads.
#   cmake -DJS=timeline.js -DCSS=timeline.css -DOUTPUT=timeline_assets.h -P embed_assets.cmake
file(READ "${JS}" js)
file(READ "${CSS}" css)
foreach(text IN ITEMS "${js}" "${css}")
  string(FIND "${text}" ")kvelasset\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "an asset holds the raw string's closing delimiter")
  endif()
endforeach()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from web/timeline.js and web/timeline.css by web/embed_assets.cmake.\n"
  "#pragma once\n\nnamespace kvel_tool {\n\n"
  "inline constexpr char kTimelineJs[] = R\"kvelasset(${js})kvelasset\";\n\n"
  "inline constexpr char kTimelineCss[] = R\"kvelasset(${css})kvelasset\";\n\n"
  "}  // namespace kvel_tool\n")
configure_file("${OUTPUT}.tmp" "${OUTPUT}" COPYONLY)
file(REMOVE "${OUTPUT}.tmp")
