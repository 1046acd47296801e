#include "platform/pseudo_terminal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal(QObject* parent) : QObject(parent) {}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open()
{
    if (isOpen())
        return true;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        if (master >= 0)
            ::close(master);
        return false;
    }
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(master);
        return false;
    }
    // Raw from the start: a cooked line would echo the device's bytes back and
    // hold them until a newline.
    termios tio;
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    m_master = master;
    m_slave = slave;
    m_devicePath = QString::fromLocal8Bit(name);
    m_readNotifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::readyRead);
    m_writeNotifier = new QSocketNotifier(master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        m_writeNotifier->setEnabled(false);
        emit readyWrite();
    });
    return true;
}

SerialLineSettings PseudoTerminal::deviceSettings() const
{
    SerialLineSettings s;
    termios tio;
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0)
        return s;
    static const struct
    {
        speed_t code;
        std::uint32_t rate;
    } kRates[] = {{B110, 110},     {B300, 300},     {B600, 600},       {B1200, 1200},
                  {B2400, 2400},   {B4800, 4800},   {B9600, 9600},     {B19200, 19200},
                  {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
    s.baudRate = 0;
    for (const auto& r : kRates)
        if (::cfgetospeed(&tio) == r.code)
            s.baudRate = r.rate;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        s.dataBits = 5;
        break;
    case CS6:
        s.dataBits = 6;
        break;
    case CS7:
        s.dataBits = 7;
        break;
    default:
        s.dataBits = 8;
        break;
    }
    if (!(tio.c_cflag & PARENB))
        s.parity = SerialLineSettings::Parity::None;
    else if (tio.c_cflag & CMSPAR)
        s.parity = (tio.c_cflag & PARODD) ? SerialLineSettings::Parity::Mark
                                          : SerialLineSettings::Parity::Space;
    else
        s.parity = (tio.c_cflag & PARODD) ? SerialLineSettings::Parity::Odd
                                          : SerialLineSettings::Parity::Even;
    s.stopBits = (tio.c_cflag & CSTOPB) ? SerialLineSettings::StopBits::Two
                                        : SerialLineSettings::StopBits::One;
    s.rts = (tio.c_cflag & CRTSCTS) ? SerialLineSettings::Rts::Handshake
                                    : SerialLineSettings::Rts::High;
    s.xonXoff = (tio.c_iflag & (IXON | IXOFF)) != 0;
    return s;
}

void PseudoTerminal::close()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

QByteArray PseudoTerminal::readAll()
{
    QByteArray out;
    if (!isOpen())
        return out;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: drained
    }
    return out;
}

std::int64_t PseudoTerminal::write(const char* data, std::int64_t size)
{
    if (!isOpen())
        return -1;
    std::int64_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_master, data + done, static_cast<size_t>(size - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return done > 0 ? done : -1;
        }
        break;
    }
    if (done < size)
        m_writeNotifier->setEnabled(true);
    return done;
}
