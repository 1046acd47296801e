// Statistics and row operations of the main window.
#include "app/main.h"
#include "data/measurement_schema.h"

#include "app/app_state.h"
#include "components/data_grid.h"
#include "components/grid_row_source.h"
#include "components/wait_cursor.h"
#include "data/measurement_document.h"
#include "data/statistics.h"
#include "view/captured_selection.h"

namespace {

void setFooter(DataGrid& grid, const QString& field, const QString& text)
{
    const int column = grid.columnByField(field);
    if (column >= 0)
        grid.setFooterText(column, text);
}

void writeFooters(DataGrid& grid, const TableStatistics& s, const RegionalSettings& rs)
{
    setFooter(grid, MeasurementSchema::kT1, footerT1(s, rs));
    setFooter(grid, MeasurementSchema::kT2, footerT2(s, rs));
}

// The table statistics are not recomputed over no rows and keep the figures
// of some earlier table; an empty table shows no figures at all.
void writeTableFooters(DataGrid& grid, const DbfTable& table, const TableStatistics& s,
                       const RegionalSettings& rs)
{
    if (table.isOpen() && table.isEmpty()) {
        setFooter(grid, MeasurementSchema::kT1, QString());
        setFooter(grid, MeasurementSchema::kT2, QString());
        return;
    }
    writeFooters(grid, s, rs);
}

} // namespace

void TForm1::find_mma()
{
    // A walk over every row: opening, creating, appending and deleting wait
    // for it.
    const WaitCursor wait;
    updateTablePeriod(); // the rows changed: so may the period
    ::find_mma(Dbf1, m_state.statistics, m_state.regional);
    // The move back to the first row makes the grid report a change of the
    // current row; a table of one row does not move, so the footers are
    // written here as that report would write them.
    DBGridPro1SelectionChange();
}

void TForm1::N21Click()
{
    const WaitCursor wait;
    if (Dbf1.isOpen())
        delete_selected();
    find_mma();
    writeTableFooters(*DBGridPro1, Dbf1, m_state.statistics, m_state.regional);
}

void TForm1::delete_selected()
{
    if (!Dbf1.isOpen())
        return;
    reset_sort(MeasurementSchema::kSortTag);
    DBGridPro1->deleteSelected();
    DBGridPro1->endEditInProgress();
    MeasurementDocument(Dbf1, m_state).packAndReopen();
}

void TForm1::N37Click()
{
    const WaitCursor wait;
    MeasurementDocument(Dbf1, m_state).renumber();
}

void TForm1::DBGridPro1SelectionChange()
{
    updateStatus();
    const int c = DBGridPro1->selectionCount();
    if (c < 2) {
        writeTableFooters(*DBGridPro1, Dbf1, m_state.statistics, m_state.regional);
        return;
    }
    const DataGrid& grid = *DBGridPro1;
    const TableStatistics s = selectionStatistics(
        c, [&grid](qsizetype k) { return capturedRow(grid, k); }, m_state.regional);
    writeFooters(*DBGridPro1, s, m_state.regional);
}

void TForm1::DBGridPro1AfterDelete()
{
    find_mma();
    writeTableFooters(*DBGridPro1, Dbf1, m_state.statistics, m_state.regional);
}
