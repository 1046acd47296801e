// Charts, printing and the workbook export of the main window.
#include "app/main.h"

#include "app/about.h"
#include "app/app_state.h"
#include "app/error_report.h"
#include "app/summary_window.h"
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "components/data_grid.h"
#include "components/wait_cursor.h"
#include "components/work_progress.h"
#include "data/captured_row.h"
#include "data/measurement_csv.h"
#include "data/measurement_schema.h"
#include "data/summary_options.h"
#include "data/table_period.h"
#include "output/measurement_report.h"
#include "output/protocol_content.h"
#include "output/protocol_preview.h"
#include "output/report_printing.h"
#include "output/workbook_export.h"
#include "platform/app_error.h"
#include "platform/app_title.h"
#include "platform/help_viewer.h"
#include "platform/output_target.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "platform/unseen_file.h"
#include "platform/xlsx_spreadsheet.h"
#include "view/captured_selection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// The printed report of the open table, prepared anew from its current
// contents and order; nullptr when no table is open. Preparing leaves the
// table on its last record.
std::unique_ptr<PreparedReport> prepareReport(DbfTable& table, const AppState& state,
                                              DataGrid* grid)
{
    if (!state.tableOpen || !table.isOpen())
        return nullptr;
    if (grid)
        grid->endEditInProgress(); // a comment being typed is part of the report
    return MeasurementReport::prepare(table);
}

// The report's previews and print jobs, named after the open table.
ReportPrinting reportPrinting(DialogService& dialogs, PrintingService& printing, HelpViewer& help,
                              const DbfTable& table, ReportPrinting::Printed printed)
{
    ReportPrinting result(
        dialogs, printing, [&help] { help.showSection(QStringLiteral("print")); },
        QFileInfo(table.tableFile()).completeBaseName());
    result.setTableFiles({table.tableFile(), table.indexFile()});
    result.setPrinted(std::move(printed));
    return result;
}

// An export whose workbook no program opened would leave the user guessing
// whether it worked: say where the workbook is, and offer its folder.
// Returns whether the user asked for the folder.
bool tellWorkbookNotOpened(DialogService& dialogs, QWidget* parent, const QString& file)
{
    const QString text = QStringLiteral("Книга Excel сохранена в файле\n%1\n\n"
                                        "Открыть ее не удалось: не найдена программа для "
                                        "файлов этого вида.")
                             .arg(QDir::toNativeSeparators(file));
    return dialogs.message(parent, text, kAppTitle, DialogService::Icon::Information,
                           DialogService::Buttons::OpenFolderOk) == DialogService::Answer::Yes;
}

// The chart's time range (local time, as it places the rows) as a period of
// whole seconds within it.
Period shownPeriod(qint64 fromMsecs, qint64 toMsecs)
{
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(fromMsecs + 999);
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(toMsecs);
    return Period{momentOf(from.date(), from.time()), momentOf(to.date(), to.time())};
}

} // namespace

void TForm1::N8Click()
{
    if (const auto report = prepareReport(Dbf1, m_state, DBGridPro1)) {
        ReportPrinting printing =
            reportPrinting(m_dialogs, m_printing, m_help, Dbf1, reportPrintedStatus());
        printing.setFolder(m_state.defaultDir);
        printing.setZoomMemory(&m_previewZoom);
        printing.preview(this, *report);
    }
}

void TForm1::N9Click()
{
    if (const auto report = prepareReport(Dbf1, m_state, DBGridPro1))
        reportPrinting(m_dialogs, m_printing, m_help, Dbf1, reportPrintedStatus())
            .printWithDialog(this, *report);
}

void TForm1::N22Click()
{
    N9Click(); // the grid's pop-up "Печать" does what the main menu's does
}

