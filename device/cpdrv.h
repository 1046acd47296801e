#pragma once

#include "device/serial_port_map.h"
#include "platform/serial_device.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

enum TPortNumber
{
    pnCustom,
    pnCOM1,
    pnCOM2,
    pnCOM3,
    pnCOM4,
    pnCOM5,
    pnCOM6,
    pnCOM7,
    pnCOM8,
    pnCOM9,
    pnCOM10,
    pnCOM11,
    pnCOM12,
    pnCOM13,
    pnCOM14,
    pnCOM15,
    pnCOM16
};
enum TBaudRate
{
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TDataBits
{
    db5BITS,
    db6BITS,
    db7BITS,
    db8BITS
};
enum TStopBits
{
    sb1BITS,
    sb1HALFBITS,
    sb2BITS
};
enum TParity
{
    ptNONE,
    ptODD,
    ptEVEN,
    ptMARK,
    ptSPACE
};
enum THwFlowControl
{
    hfNONE,
    hfNONERTSON,
    hfRTSCTS
};
enum TSwFlowControl
{
    sfNONE,
    sfXONXOFF
};
enum TPacketMode
{
    pmDiscard,
    pmPass
};

class TCommPortDriver;
// The bytes are valid only during the call.
using TReceiveDataEvent = std::function<void(TCommPortDriver* Sender, const std::uint8_t* DataPtr,
                                             std::uint32_t DataSize)>;
// The open port failed while polling (the device gone, a read error); the
// port is closed already. `Reason` says what happened, for the user.
using TPortFailureEvent = std::function<void(TCommPortDriver* Sender, const QString& Reason)>;

// The serial port component: opens a device by port name, applies the line
// settings, sends with a write timeout and polls on a timer of the GUI
// thread. Every poll that reads bytes hands them, as one chunk of at most
// InBufSize bytes, to OnReceiveData. No reader thread, no blocking read.
class TCommPortDriver : public QObject
{
    Q_OBJECT
public:
    explicit TCommPortDriver(const SerialPortMap& ports, QObject* parent = nullptr);
    ~TCommPortDriver() override;

    TPortNumber Port() const { return m_port; }
    void setPort(TPortNumber value);
    QString PortName() const { return m_portName; }
    void setPortName(const QString& value);
    TBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate value);
    std::uint32_t BaudRateValue() const { return m_baudRateValue; }
    void setBaudRateValue(std::uint32_t value);
    TDataBits DataBits() const { return m_dataBits; }
    void setDataBits(TDataBits value);
    TStopBits StopBits() const { return m_stopBits; }
    void setStopBits(TStopBits value);
    TParity Parity() const { return m_parity; }
    void setParity(TParity value);
    THwFlowControl HwFlow() const { return m_hwFlow; }
    void setHwFlow(THwFlowControl value);
    TSwFlowControl SwFlow() const { return m_swFlow; }
    void setSwFlow(TSwFlowControl value);
    std::uint32_t InBufSize() const { return m_inBufSize; }
    void setInBufSize(std::uint32_t value);
    std::uint32_t OutBufSize() const { return m_outBufSize; }
    void setOutBufSize(std::uint32_t value);
    std::uint16_t PollingDelay() const { return m_pollingDelay; }
    void setPollingDelay(std::uint16_t value);
    bool EnableDTROnOpen() const { return m_enableDtrOnOpen; }
    void setEnableDTROnOpen(bool value) { m_enableDtrOnOpen = value; }
    std::uint16_t OutputTimeout() const { return m_outputTimeout; }
    void setOutputTimeout(std::uint16_t value) { m_outputTimeout = value; }
    TReceiveDataEvent OnReceiveData() const { return m_onReceiveData; }
    void setOnReceiveData(TReceiveDataEvent handler) { m_onReceiveData = std::move(handler); }
    TPortFailureEvent OnPortFailure() const { return m_onPortFailure; }
    void setOnPortFailure(TPortFailureEvent handler) { m_onPortFailure = std::move(handler); }

    // Published for compatibility; with these defaults they have no effect.
    std::uint16_t InputTimeout() const { return m_inputTimeout; }
    void setInputTimeout(std::uint16_t value) { m_inputTimeout = value; }
    bool CheckLineStatus() const { return m_checkLineStatus; }
    void setCheckLineStatus(bool value) { m_checkLineStatus = value; }
    int PacketSize() const { return m_packetSize; }
    void setPacketSize(int value) { m_packetSize = value; }
    int PacketTimeout() const { return m_packetTimeout; }
    void setPacketTimeout(int value) { m_packetTimeout = value; }
    TPacketMode PacketMode() const { return m_packetMode; }
    void setPacketMode(TPacketMode value) { m_packetMode = value; }

    bool OpenPort();
    void ClosePort();
    bool IsOpen() const { return m_device.isOpen(); }
    bool SendChar(char c);
    std::uint32_t SendBytes(const void* data, std::uint32_t size, std::uint32_t timeoutMs);
    bool ApplySettings();
    bool PurgeQueues(bool input, bool output);
    std::uint16_t OutputSpace() const;

    // One poll, as the timer runs it: reads what waits and calls OnReceiveData.
    void PollInput();

    // The device the current port name stands for.
    QString devicePath() const { return m_ports.devicePath(m_portName); }
    const SerialPortMap& portMap() const { return m_ports; }
    // Which device each port name stands for; ignored while the port is open.
    void setPortMap(const SerialPortMap& ports);
    // Why the last OpenPort failed, when the user can do something about it
    // (no permission, held by another program); empty otherwise.
    QString openFailureText() const { return m_openFailure; }
    const QTimer& pollTimer() const { return m_pollTimer; }

private:
    void portFailed(const QString& reason);

    SerialPortMap m_ports;
    SerialDevice m_device;
    QString m_openFailure;
    QTimer m_pollTimer;
    std::vector<std::uint8_t> m_readBuffer;

    TPortNumber m_port = pnCOM2;
    QString m_portName = QStringLiteral("\\\\.\\COM2");
    TBaudRate m_baudRate = br9600;
    std::uint32_t m_baudRateValue = 9600;
    TDataBits m_dataBits = db8BITS;
    TStopBits m_stopBits = sb1BITS;
    TParity m_parity = ptNONE;
    THwFlowControl m_hwFlow = hfNONERTSON;
    TSwFlowControl m_swFlow = sfNONE;
    std::uint32_t m_inBufSize = 2048;
    std::uint32_t m_outBufSize = 2048;
    std::uint16_t m_pollingDelay = 50;
    bool m_enableDtrOnOpen = true;
    std::uint16_t m_outputTimeout = 500;
    TReceiveDataEvent m_onReceiveData;
    TPortFailureEvent m_onPortFailure;
    std::uint16_t m_inputTimeout = 200;
    bool m_checkLineStatus = false;
    int m_packetSize = -1;
    int m_packetTimeout = -1;
    TPacketMode m_packetMode = pmDiscard;
};
