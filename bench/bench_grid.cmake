fln_add_benchmark(bench_grid SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_grid.cpp
  LIBS fln_app fln_view fln_test_support)
