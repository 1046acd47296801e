#include "view/measurement_grid_view.h"
#include "data/measurement_schema.h"

#include "components/column_layout_text.h"
#include "components/data_grid.h"
#include "data/dbf_table.h"
#include "data/measurement_document.h"
#include "platform/app_error.h"
#include "platform/dialog_service.h"
#include "platform/settings_store.h"
#include "view/dbf_row_source.h"

const QString MeasurementGridView::kSortTag = MeasurementSchema::kSortTag;
const QString MeasurementGridView::kBookmarkFields = QStringLiteral("T_1;T_2;DATE;TIME");

MeasurementGridView::MeasurementGridView(DataGrid& grid, DbfTable& table, DocumentState& state,
                                         SettingsStore& settings, DialogService& dialogs,
                                         QWidget* dialogParent)
    : QObject(&grid), m_grid(grid), m_table(table), m_state(state), m_settings(settings),
      m_dialogs(dialogs), m_dialogParent(dialogParent), m_source(new DbfRowSource(table, this))
{
    m_grid.setColumns(designColumns());
    m_grid.setBookmarkFields(kBookmarkFields);
    m_grid.setDeleteKeyEnabled(false); // rows go only through "Удалить строки"
    m_grid.setLineColor(toQColor(DelphiColors::clSilver));
    m_grid.setAutoFit(true);
    m_grid.setSource(m_source);
}

// The row source is the view's child: the grid's guarded pointer to it clears
// itself when the view goes, also while the grid itself is being destroyed.
MeasurementGridView::~MeasurementGridView() = default;

GridColumnList MeasurementGridView::designColumns()
{
    struct Design
    {
        QString field;
        QString caption;
        int width;
        ColumnAlignment alignment;
        bool editable;
        int layoutIndex;
    };
    const Design design[] = {
        {MeasurementSchema::kN, QStringLiteral("N"), 100, ColumnAlignment::talCenter, false, 0},
        {MeasurementSchema::kDate, QStringLiteral("Дата"), 98, ColumnAlignment::talCenter, false,
         0},
        {MeasurementSchema::kTime, QStringLiteral("Время"), 97, ColumnAlignment::talCenter, false,
         1},
        {MeasurementSchema::kMode, QStringLiteral("Режим"), 98, ColumnAlignment::talCenter, false,
         2},
        {MeasurementSchema::kT1, MeasurementSchema::kT1Caption, 97,
         ColumnAlignment::talRightJustify, false, 0},
        {MeasurementSchema::kT2, MeasurementSchema::kT2Caption, 97,
         ColumnAlignment::talRightJustify, false, 0},
        {MeasurementSchema::kComment, QStringLiteral("Примечание"), 97,
         ColumnAlignment::talLeftJustify, true, 0},
    };
    GridColumnList columns;
    for (const Design& d : design) {
        GridColumn c;
        c.fieldName = d.field;
        c.caption = d.caption;
        c.captionAlignment = ColumnAlignment::talCenter;
        c.width = d.width;
        c.alignment = d.alignment;
        c.readOnly = !d.editable;
        c.layoutIndex = d.layoutIndex;
        columns << c;
    }
    return columns;
}

void MeasurementGridView::prepare_grid()
{
    m_grid.setCaption(m_grid.columnByField(MeasurementSchema::kT1), MeasurementSchema::kT1Caption);
    m_grid.setCaption(m_grid.columnByField(MeasurementSchema::kT2), MeasurementSchema::kT2Caption);
    m_grid.setBookmarkFields(kBookmarkFields);
    reset_sort(kSortTag);
}

void MeasurementGridView::reset_sort(const QString& tag)
{
    for (int i = 0; i < m_grid.columnCount(); ++i)
        m_grid.setTitleState(i, TitleState::tsSortedNone);
    if (!m_table.isOpen())
        return;
    // There may be no sort to remove (no index file, no tag): not an error.
    try {
        m_table.selectSortTag(QString());
        m_table.removeSortTag(tag);
        m_table.closeIndexFile(tag);
        m_table.refresh();
    } catch (const AppError&) {
    }
}

