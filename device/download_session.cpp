#include "device/download_session.h"

#include "data/archive_image.h"
#include "platform/app_error.h"

const QString DownloadSession::kWaitingText = QStringLiteral("Ожидание готовности прибора ...");
const QString DownloadSession::kReceivingText = QStringLiteral("Идет прием информации ...");
const QString DownloadSession::kInstrumentName = QStringLiteral("ФЛН-РК2");
const QString DownloadSession::kWrongInstrument = QStringLiteral("Вы подключили не тот прибор !");
const QString DownloadSession::kNotFound =
    QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");

DownloadSession::DownloadSession(ArchiveImage& image, const SerialPortMap& ports, QObject* parent)
    : QObject(parent), m_port(ports, this), m_detection(this), m_request(this),
      m_protocol(*this, image), m_ports(ports)
{
    m_port.setObjectName(QStringLiteral("CommPortDriver1"));
    m_port.setPort(pnCustom);
    m_port.setPortName(DownloadProtocol::kFirstPort);
    m_port.setStopBits(sb2BITS);
    m_port.setEnableDTROnOpen(false);
    m_port.setInBufSize(4096);
    m_port.setOutBufSize(4096);
    m_port.setOnReceiveData([this](TCommPortDriver*, const std::uint8_t* data, std::uint32_t size) {
        receive(data, size);
    });
    m_port.setOnPortFailure(
        [this](TCommPortDriver*, const QString& reason) { m_protocol.portFailed(reason); });

    // The timeouts are "after": a coarse timer may fire up to 5 % early.
    m_detection.setObjectName(QStringLiteral("Timer1"));
    m_detection.setTimerType(Qt::PreciseTimer);
    m_detection.setInterval(m_detectionMs);
    connect(&m_detection, &QTimer::timeout, this, [this] { detectionTimeout(); });
    m_request.setObjectName(QStringLiteral("Timer2"));
    m_request.setTimerType(Qt::PreciseTimer);
    m_request.setInterval(m_requestMs);
    connect(&m_request, &QTimer::timeout, this, [this] { requestTimeout(); });
}

DownloadSession::~DownloadSession() = default;

void DownloadSession::setTimerIntervals(int detectionMs, int requestMs)
{
    m_detectionMs = detectionMs;
    m_requestMs = requestMs;
    m_detection.setInterval(detectionMs);
    m_request.setInterval(requestMs);
}

QString DownloadSession::triedDevicesText(const QStringList& devices)
{
    if (devices.isEmpty())
        return QStringLiteral("Последовательные порты не найдены.");
    return QStringLiteral("Опрошены порты: %1").arg(devices.join(QStringLiteral(", ")));
}

void DownloadSession::start()
{
    m_error.clear();
    m_tried.clear();
    m_openProblems.clear();
    // Adapters come and go and the user may have chosen another port since
    // the last download: which device is "the first port" is decided now.
    m_port.setPortMap(m_ports.resolved());
    m_running = true;
    if (const QString gone = m_port.portMap().missingChoice(); !gone.isEmpty())
        emit choiceMissing(missingChoiceText(gone));
    m_protocol.start();
}

void DownloadSession::cancel()
{
    m_protocol.cancel();
}

void DownloadSession::receive(const std::uint8_t* data, std::uint32_t size)
{
    emit chunkReceived();
    try {
        m_protocol.receive(data, size);
    } catch (const AppError& e) {
        // The download cannot go on: it ends cleanly first.
        m_detection.stop();
        m_request.stop();
        m_port.ClosePort();
        m_error = e.text();
        finish(2);
        if (!m_keepDecodeErrors)
            throw;
    }
}

void DownloadSession::setPortName(const QString& name)
{
    m_port.setPortName(name);
}

void DownloadSession::openPort()
{
    const QString device = m_port.devicePath();
    if (!device.isEmpty() && !m_tried.contains(device))
        m_tried.append(device);
    if (m_port.OpenPort())
        return;
    // The protocol goes on to the next port as it always has; the reason is
    // kept for the message that ends the search.
    const QString why = m_port.openFailureText();
    if (!why.isEmpty() && !m_openProblems.contains(why))
        m_openProblems.append(why);
}

void DownloadSession::closePort()
{
    m_port.ClosePort();
}

void DownloadSession::sendChar(char c)
{
    m_port.SendChar(c);
    emit commandSent(c);
}

void DownloadSession::startDetectionTimer()
{
    m_detection.start(m_detectionMs);
}

void DownloadSession::stopDetectionTimer()
{
    m_detection.stop();
}

void DownloadSession::startRequestTimer()
{
    m_request.start(m_requestMs);
}

void DownloadSession::stopRequestTimer()
{
    m_request.stop();
}

void DownloadSession::showProgress(int position)
{
    emit progressChanged(qBound(0, position, 100));
}

void DownloadSession::showWaiting()
{
    emit waiting();
}

void DownloadSession::showIdentified(const QString& version)
{
    emit identified(version);
}

void DownloadSession::showRecordCount(int count)
{
    emit recordCountKnown(count);
}

void DownloadSession::reportWrongInstrument()
{
    m_error = kWrongInstrument;
    emit failure(kWrongInstrument);
}

void DownloadSession::reportNotFound()
{
    QStringList lines{kNotFound, triedDevicesText(m_tried)};
    lines += m_openProblems;
    m_error = lines.join(u'\n');
    emit failure(m_error);
}

void DownloadSession::reportPortFailure(const QString& text)
{
    m_error = text;
    emit failure(text);
}

void DownloadSession::finish(int result)
{
    m_running = false;
    emit finished(result);
}
