# The platform layer: how the reader state is set up when the library is
# loaded, and where the message texts live.
#
# Windows: the loader calls DllMain, which keeps the module handle; the texts
# are a STRINGTABLE resource of that module, generated from
# resources/messages.def and read with LoadStringA.
# Elsewhere: a static initialiser stands in for the entry point and the texts
# are compiled in from the same messages.def.
# The sources of each platform are in the library's list, in CMakeLists.txt.
if(WIN32)
  enable_language(RC)
  set(kvel_string_table ${CMAKE_CURRENT_BINARY_DIR}/messages.rc)
  add_custom_command(OUTPUT ${kvel_string_table}
    COMMAND ${CMAKE_COMMAND}
            -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/resources/messages.def
            -DOUTPUT=${kvel_string_table}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/resources/string_table.cmake
    DEPENDS resources/messages.def resources/string_table.cmake
    COMMENT "Generating the message string table"
    VERBATIM)
  target_sources(KVELReadObjects PRIVATE ${kvel_string_table})
  # Executables that link the objects rather than the DLL get the string
  # table with them and need the entry point called for them.
  target_sources(KVELReadObjects INTERFACE
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/src/platform/windows/attach_executable.cpp>)
  target_link_libraries(KVELReadObjects PUBLIC user32)
  target_link_libraries(KVELRead PRIVATE user32)
  # KVELRead.dll with the import library libKVELRead.dll.a: the names a host
  # expects, with no version suffix. KVELRead.def lists the exports for
  # toolchains that make their own import library from it.
  set_target_properties(KVELRead PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
  target_link_options(KVELRead PRIVATE "LINKER:--output-def,$<TARGET_FILE_DIR:KVELRead>/KVELRead.def")

  # Cross-built programs that link the DLL (the tool, the C header test) run
  # under Wine at build and test time from their own directories: put the
  # DLL's directory on Wine's search path, on Z:, Wine's drive for /. Forward
  # slashes, which Windows accepts, survive the shell of a build rule.
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env "WINEPATH=Z:${CMAKE_CURRENT_BINARY_DIR}" ${CMAKE_CROSSCOMPILING_EMULATOR}
      PARENT_SCOPE)
  endif()
endif()
