# Debian's Emscripten (package emscripten, 3.1.6), for the validator page:
#   cmake -S . -B build-web -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten-debian.cmake
# scripts/build-web runs this with the tools, tests and benchmarks off.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Its libc++ 13 lacks a few C++20 pieces that the tool's code and the codec
# use; web/libcxx13_compat.h supplies them to every C++ source.
set(CMAKE_CXX_FLAGS_INIT "-include ${CMAKE_CURRENT_LIST_DIR}/../web/libcxx13_compat.h")
