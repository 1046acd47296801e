#pragma once

#include <QColor>

#include <functional>

#include "components/grid_column.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QFont>
#include <QHash>
#include <QPointer>
#include <QSet>

#include <vector>

class GridRowSource;

// One selected row: its bookmark and the values of the grid's bookmark fields
// as they were when the row entered the selection.
struct SelectionEntry
{
    qint64 bookmark = -1;
    QVariantList values;
};

// A set of bookmarks: a bit per bookmark for the small non-negative ones
// (record numbers), a hash for the rest. A million selected rows cost a few
// hundred kilobytes here.
class BookmarkSet
{
public:
    bool contains(qint64 bookmark) const;
    bool insert(qint64 bookmark); // false when it was there
    bool remove(qint64 bookmark); // false when it was not there
    void clear();
    bool isEmpty() const { return m_size == 0; }

private:
    static constexpr qint64 kBitLimit = qint64(1) << 27;
    std::vector<quint64> m_bits;
    QSet<qint64> m_others;
    qsizetype m_size = 0;
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

    // A text colour for a cell decided by its column's field and value (a
    // reading out of its limits); an invalid colour leaves the column's own.
    // The column colours stay as they are.
    using CellTextColour = std::function<QColor(const QString& field, const QVariant& value)>;
    void setCellTextColour(CellTextColour rule);

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
    // The explicit selection in the order the rows entered it. Entries are
    // kept compactly (a bookmark and the numbers of the captured values, each
    // distinct text held once) and made up when asked for.
    qsizetype selectionSize() const { return qsizetype(m_selBookmarks.size()); }
    SelectionEntry selectionAt(qsizetype index) const;
    qint64 selectionBookmark(qsizetype index) const { return m_selBookmarks[size_t(index)]; }
    // Value `field` (index in the bookmark fields) of entry `index`.
    const QVariant& selectionValue(qsizetype index, int field) const
    {
        return m_valuePool.at(m_selValues[size_t(index) * size_t(m_capturedWidth) + size_t(field)]);
    }
    int capturedWidth() const { return m_capturedWidth; }
    bool isSelected(qint64 bookmark) const { return m_selected.contains(bookmark); }
    bool isRowSelected(int row) const;
    // Returns false when the row was selected already.
    bool selectRow(int row);
    // Rows from..to (from <= to) in order, leaving out those selected
    // already; one change notification for all of them.
    void selectRows(int from, int to);
    // These rows in this order, leaving out those selected already; one
    // change notification for all of them.
    void selectRowList(const QList<qint64>& rows);
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
    CellTextColour m_cellTextColour;
    GridColumnList m_columns;
    QList<int> m_fieldOfColumn;
    int m_rowCount = 0;
    mutable QCache<int, QVariantList> m_cache;

    QStringList m_bookmarkFields;
    QList<int> m_bookmarkFieldIndexes;
    quint32 internValue(const QVariant& value);
    void appendEntry(qint64 bookmark, const QVariantList& values);

    std::vector<qint64> m_selBookmarks;
    std::vector<quint32> m_selValues; // m_capturedWidth numbers per entry
    int m_capturedWidth = 0;
    QList<QVariant> m_valuePool; // 0 is the null value
    QHash<QString, quint32> m_textValues;
    // The same texts by the address of their characters: a source that
    // hands out one shared text per distinct value (the table's does) is
    // matched without hashing the characters. The pool keeps those texts
    // alive, so an address cannot come back for another text.
    QHash<const QChar*, quint32> m_sharedTexts;
    BookmarkSet m_selected;
};

Qt::Alignment toQtAlignment(ColumnAlignment alignment, Qt::Alignment fallback);
// A column's own font for painting.
QFont toQFont(const GridFont& font);
