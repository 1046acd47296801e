#include "platform/unseen_file.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

// The stand-in's name for the signal handlers: one file at a time.
char g_pending[4096];
std::atomic<bool> g_pendingSet{false};

void removePendingAndDie(int signalNumber)
{
    if (g_pendingSet.load())
        ::unlink(g_pending);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void watchSignals(const QByteArray& name)
{
    if (size_t(name.size()) >= sizeof g_pending)
        return;
    std::memcpy(g_pending, name.constData(), size_t(name.size()) + 1);
    g_pendingSet.store(true);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old = {};
        ::sigaction(s, nullptr, &old);
        // A handler the program set itself stays; it removes the file by
        // unwinding. Only the default deaths are taken over.
        if (old.sa_handler == SIG_DFL)
            ::signal(s, removePendingAndDie);
    }
}

void unwatchSignals()
{
    g_pendingSet.store(false);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old = {};
        ::sigaction(s, nullptr, &old);
        if (old.sa_handler == removePendingAndDie)
            ::signal(s, SIG_DFL);
    }
}

} // namespace

UnseenFile::UnseenFile(const QString& folder)
{
    const QByteArray dir = QFile::encodeName(QDir(folder).absolutePath());
#ifdef O_TMPFILE
    m_fd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd >= 0) {
        m_path = QStringLiteral("/proc/self/fd/%1").arg(m_fd);
        return;
    }
    const int e = errno;
    // Only a file system without unnamed files falls back to a named one.
    if (e != EOPNOTSUPP && e != EISDIR && e != EINVAL)
        throw AppError(
            QStringLiteral("Не удается создать файл в папке %1: %2")
                .arg(QDir::toNativeSeparators(QString::fromLocal8Bit(dir)), errnoText(e)));
#endif
    QByteArray name = dir + "/.fln-XXXXXX";
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw AppError(
            QStringLiteral("Не удается создать файл в папке %1: %2")
                .arg(QDir::toNativeSeparators(QString::fromLocal8Bit(dir)), errnoText(errno)));
    m_namedPath = QFile::decodeName(name);
    m_path = m_namedPath;
    watchSignals(name);
}

UnseenFile::~UnseenFile()
{
    discard();
}

void UnseenFile::discard()
{
    if (!m_published && !m_namedPath.isEmpty()) {
        ::unlink(QFile::encodeName(m_namedPath).constData());
        unwatchSignals();
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void UnseenFile::publish(const QString& target)
{
    const QByteArray to = QFile::encodeName(target);
    const auto fail = [&](int e) {
        return AppError(QStringLiteral("Не удается записать файл %1: %2")
                            .arg(QDir::toNativeSeparators(target), errnoText(e)));
    };
    // The table gets the usual rights of a new file, or those of the file it replaces.
    struct stat old = {};
    mode_t mode = 0666;
    if (::stat(to.constData(), &old) == 0)
        mode = old.st_mode & 07777;
    else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(m_fd, mode);

    if (m_namedPath.isEmpty()) {
        // Linked in under a private name, then put in place in one step: the
        // private name exists only between these two calls.
        const QByteArray from = QFile::encodeName(m_path);
        QByteArray link = QFile::encodeName(QFileInfo(target).absolutePath()) + "/.fln-XXXXXX";
        for (int attempt = 0;; ++attempt) {
            QByteArray candidate = link;
            candidate.replace("XXXXXX", QByteArray::number(::getpid() * 31 + attempt, 36));
            if (::linkat(AT_FDCWD, from.constData(), AT_FDCWD, candidate.constData(),
                         AT_SYMLINK_FOLLOW) == 0) {
                link = candidate;
                break;
            }
            if (errno != EEXIST || attempt > 100)
                throw fail(errno);
        }
        watchSignals(link);
        const int rc = ::rename(link.constData(), to.constData());
        const int e = errno;
        unwatchSignals();
        if (rc != 0) {
            ::unlink(link.constData());
            throw fail(e);
        }
    } else if (::rename(QFile::encodeName(m_namedPath).constData(), to.constData()) != 0) {
        throw fail(errno);
    } else {
        unwatchSignals();
    }
    m_published = true;
    ::close(m_fd);
    m_fd = -1;
}

bool UnseenFile::publishNew(const QString& target)
{
    const QByteArray to = QFile::encodeName(target);
    // The rights of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_fd, 0666 & ~mask);
    // A link takes a name only when it is free: a file that got it meanwhile
    // is never replaced.
    const QByteArray from = QFile::encodeName(m_namedPath.isEmpty() ? m_path : m_namedPath);
    if (::linkat(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) != 0) {
        const int e = errno;
        if (e == EEXIST)
            return false;
        throw AppError(QStringLiteral("Не удается записать файл %1: %2")
                           .arg(QDir::toNativeSeparators(target), errnoText(e)));
    }
    if (!m_namedPath.isEmpty()) {
        ::unlink(QFile::encodeName(m_namedPath).constData());
        unwatchSignals();
    }
    m_published = true;
    ::close(m_fd);
    m_fd = -1;
    return true;
}

void UnseenFile::writeWhole(const QString& target, const QByteArray& bytes)
{
    UnseenFile file(QFileInfo(target).absolutePath());
    const auto fail = [&](int e) {
        return AppError(QStringLiteral("Не удалось записать файл %1: %2")
                            .arg(QDir::toNativeSeparators(target), errnoText(e)));
    };
    const char* at = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(file.m_fd, at, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw fail(n < 0 ? errno : ENOSPC);
        at += n;
        left -= n;
    }
    // A disk that defers its blocks reports a full disk or a failing device
    // only here.
    if (::fsync(file.m_fd) != 0)
        throw fail(errno);
    file.publish(target);
}
