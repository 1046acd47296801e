// "Сервис → Порт прибора…": which serial device the instrument is on.
#include "app/main.h"

#include "device/port_choice.h"
#include "device/receive.h"
#include "platform/serial_ports.h"

void TForm1::setSerialPortSystem(std::shared_ptr<const SerialPortSystem> system)
{
    m_serialPorts = std::move(system);
}

void TForm1::PortChoice1Click()
{
    PortChoiceDialog dialog(m_serialPorts, m_settings, this);
    // `--port1`, FLN_PORT1 and `--demo` win over the choice: the dialog says so.
    if (Form2)
        dialog.setOverrides(Form2->portMap().sources());
    m_dialogs.execModal(dialog);
}
