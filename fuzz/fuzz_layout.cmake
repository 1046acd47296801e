# The stored column layout's text form (the "Table_1" settings value).
fln_add_fuzzer(fuzz_layout ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_layout.cpp LIBS fln_components)
