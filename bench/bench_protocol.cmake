# `fln protocol` beside `fln summary --json` of the same tables.
fln_add_benchmark(bench_protocol SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_protocol.cpp
  LIBS fln_data)
target_compile_definitions(bench_protocol PRIVATE FLN_EXECUTABLE="$<TARGET_FILE:fln>")
add_dependencies(bench_protocol fln)
