#pragma once

#include "components/data_grid_model.h"
#include "components/grid_column.h"
#include "components/grid_row_source.h"
#include "components/grid_selection.h"

#include <QPointer>
#include <QWidget>

class QTableView;
class QHeaderView;

namespace grid_detail {
class GridTableView;
class GridHeader;
class GridFooter;
class GridDelegate;
} // namespace grid_detail

// A data grid over a GridRowSource: columns bound to fields by name, two-line
// titles with a sort mark, a footer line under the columns, multi-row
// selection with captured bookmark-field values, in-place editing, and the
// column list's text form (column_layout_text.h).
//
// The grid follows the source's current row and moves it when the user
// moves; changes the program makes to columns (title states included) send
// no notification.
class DataGrid : public QWidget
{
    Q_OBJECT

public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    void setSource(GridRowSource* source);
    GridRowSource* source() const;
    DataGridModel* model() const { return m_model; }
    QTableView* view() const;
    QHeaderView* header() const;
    QWidget* footer() const;

    // --- columns ---
    int columnCount() const;
    const GridColumn& column(int index) const;
    const GridColumnList& columns() const;
    void setColumns(const GridColumnList& columns);
    void setColumn(int index, const GridColumn& column);
    int columnByField(const QString& fieldName) const; // ignoring case, first match; -1
    int currentColumn() const;
    void setCurrentColumn(int index);
    void setCaption(int index, const QString& caption);
    void setWidth(int index, int width);
    void setColor(int index, TColor color);
    void setTitleState(int index, TitleState state); // no notification
    void setFooterText(int index, const QString& text);
    void setAutoFit(bool on);
    bool autoFit() const { return m_autoFit; }
    void repaintGrid();
    // Silver by default, like the measurement grid's look.
    void setLineColor(const QColor& color);

    // --- selection ---
    void setBookmarkFields(const QString& fields);
    // The explicit selection; when it is empty, the current row alone.
    int selectionCount() const;
    SelectionEntry selectionEntry(int index) const;
    // Captured value `field` of entry `index` of the explicit selection,
    // without making up the entry (null for an entry or field that does not
    // exist; the current row alone is read through selectionEntry).
    const QVariant& selectionValue(int index, int field) const;
    // Every entry made up at once: for small selections; a long walk reads
    // selectionEntry(i) one by one.
    QList<SelectionEntry> selectionEntries() const;
    bool hasExplicitSelection() const;
    void clearSelection();
    void toggleRowSelected(int row);
    void selectRange(int from, int to);
    // Exactly these rows, in this order, and no other: one notification.
    void selectExactly(const QList<qint64>& rows);
    // Moves the current row one down (up) extending the selection: exactly
    // what Shift+Down (Shift+Up) does.
    void extendSelectionDown();
    void extendSelectionUp();
    // What Shift+Down repeated up to the last row does, in one step: the rows
    // from the current one to the last join the selection in order and the
    // last row becomes current. Does nothing when the selection's anchor is
    // another row (the steps then take rows out again on the way).
    void extendSelectionToLastRow();
    // Deletes the selected rows (or the current row when none is selected)
    // from the last entry to the first while the source is frozen.
    void deleteSelected();
    // The selected rows (the current row when none is selected) as text for
    // the clipboard: a heading line of the column captions, then a line per
    // row in the grid's order with the cells as shown, separated by tabs. A
    // spreadsheet pastes it as a table. Empty without rows.
    QString selectedRowsText() const;
    // Puts selectedRowsText() on the clipboard (Ctrl+C in the rows); false
    // when there was nothing to copy.
    bool copySelectedRows() const;

    // Notifications are held between these and sent once at the end: for
    // long walks over the rows.
    void beginUpdate();
    void endUpdate();
    // beginUpdate() now, endUpdate() when the scope ends, also by an exception.
    class UpdateScope
    {
    public:
        explicit UpdateScope(DataGrid& grid) : m_grid(grid) { m_grid.beginUpdate(); }
        ~UpdateScope() { m_grid.endUpdate(); }
        UpdateScope(const UpdateScope&) = delete;
        UpdateScope& operator=(const UpdateScope&) = delete;

    private:
        DataGrid& m_grid;
    };

    // --- editing ---
    // Posts a row being edited; otherwise commits and closes an open editor.
    void endEditInProgress();
    bool isEditorOpen() const;
    // The grid's own delete command (Ctrl+Delete).
    void setDeleteKeyEnabled(bool on) { m_deleteKeyEnabled = on; }
    bool deleteKeyEnabled() const { return m_deleteKeyEnabled; }

Q_SIGNALS:
    void selectionChanged();
    void titleStateChanged(int column);
    void editStarted();
    void doubleClicked();
    void afterDelete();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class grid_detail::GridTableView;

    int currentRow() const;
    void onSourceCurrentChanged();
    void onSourceContentsChanged();
    void onViewCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void onTitleClicked(int section, Qt::KeyboardModifiers modifiers);
    void onSectionResized(int section, int oldSize, int newSize);
    void syncViewToSource();
    void requestViewSync();
    void flushViewSync();
    void notifySelectionChanged();
    void fitColumns(int keep = -1);
    void applyWidths();

    // Handlers for the view's mouse and keys; true when consumed.
    void rowPressed(int row, Qt::KeyboardModifiers modifiers);
    bool keyPressed(int key, Qt::KeyboardModifiers modifiers);

    DataGridModel* m_model;
    GridSelection m_selection; // the rules; the entries live in the model
    QPointer<GridRowSource> m_source;
    grid_detail::GridTableView* m_view;
    grid_detail::GridHeader* m_header;
    grid_detail::GridFooter* m_footer;
    grid_detail::GridDelegate* m_delegate;

    bool m_autoFit = true;
    bool m_applyingWidths = false;
    bool m_deleteKeyEnabled = false;
    bool m_syncingToView = false;
    bool m_syncingFromView = false;
    bool m_committing = false;
    int m_currentColumn = 0;
    int m_updateDepth = 0;
    bool m_pendingNotify = false;
    bool m_pendingViewSync = false;
    bool m_viewSyncQueued = false;
};
