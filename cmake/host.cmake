# Native build of the portable code under AddressSanitizer and UndefinedBehaviorSanitizer;
# libFuzzer targets when the compiler is clang.
set(VORLANE_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${VORLANE_SANITIZE})
add_link_options(${VORLANE_SANITIZE})

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(VORLANE_FUZZ ON)
  # Coverage for libFuzzer in every library the fuzz targets link.
  add_compile_options(-fsanitize=fuzzer-no-link)
else()
  set(VORLANE_FUZZ OFF)
endif()

find_package(GTest REQUIRED)
add_library(vorlane_gtest_main INTERFACE)
target_link_libraries(vorlane_gtest_main INTERFACE GTest::gtest_main GTest::gtest)

# Adds a libFuzzer target and a short, bounded run of it as a test. The seed corpus stays
# untouched: new inputs go to a directory in the build tree.
function(vorlane_add_fuzzer name)
  cmake_parse_arguments(F "" "SEEDS;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT VORLANE_FUZZ)
    return()
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 20)
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            ${PROJECT_SOURCE_DIR}/tests/fuzz/run-fuzzer.sh $<TARGET_FILE:${name}> ${corpus}
            ${F_SEEDS} ${F_SECONDS})
endfunction()