void TForm1::N15Click()
{
    if (!Form3 || !Form4)
        return;
    if (m_dialogs.execModal(*Form4) != 1)
        return;
    // The chart window reads the grid's selection and footers as they are
    // now, and reports its errors as every command does.
    const DataGrid* grid = DBGridPro1;
    Form3->setChoice(Form4->choice());
    if (m_settings.isOpen()) {
        const SummaryOptions limits = loadTableSummaryOptions(m_settings, Dbf1.tableFile());
        Form3->setLimits(limits.lower, limits.upper);
    }
    Form3->setRegionalSettings(m_state.regional);
    Form3->setDialogService(&m_dialogs);
    Form3->setTableFiles({Dbf1.tableFile(), Dbf1.indexFile()});
    Form3->setSaveSuggestion(m_state.defaultDir, QFileInfo(Dbf1.tableFile()).completeBaseName());
    Form3->setSource({[grid] { return qsizetype(grid->selectionCount()); },
                      [grid](qsizetype k) { return capturedRow(*grid, k); },
                      [grid](const QString& field) { return footerTextOf(*grid, field); }});
    Form3->setErrorReport(
        [this] { showErrorReport(m_dialogs, Form3, currentExceptionReportText()); });
    Form3->setSelectShown([this](qint64 fromMsecs, qint64 toMsecs) {
        return selectPeriod(shownPeriod(fromMsecs, toMsecs));
    });
    m_dialogs.execModal(*Form3);
}

void TForm1::SummaryClick()
{
    if (!m_state.tableOpen || !Dbf1.isOpen())
        return;
    // What is being typed is posted first, so that the figures count it.
    DBGridPro1->endEditInProgress();
    std::unique_ptr<SummaryWindow> window;
    try {
        const WaitCursor wait; // the figures, not the window the user then works in
        window = std::make_unique<SummaryWindow>(Dbf1, selectedRecords(), m_state.regional,
                                                 m_settings, m_printing, this);
    } catch (...) {
        showErrorReport(m_dialogs, this, currentExceptionReportText());
        return;
    }
    SummaryWindow* w = window.get();
    window->setDialogService(&m_dialogs);
    window->setSaveSuggestion(m_state.defaultDir, QFileInfo(Dbf1.tableFile()).completeBaseName());
    window->setErrorReport(
        [this, w] { showErrorReport(m_dialogs, w, currentExceptionReportText()); });
    m_dialogs.execModal(*window);
    if (!window->writtenFile().isEmpty())
        showFileOutput(QStringLiteral("Сводка сохранена"), window->writtenFile());
    applyLimitColours(); // the limits may have changed
}

void TForm1::takeTableLimits()
{
    if (!m_settings.isOpen() || !Dbf1.isOpen())
        return;
    try {
        adoptTableSummaryOptions(m_settings, Dbf1.tableFile());
    } catch (const AppError&) {
        // A settings file that takes no value costs the table its own
        // limits, not its opening: those used last apply.
    }
    applyLimitColours();
}

QList<quint32> TForm1::selectedRecords() const
{
    // Two or more selected rows are the period, as for the footers.
    QList<quint32> records;
    const int c = DBGridPro1->selectionCount();
    if (c >= 2) {
        records.reserve(c);
        // Only the bookmarks: making up every entry would copy its captured
        // values too, for nothing, on a selection of a million rows.
        const DataGridModel* model = DBGridPro1->model();
        for (int i = 0; i < c; ++i)
            records.append(quint32(model->selectionBookmark(i)));
    }
    return records;
}

