#pragma once

#include <QString>

#include <cstdint>

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
