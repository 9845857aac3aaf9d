# Cross build for 64-bit Windows with Debian's MinGW-w64 (packages
# g++-mingw-w64-x86-64 and mingw-w64):
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# When Wine is installed, CTest runs the cross-built tests under it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# of this compiler lacks.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A host ships KVELRead.dll alone: the compiler's runtime (libgcc, libstdc++,
# winpthread) is linked in statically; the DLL imports only system DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# The packages the Linux build finds installed (GoogleTest, nlohmann-json,
# CLI11) are built or reached from Debian's sources and headers instead.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw/GTest CACHE PATH "GoogleTest for the cross build")
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw/nlohmann_json CACHE PATH "nlohmann-json for the cross build")
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw/CLI11 CACHE PATH "CLI11 for the cross build")

find_program(KVEL_WINE NAMES wine wine64)
if(KVEL_WINE)
  # Through a wrapper that tries again a start that Wine itself failed.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${KVEL_WINE})
endif()

# GoogleTest lists the cross-built tests when CTest runs them, under Wine,
# so that building needs no Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