void TForm1::ProtocolClick()
{
    if (!m_state.tableOpen || !Dbf1.isOpen())
        return;
    // What is being typed is posted first, so that the protocol counts it.
    DBGridPro1->endEditInProgress();
    std::unique_ptr<ProtocolDocument> document;
    QList<PdfAttachment> attachments;
    try {
        const WaitCursor wait;
        const QList<quint32> records = selectedRecords();
        const QList<quint32>* chosen = records.isEmpty() ? nullptr : &records;
        const SummaryOptions options = m_settings.isOpen()
                                           ? loadTableSummaryOptions(m_settings, Dbf1.tableFile())
                                           : SummaryOptions{};
        ProtocolContent content =
            collectProtocol(Dbf1, chosen, options, ProtocolReadings::Auto, m_state.regional);
        content.program =
            kAppTitle + u' ' + get_file_version(QCoreApplication::applicationFilePath());
        attachments = protocolAttachments(Dbf1, chosen, content);
        document = std::make_unique<ProtocolDocument>(std::move(content), m_state.regional);
    } catch (...) {
        showErrorReport(m_dialogs, this, currentExceptionReportText());
        return;
    }
    ProtocolPreview preview(*document, std::move(attachments), m_dialogs, m_printing, this);
    preview.setTableFiles({Dbf1.tableFile(), Dbf1.indexFile()});
    preview.setSaveSuggestion(m_state.defaultDir, QFileInfo(Dbf1.tableFile()).completeBaseName());
    preview.setErrorReport(
        [this, &preview] { showErrorReport(m_dialogs, &preview, currentExceptionReportText()); });
    m_dialogs.execModal(preview);
    if (!preview.writtenFile().isEmpty())
        showFileOutput(QStringLiteral("Протокол сохранен"), preview.writtenFile());
}

const QColor TForm1::kAboveLimitColour = QColor(0xC0, 0x00, 0x00);
const QColor TForm1::kBelowLimitColour = QColor(0x00, 0x00, 0xC0);

void TForm1::applyLimitColours()
{
    if (!m_settings.isOpen())
        return;
    const SummaryOptions o = m_state.tableOpen && Dbf1.isOpen()
                                 ? loadTableSummaryOptions(m_settings, Dbf1.tableFile())
                                 : loadSummaryOptions(m_settings);
    if (!o.lower[0] && !o.upper[0] && !o.lower[1] && !o.upper[1]) {
        DBGridPro1->model()->setCellTextColour({});
        return;
    }
    const CapturedRowConverter convert(m_state.regional);
    DBGridPro1->model()->setCellTextColour(
        [o, convert](const QString& field, const QVariant& value) {
            const int c = field.compare(MeasurementSchema::kT1, Qt::CaseInsensitive) == 0   ? 0
                          : field.compare(MeasurementSchema::kT2, Qt::CaseInsensitive) == 0 ? 1
                                                                                            : -1;
            const QString text = value.toString();
            if (c < 0 || text.isEmpty())
                return QColor();
            double v = 0;
            try {
                v = convert.number(text);
            } catch (const AppError&) {
                return QColor(); // the footers report texts that do not convert
            }
            if (o.upper[size_t(c)] && v > *o.upper[size_t(c)])
                return kAboveLimitColour;
            if (o.lower[size_t(c)] && v < *o.lower[size_t(c)])
                return kBelowLimitColour;
            return QColor();
        });
}

void TForm1::Excel1Click()
{
    if (m_state.tableOpen && Dbf1.isOpen())
        exp2excel();
}

