fln_add_fuzzer(fuzz_mdx fuzz_mdx.cpp LIBS fln_data)
