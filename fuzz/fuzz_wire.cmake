# The download's chunk handler: random streams, random chunk splits.
fln_add_fuzzer(fuzz_wire ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_wire.cpp LIBS fln_device_protocol)
