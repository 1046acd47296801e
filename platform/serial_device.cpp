// termios backend of the serial port component. The kernel's termios2 is used
// directly so that any baud rate can be set, not only the classic ones.
#include "platform/serial_device.h"

#include <QFile>
#include <QtGlobal>

#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int kWriteGiveUpMs = 10;

// The classic rates have codes of their own, which every driver knows; any
// other rate goes through BOTHER with the number itself.
tcflag_t baudCode(std::uint32_t rate)
{
    static const struct
    {
        std::uint32_t rate;
        tcflag_t code;
    } kCodes[] = {{110, B110},       {300, B300},      {600, B600},       {1200, B1200},
                  {2400, B2400},     {4800, B4800},    {9600, B9600},     {19200, B19200},
                  {38400, B38400},   {57600, B57600},  {115200, B115200}, {230400, B230400},
                  {460800, B460800}, {921600, B921600}};
    for (const auto& c : kCodes)
        if (c.rate == rate)
            return c.code;
    return BOTHER;
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// A modem-line call that the device does not support (ENOTTY, EINVAL on a
// pseudo-terminal) is not a failure: such a device simply has no such line.
bool modemLine(int fd, unsigned long request, int bits)
{
    if (::ioctl(fd, request, &bits) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL;
}

} // namespace

SerialDevice::~SerialDevice()
{
    close();
}

bool SerialDevice::open(const QString& path)
{
    if (isOpen())
        return true;
    m_lastOpenError = 0;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failOpen(-1, errno);
    // Not shared with other openers: the advisory lock keeps out every
    // cooperating program (also one running as root, which TIOCEXCL does
    // not stop); TIOCEXCL keeps out everything else.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return failOpen(fd, errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return failOpen(fd, errno);
    m_fd = fd;
    return true;
}

bool SerialDevice::failOpen(int fd, int error)
{
    m_lastError = errnoText(error);
    m_lastOpenError = error;
    if (fd >= 0)
        ::close(fd);
    return false;
}

void SerialDevice::close()
{
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd); // also releases the lock
    m_fd = -1;
}

bool SerialDevice::configure(const SerialLineSettings& s)
{
    if (!isOpen())
        return false;
    struct termios2 tio;
    if (::ioctl(m_fd, TCGETS2, &tio) != 0) {
        m_lastError = errnoText(errno);
        return false;
    }
    // Raw binary line: no input or output processing, no echo, no signals.
    tio.c_iflag = IGNBRK;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    const tcflag_t code = baudCode(s.baudRate);
    tio.c_cflag = CREAD | CLOCAL | code | (code << IBSHIFT);
    tio.c_ispeed = s.baudRate;
    tio.c_ospeed = s.baudRate;
    switch (qBound(5, s.dataBits, 8)) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    default:
        tio.c_cflag |= CS8;
        break;
    }
    // Parity is generated on output but not checked on input, as the
    // component asks.
    switch (s.parity) {
    case SerialLineSettings::Parity::None:
        break;
    case SerialLineSettings::Parity::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case SerialLineSettings::Parity::Even:
        tio.c_cflag |= PARENB;
        break;
    case SerialLineSettings::Parity::Mark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SerialLineSettings::Parity::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // One and a half stop bits exist only with 5 data bits, where the UART
    // gives them for "two".
    if (s.stopBits != SerialLineSettings::StopBits::One)
        tio.c_cflag |= CSTOPB;
    if (s.rts == SerialLineSettings::Rts::Handshake)
        tio.c_cflag |= CRTSCTS;
    if (s.xonXoff) {
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = 17;
        tio.c_cc[VSTOP] = 19;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::ioctl(m_fd, TCSETS2, &tio) != 0) {
        m_lastError = errnoText(errno);
        return false;
    }
    if (!modemLine(m_fd, s.dtr ? TIOCMBIS : TIOCMBIC, TIOCM_DTR)) {
        m_lastError = errnoText(errno);
        return false;
    }
    if (s.rts != SerialLineSettings::Rts::Handshake &&
        !modemLine(m_fd, s.rts == SerialLineSettings::Rts::High ? TIOCMBIS : TIOCMBIC, TIOCM_RTS)) {
        m_lastError = errnoText(errno);
        return false;
    }
    // The kernel's queues have fixed sizes; the requested sizes only bound
    // what the component reads at once.
    return true;
}

bool SerialDevice::purge(bool input, bool output)
{
    if (!isOpen())
        return false;
    if (!input && !output)
        return true;
    const int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    if (::ioctl(m_fd, TCFLSH, which) != 0) {
        m_lastError = errnoText(errno);
        return false;
    }
    return true;
}

std::int64_t SerialDevice::bytesWaitingIn() const
{
    int n = 0;
    if (!isOpen() || ::ioctl(m_fd, TIOCINQ, &n) != 0)
        return -1;
    return n;
}

std::int64_t SerialDevice::bytesWaitingOut() const
{
    int n = 0;
    if (!isOpen() || ::ioctl(m_fd, TIOCOUTQ, &n) != 0)
        return -1;
    return n;
}

bool SerialDevice::hungUp() const
{
    if (!isOpen())
        return false;
    pollfd p{m_fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, 0);
    } while (rc < 0 && errno == EINTR);
    return rc > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

std::int64_t SerialDevice::read(char* data, std::int64_t max)
{
    if (!isOpen())
        return -1;
    if (max <= 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, data, static_cast<size_t>(max));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        m_lastError = errnoText(errno);
        return -1;
    }
}

std::int64_t SerialDevice::write(const char* data, std::int64_t size)
{
    if (!isOpen())
        return -1;
    if (size <= 0)
        return 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t n = ::write(m_fd, data, static_cast<size_t>(size));
        if (n >= 0)
            return n;
        if (errno == EINTR) {
            --attempt;
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            m_lastError = errnoText(errno);
            return -1;
        }
        // The queue is full: wait a little for room, then give up.
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, kWriteGiveUpMs);
    }
    return 0;
}
