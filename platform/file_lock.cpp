#include "platform/file_lock.h"

#include <cerrno>
#include <cstdio>
#include <sys/file.h>

bool tryLockForWriting(int fd)
{
    // flock belongs to the open file description, so a second open of the
    // same file inside this process is refused just like another process.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

void unlockForWriting(int fd)
{
    ::flock(fd, LOCK_UN);
}

bool replaceFile(const char* from, const char* to)
{
    return std::rename(from, to) == 0;
}
