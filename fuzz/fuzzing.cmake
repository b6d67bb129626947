# The fuzz build (-DOVRA_FUZZ=ON): clang's libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer. Every library is built with the fuzzers' coverage
# instrumentation; only the targets in fuzz/ link libFuzzer's main.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_C_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "OVRA_FUZZ needs clang: configure with CC=clang CXX=clang++")
endif()
if(OVRA_TSAN)
  message(FATAL_ERROR "OVRA_FUZZ and OVRA_TSAN exclude each other: one sanitizer runtime per build")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)
# The fuzz targets are CTest tests (label "fuzz") even in a build without the other tests.
enable_testing()
