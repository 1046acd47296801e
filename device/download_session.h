#pragma once

#include "device/cpdrv.h"
#include "device/download_protocol.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

struct ArchiveImage;

// One download of the instrument's archive: the port with the line settings
// of the download, the detection and request timers, the wire protocol and
// the texts the user reads. The download dialog and `fln download` are two
// views of it: they start and cancel it and show what its signals report.
class DownloadSession : public QObject, private DownloadHost
{
    Q_OBJECT

public:
    static constexpr int kDetectionIntervalMs = 3000;
    static constexpr int kRequestIntervalMs = 1000;

    // The texts both views show.
    static const QString kWaitingText; // "Ожидание готовности прибора ..."
    static const QString kReceivingText;  // "Идет прием информации ..."
    static const QString kInstrumentName; // "ФЛН-РК2"
    static const QString kWrongInstrument;
    static const QString kNotFound;
    // The line under kNotFound that names the devices tried.
    static QString triedDevicesText(const QStringList& devices);

    DownloadSession(ArchiveImage& image, const SerialPortMap& ports, QObject* parent = nullptr);
    ~DownloadSession() override;

    // Tests shorten the two timers; the program keeps 3000 and 1000 ms.
    void setTimerIntervals(int detectionMs, int requestMs);
    // A wire stream that does not decode (a range error) ends the download
    // with 2; by default the error then goes on to the caller of the event
    // loop's handler (the window's default error report). A view without
    // such a report keeps it in errorText() instead.
    void setKeepsDecodeErrors(bool keep) { m_keepDecodeErrors = keep; }

    void start();  // on the first port, as the dialog's showing does
    void cancel(); // the Cancel button
    // What the timers and the port drive; public for the dialog's handlers.
    void detectionTimeout() { m_protocol.detectionTimeout(); }
    void requestTimeout() { m_protocol.requestTimeout(); }
    void receive(const std::uint8_t* data, std::uint32_t size);
    // The port and the timers, under the designer names of the dialog.
    TCommPortDriver& port() { return m_port; }
    QTimer& detectionTimer() { return m_detection; }
    QTimer& requestTimer() { return m_request; }
    const DownloadProtocol& protocol() const { return m_protocol; }
    bool isRunning() const { return m_running; }
    // The text of the failure that ended the last download; empty when none.
    const QString& errorText() const { return m_error; }
    // The ports as given, before each start resolves them.
    const SerialPortMap& portMap() const { return m_ports; }

Q_SIGNALS:
    void progressChanged(int percent);       // 0..100
    void waiting();                          // looking for the instrument
    void identified(const QString& version); // the right instrument answered
    void recordCountKnown(int count);        // the archive's size
    void failure(const QString& text);       // a message for the user
    // The port the user chose is gone: said before any other port is tried.
    void choiceMissing(const QString& text);
    void finished(int result);               // 1: archive received; 2: not
    void commandSent(char command);          // "V" or "N" went to the instrument
    void chunkReceived();                    // bytes came from the line

private:
    // DownloadHost
    void setPortName(const QString& name) override;
    void openPort() override;
    void closePort() override;
    void sendChar(char c) override;
    void startDetectionTimer() override;
    void stopDetectionTimer() override;
    void startRequestTimer() override;
    void stopRequestTimer() override;
    void showProgress(int position) override;
    void showWaiting() override;
    void showIdentified(const QString& version) override;
    void showRecordCount(int count) override;
    void reportWrongInstrument() override;
    void reportNotFound() override;
    void reportPortFailure(const QString& text) override;
    void finish(int result) override;

    TCommPortDriver m_port;
    QTimer m_detection;
    QTimer m_request;
    DownloadProtocol m_protocol;
    int m_detectionMs = kDetectionIntervalMs;
    int m_requestMs = kRequestIntervalMs;
    bool m_keepDecodeErrors = false;
    bool m_running = false;
    QString m_error;
    SerialPortMap m_ports;      // as given: resolved anew by every start
    QStringList m_tried;        // devices this download has asked
    QStringList m_openProblems; // why some of them would not open
};
