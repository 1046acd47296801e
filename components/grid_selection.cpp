#include "components/grid_selection.h"

#include "components/data_grid_model.h"
#include "components/grid_row_source.h"

#include <QScopedValueRollback>

#include <algorithm>

int GridSelection::currentRow() const
{
    const GridRowSource* source = m_model.source();
    if (!source || !source->isActive())
        return -1;
    const qint64 row = source->currentRow();
    return row >= 0 && row < m_model.rowCount() ? int(row) : -1;
}

void GridSelection::press(int row, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier) {
        toggle(row);
        m_anchor = -1;
    } else if (modifiers & Qt::ShiftModifier) {
        const int from = m_anchor >= 0 ? m_anchor : std::max(currentRow(), 0);
        selectRange(from, row);
        m_anchor = from;
    } else {
        clear();
    }
}

void GridSelection::toggle(int row)
{
    if (m_model.isRowSelected(row))
        m_model.deselectRow(row);
    else
        m_model.selectRow(row);
}

void GridSelection::selectRange(int from, int to)
{
    const int step = from <= to ? 1 : -1;
    for (int r = from;; r += step) {
        m_model.selectRow(r);
        if (r == to)
            break;
    }
}

void GridSelection::step(int delta)
{
    GridRowSource* source = m_model.source();
    const int cur = currentRow();
    if (cur < 0 || !source)
        return;
    const QScopedValueRollback moving(m_moving, true);
    if (m_anchor < 0) {
        m_anchor = cur;
        m_model.selectRow(cur);
    }
    int now = cur;
    if (delta > 0) {
        if (source->moveNext())
            now = currentRow();
    } else if (cur > 0) {
        source->setCurrentRow(cur - 1);
        now = currentRow();
    }
    if (now != cur) {
        // Moving away from the anchor adds the new row; moving back towards
        // it takes the row that was left out of the selection again.
        const bool away = delta > 0 ? cur >= m_anchor : cur <= m_anchor;
        if (away)
            m_model.selectRow(now);
        else
            m_model.deselectRow(cur);
    }
}

void GridSelection::extendToLastRow()
{
    GridRowSource* source = m_model.source();
    const int cur = currentRow();
    if (cur < 0 || !source)
        return;
    // Stepping back towards an anchor below would take rows out again: that
    // walk is left to the steps.
    if (m_anchor >= 0 && m_anchor != cur)
        return;
    const int last = m_model.rowCount() - 1;
    const QScopedValueRollback moving(m_moving, true);
    if (m_anchor < 0)
        m_anchor = cur;
    m_model.selectRows(cur, last);
    if (last != cur)
        source->setCurrentRow(last);
}

void GridSelection::clear()
{
    m_anchor = -1;
    m_model.clearSelection();
}

void GridSelection::currentMoved()
{
    if (!m_moving)
        m_anchor = -1;
}
