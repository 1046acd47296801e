# `fln info` of a big table, a whole process, against `cat` of the same file.
fln_add_benchmark(bench_info SOURCES bench_info.cpp LIBS fln_data)
target_compile_definitions(bench_info PRIVATE FLN_EXECUTABLE="$<TARGET_FILE:fln>")
add_dependencies(bench_info fln)
