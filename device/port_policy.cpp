// Which serial device the instrument is looked for on, and what the user is
// told when a port cannot be used.
#include "device/port_policy.h"

#include "platform/app_error.h"
#include "platform/settings_store.h"

#include <QFileInfo>

#include <cerrno>
#include <tuple>

SerialPortAssignment assignSerialPorts(const SerialPortSources& sources,
                                       const QList<SerialPortEntry>& discovered,
                                       const std::function<bool(const QString&)>& exists)
{
    SerialPortAssignment out;
    const auto given = [](QString& port, SerialPortSource& source, const QString& simulator,
                          const QString& option, const QString& environment) {
        if (!simulator.isEmpty())
            port = simulator, source = SerialPortSource::Simulator;
        else if (!option.isEmpty())
            port = option, source = SerialPortSource::Option;
        else if (!environment.isEmpty())
            port = environment, source = SerialPortSource::Environment;
    };
    given(out.port1, out.source1, sources.simulator1, sources.option1, sources.environment1);
    given(out.port2, out.source2, sources.simulator2, sources.option2, sources.environment2);
    // An adapter that is not plugged in leaves the stored choice for later;
    // the user hears of it when it would have been used.
    const bool storedThere = !sources.stored.isEmpty() && exists(sources.stored);
    if (!sources.stored.isEmpty() && !storedThere && (out.port1.isEmpty() || out.port2.isEmpty()))
        out.missingChoice = sources.stored;
    const QString stored = storedThere ? sources.stored : QString();

    const auto taken = [&](const SerialPortEntry& e) {
        return e.isNamed(out.port1) || e.isNamed(out.port2) || e.isNamed(stored) ||
               (!out.port1.isEmpty() && QFileInfo(out.port1).canonicalFilePath() == e.path) ||
               (!out.port2.isEmpty() && QFileInfo(out.port2).canonicalFilePath() == e.path);
    };
    QList<std::pair<QString, SerialPortSource>> rest;
    for (const SerialPortEntry& e : discovered)
        if (!taken(e))
            rest.append({e.storedName(), SerialPortSource::Discovered});
    if (!stored.isEmpty())
        rest.prepend({stored, SerialPortSource::Stored});
    if (discovered.isEmpty() && stored.isEmpty())
        rest = {{QStringLiteral("/dev/ttyS0"), SerialPortSource::BuiltIn},
                {QStringLiteral("/dev/ttyS1"), SerialPortSource::BuiltIn}};

    const std::pair<QString*, SerialPortSource*> targets[] = {{&out.port1, &out.source1},
                                                              {&out.port2, &out.source2}};
    for (const auto& [port, source] : targets)
        if (port->isEmpty() && !rest.isEmpty())
            std::tie(*port, *source) = rest.takeFirst();
    return out;
}

QString missingChoiceText(const QString& name)
{
    return QStringLiteral("Выбранный порт %1 не найден \u2014 адаптер отключён?").arg(name);
}

SerialOpenFailure classifyOpenError(int systemError)
{
    switch (systemError) {
    case 0:
        return SerialOpenFailure::None;
    case EACCES:
    case EPERM:
        return SerialOpenFailure::NoAccess;
    case EBUSY:
    case EWOULDBLOCK:
        return SerialOpenFailure::Busy;
    default:
        return SerialOpenFailure::Other;
    }
}

QString openFailureText(SerialOpenFailure failure, const QString& path)
{
    switch (failure) {
    case SerialOpenFailure::NoAccess:
        return QStringLiteral("Нет доступа к порту %1. Добавьте пользователя в группу dialout и "
                              "войдите в систему заново.")
            .arg(path);
    case SerialOpenFailure::Busy:
        return QStringLiteral("Порт %1 занят другой программой.").arg(path);
    case SerialOpenFailure::None:
    case SerialOpenFailure::Other:
        break;
    }
    return QString();
}

const QString kChosenPortValue = QStringLiteral("Port");

QString readChosenPort(const SettingsStore& settings)
{
    try {
        if (settings.isOpen() && settings.valueExists(kChosenPortValue))
            return settings.readString(kChosenPortValue);
    } catch (const AppError&) {
        // A value of another type is no choice: the automatic order finds the port.
    }
    return QString();
}

void writeChosenPort(SettingsStore& settings, const QString& name)
{
    settings.writeString(kChosenPortValue, name);
}
