fln_add_benchmark(bench_export SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_export.cpp
  LIBS fln_output)
