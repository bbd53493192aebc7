# The patch applier's benchmark and the fuzz seed writer: host only. The benchmark compiles the
# applier itself, without the sanitizers the host build puts everywhere, so that its figures
# are those of an optimised build.
if(NOT WIN32)
  set(bspatch_dir ${PROJECT_SOURCE_DIR}/bspatch)
  set(replace_dir ${PROJECT_SOURCE_DIR}/replace)
  add_executable(bench_bspatch bspatch.cpp ${bspatch_dir}/bspatch.cpp ${bspatch_dir}/new_file.cpp
    ${replace_dir}/replace_file.cpp)
  target_include_directories(bench_bspatch PRIVATE ${bspatch_dir} ${replace_dir} ${PROJECT_SOURCE_DIR}/tests/unit)
  target_compile_definitions(bench_bspatch PRIVATE _FILE_OFFSET_BITS=64)
  target_link_libraries(bench_bspatch PRIVATE BZip2::BZip2)
  set_target_properties(bench_bspatch PROPERTIES COMPILE_OPTIONS "-O2;-Wall;-Wextra" LINK_OPTIONS "")

  add_executable(bspatch_seeds bspatch_seeds.cpp)
  target_include_directories(bspatch_seeds PRIVATE ${PROJECT_SOURCE_DIR}/tests/unit)
  target_link_libraries(bspatch_seeds PRIVATE BZip2::BZip2)
endif()
