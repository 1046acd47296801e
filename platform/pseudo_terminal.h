#pragma once

#include "platform/serial_device.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>

class QSocketNotifier;

// The controlling side of a pseudo-terminal pair, for a simulated device. The
// other side (devicePath) behaves like a serial device to whoever opens it.
// The pair is made raw at once and the device side is kept open here, so bytes
// pass unchanged and the pair survives the other opener closing it.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject* parent = nullptr);
    ~PseudoTerminal() override;

    // Creates the pair; false (with errorString) on failure.
    bool open();
    void close();
    bool isOpen() const { return m_master >= 0; }
    QString devicePath() const { return m_devicePath; }
    QString errorString() const { return m_error; }

    // Everything the device side has written so far; empty when nothing waits.
    QByteArray readAll();
    // Writes without blocking; returns the bytes taken (0 when the device
    // side's input queue is full), -1 on failure.
    std::int64_t write(const char* data, std::int64_t size);

    // The line settings the device side's opener has set (the pair shares
    // them). Baud rates outside the classic list read as 0.
    SerialLineSettings deviceSettings() const;

signals:
    void readyRead();
    // The device side's input queue has room again after a write took less
    // than it was given.
    void readyWrite();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_devicePath;
    QString m_error;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
};
