#include "app/cli_commands.h"

#include "app/command_line.h"
#include "platform/app_error.h"
#include "platform/console_output.h"
#include "device/port_policy.h"
#include "platform/settings_store.h"

QString portListText(const QList<SerialPortEntry>& ports, const QString& chosen)
{
    QString text;
    for (const SerialPortEntry& e : ports) {
        text += e.path + u'\t' + e.description;
        if (e.isNamed(chosen))
            text += QStringLiteral(" (выбран)");
        text += u'\n';
    }
    return text;
}

int runPortsCommand(const CommandLineOptions&)
{
    SettingsStore settings;
    try {
        settings.openKey();
    } catch (const AppError&) {
        // Without the store there is no choice to mark.
    }
    const QList<SerialPortEntry> ports = discoverSerialPorts(*systemSerialPorts());
    if (ports.isEmpty()) {
        writeErr(QStringLiteral("Последовательные порты не найдены.\n"));
        return kExitDone;
    }
    writeOut(portListText(ports, readChosenPort(settings)));
    return kExitDone;
}
