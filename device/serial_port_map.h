#pragma once

#include "device/port_policy.h"

#include <QString>

#include <functional>
#include <memory>

// The device behind each port name `\\.\COMn`. For the first two ports, in
// this order: the simulated instrument of `--demo`, the command line
// (`--port1`, `--port2`), the environment (`FLN_PORT1`, `FLN_PORT2`), the
// port the user chose in the window, then the discovered ports (USB
// adapters before built-in ports). Without discovery, and for the other
// ports, `/dev/ttyS(n-1)`.
class SerialPortMap
{
public:
    SerialPortMap() = default;
    // Command-line names win over the environment; empty means not given.
    static SerialPortMap fromOptions(const QString& port1, const QString& port2);

    // A device that wins over the discovered ones, as an option does.
    void setDevice(int portNumber, const QString& device);
    // The simulated instrument's device: wins over everything else.
    void setSimulator(int portNumber, const QString& device);
    // Where the stored choice and the discovered ports come from; they are
    // asked again by every resolved().
    void setDiscovery(std::shared_ptr<const SerialPortSystem> system,
                      std::function<QString()> storedChoice);

    // What decides the first two ports besides the stored choice.
    SerialPortSources sources() const;

    // The map with the first two ports fixed to the devices of this moment.
    SerialPortMap resolved() const;
    QString devicePath(const QString& portName) const;
    // Of a resolved map: the stored choice whose device was gone.
    QString missingChoice() const { return m_missingChoice; }

private:
    QString m_port1; // explicit: simulator, option, then environment
    QString m_port2;
    QString m_option1, m_option2, m_environment1, m_environment2, m_simulator1, m_simulator2;
    std::shared_ptr<const SerialPortSystem> m_system;
    std::function<QString()> m_storedChoice;
    QString m_missingChoice;
    bool m_fixed = false; // resolved: an empty name means no device at all
};
