#pragma once

// The data grid's own widgets: the titles, the footer line, the cell editor's
// delegate and the row area. Only the grid builds them; what they show comes
// from the grid's model.
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

class DataGrid;

namespace grid_detail {

// The titles: two text lines high, the sort mark taken from the model.
class GridHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit GridHeader(QWidget* parent);

Q_SIGNALS:
    void titleClicked(int section, Qt::KeyboardModifiers modifiers);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

private:
    Qt::KeyboardModifiers m_releaseModifiers;
};

// The footer line: one cell under each column, following the columns'
// widths and the horizontal scroll position. Texts and alignments come from
// the model's header roles.
class GridFooter : public QWidget
{
    Q_OBJECT
public:
    GridFooter(QTableView* view, QWidget* parent);
    QColor lineColor = QColor(0xC0, 0xC0, 0xC0);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QTableView* m_view;
};

// The cell editor takes the column's colour; opening one is "edit started".
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // Writing the editor's text posts the row, and the table then reports a
    // change: the grid must not take that for a change under the editor.
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    static constexpr const char* kBookmarkProperty = "gridBookmark";

    mutable QPointer<QWidget> openEditor;
    bool* committing = nullptr;

Q_SIGNALS:
    void editorOpened();
};

// The row area. Mouse and keys go to the grid first, for the selection.
class GridTableView : public QTableView
{
    Q_OBJECT
public:
    GridTableView(DataGrid* grid);

    using QTableView::closeEditor;
    using QTableView::commitData;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    DataGrid* m_grid;
};

} // namespace grid_detail
