# A full download from the simulated instrument at the line rate.
fln_add_benchmark(bench_download SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_download.cpp
                  LIBS fln_device fln_sim Qt6::Test)
