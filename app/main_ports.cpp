// "Сервис → Порт прибора…": which serial device the instrument is on.
#include "app/main.h"

#include "device/port_choice.h"
#include "platform/serial_ports.h"

void TForm1::setSerialPortSystem(std::shared_ptr<const SerialPortSystem> system)
{
    m_serialPorts = std::move(system);
}

void TForm1::PortChoice1Click()
{
    if (!m_serialPorts)
        m_serialPorts = systemSerialPorts();
    PortChoiceDialog dialog(m_serialPorts, m_settings, this);
    dialog.exec();
}
