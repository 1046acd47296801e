// Discovery of the serial ports on Linux: Qt Serial Port lists the devices
// with their USB facts; the kernel adds what Qt leaves out, whether a
// built-in ttyS has a UART behind it and the stable by-id names.
#include "platform/serial_ports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

// udev's folder of names that follow the adapter, not the socket.
const QString kByIdFolder = QStringLiteral("/dev/serial/by-id");

const QString kBuiltInDescription = QStringLiteral("Встроенный последовательный порт");
const QString kUsbDescription = QStringLiteral("Адаптер USB");

bool isUsbName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

bool isBuiltInName(const QString& path)
{
    return QFileInfo(path).fileName().startsWith(QLatin1String("ttyS"));
}

// Qt lists every ttyS the kernel registered, also the legacy ones that have
// no hardware behind them; the kernel's port type tells them apart.
int kernelUartType(const QString& portName)
{
    QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(portName));
    if (!type.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int value = type.readAll().trimmed().toInt(&ok);
    return ok ? value : -1;
}

class LinuxSerialPorts : public SerialPortSystem
{
public:
    QList<SerialDeviceFacts> devices() const override
    {
        QList<SerialDeviceFacts> out;
        const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo& info : infos) {
            SerialDeviceFacts f;
            f.path = info.systemLocation();
            f.manufacturer = info.manufacturer();
            f.product = info.description();
            f.serialNumber = info.serialNumber();
            f.usb = info.hasVendorIdentifier();
            if (isBuiltInName(f.path))
                f.uartType = kernelUartType(info.portName());
            out.append(f);
        }
        return out;
    }

    QMap<QString, QString> stableNames() const override
    {
        QMap<QString, QString> out;
        const QDir dir(kByIdFolder);
        const QFileInfoList links =
            dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        for (const QFileInfo& link : links) {
            const QString target = link.canonicalFilePath();
            if (!target.isEmpty())
                out.insert(link.absoluteFilePath(), target);
        }
        return out;
    }

    bool exists(const QString& path) const override { return QFileInfo::exists(path); }
};

QString describe(const SerialDeviceFacts& f)
{
    QString text = f.product.trimmed();
    const QString maker = f.manufacturer.trimmed();
    // Drivers often repeat the maker in the product name.
    if (!maker.isEmpty() && !text.startsWith(maker, Qt::CaseInsensitive))
        text = text.isEmpty() ? maker : maker + u' ' + text;
    if (text.isEmpty())
        text = kUsbDescription;
    if (!f.serialNumber.trimmed().isEmpty())
        text += QStringLiteral(" (%1)").arg(f.serialNumber.trimmed());
    return text;
}

} // namespace

std::shared_ptr<const SerialPortSystem> systemSerialPorts()
{
    return std::make_shared<LinuxSerialPorts>();
}

QList<SerialPortEntry> discoverSerialPorts(const SerialPortSystem& system)
{
    QList<SerialPortEntry> usb;
    QList<SerialPortEntry> builtIn;
    const QMap<QString, QString> stable = system.stableNames();
    const QList<SerialDeviceFacts> devices = system.devices();
    for (const SerialDeviceFacts& f : devices) {
        SerialPortEntry e;
        e.path = f.path;
        for (auto it = stable.cbegin(); it != stable.cend(); ++it)
            if (it.value() == f.path) {
                e.stableName = it.key();
                break;
            }
        if (f.usb || isUsbName(f.path)) {
            e.kind = SerialPortEntry::Kind::Usb;
            e.description = describe(f);
            usb.append(e);
        } else if (isBuiltInName(f.path)) {
            // Unknown type (0) is the kernel's placeholder: it opens and stays
            // silent. No type at all (not an 8250 port) is given the benefit.
            if (f.uartType == 0)
                continue;
            e.kind = SerialPortEntry::Kind::BuiltIn;
            e.description = kBuiltInDescription;
            builtIn.append(e);
        }
        // Anything else (Bluetooth, gadgets, other drivers) is named by path.
    }
    // ttyUSB10 after ttyUSB9: the number, not the text, orders them.
    const auto byName = [](const SerialPortEntry& a, const SerialPortEntry& b) {
        static const auto split = [](const QString& path) {
            qsizetype i = path.size();
            while (i > 0 && path.at(i - 1).isDigit())
                --i;
            return std::pair(path.left(i), path.mid(i).toLongLong());
        };
        return split(a.path) < split(b.path);
    };
    std::sort(usb.begin(), usb.end(), byName);
    std::sort(builtIn.begin(), builtIn.end(), byName);
    return usb + builtIn;
}
