#pragma once

// Long page-by-page output (a report of thousands of PDF pages) allocates and
// frees the same large buffers for every page. By default the C library hands
// such memory back to the system at once and maps large blocks afresh, so
// every page paid for new, zero-filled memory from the system: a third of the
// processor time of `fln report`. This keeps freed memory for reuse, up to a
// bound; the peak memory stays the same. Call it once, before such work.
void keepFreedMemoryForReuse();
