fln_add_benchmark(bench_period SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_period.cpp
  LIBS fln_data)
