# GoogleTest for the cross build, compiled from Debian's source package
# (googletest, in /usr/src/googletest) with the project's compiler.
if(NOT TARGET GTest::gtest)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "/usr/src/googletest is missing: install the googletest package")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Static, whatever kind KVELRead is: a GoogleTest DLL would bring a second
  # copy of the unwinder beside the one linked into each test.
  set(kvel_shared_libs ${BUILD_SHARED_LIBS})
  set(BUILD_SHARED_LIBS OFF)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(BUILD_SHARED_LIBS ${kvel_shared_libs})
endif()