void MeasurementGridView::DBGridPro1TitleStateChange(int column)
{
    if (column < 0 || column >= m_grid.columnCount())
        return;
    m_table.selectSortTag(QString());
    try {
        m_table.removeSortTag(kSortTag);
        m_table.refresh();
    } catch (const AppError&) {
    }
    const GridColumn& c = m_grid.column(column);
    if (c.titleState == TitleState::tsSortedNone) {
        reset_sort(kSortTag);
        return;
    }
    // tsSortedUp shows the rows in descending order, tsSortedDown ascending.
    m_table.addSortTag(kSortTag, MeasurementSchema::sortExpression(c.fieldName),
                       c.titleState == TitleState::tsSortedUp);
    m_table.selectSortTag(kSortTag);
    m_table.regenerateIndexes();
    m_table.refresh();
}

void MeasurementGridView::N33Click()
{
    reset_sort(kSortTag);
}

void MeasurementGridView::N17Click(QColor& dialogColor)
{
    if (!m_table.isOpen())
        return;
    QColor chosen = dialogColor;
    if (!m_dialogs.chooseColor(m_dialogParent, chosen))
        return;
    dialogColor = chosen;
    m_grid.setColor(m_grid.currentColumn(), fromQColor(chosen));
}

void MeasurementGridView::N18Click()
{
    if (m_table.isOpen())
        m_grid.setColor(m_grid.currentColumn(), DelphiColors::clNone);
}

void MeasurementGridView::N19Click()
{
    if (m_table.isOpen())
        clear_colors();
}

void MeasurementGridView::clear_colors()
{
    for (int i = 0; i < m_grid.columnCount(); ++i)
        m_grid.setColor(i, DelphiColors::clNone);
}

void MeasurementGridView::N23Click()
{
    if (m_table.isOpen())
        align_columns();
}

void MeasurementGridView::align_columns()
{
    const int n = m_grid.columnCount();
    if (n == 0)
        return;
    m_grid.setAutoFit(false);
    const int w = m_grid.width() / n;
    for (int i = 0; i < n; ++i)
        m_grid.setWidth(i, w);
    m_grid.setAutoFit(true);
    m_grid.repaintGrid();
}

void MeasurementGridView::save_layout(const QString& name)
{
    GridColumnList stored;
    for (const GridColumn& c : m_grid.columns()) {
        GridColumn t;
        copyColumnProperties(c, t);
        stored << t;
    }
    m_settings.writeString(name, normalizeLineEnds(writeColumnLayout(stored)));
}

void MeasurementGridView::load_layout(const QString& name)
{
    if (!m_settings.valueExists(name)) {
        align_columns();
        save_layout(name);
        return;
    }
    const GridColumnList stored = readColumnLayout(normalizeLineEnds(m_settings.readString(name)));
    for (const GridColumn& s : stored) {
        const int index = m_grid.columnByField(s.fieldName);
        if (index < 0)
            continue;
        GridColumn c = m_grid.column(index);
        copyColumnProperties(s, c);
        m_grid.setColumn(index, c);
    }
    // The sort itself is not stored: a mark without it would claim an order
    // that the rows do not show.
    if (!m_table.isOpen() || m_table.selectedSortTag().isEmpty())
        for (int i = 0; i < m_grid.columnCount(); ++i)
            m_grid.setTitleState(i, TitleState::tsSortedNone);
    m_grid.setAutoFit(m_grid.autoFit()); // fit the restored widths to the grid
    m_grid.repaintGrid();
}

void MeasurementGridView::DBGridPro1DblClick()
{
    if (!m_table.isOpen())
        return;
    // One notification at the end: the footers are computed once over the
    // whole selection, not once per row.
    const DataGrid::UpdateScope updating(m_grid);
    m_table.first();
    // The Shift+Down walk to the last row in one step; the loop below then
    // only finds the table past its last row.
    m_grid.extendSelectionToLastRow();
    while (!m_table.eof()) {
        const qint64 before = m_table.position();
        m_grid.extendSelectionDown();
        if (!m_table.eof() && m_table.position() == before)
            break; // the grid could not move: never loop for ever
    }
    m_table.first();
}

void MeasurementGridView::DBGridPro1InitEdit()
{
    m_state.modified = true;
}
