#include "app/demo_mode.h"

#include "device/serial_port_map.h"
#include "sim/simulated_instrument.h"

std::unique_ptr<SimulatedInstrument> startDemoInstrument(SerialPortMap& ports, QString* error)
{
    std::unique_ptr<SimulatedInstrument> sim = SimulatedInstrument::startDemo(error);
    if (sim)
        ports.setSimulator(1, sim->devicePath());
    return sim;
}
