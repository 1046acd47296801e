#pragma once

#include "device/cpdrv.h"
#include "device/download_protocol.h"
#include "device/download_session.h"
#include "platform/dialog_service.h"

#include <QDialog>
#include <QTimer>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
struct ArchiveImage;

// The download dialog: looks for the instrument on the first and then the
// second port, checks its identification, requests the archive and decodes
// it into the application's archive image. Ends with 1 (archive received) or
// 2 (cancelled or failed). The work is the download session's; the dialog
// shows it.
class TForm2 : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kDetectionIntervalMs = DownloadSession::kDetectionIntervalMs;
    static constexpr int kRequestIntervalMs = DownloadSession::kRequestIntervalMs;

    TForm2(ArchiveImage& archive, DialogService& dialogs, const SerialPortMap& ports,
           QWidget* parent = nullptr);
    ~TForm2() override;

    // Tests shorten the two timers; the program keeps 3000 and 1000 ms.
    void setTimerIntervals(int detectionMs, int requestMs);

    // Handlers.
    void FormShow();
    void FormClose();
    void Timer1Timer();
    void Timer2Timer();
    void Button1Click();
    void CommPortDriver1ReceiveData(TCommPortDriver* Sender, const std::uint8_t* DataPtr,
                                    std::uint32_t DataSize);

    const DownloadProtocol& protocol() const { return m_session.protocol(); }
    // The ports as the program was started with them (options, environment, demo).
    const SerialPortMap& portMap() const { return m_session.portMap(); }

    // Designer components.
    QLabel* StaticText2;
    QProgressBar* ProgressBar1;
    QGroupBox* GroupBox1;
    QLabel* StaticText4;
    QLabel* StaticText5;
    QLabel* StaticText3;
    QLabel* StaticText1;
    QLabel* StaticText6;
    QLabel* StaticText7;
    QPushButton* Button1;
    TCommPortDriver* CommPortDriver1;
    QTimer* Timer1;
    QTimer* Timer2;

public slots:
    void done(int result) override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setValue(QLabel* label, const QString& text);

    DialogService& m_dialogs;
    DownloadSession m_session;
};
