#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <memory>

// What the system says about one serial device, before we judge it.
struct SerialDeviceFacts
{
    QString path;         // "/dev/ttyUSB0"
    QString manufacturer; // "FTDI"; empty when unknown
    QString product;      // "FT232R USB UART"
    QString serialNumber; // "A50285BI"
    bool usb = false;     // the device has a USB vendor code
    // The kernel's type of a built-in UART (0: unknown, nothing behind the
    // name); -1 where the kernel gives none.
    int uartType = -1;
};

// A serial port a user can connect the instrument to.
struct SerialPortEntry
{
    enum class Kind
    {
        Usb,
        BuiltIn
    };
    QString path;        // the device, "/dev/ttyUSB0"
    QString stableName;  // "/dev/serial/by-id/usb-FTDI_…"; empty when there is none
    QString description; // what the user recognises
    Kind kind = Kind::BuiltIn;

    // The name a choice is stored under: the one that survives replugging.
    QString storedName() const { return stableName.isEmpty() ? path : stableName; }
    // Whether a stored name stands for this port.
    bool isNamed(const QString& name) const
    {
        return !name.isEmpty() && (name == path || name == stableName);
    }
};

// The operating system's view of its serial devices. The real one asks Qt
// Serial Port and the kernel; tests hand in a fake.
class SerialPortSystem
{
public:
    virtual ~SerialPortSystem() = default;
    virtual QList<SerialDeviceFacts> devices() const = 0;
    // Stable names of the devices (by-id link -> device path it points to).
    virtual QMap<QString, QString> stableNames() const = 0;
    // Whether a device path names something that exists now.
    virtual bool exists(const QString& path) const = 0;
};

// The system this program runs on.
std::shared_ptr<const SerialPortSystem> systemSerialPorts();

// The ports worth trying, USB adapters first (in name order), then the
// built-in ports that have a UART behind them.
QList<SerialPortEntry> discoverSerialPorts(const SerialPortSystem& system);
