fln_add_benchmark(bench_chart SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_chart.cpp
  LIBS fln_charts fln_view fln_test_support)
