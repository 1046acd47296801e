fln_add_benchmark(bench_time_order SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_time_order.cpp
  LIBS fln_data)
