#pragma once

// A fake of the system's serial devices, and the devices of a PC with every
// kind of port at once, for the tests of discovery and of the port choice.
#include "platform/serial_ports.h"

#include <QList>
#include <QMap>
#include <QStringList>

namespace fake_ports {

inline const QString kFtdiById =
    QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

class FakeSystem : public SerialPortSystem
{
public:
    QList<SerialDeviceFacts> list;
    QMap<QString, QString> links;
    QStringList present;
    QList<SerialDeviceFacts> devices() const override { return list; }
    QMap<QString, QString> stableNames() const override { return links; }
    bool exists(const QString& path) const override { return present.contains(path); }
};

inline SerialDeviceFacts usb(const QString& path, const QString& maker, const QString& product,
                             const QString& serial)
{
    SerialDeviceFacts f;
    f.path = path;
    f.manufacturer = maker;
    f.product = product;
    f.serialNumber = serial;
    f.usb = true;
    return f;
}

inline SerialDeviceFacts builtIn(const QString& path, int uartType)
{
    SerialDeviceFacts f;
    f.path = path;
    f.uartType = uartType;
    return f;
}

// A PC with everything at once, listed in the system's own (unsorted) order.
inline FakeSystem workshopPc()
{
    FakeSystem s;
    s.list = {builtIn("/dev/ttyS1", 0), // the kernel's placeholder: no UART
              builtIn("/dev/ttyS0", 4), // a 16550A on the board
              usb("/dev/ttyACM0", "Microchip Technology Inc.", "MCP2221 USB-I2C/UART Combo", ""),
              usb("/dev/ttyUSB10", "", "", ""),
              usb("/dev/ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI")};
    s.links = {{kFtdiById, "/dev/ttyUSB0"}};
    s.present = {"/dev/ttyS0",   "/dev/ttyS1",    "/dev/ttyACM0",
                 "/dev/ttyUSB0", "/dev/ttyUSB10", kFtdiById};
    return s;
}

} // namespace fake_ports
