# The recording summary and the JSON writers over a table file of any content.
fln_add_fuzzer(fuzz_summary ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_summary.cpp LIBS fln_data)
