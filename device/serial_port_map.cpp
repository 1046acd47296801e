#include "device/serial_port_map.h"

#include <QRegularExpression>

SerialPortMap SerialPortMap::fromOptions(const QString& port1, const QString& port2)
{
    SerialPortMap map;
    map.m_option1 = port1;
    map.m_option2 = port2;
    map.m_environment1 = qEnvironmentVariable("FLN_PORT1");
    map.m_environment2 = qEnvironmentVariable("FLN_PORT2");
    map.m_port1 = !port1.isEmpty() ? port1 : map.m_environment1;
    map.m_port2 = !port2.isEmpty() ? port2 : map.m_environment2;
    return map;
}

void SerialPortMap::setDevice(int portNumber, const QString& device)
{
    if (portNumber == 1)
        m_port1 = m_option1 = device;
    else if (portNumber == 2)
        m_port2 = m_option2 = device;
}

void SerialPortMap::setSimulator(int portNumber, const QString& device)
{
    if (portNumber == 1)
        m_port1 = m_simulator1 = device;
    else if (portNumber == 2)
        m_port2 = m_simulator2 = device;
}

void SerialPortMap::setDiscovery(std::shared_ptr<const SerialPortSystem> system,
                                 std::function<QString()> storedChoice)
{
    m_system = std::move(system);
    m_storedChoice = std::move(storedChoice);
}

SerialPortSources SerialPortMap::sources() const
{
    SerialPortSources sources;
    sources.option1 = m_option1;
    sources.option2 = m_option2;
    sources.environment1 = m_environment1;
    sources.environment2 = m_environment2;
    sources.simulator1 = m_simulator1;
    sources.simulator2 = m_simulator2;
    return sources;
}

SerialPortMap SerialPortMap::resolved() const
{
    if (!m_system)
        return *this;
    SerialPortSources sources = this->sources();
    if (m_storedChoice)
        sources.stored = m_storedChoice();
    const SerialPortSystem& system = *m_system;
    const SerialPortAssignment a =
        assignSerialPorts(sources, discoverSerialPorts(system),
                          [&system](const QString& path) { return system.exists(path); });
    SerialPortMap out;
    out.m_port1 = a.port1;
    out.m_port2 = a.port2;
    out.m_missingChoice = a.missingChoice;
    out.m_fixed = true;
    return out;
}

QString SerialPortMap::devicePath(const QString& portName) const
{
    static const QRegularExpression kComName(QStringLiteral("^\\\\\\\\\\.\\\\COM([0-9]+)$"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = kComName.match(portName);
    if (!m.hasMatch())
        return portName; // already a device path
    const int n = m.captured(1).toInt();
    if (n == 1 && (m_fixed || !m_port1.isEmpty()))
        return m_port1;
    if (n == 2 && (m_fixed || !m_port2.isEmpty()))
        return m_port2;
    if (n < 1)
        return QString();
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}
