// Charts, printing and the workbook export of the main window.
#include "app/main.h"

#include "app/error_report.h"
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "components/data_grid.h"
#include "components/work_progress.h"
#include "data/app_state.h"
#include "output/measurement_report.h"
#include "output/report_printing.h"
#include "output/workbook_export.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/xlsx_spreadsheet.h"
#include "view/captured_selection.h"

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
ReportPrinting reportPrinting(DialogService& dialogs, HelpViewer& help, const DbfTable& table)
{
    return ReportPrinting(
        dialogs, PrintingService::instance(), [&help] { help.showContents(); },
        QFileInfo(table.tableFile()).completeBaseName());
}

} // namespace

void TForm1::N8Click()
{
    if (const auto report = prepareReport(Dbf1, m_state, DBGridPro1))
        reportPrinting(m_dialogs, m_help, Dbf1).preview(this, *report);
}

void TForm1::N9Click()
{
    if (const auto report = prepareReport(Dbf1, m_state, DBGridPro1))
        reportPrinting(m_dialogs, m_help, Dbf1).printWithDialog(this, *report);
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
    const SpreadsheetFactory create = m_spreadsheets ? m_spreadsheets : [] {
        return std::unique_ptr<SpreadsheetApplication>(
            new XlsxSpreadsheet({XlsxSpreadsheet::documentsFolder(), QString(), true, {}}));
    };
    // The walk keeps the window alive: the progress window shows how far it
    // got and offers to stop; a stopped export leaves no workbook.
    WorkProgress progress(this, QStringLiteral("ExcelProgress"), m_applicationTitle,
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
}
