#pragma once

#include "platform/serial_ports.h"

#include <QString>

#include <functional>

class SettingsStore;

// Which device stands for the first and the second port.
struct SerialPortSources
{
    QString option1, option2;           // --port1, --port2
    QString environment1, environment2; // FLN_PORT1, FLN_PORT2
    QString stored;                     // the port the user chose in the window
    QString simulator1, simulator2;     // --demo's simulated instrument: wins over all
};
// Where the device of a port came from.
enum class SerialPortSource
{
    None, // nothing left to try
    Simulator,
    Option,
    Environment,
    Stored,
    Discovered,
    BuiltIn // nothing discovered: /dev/ttyS0 and /dev/ttyS1
};
struct SerialPortAssignment
{
    QString port1;
    QString port2; // empty: nothing left to try
    SerialPortSource source1 = SerialPortSource::None;
    SerialPortSource source2 = SerialPortSource::None;
    // The stored choice, when its device is gone and it would have been
    // used; the ports above are the fallback.
    QString missingChoice;
};
// The first given of simulator, option, environment, stored choice (when
// it exists), then the discovered ports not named already. With nothing
// discovered at all the built-in names /dev/ttyS0 and /dev/ttyS1 stand.
SerialPortAssignment assignSerialPorts(const SerialPortSources& sources,
                                       const QList<SerialPortEntry>& discovered,
                                       const std::function<bool(const QString&)>& exists);
// "Выбранный порт /dev/ttyUSB0 не найден — адаптер отключён?"
QString missingChoiceText(const QString& name);

// Why a port would not open, in the user's words; empty for a failure the
// user cannot act on (the port is simply absent or silent).
enum class SerialOpenFailure
{
    None,
    NoAccess,
    Busy,
    Other
};
SerialOpenFailure classifyOpenError(int systemError);
QString openFailureText(SerialOpenFailure failure, const QString& path);

class SettingsStore;
// The port the user chose in the window, stored beside "Default_dir" under
// its stable name; empty: chosen automatically.
extern const QString kChosenPortValue; // "Port"
// Empty when there is no choice or the store cannot be read: the automatic
// order stands then.
QString readChosenPort(const SettingsStore& settings);
// Throws the store's failure text; an empty name goes back to automatic.
void writeChosenPort(SettingsStore& settings, const QString& name);
