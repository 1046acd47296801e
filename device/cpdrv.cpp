#include "device/cpdrv.h"

#include "device/port_policy.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace {

constexpr std::uint32_t kMinBufSize = 128;
constexpr std::uint32_t kMaxBufSize = 8192;
constexpr std::uint16_t kMinPollingDelay = 5;

constexpr std::uint32_t kBaudRates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                        14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

} // namespace

TCommPortDriver::TCommPortDriver(const SerialPortMap& ports, QObject* parent)
    : QObject(parent), m_ports(ports)
{
    m_readBuffer.assign(m_inBufSize, 0);
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pollTimer, &QTimer::timeout, this, &TCommPortDriver::PollInput);
}

TCommPortDriver::~TCommPortDriver()
{
    ClosePort();
}

void TCommPortDriver::setPort(TPortNumber value)
{
    if (IsOpen())
        return;
    m_port = value;
    if (value != pnCustom)
        m_portName = QStringLiteral("\\\\.\\COM%1").arg(int(value));
}

void TCommPortDriver::setPortMap(const SerialPortMap& ports)
{
    if (IsOpen())
        return;
    m_ports = ports;
}

void TCommPortDriver::setPortName(const QString& value)
{
    if (IsOpen())
        return;
    m_portName = value;
    m_port = pnCustom;
}

void TCommPortDriver::setBaudRate(TBaudRate value)
{
    m_baudRate = value;
    if (value != brCustom)
        m_baudRateValue = kBaudRates[value];
    if (IsOpen())
        ApplySettings();
}

void TCommPortDriver::setBaudRateValue(std::uint32_t value)
{
    m_baudRateValue = value;
    m_baudRate = brCustom;
    if (IsOpen())
        ApplySettings();
}

void TCommPortDriver::setDataBits(TDataBits value)
{
    m_dataBits = value;
    if (IsOpen())
        ApplySettings();
}

void TCommPortDriver::setStopBits(TStopBits value)
{
    m_stopBits = value;
    if (IsOpen())
        ApplySettings();
}

void TCommPortDriver::setParity(TParity value)
{
    m_parity = value;
    if (IsOpen())
        ApplySettings();
}

void TCommPortDriver::setHwFlow(THwFlowControl value)
{
    m_hwFlow = value;
    if (IsOpen())
        ApplySettings();
}

void TCommPortDriver::setSwFlow(TSwFlowControl value)
{
    m_swFlow = value;
    if (IsOpen())
        ApplySettings();
}

void TCommPortDriver::setInBufSize(std::uint32_t value)
{
    if (IsOpen())
        return;
    m_inBufSize = std::clamp(value, kMinBufSize, kMaxBufSize);
    m_readBuffer.assign(m_inBufSize, 0);
}

void TCommPortDriver::setOutBufSize(std::uint32_t value)
{
    if (IsOpen())
        return;
    m_outBufSize = std::clamp(value, kMinBufSize, kMaxBufSize);
}

void TCommPortDriver::setPollingDelay(std::uint16_t value)
{
    m_pollingDelay = std::max(value, kMinPollingDelay);
    if (IsOpen())
        m_pollTimer.start(m_pollingDelay);
}

bool TCommPortDriver::OpenPort()
{
    if (IsOpen())
        return true;
    m_openFailure.clear();
    const QString path = devicePath();
    if (path.isEmpty())
        return false;
    if (!m_device.open(path)) {
        m_openFailure = ::openFailureText(classifyOpenError(m_device.lastOpenError()), path);
        return false;
    }
    if (!ApplySettings()) {
        ClosePort();
        return false;
    }
    // Reads return at once with what is waiting and writes give up after
    // about 10 ms: the device layer works that way already.
    m_pollTimer.start(m_pollingDelay);
    return true;
}

void TCommPortDriver::ClosePort()
{
    if (!IsOpen())
        return;
    m_pollTimer.stop();
    m_device.close();
}

bool TCommPortDriver::ApplySettings()
{
    if (!IsOpen())
        return false;
    SerialLineSettings s;
    s.baudRate = m_baudRateValue;
    s.dataBits = 5 + int(m_dataBits);
    s.parity = SerialLineSettings::Parity(int(m_parity));
    s.stopBits = SerialLineSettings::StopBits(int(m_stopBits));
    s.dtr = m_enableDtrOnOpen;
    s.rts = m_hwFlow == hfNONE        ? SerialLineSettings::Rts::Low
            : m_hwFlow == hfNONERTSON ? SerialLineSettings::Rts::High
                                      : SerialLineSettings::Rts::Handshake;
    s.xonXoff = m_swFlow == sfXONXOFF;
    s.inQueueSize = m_inBufSize;
    s.outQueueSize = m_outBufSize;
    if (!m_device.configure(s))
        return false;
    return PurgeQueues(true, true);
}

bool TCommPortDriver::PurgeQueues(bool input, bool output)
{
    if (!IsOpen())
        return false;
    return m_device.purge(input, output);
}

std::uint16_t TCommPortDriver::OutputSpace() const
{
    const std::int64_t waiting = m_device.bytesWaitingOut();
    if (waiting < 0 || waiting >= std::int64_t(m_outBufSize))
        return 0; // a queue fuller than our size leaves no room, not a wrapped count
    return std::uint16_t(m_outBufSize - std::uint32_t(waiting));
}

bool TCommPortDriver::SendChar(char c)
{
    if (!IsOpen())
        return false;
    return SendBytes(&c, 1, m_outputTimeout) == 1;
}

std::uint32_t TCommPortDriver::SendBytes(const void* data, std::uint32_t size,
                                         std::uint32_t timeoutMs)
{
    if (!IsOpen())
        return 0;
    const char* p = static_cast<const char*>(data);
    std::uint32_t sent = 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (sent < size) {
        const std::uint32_t space = OutputSpace();
        if (space > 0) {
            const std::int64_t n = m_device.write(p + sent, std::min(size - sent, space));
            if (n > 0) {
                sent += std::uint32_t(n);
                sinceProgress.restart();
                continue;
            }
        }
        if (sinceProgress.elapsed() > qint64(timeoutMs))
            break;
        QThread::msleep(1); // the queue is full: let the line drain
    }
    return sent;
}

void TCommPortDriver::PollInput()
{
    if (!IsOpen())
        return;
    const std::int64_t waiting = m_device.bytesWaitingIn();
    // What waits is read first; a device that is gone is reported after.
    if (waiting < 0 || (waiting == 0 && m_device.hungUp())) {
        portFailed(QStringLiteral("устройство %1 отключено").arg(devicePath()));
        return;
    }
    if (waiting == 0)
        return;
    const std::int64_t n = m_device.read(reinterpret_cast<char*>(m_readBuffer.data()),
                                         std::min<std::int64_t>(waiting, m_readBuffer.size()));
    if (n < 0) {
        portFailed(QStringLiteral("ошибка чтения %1: %2").arg(devicePath(), m_device.lastError()));
        return;
    }
    if (n > 0 && m_onReceiveData)
        m_onReceiveData(this, m_readBuffer.data(), std::uint32_t(n));
}

void TCommPortDriver::portFailed(const QString& reason)
{
    ClosePort();
    if (m_onPortFailure)
        m_onPortFailure(this, reason);
}
