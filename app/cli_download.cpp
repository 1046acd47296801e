// `fln download [--append] FILE`: the download dialog's work without a window.
// The same wire protocol, detection on the two ports and texts; the table
// work goes through the same document steps as "Создать" and "Дополнить".
#include "app/cli_commands.h"

#include "app/cli_progress.h"
#include "app/command_line.h"
#include "app/demo_mode.h"
#include "data/archive_decoding.h"
#include "data/dbf_table.h"
#include "data/measurement_document.h"
#include "data/measurement_schema.h"
#include "device/download_session.h"
#include "platform/app_error.h"
#include "platform/console_output.h"
#include "platform/file_lock.h"
#include "platform/interrupt_signals.h"
#include "device/serial_port_map.h"
#include "platform/settings_store.h"
#include "platform/terminal.h"
#include "platform/unseen_file.h"
#include "sim/simulated_instrument.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <memory>

namespace {

const QString kEmptyArchive = QStringLiteral("Архив прибора пуст!");
const QString kAdded = QStringLiteral("Добавлено записей: ");
const QString kInterrupted = QStringLiteral("Прием данных прерван: ");

// The command line has no Cancel button: a line that stays silent this long
// during the transfer ends it.
constexpr int kSilenceMs = 10000;

// The command line's view of the download session: progress on stderr, a
// watch on a silent line (there is no Cancel button), and the stop signals.
class HeadlessDownload
{
public:
    HeadlessDownload(ArchiveImage& image, const SerialPortMap& ports, InterruptSignals& interrupts)
        : m_session(image, ports)
    {
        m_session.setKeepsDecodeErrors(true);
        m_silence.setSingleShot(true);
        m_silence.setInterval(kSilenceMs);
        QObject::connect(&m_silence, &QTimer::timeout, [this] {
            stop(kInterrupted +
                 QStringLiteral("прибор не передает данных %1 с").arg(kSilenceMs / 1000));
        });
        QObject::connect(&interrupts, &InterruptSignals::interrupted, [this](int signalNumber) {
            stop(kInterrupted + InterruptSignals::describe(signalNumber));
        });
        // Silence counts once the archive is asked for; before that the
        // detection timer decides.
        QObject::connect(&m_session, &DownloadSession::commandSent, [this](char c) {
            if (c == 'N')
                m_silence.start();
        });
        QObject::connect(&m_session, &DownloadSession::chunkReceived, [this] {
            if (m_silence.isActive())
                m_silence.start();
        });
        QObject::connect(&m_session, &DownloadSession::progressChanged, [this](int p) {
            m_progress = p;
            showBar();
        });
        QObject::connect(&m_session, &DownloadSession::identified, [](const QString& version) {
            writeErr(QStringLiteral("Тип прибора: %1, версия ПО: %2\n")
                         .arg(DownloadSession::kInstrumentName, version));
        });
        QObject::connect(&m_session, &DownloadSession::recordCountKnown, [this](int count) {
            m_count = count;
            m_countShown = true;
            m_progress = count == 0 ? 100 : 0;
            showBar();
        });
        QObject::connect(&m_session, &DownloadSession::failure,
                         [this](const QString& text) { m_error = text; });
        QObject::connect(&m_session, &DownloadSession::choiceMissing,
                         [](const QString& text) { writeErr(text + u'\n'); });
        QObject::connect(&m_session, &DownloadSession::finished, [this](int result) {
            m_silence.stop();
            if (m_result == 0) {
                m_result = result;
                m_loop.quit();
            }
        });
    }

    // 1: the image holds the archive; 2: failed, error() says why.
    int run()
    {
        writeErr(DownloadSession::kWaitingText + u'\n');
        if (const int s = InterruptSignals::received()) {
            m_error = kInterrupted + InterruptSignals::describe(s);
            return 2;
        }
        m_session.start();
        if (m_result == 0)
            m_loop.exec();
        // An archive that arrives in one chunk has its count read after the
        // progress of that chunk: a finished download shows 100 % all the same.
        if (m_result == 1)
            m_progress = 100;
        showBar();
        m_bar.finish();
        return m_result;
    }
    QString error() const { return m_error.isEmpty() ? m_session.errorText() : m_error; }

private:
    void stop(const QString& why)
    {
        m_error = why;
        m_session.cancel();
    }
    // The bar appears once the record count is known.
    void showBar()
    {
        if (m_countShown)
            m_bar.show(m_progress, QStringLiteral("Количество записей: %1").arg(m_count));
    }

