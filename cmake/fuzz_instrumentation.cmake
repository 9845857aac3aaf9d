# A fuzz build instruments everything it compiles for libFuzzer's coverage and
# for AddressSanitizer and UndefinedBehaviorSanitizer, so that the fuzz
# targets link the library's and the tool's own targets. Build it in a
# directory of its own (the fuzz preset does).
if(NOT KVEL_BUILD_FUZZ)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(WARNING "KVELRead: the fuzz targets need clang for libFuzzer (configure with "
    "-DCMAKE_CXX_COMPILER=clang++, or the fuzz preset): fuzzing switched off")
  set(KVEL_BUILD_FUZZ OFF)
  return()
endif()
set(KVEL_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all)
add_compile_options(-fsanitize=fuzzer-no-link ${KVEL_FUZZ_SANITIZERS})
add_link_options(${KVEL_FUZZ_SANITIZERS})
