// Charts, printing and the workbook export of the main window.
#include "app/main.h"

#include "app/error_report.h"
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "components/data_grid.h"
#include "data/app_state.h"
#include "output/measurement_report.h"
#include "output/report_printing.h"
#include "output/workbook_export.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/xlsx_spreadsheet.h"
#include "view/captured_selection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

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
                              const DbfTable& table)
{
    return ReportPrinting(
        dialogs, printing, [&help] { help.showSection(QStringLiteral("print")); },
        QFileInfo(table.tableFile()).completeBaseName());
}

// An export whose workbook no program opened would leave the user guessing
// whether it worked: say where the workbook is, and offer its folder.
void tellWorkbookNotOpened(DialogService& dialogs, QWidget* parent, const QString& file,
                           const std::function<bool(const QString&)>& open)
{
    const QString text = QStringLiteral("Книга Excel сохранена в файле\n%1\n\n"
                                        "Открыть ее не удалось: не найдена программа для "
                                        "файлов этого вида.")
                             .arg(QDir::toNativeSeparators(file));
    if (dialogs.message(parent, text, kAppTitle, DialogService::Icon::Information,
                        DialogService::Buttons::OpenFolderOk) != DialogService::Answer::Yes)
        return;
    const QString folder = QFileInfo(file).absolutePath();
    if (!open(folder))
        dialogs.message(parent,
                        QStringLiteral("Не удается открыть папку %1")
                            .arg(QDir::toNativeSeparators(folder)),
                        QStringLiteral("Ошибка"), DialogService::Icon::Stop,
                        DialogService::Buttons::Ok);
}

} // namespace

void TForm1::N8Click()
{
    if (const auto report = prepareReport(Dbf1, m_state, DBGridPro1)) {
        ReportPrinting printing = reportPrinting(m_dialogs, m_printing, m_help, Dbf1);
        printing.setFolder(m_state.defaultDir);
        printing.setZoomMemory(&m_previewZoom);
        printing.preview(this, *report);
    }
}

void TForm1::N9Click()
{
    if (const auto report = prepareReport(Dbf1, m_state, DBGridPro1))
        reportPrinting(m_dialogs, m_printing, m_help, Dbf1).printWithDialog(this, *report);
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
    Form3->setRegionalSettings(m_state.regional);
    Form3->setDialogService(&m_dialogs);
    Form3->setPrintingService(&m_printing);
    Form3->setSaveSuggestion(m_state.defaultDir, QFileInfo(Dbf1.tableFile()).completeBaseName());
    Form3->setSource({[grid] { return qsizetype(grid->selectionCount()); },
                      [grid](qsizetype k) { return capturedRow(*grid, k); },
                      [grid](const QString& field) { return footerTextOf(*grid, field); }});
    Form3->setErrorReport(
        [this] { showErrorReport(m_dialogs, Form3, currentExceptionReportText()); });
    m_dialogs.execModal(*Form3);
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
    const auto openWithDesktop = m_openWithDesktop ? m_openWithDesktop
                                                   : std::function(XlsxSpreadsheet::openWithDesktop);
    QString notOpened; // the saved workbook that no program took
    const SpreadsheetFactory create = m_spreadsheets ? m_spreadsheets : [&] {
        XlsxSpreadsheet::Target target;
        target.folder =
            m_workbookFolder.isEmpty() ? XlsxSpreadsheet::documentsFolder() : m_workbookFolder;
        target.open = true;
        target.opener = openWithDesktop;
        target.notOpened = [&notOpened](const QString& path) { notOpened = path; };
        return std::unique_ptr<SpreadsheetApplication>(new XlsxSpreadsheet(std::move(target)));
    };
    // The walk keeps the window alive: the progress dialog shows how far it
    // got and offers to stop; a stopped export leaves no workbook.
    QProgressDialog progress(QStringLiteral("Экспорт в Excel ..."), QStringLiteral("Отмена"), 0,
                             100, this);
    progress.setObjectName(QStringLiteral("ExcelProgress"));
    progress.setWindowTitle(QStringLiteral("Экспорт в Excel"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    const WorkbookProgress report = [&](qint64 written, qint64 total) {
        progress.setMaximum(int(qMin<qint64>(total, INT_MAX)));
        progress.setValue(int(written));
        QCoreApplication::processEvents();
        if (progress.wasCanceled())
            return false;
        if (written == total) {
            // Writing the file cannot be stopped half-way.
            progress.setLabelText(QStringLiteral("Сохранение книги ..."));
            progress.setCancelButton(nullptr);
        }
        return true;
    };

    // The grid learns where the walk ended rather than every step of it:
    // following each record would cost the export as much again.
    Dbf1.disableControls();
    try {
        const bool saved =
            exportWorkbook(Dbf1, create, m_state.regional, report) == WorkbookExportResult::Saved;
        Dbf1.enableControls();
        if (saved && !Dbf1.isEmpty())
            Dbf1.last(); // where the walk ended: the last record is current
        else if (!Dbf1.isEmpty())
            Dbf1.goToRecord(Dbf1.recNo());
    } catch (...) {
        Dbf1.enableControls();
        if (!Dbf1.isEmpty())
            Dbf1.goToRecord(Dbf1.recNo());
        throw;
    }
    if (!notOpened.isEmpty())
        tellWorkbookNotOpened(m_dialogs, this, notOpened, openWithDesktop);
}

