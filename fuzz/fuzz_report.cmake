# A prepared report (.flnr) as the preview's "Открыть" reads it.
fln_add_fuzzer(fuzz_report ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_report.cpp LIBS fln_components)
