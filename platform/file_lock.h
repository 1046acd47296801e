#pragma once

// Exclusive opening between processes: an advisory lock on an open file that
// every writer of our tables takes. Readers take none, so they may read a
// table that another program holds open for writing.

// Tries to take the write lock on the open descriptor without waiting.
// False when another open of the file (in any process) holds it.
bool tryLockForWriting(int fd);
void unlockForWriting(int fd);

// Reads or writes n bytes at an offset of an open descriptor without moving
// its position: one call per record. Returns the bytes moved, -1 on error.
long long readFileAt(int fd, long long offset, char* data, long long n);
long long writeFileAt(int fd, long long offset, const char* data, long long n);
