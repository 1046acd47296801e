#include "platform/unseen_file.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
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

AppError writeFailure(const QString& fileName, const QString& reason)
{
    return AppError(QStringLiteral("Не удалось записать файл %1: %2")
                        .arg(QDir::toNativeSeparators(fileName), reason));
}

AppError writeFailure(const QString& fileName, int error)
{
    return writeFailure(fileName, errnoText(error));
}

UnseenFile::UnseenFile(const QString& folder, const QString& target)
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
    if (e != EOPNOTSUPP && e != EISDIR && e != EINVAL) {
        if (!target.isEmpty())
            throw writeFailure(target, e);
        throw AppError(
            QStringLiteral("Не удается создать файл в папке %1: %2")
                .arg(QDir::toNativeSeparators(QString::fromLocal8Bit(dir)), errnoText(e)));
    }
#endif
    QByteArray name = dir + "/.fln-XXXXXX";
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0 && !target.isEmpty())
        throw writeFailure(target, errno);
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

void UnseenFile::sync(const QString& target)
{
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        throw writeFailure(target, errno);
}

void UnseenFile::publish(const QString& target)
{
    const QByteArray to = QFile::encodeName(target);
    const auto fail = [&](int e) { return writeFailure(target, e); };
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
        throw writeFailure(target, e);
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

// --- output through QIODevice ---

namespace {
constexpr qsizetype kGathered = 256 * 1024;
}

OutputFile::OutputFile(const QString& target)
    : m_target(QFileInfo(target).absoluteFilePath()),
      m_file(QFileInfo(m_target).absolutePath(), m_target)
{
    m_buffer.reserve(kGathered);
    QIODevice::open(QIODevice::WriteOnly);
}

OutputFile::~OutputFile() = default;

bool OutputFile::writeOut()
{
    const char* p = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0 && m_error == 0) {
        const ssize_t n = ::pwrite(m_file.descriptor(), p, size_t(left), m_end);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : ENOSPC;
            setErrorString(errnoText(m_error));
            break;
        }
        p += n;
        left -= n;
        m_end += n;
    }
    m_buffer.resize(0); // keeps its room for the next writes
    return m_error == 0;
}

qint64 OutputFile::writeData(const char* data, qint64 size)
{
    if (m_error != 0)
        return -1;
    if (m_buffer.size() + size > kGathered && !writeOut())
        return -1;
    if (size >= kGathered) {
        m_buffer = QByteArray::fromRawData(data, qsizetype(size));
        const bool ok = writeOut();
        m_buffer = QByteArray();
        m_buffer.reserve(kGathered);
        return ok ? size : -1;
    }
    m_buffer.append(data, qsizetype(size));
    return size;
}

bool OutputFile::seek(qint64 pos)
{
    if (!writeOut())
        return false;
    m_end = pos;
    return QIODevice::seek(pos);
}

qint64 OutputFile::size() const
{
    struct stat st = {};
    const qint64 onDisk = ::fstat(m_file.descriptor(), &st) == 0 ? qint64(st.st_size) : 0;
    return std::max(onDisk, m_end + m_buffer.size());
}

void OutputFile::close()
{
    writeOut();
    QIODevice::close();
}

void OutputFile::commit()
{
    writeOut();
    if (m_error != 0)
        throw writeFailure(m_target, m_error);
    m_file.sync(m_target);
    m_file.publish(m_target);
    if (isOpen())
        QIODevice::close();
}
