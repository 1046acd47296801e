#pragma once

#include "components/grid_column.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QFont>
#include <QHash>
#include <QPointer>

class GridRowSource;

// One selected row: its bookmark and the values of the grid's bookmark fields
// as they were when the row entered the selection.
struct SelectionEntry
{
    qint64 bookmark = -1;
    QVariantList values;
};

// The table model behind the data grid: the columns, the rows of the source
// through a row cache, and the explicit selection. Everything the grid shows
// about a cell (text, alignment, colours, selection fill) and about a title
// or footer comes from here, so the painting code stays plain.
class DataGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role
    {
        TitleStateRole = Qt::UserRole + 1, // header: int(TitleState)
        FooterTextRole,                    // header: the footer cell text
        FooterAlignmentRole,               // header: Qt::Alignment of the footer cell
        ColumnColorRole,                   // cell: the column's QColor (invalid for clNone)
        SelectedRole,                      // cell: the row is in the explicit selection
        BookmarkRole,                      // cell: the row's bookmark
        MaxLengthRole,                     // cell: the most characters the field holds (0: any)
    };

    explicit DataGridModel(QObject* parent = nullptr);

    void setSource(GridRowSource* source);
    GridRowSource* source() const { return m_source; }

    // --- columns ---
    const GridColumnList& columns() const { return m_columns; }
    void setColumns(const GridColumnList& columns);
    void setColumn(int index, const GridColumn& column);
    // Only the footer text: no re-binding, and the cells stay as they are.
    void setFooterText(int index, const QString& text);
    int fieldOfColumn(int column) const { return m_fieldOfColumn.value(column, -1); }

    // --- rows ---
    QVariant cellValue(int row, int column) const;
    // Clears the cache and reads the row count again.
    void reload();
    // Like reload(), but without a model reset when the row count is the same.
    void refresh();
    void invalidateRow(int row);

    // --- selection ---
    void setBookmarkFields(const QString& fields); // "T_1;T_2;DATE;TIME"
    QString bookmarkFields() const { return m_bookmarkFields.join(u';'); }
    const QList<SelectionEntry>& selection() const { return m_selection; }
    bool isSelected(qint64 bookmark) const { return m_selectedBookmarks.contains(bookmark); }
    bool isRowSelected(int row) const;
    // Returns false when the row was selected already.
    bool selectRow(int row);
    void deselectRow(int row);
    void clearSelection();
    SelectionEntry entryForRow(int row) const;

    // --- QAbstractTableModel ---
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    void selectionEntriesChanged();

private:
    const QVariantList* row(int row) const;
    void bindColumns();
    void emitRowChanged(int row);

    QPointer<GridRowSource> m_source;
    GridColumnList m_columns;
    QList<int> m_fieldOfColumn;
    int m_rowCount = 0;
    mutable QCache<int, QVariantList> m_cache;

    QStringList m_bookmarkFields;
    QList<int> m_bookmarkFieldIndexes;
    QList<SelectionEntry> m_selection;
    QHash<qint64, int> m_selectedBookmarks; // bookmark -> 1
};

Qt::Alignment toQtAlignment(ColumnAlignment alignment, Qt::Alignment fallback);
// A column's own font for painting.
QFont toQFont(const GridFont& font);
