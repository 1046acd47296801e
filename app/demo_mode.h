#pragma once

#include <QString>

#include <memory>

class SerialPortMap;
class SimulatedInstrument;

// `--demo`: the simulated instrument runs inside the program on a
// pseudo-terminal, and the first port is that terminal, so "Создать" and
// "Дополнить" work on any machine. Every download of the run offers newer
// records than the one before. Null, with `error` set, when no
// pseudo-terminal can be had.
std::unique_ptr<SimulatedInstrument> startDemoInstrument(SerialPortMap& ports, QString* error);
