fln_add_benchmark(bench_statistics SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_statistics.cpp
  LIBS fln_data)
