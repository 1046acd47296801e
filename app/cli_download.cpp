// `fln download [--append] FILE`: the download dialog's work without a window.
// The same wire protocol, detection on the two ports and texts; the table
// work goes through the same document steps as "Создать" and "Дополнить".
#include "app/cli_download.h"

#include "app/cli.h"

#include "app/command_line.h"
#include "app/demo_mode.h"
#include "data/archive_decoding.h"
#include "data/dbf_table.h"
#include "data/measurement_document.h"
#include "device/cpdrv.h"
#include "device/download_protocol.h"
#include "platform/app_error.h"
#include "platform/terminal.h"
#include "sim/simulated_instrument.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

const QString kWrongInstrument = QStringLiteral("Вы подключили не тот прибор !");
const QString kNotFound =
    QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");
const QString kEmptyArchive = QStringLiteral("Архив прибора пуст!");
const QString kBrokenTable = QStringLiteral("База данных повреждена !");
const QString kAdded = QStringLiteral("Добавлено записей: ");

void err(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

// The download with the port component and two timers, reporting on stderr.
class HeadlessDownload : private DownloadHost
{
public:
    HeadlessDownload(ArchiveImage& image, const SerialPortMap& ports)
        : m_port(ports), m_protocol(*this, image)
    {
        // The line settings of the download dialog.
        m_port.setPort(pnCustom);
        m_port.setPortName(DownloadProtocol::kFirstPort);
        m_port.setStopBits(sb2BITS);
        m_port.setEnableDTROnOpen(false);
        m_port.setInBufSize(4096);
        m_port.setOutBufSize(4096);
        m_port.setOnReceiveData([this](TCommPortDriver*, const std::uint8_t* data,
                                       std::uint32_t size) { receive(data, size); });
        m_detection.setInterval(3000);
        m_request.setInterval(1000);
        QObject::connect(&m_detection, &QTimer::timeout, [this] { m_protocol.detectionTimeout(); });
        QObject::connect(&m_request, &QTimer::timeout, [this] { m_protocol.requestTimeout(); });
    }

    // 1: the image holds the archive; 2: failed, error() says why.
    int run()
    {
        err(QStringLiteral("Ожидание готовности прибора ...\n"));
        m_protocol.start();
        if (m_result == 0)
            m_loop.exec();
        // An archive that arrives in one chunk has its count read after the
        // progress of that chunk: a finished download shows 100 % all the same.
        if (m_result == 1)
            m_progress = 100;
        if (m_interactive) {
            drawBar();
            if (m_barShown)
                err(QStringLiteral("\n"));
        } else if (m_countShown) {
            err(barText().mid(1) + QStringLiteral("\n")); // the last state, once
        }
        return m_result;
    }
    QString error() const { return m_error; }

private:
    void receive(const std::uint8_t* data, std::uint32_t size)
    {
        try {
            m_protocol.receive(data, size);
        } catch (const AppError& e) {
            m_error = e.text();
            shutDown(2);
        }
    }
    void shutDown(int result)
    {
        m_detection.stop();
        m_request.stop();
        m_port.ClosePort();
        if (m_result == 0) {
            m_result = result;
            m_loop.quit();
        }
    }
    QString barText() const
    {
        constexpr int kWidth = 40;
        const int p = qBound(0, m_progress, 100);
        const int filled = p * kWidth / 100;
        return QStringLiteral("\rИдет прием информации ... [") + QString(filled, u'#') +
               QString(kWidth - filled, u'.') +
               QStringLiteral("] %1 %  Количество записей: %2").arg(p, 3).arg(m_count);
    }
    void drawBar()
    {
        // Redrawn in place on a terminal only; run() writes the last state
        // into a log.
        const int p = qBound(0, m_progress, 100);
        if (!m_interactive || !m_countShown || p == m_drawn)
            return;
        m_drawn = p;
        err(barText());
        m_barShown = true;
    }

    // DownloadHost
    void setPortName(const QString& name) override { m_port.setPortName(name); }
    QString portName() const override { return m_port.PortName(); }
    void openPort() override { m_port.OpenPort(); }
    void closePort() override { m_port.ClosePort(); }
    void sendChar(char c) override { m_port.SendChar(c); }
    void startDetectionTimer() override { m_detection.start(); }
    void stopDetectionTimer() override { m_detection.stop(); }
    void startRequestTimer() override { m_request.start(); }
    void stopRequestTimer() override { m_request.stop(); }
    void showProgress(int position) override
    {
        m_progress = position;
        drawBar();
    }
    void showWaiting() override {}
    void showIdentified(const QString& version) override
    {
        err(QStringLiteral("Тип прибора: ФЛН-РК2, версия ПО: %1\n").arg(version));
    }
    void showRecordCount(int count) override
    {
        m_count = count;
        m_countShown = true;
        m_drawn = -1;
        m_progress = count == 0 ? 100 : 0;
        drawBar();
    }
    void reportWrongInstrument() override { m_error = kWrongInstrument; }
    void reportNotFound() override { m_error = kNotFound; }
    void finish(int result) override { shutDown(result); }

    TCommPortDriver m_port;
    DownloadProtocol m_protocol;
    QTimer m_detection;
    QTimer m_request;
    QEventLoop m_loop;
    int m_result = 0;
    int m_progress = 0;
    int m_count = 0;
    int m_drawn = -1;
    bool m_countShown = false;
    bool m_barShown = false;
    bool m_interactive = isTerminal(stderr);
    QString m_error;
};

// Creates the new table beside its final place and moves it there only when
// it is complete, so that a failure leaves no file behind and an existing
// file untouched.
int createTable(AppState& state, const QString& path)
{
    if (archiveRecordCount(state.archive) == 0)
        throw AppError(kEmptyArchive);
    checkArchiveRecords(state.archive);

    const QFileInfo target(path);
    const bool existing = target.exists();
    const QFile::Permissions oldPermissions =
        existing ? target.permissions() : QFile::Permissions();
    QTemporaryFile reserve(target.absoluteDir().filePath(QStringLiteral(".fln-XXXXXX.db")));
    if (!reserve.open())
        throw AppError(QStringLiteral("Не удается создать файл в папке %1")
                           .arg(QDir::toNativeSeparators(target.absolutePath())));
    const QString temp = reserve.fileName();
    reserve.setAutoRemove(false);
    reserve.close();

    int added = 0;
    try {
        DbfTable table;
        MeasurementDocument doc(table, state);
        doc.beginCreate();
        doc.createTable(temp);
        added = doc.fillFromArchive();
        doc.findMma();
        doc.close();
        std::error_code ec;
        std::filesystem::rename(temp.toStdString(), target.absoluteFilePath().toStdString(), ec);
        if (ec)
            throw AppError(QStringLiteral("Не удается записать файл %1: %2")
                               .arg(QDir::toNativeSeparators(target.absoluteFilePath()),
                                    QString::fromStdString(ec.message())));
        // The reserved name was private to us; the table gets the usual rights.
        QFile::setPermissions(target.absoluteFilePath(),
                              existing
                                  ? oldPermissions
                                  : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                        QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    } catch (...) {
        QFile::remove(temp);
        QFile::remove(QFileInfo(temp).path() + u'/' + QFileInfo(temp).completeBaseName() +
                      QStringLiteral(".mdx"));
        throw;
    }
    return added;
}

int appendToTable(AppState& state, const QString& path)
{
    DbfTable table;
    MeasurementDocument doc(table, state);
    if (!doc.openTable(path))
        throw AppError(kBrokenTable);
    // As "Дополнить" does: no sort order, so the last row is the file's last.
    if (!table.selectedSortTag().isEmpty())
        table.selectSortTag(QString());
    const std::optional<int> added = doc.appendFromArchive();
    doc.save();
    doc.findMma();
    doc.close();
    return added.value_or(0);
}

} // namespace

int runDownloadCommand(const CommandLineOptions& options)
{
    AppState state;
    state.regional = commandRegionalSettings(options);
    const QString path = options.arguments.value(0);

    SerialPortMap ports = SerialPortMap::fromOptions(options.port1, options.port2);
    std::unique_ptr<SimulatedInstrument> sim;
    if (options.demo) {
        QString why;
        sim = startDemoInstrument(ports, &why);
        if (!sim)
            throw AppError(QStringLiteral("Не удается запустить имитатор прибора: %1").arg(why));
    }

    if (options.append) {
        // The table must open before anything is downloaded; it is not kept
        // open meanwhile and nothing in it changes unless the download succeeds.
        DbfTable table;
        try {
            table.setTableFile(path);
            table.open(DbfTable::Access::ReadOnly);
            table.close();
        } catch (const std::exception&) {
            throw AppError(kBrokenTable);
        }
    }

    HeadlessDownload download(state.archive, ports);
    if (download.run() != 1)
        throw AppError(download.error().isEmpty() ? QStringLiteral("Прием данных прерван")
                                                  : download.error());

    const int added = options.append ? appendToTable(state, path) : createTable(state, path);
    const QByteArray line = (kAdded + QString::number(added) + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    return kExitDone;
}
