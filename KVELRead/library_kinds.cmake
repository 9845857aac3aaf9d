# KVELRead, shared or static as BUILD_SHARED_LIBS says, is the target
# KVELRead::KVELRead in the build tree as in an install. The other kind is
# built beside it when asked for (KVEL_ALSO_STATIC, for the -dev package), or
# when the tests need a shared library that a host can load.
#
# A static library is one relocatable object in an archive: a host that uses
# any export then links all of the library, the static initialiser that sets
# up the reader state included. As loose objects, the linker would drop that
# one, which nothing refers to, and every message text would come out empty.

if(WIN32 AND NOT BUILD_SHARED_LIBS)
  message(WARNING "KVELRead: on Windows the library is a DLL, whose module holds the "
    "message texts; building it shared")
endif()
if(WIN32 OR BUILD_SHARED_LIBS)
  set(kvel_kind SHARED)
else()
  set(kvel_kind STATIC)
endif()

function(kvel_add_library name kind)
  if(kind STREQUAL "SHARED")
    add_library(${name} SHARED $<TARGET_OBJECTS:KVELReadObjects>)
    set_target_properties(${name} PROPERTIES
      VERSION ${PROJECT_VERSION}
      SOVERSION ${PROJECT_VERSION_MAJOR})
  else()
    set(combined ${CMAKE_CURRENT_BINARY_DIR}/${name}.o)
    add_custom_command(OUTPUT ${combined}
      COMMAND ${CMAKE_CXX_COMPILER} -r -nostdlib -o ${combined} $<TARGET_OBJECTS:KVELReadObjects>
      DEPENDS KVELReadObjects $<TARGET_OBJECTS:KVELReadObjects>
      COMMENT "Combining the objects of the static KVELRead"
      COMMAND_EXPAND_LISTS VERBATIM)
    add_library(${name} STATIC ${combined})
    set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX)
    # The header's export macro: no dllimport for a static library.
    target_compile_definitions(${name} INTERFACE KVELREAD_STATIC)
  endif()
  if(TARGET Threads::Threads)
    target_link_libraries(${name} PRIVATE Threads::Threads)
  endif()
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME KVELRead
    PUBLIC_HEADER ${CMAKE_CURRENT_SOURCE_DIR}/include/KVELRead.h)
  target_include_directories(${name} INTERFACE
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endfunction()

kvel_add_library(KVELRead ${kvel_kind})
add_library(KVELRead::KVELRead ALIAS KVELRead)
set(KVEL_LIBRARY_TARGETS KVELRead)

if(kvel_kind STREQUAL "SHARED")
  set(KVEL_SHARED_TARGET KVELRead)
  if(KVEL_ALSO_STATIC AND NOT WIN32)
    kvel_add_library(KVELRead_static STATIC)
    add_library(KVELRead::KVELRead_static ALIAS KVELRead_static)
    list(APPEND KVEL_LIBRARY_TARGETS KVELRead_static)
  endif()
elseif(KVEL_BUILD_TESTS)
  # Not installed: for the tests that load the library as a host does.
  kvel_add_library(KVELRead_shared SHARED)
  set(KVEL_SHARED_TARGET KVELRead_shared)
endif()
set(KVEL_SHARED_TARGET ${KVEL_SHARED_TARGET} PARENT_SCOPE)
