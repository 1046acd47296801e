fln_add_benchmark(bench_export SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_export.cpp
  LIBS fln_output)
target_compile_definitions(bench_export PRIVATE FLN_EXECUTABLE="$<TARGET_FILE:fln>")
add_dependencies(bench_export fln)
