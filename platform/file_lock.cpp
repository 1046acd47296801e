#include "platform/file_lock.h"

#include <cerrno>
#include <sys/file.h>
#include <unistd.h>

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

long long readFileAt(int fd, long long offset, char* data, long long n)
{
    long long done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, data + done, size_t(n - done), off_t(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        done += r;
    }
    return done;
}

long long writeFileAt(int fd, long long offset, const char* data, long long n)
{
    long long done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fd, data + done, size_t(n - done), off_t(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return -1;
        done += r;
    }
    return done;
}
