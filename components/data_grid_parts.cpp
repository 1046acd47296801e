#include "components/data_grid_parts.h"

#include "components/data_grid.h"
#include "components/data_grid_model.h"
#include "components/grid_row_source.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionHeader>

namespace grid_detail {

// ------------------------------------------------------------------ titles --

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignCenter);
    setMinimumHeight(fontMetrics().lineSpacing() * 2 + 8);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
    connect(this, &QHeaderView::sectionClicked, this,
            [this](int section) { Q_EMIT titleClicked(section, m_releaseModifiers); });
}

void GridHeader::mouseReleaseEvent(QMouseEvent* e)
{
    m_releaseModifiers = e->modifiers();
    QHeaderView::mouseReleaseEvent(e);
}

void GridHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    switch (TitleState(
        model()->headerData(logicalIndex, Qt::Horizontal, DataGridModel::TitleStateRole).toInt())) {
    case TitleState::tsSortedUp:
        option->sortIndicator = QStyleOptionHeader::SortUp;
        break;
    case TitleState::tsSortedDown:
        option->sortIndicator = QStyleOptionHeader::SortDown;
        break;
    case TitleState::tsSortedNone:
        option->sortIndicator = QStyleOptionHeader::None;
        break;
    }
}

// ------------------------------------------------------------------ footer --

GridFooter::GridFooter(QTableView* view, QWidget* parent) : QWidget(parent), m_view(view)
{
    setFixedHeight(fontMetrics().lineSpacing() + 8);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

void GridFooter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QAbstractItemModel* model = m_view->model();
    QHeaderView* header = m_view->horizontalHeader();
    if (!model)
        return;
    const int offset = m_view->viewport()->mapTo(parentWidget(), QPoint(0, 0)).x() - x();
    p.setClipRect(QRect(offset, 0, m_view->viewport()->width(), height()));
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical))
            continue;
        const QRect cell(offset + header->sectionViewportPosition(logical), 0,
                         header->sectionSize(logical), height());
        p.setPen(lineColor);
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        const QString text =
            model->headerData(logical, Qt::Horizontal, DataGridModel::FooterTextRole).toString();
        if (text.isEmpty())
            continue;
        const auto align = Qt::Alignment(
            model->headerData(logical, Qt::Horizontal, DataGridModel::FooterAlignmentRole).toInt());
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawText(cell.adjusted(3, 0, -3, 0), int(align | Qt::AlignVCenter), text);
    }
}

// ---------------------------------------------------------------- delegate --

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    const QColor color = index.data(DataGridModel::ColumnColorRole).value<QColor>();
    if (color.isValid()) {
        QPalette pal = editor->palette();
        pal.setColor(QPalette::Base, color);
        editor->setPalette(pal);
        editor->setAutoFillBackground(true);
    }
    const int maxLength = index.data(DataGridModel::MaxLengthRole).toInt();
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && maxLength > 0)
        line->setMaxLength(maxLength);
    editor->setProperty(kBookmarkProperty, index.data(DataGridModel::BookmarkRole));
    openEditor = editor;
    Q_EMIT const_cast<GridDelegate*>(this)->editorOpened();
    return editor;
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const
{
    const QScopedValueRollback guard(*committing, true);
    // The text belongs to the record the editor was opened on, wherever
    // a new order has put it meanwhile; a record gone takes nothing.
    QModelIndex target = index;
    const QVariant bookmark = editor->property(kBookmarkProperty);
    if (auto* grid = qobject_cast<DataGridModel*>(model);
        grid && grid->source() && bookmark.isValid()) {
        const qint64 row = grid->source()->positionOf(bookmark.toLongLong());
        if (row < 0)
            return;
        target = index.sibling(int(row), index.column());
    }
    QStyledItemDelegate::setModelData(editor, model, target);
}

// ---------------------------------------------------------------- row area --

GridTableView::GridTableView(DataGrid* grid) : QTableView(grid), m_grid(grid) {}

void GridTableView::mousePressEvent(QMouseEvent* e)
{
    m_grid->flushViewSync(); // the user acts on the row the table is on
    if (e->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(e->position().toPoint());
        if (index.isValid())
            m_grid->rowPressed(index.row(), e->modifiers());
    }
    QTableView::mousePressEvent(e);
}

void GridTableView::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        Q_EMIT m_grid->doubleClicked();
}

void GridTableView::keyPressEvent(QKeyEvent* e)
{
    m_grid->flushViewSync();
    // Ctrl+C copies the rows, not the one cell under the cursor.
    if (state() != EditingState && e->matches(QKeySequence::Copy)) {
        m_grid->copySelectedRows();
        e->accept();
        return;
    }
    if (state() != EditingState && m_grid->keyPressed(e->key(), e->modifiers())) {
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

} // namespace grid_detail
