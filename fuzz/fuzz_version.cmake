fln_add_fuzzer(fuzz_version ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_version.cpp LIBS fln_platform_core)