void TForm1::exp2excel()
{
    // What is being typed in the grid is posted first, as the walk's first
    // move would post it; otherwise every row would show the edited record.
    DBGridPro1->endEditInProgress();
    const auto openWithDesktop = desktopOpener();
    QString saved;     // where the workbook went
    QString notOpened; // the saved workbook that no program took
    const SpreadsheetFactory create = m_spreadsheets ? m_spreadsheets : [&] {
        XlsxSpreadsheet::Target target;
        target.folder =
            m_workbookFolder.isEmpty() ? XlsxSpreadsheet::documentsFolder() : m_workbookFolder;
        target.name = QFileInfo(Dbf1.tableFile()).completeBaseName();
        target.open = true;
        target.opener = openWithDesktop;
        target.saved = [&saved](const QString& path) { saved = path; };
        target.notOpened = [&notOpened](const QString& path) { notOpened = path; };
        return std::unique_ptr<SpreadsheetApplication>(new XlsxSpreadsheet(std::move(target)));
    };
    {
        // The walk keeps the window alive: the progress window shows how far
        // it got and offers to stop; a stopped export leaves no workbook.
        // It is gone before anything is said about the result.
        WorkProgress progress(this, QStringLiteral("ExcelProgress"),
                              QStringLiteral("Экспорт в Excel"),
                              QStringLiteral("Экспорт в Excel ..."));
        const WorkbookProgress report = [&](qint64 written, qint64 total) {
            if (!progress.step(written, total))
                return false;
            if (written == total) // writing the file cannot be stopped half-way
                progress.lastStage(QStringLiteral("Сохранение книги ..."));
            return true;
        };

        // The grid learns where the walk ended rather than every step of it:
        // following each record would cost the export as much again.
        Dbf1.disableControls();
        try {
            const bool complete = exportWorkbook(Dbf1, create, m_state.regional, report) ==
                                  WorkbookExportResult::Saved;
            Dbf1.enableControls();
            if (complete && !Dbf1.isEmpty())
                Dbf1.last(); // where the walk ended: the last record is current
            else if (!Dbf1.isEmpty())
                Dbf1.goToRecord(Dbf1.recNo());
        } catch (...) {
            Dbf1.enableControls();
            if (!Dbf1.isEmpty())
                Dbf1.goToRecord(Dbf1.recNo());
            throw;
        }
    }
    // Where the workbook is, whatever the desktop then does with it: a
    // program may start and never show a window.
    if (!saved.isEmpty())
        showFileOutput(QStringLiteral("Книга Excel сохранена"), saved);
    if (!notOpened.isEmpty() && tellWorkbookNotOpened(m_dialogs, this, notOpened))
        openFolderOf(notOpened);
}

void TForm1::CsvExport1Click()
{
    if (!m_state.tableOpen || !Dbf1.isOpen())
        return;
    // What is being typed is part of the rows written.
    DBGridPro1->endEditInProgress();
    DialogService::FileRequest request;
    request.filter = QStringLiteral("Файлы CSV (*.csv)|*.csv");
    request.defaultExtension = QStringLiteral(".csv");
    request.initialDir = m_state.defaultDir;
    request.fileName = QFileInfo(Dbf1.tableFile()).completeBaseName() + QStringLiteral(".csv");
    const DialogService::FileResult chosen = m_dialogs.saveFile(this, request);
    if (!chosen.accepted || chosen.fileName.isEmpty())
        return;
    const QString file = chosen.fileName;
    bool written = false;
    try {
        if (const QString refusal = refusedOutput(file, {Dbf1.tableFile(), Dbf1.indexFile()});
            !refusal.isEmpty())
            throw AppError(refusal);
        // Two or more selected rows are what the user means, as for the
        // footers and the summary; else the whole table.
        QList<quint32> records;
        const int c = DBGridPro1->selectionCount();
        if (c >= 2) {
            QList<quint32> selected;
            selected.reserve(c);
            const DataGridModel* model = DBGridPro1->model();
            for (int i = 0; i < c; ++i)
                selected.append(quint32(model->selectionBookmark(i)));
            records = MeasurementCsv::inBrowsingOrder(Dbf1, selected);
        } else {
            records = MeasurementCsv::browsingOrder(Dbf1);
        }
        // The progress window keeps the program alive and offers to stop;
        // a stopped export leaves no file.
        WorkProgress progress(this, QStringLiteral("CsvProgress"), QStringLiteral("Экспорт в CSV"),
                              QStringLiteral("Экспорт в CSV ..."));
        OutputFile out(file);
        if (MeasurementCsv::write(
                out, Dbf1, records, m_state.regional,
                MeasurementCsv::Format::forDecimalPoint(m_state.regional.decimalSeparator),
                [&progress](qint64 done, qint64 total) { return progress.step(done, total); })) {
            out.commit();
            written = true;
        }
    } catch (...) {
        showErrorReport(m_dialogs, this, currentExceptionReportText());
        return;
    }
    if (written)
        showFileOutput(QStringLiteral("CSV сохранен"), file);
}
