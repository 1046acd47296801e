# The printed report against LibreOffice printing the same rows to PDF.
fln_add_benchmark(bench_report SOURCES bench_report.cpp LIBS fln_output fln_data)
target_compile_definitions(bench_report PRIVATE FLN_EXECUTABLE="$<TARGET_FILE:fln>")
add_dependencies(bench_report fln)