    DownloadSession m_session;
    QTimer m_silence;
    QEventLoop m_loop;
    int m_result = 0;
    int m_progress = 0;
    int m_count = 0;
    bool m_countShown = false;
    CliProgressBar m_bar{DownloadSession::kReceivingText};
    QString m_error;
};

// Stops before the table is written when a signal came meanwhile: the user
// asked to stop, and the table is not touched.
void requireNotInterrupted()
{
    if (const int s = InterruptSignals::received())
        throw AppError(kInterrupted + InterruptSignals::describe(s));
}

// Builds the new table in a file nobody sees and gives it its name only when
// it is complete, so that a failure or a kill leaves no file behind and an
// existing file untouched.
int createTable(DocumentState& state, const QString& path, UnseenFile& file)
{
    if (archiveRecordCount(state.archive) == 0)
        throw AppError(kEmptyArchive);
    checkArchiveRecords(state.archive);
    requireNotInterrupted();

    DbfTable table;
    MeasurementDocument doc(table, state);
    doc.beginCreate();
    doc.createTable(file.path());
    const int added = doc.fillFromArchive();
    doc.close();

    // The file it replaces is held while the name moves, as create holds it:
    // a table another program opened during the download stays its own.
    QFile old(path);
    if (old.exists() && (!old.open(QIODevice::ReadWrite) || !tryLockForWriting(old.handle()))) {
        DbfTable target;
        target.setTableFile(path);
        target.checkCanCreate(); // says why, in the table layer's words
        throw AppError(QStringLiteral("Cannot create table %1: %2").arg(path, old.errorString()));
    }
    requireNotInterrupted();
    file.publish(path);
    return added;
}

int appendToTable(DocumentState& state, const QString& path)
{
    requireNotInterrupted();
    DbfTable table;
    table.setTableFile(path);
    table.open();
    MeasurementDocument doc(table, state);
    state.tableOpen = true;
    // As "Дополнить" does: the sort goes (tag removed, header byte 28
    // cleared), so the last row is the file's last.
    table.selectSortTag(QString());
    table.removeSortTag(MeasurementSchema::kSortTag);
    const std::optional<int> added = doc.appendFromArchive();
    // The job ends when the rows are on disk: the download needs no statistics.
    doc.save();
    doc.close();
    return added.value_or(0);
}

} // namespace

int runDownloadCommand(const CommandLineOptions& options)
{
    DocumentState state;
    state.regional = commandRegionalSettings(options);
    const QString path = options.arguments.value(0);

    // The same devices as the window's: the user's choice from "Порт прибора…"
    // counts here too.
    SettingsStore settings;
    try {
        settings.openKey();
    } catch (const AppError&) {
        // No stored choice: the automatic order finds the port.
    }
    SerialPortMap ports = SerialPortMap::fromOptions(options.port1, options.port2);
    ports.setDiscovery(systemSerialPorts(), [&settings] { return readChosenPort(settings); });
    std::unique_ptr<SimulatedInstrument> sim;
    if (options.demo) {
        QString why;
        sim = startDemoInstrument(ports, &why);
        if (!sim)
            throw AppError(QStringLiteral("Не удается запустить имитатор прибора: %1").arg(why));
    }

    InterruptSignals interrupts;
    // What would make the table step fail is found before the instrument is
    // asked for anything (a download takes minutes at line speed). The
    // table is not kept open meanwhile; nothing in it changes unless the
    // download succeeds.
    DbfTable table;
    table.setTableFile(path);
    std::unique_ptr<UnseenFile> newFile;
    if (options.isSet(QStringLiteral("append"))) {
        table.checkCanOpenForWriting();
    } else {
        table.checkCanCreate();
        newFile = std::make_unique<UnseenFile>(QFileInfo(path).absolutePath());
    }

    HeadlessDownload download(state.archive, ports, interrupts);
    if (download.run() != 1)
        throw AppError(download.error().isEmpty() ? QStringLiteral("Прием данных прерван")
                                                  : download.error());

    const int added = options.isSet(QStringLiteral("append")) ? appendToTable(state, path)
                                                              : createTable(state, path, *newFile);
    writeOut(kAdded + QString::number(added) + u'\n');
    return kExitDone;
}
