// Charts, printing and the workbook export of the main window.
#include "app/main.h"

#include "components/data_grid.h"
#include "data/app_state.h"
#include "output/measurement_report.h"
#include "output/report_printing.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"

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
    return MeasurementReport::prepare(table, state.regional.decimalSeparator);
}

} // namespace

void TForm1::N8Click()
{
    const auto report = prepareReport(Dbf1, m_state, DBGridPro1);
    if (!report)
        return;
    ReportPrinting(m_dialogs, PrintingService::instance(), [this] { m_help.showContents(); },
                   QFileInfo(Dbf1.tableFile()).completeBaseName())
        .preview(this, *report);
}

void TForm1::N9Click()
{
    const auto report = prepareReport(Dbf1, m_state, DBGridPro1);
    if (!report)
        return;
    ReportPrinting(m_dialogs, PrintingService::instance(), [this] { m_help.showContents(); },
                   QFileInfo(Dbf1.tableFile()).completeBaseName())
        .printWithDialog(this, *report);
}

void TForm1::N22Click()
{
    N9Click(); // the grid's pop-up "Печать" does what the main menu's does
}

void TForm1::N15Click() {}

void TForm1::Excel1Click() {}
