# Replays a fuzz target's corpus with a temporary folder of its own
# (TMPDIR), and fails when the target fails or leaves anything in it.
# -DFUZZER=<target file> -DCORPUS=<folder> -DTMP=<folder> [-DLIBFUZZER=ON]
file(REMOVE_RECURSE "${TMP}")
file(MAKE_DIRECTORY "${TMP}")
set(ENV{TMPDIR} "${TMP}")
# Qt's windowless platform makes a runtime folder in the temporary folder
# when none is given: that one is Qt's, not the target's.
file(MAKE_DIRECTORY "${TMP}-runtime")
file(CHMOD "${TMP}-runtime" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(ENV{XDG_RUNTIME_DIR} "${TMP}-runtime")
if(LIBFUZZER)
  execute_process(COMMAND "${FUZZER}" -runs=0 "${CORPUS}" RESULT_VARIABLE result)
else()
  execute_process(COMMAND "${FUZZER}" "${CORPUS}" RESULT_VARIABLE result)
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed: ${result}")
endif()
file(GLOB left "${TMP}/*" "${TMP}/.*")
if(left)
  message(FATAL_ERROR "${FUZZER} left behind in its temporary folder: ${left}")
endif()
file(REMOVE_RECURSE "${TMP}" "${TMP}-runtime")
