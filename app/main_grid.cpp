// The grid view of the main window: captions, sorting, colours, layout. The
// logic lives in MeasurementGridView; these handlers hand over to it.
#include "app/main.h"

#include "app/app_state.h"
#include "app/error_report.h"
#include "app/period_dialog.h"
#include "components/data_grid.h"
#include "components/wait_cursor.h"
#include "data/table_period.h"
#include "platform/app_title.h"
#include "view/measurement_grid_view.h"

namespace {

// The view belongs to the grid (a child object) and is made on first use,
// which is FormCreate's grid preparation.
MeasurementGridView& gridView(DataGrid& grid, DbfTable& table, AppState& state,
                              SettingsStore& settings, DialogService& dialogs, QWidget* window)
{
    if (auto* view = grid.findChild<MeasurementGridView*>(QString(), Qt::FindDirectChildrenOnly))
        return *view;
    return *new MeasurementGridView(grid, table, state, settings, dialogs, window);
}

} // namespace

#define FLN_GRID_VIEW gridView(*DBGridPro1, Dbf1, m_state, m_settings, m_dialogs, this)

void TForm1::prepare_grid()
{
    FLN_GRID_VIEW.prepare_grid();
}

void TForm1::reset_sort(const QString& tag)
{
    FLN_GRID_VIEW.reset_sort(tag);
}

void TForm1::DBGridPro1TitleStateChange(int column)
{
    const WaitCursor wait; // a new order of a million rows takes a while
    FLN_GRID_VIEW.DBGridPro1TitleStateChange(column);
}

void TForm1::N33Click()
{
    const WaitCursor wait;
    FLN_GRID_VIEW.N33Click();
}

void TForm1::N17Click()
{
    FLN_GRID_VIEW.N17Click(ColorDialog1);
}

void TForm1::N18Click()
{
    FLN_GRID_VIEW.N18Click();
}

void TForm1::N19Click()
{
    FLN_GRID_VIEW.N19Click();
}

void TForm1::clear_colors()
{
    FLN_GRID_VIEW.clear_colors();
}

void TForm1::N23Click()
{
    FLN_GRID_VIEW.N23Click();
}

void TForm1::align_columns()
{
    FLN_GRID_VIEW.align_columns();
}

void TForm1::load_layout(const QString& name)
{
    // Set before the load: a stored layout that does not read is replaced by
    // the grid's at the next close, so that it cannot stop every Open.
    m_layoutRestored = true;
    FLN_GRID_VIEW.load_layout(name);
}

void TForm1::save_layout(const QString& name)
{
    FLN_GRID_VIEW.save_layout(name);
}

void TForm1::DBGridPro1DblClick()
{
    const WaitCursor wait;
    FLN_GRID_VIEW.DBGridPro1DblClick();
}

void TForm1::DBGridPro1InitEdit()
{
    FLN_GRID_VIEW.DBGridPro1InitEdit();
}

void TForm1::CopyRowsClick()
{
    if (!Dbf1.isOpen())
        return;
    const WaitCursor wait;
    DBGridPro1->endEditInProgress(); // what is being typed is part of the copy
    DBGridPro1->copySelectedRows();
}

void TForm1::SelectPeriodClick()
{
    if (!m_state.tableOpen || !Dbf1.isOpen())
        return;
    DBGridPro1->endEditInProgress(); // a date being typed counts
    std::optional<TablePeriod> span;
    {
        const WaitCursor wait;
        span = tablePeriod(Dbf1, m_state.regional);
    }
    if (!span) {
        m_dialogs.message(this, QStringLiteral("В таблице нет записей с датой и временем."),
                          kAppTitle, DialogService::Icon::Information, DialogService::Buttons::Ok);
        return;
    }
    PeriodDialog dialog(*span, this);
    if (m_dialogs.execModal(dialog) == QDialog::Accepted)
        selectPeriod(dialog.period());
}

bool TForm1::selectPeriod(const Period& period)
{
    if (!m_state.tableOpen || !Dbf1.isOpen())
        return false;
    const auto refuse = [this](const QString& text) {
        m_dialogs.message(this, text + QStringLiteral("\nВыделение не изменено."), kAppTitle,
                          DialogService::Icon::Information, DialogService::Buttons::Ok);
        return false;
    };
    if (period.isReversed())
        return refuse(QStringLiteral("Начало периода позже его конца."));
    QList<qint64> rows;
    try {
        const WaitCursor wait;
        const QList<quint32> records = periodRecords(Dbf1, period, m_state.regional);
        rows.reserve(records.size());
        for (quint32 rec : records)
            rows.append(Dbf1.positionOf(rec));
    } catch (...) {
        showErrorReport(m_dialogs, this, currentExceptionReportText());
        return false;
    }
    if (rows.isEmpty())
        return refuse(emptyPeriodText(period, m_state.regional) + u'.');
    const WaitCursor wait;
    const DataGrid::UpdateScope updating(*DBGridPro1);
    DBGridPro1->selectExactly(rows);
    Dbf1.goToPosition(rows.constFirst()); // where the period starts is in view
    return true;
}

void TForm1::SelectAllClick()
{
    if (!Dbf1.isOpen())
        return;
    const WaitCursor wait;
    // The double click's walk, from no selection: the rows selected before
    // would otherwise be taken out again on the way.
    const DataGrid::UpdateScope updating(*DBGridPro1);
    DBGridPro1->clearSelection();
    DBGridPro1DblClick();
}
