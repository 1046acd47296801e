fln_add_benchmark(bench_summary SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_summary.cpp
  LIBS fln_data)
