#pragma once

#include "platform/serial_ports.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// Line settings as the serial port component asks for them. The backend
// turns them into the device's own settings.
struct SerialLineSettings
{
    enum class Parity
    {
        None,
        Odd,
        Even,
        Mark,
        Space
    };
    enum class StopBits
    {
        One,
        OneAndHalf,
        Two
    };
    enum class Rts
    {
        Low,
        High,
        Handshake
    };

    std::uint32_t baudRate = 9600;
    int dataBits = 8; // 5..8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool dtr = true;
    Rts rts = Rts::High;
    bool xonXoff = false;
    std::uint32_t inQueueSize = 2048;
    std::uint32_t outQueueSize = 2048;
};

// One serial device opened exclusively: line settings, purge, queue counts,
// reads that return at once with what is waiting, writes that give up after
// about 10 ms. Devices without modem lines (a pseudo-terminal) are accepted:
// the modem-line calls they refuse are not failures.
class SerialDevice
{
public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens an existing device for reading and writing; fails when another
    // opener holds it.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    bool configure(const SerialLineSettings& settings);
    // Discards what waits in the chosen directions.
    bool purge(bool input, bool output);
    // Bytes waiting in the input / output queue; -1 on failure.
    std::int64_t bytesWaitingIn() const;
    std::int64_t bytesWaitingOut() const;
    // Reads what is waiting, at most `max` bytes, without blocking; -1 on failure.
    std::int64_t read(char* data, std::int64_t max);
    // Writes as much as the device takes within about 10 ms; -1 on failure.
    std::int64_t write(const char* data, std::int64_t size);
    // Whether the device has gone: an adapter unplugged, the other end of a
    // pseudo-terminal closed. Does not wait.
    bool hungUp() const;

    // The operating system's text for the last failure.
    QString lastError() const { return m_lastError; }
    // The operating system's code for the last failure of open(); 0: none.
    int lastOpenError() const { return m_lastOpenError; }

private:
    bool failOpen(int fd, int error);

    int m_fd = -1;
    QString m_lastError;
    int m_lastOpenError = 0;
};

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
