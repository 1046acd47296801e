#pragma once

// Memory that runs out, for any test: while a MemoryLimit lives, this
// process's address space cannot grow by more than `bytes` beyond what it
// holds now; an allocation past it fails (std::bad_alloc) instead of growing
// until the system ends the process. AddressSanitizer reserves terabytes of
// address space for itself: under it there is no such limit (available()).

#include <QFile>
#include <QtGlobal>

#include <sys/resource.h>
#include <unistd.h>

class MemoryLimit
{
public:
    explicit MemoryLimit(qint64 bytes)
    {
        getrlimit(RLIMIT_AS, &m_old);
        rlimit l = m_old;
        l.rlim_cur = rlim_t(addressSpace() + bytes);
        if (setrlimit(RLIMIT_AS, &l) != 0)
            qFatal("setrlimit(RLIMIT_AS) failed");
    }
    ~MemoryLimit() { setrlimit(RLIMIT_AS, &m_old); }
    MemoryLimit(const MemoryLimit&) = delete;
    MemoryLimit& operator=(const MemoryLimit&) = delete;

    static bool available()
    {
#if defined(__SANITIZE_ADDRESS__)
        return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
        return false;
#endif
#endif
        return true;
    }

private:
    // The address space in use, from /proc/self/statm (pages).
    static qint64 addressSpace()
    {
        QFile f(QStringLiteral("/proc/self/statm"));
        if (!f.open(QIODevice::ReadOnly))
            qFatal("no /proc/self/statm");
        return f.readLine().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE);
    }

    rlimit m_old{};
};
