fln_add_fuzzer(fuzz_table fuzz_table.cpp LIBS fln_data)
