#include "view/captured_selection.h"

#include "components/data_grid.h"

qsizetype capturedRowCount(const DataGrid& grid)
{
    return grid.selectionCount();
}

CapturedRow capturedRow(const DataGrid& grid, qsizetype index)
{
    if (!grid.hasExplicitSelection()) {
        const SelectionEntry e = grid.selectionEntry(int(index));
        const auto text = [&e](int i) { return e.values.value(i).toString(); };
        return {text(0), text(1), text(2), text(3)};
    }
    const auto text = [&](int i) { return grid.selectionValue(int(index), i).toString(); };
    return {text(0), text(1), text(2), text(3)};
}

QString footerTextOf(const DataGrid& grid, const QString& field)
{
    const int column = grid.columnByField(field);
    return column >= 0 ? grid.column(column).footerText : QString();
}
