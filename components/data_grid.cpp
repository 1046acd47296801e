#include "components/data_grid.h"

#include "components/data_grid_parts.h"
#include "components/grid_row_source.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using namespace grid_detail;

namespace {
constexpr int kMinColumnWidth = 8;
}

DataGrid::DataGrid(QWidget* parent)
    : QWidget(parent), m_model(new DataGridModel(this)), m_selection(*m_model)
{
    m_view = new GridTableView(this);
    m_header = new GridHeader(m_view);
    m_view->setHorizontalHeader(m_header);
    m_view->setModel(m_model);
    m_view->setItemDelegate(m_delegate = new GridDelegate(m_view));
    m_delegate->committing = &m_committing;
    // The grid keeps its own selection (entries with captured values); the
    // view only shows it through the model's colours.
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    m_view->setTabKeyNavigation(false);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().lineSpacing() + 6);
    m_view->verticalHeader()->hide();
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_view->viewport()->installEventFilter(this);

    m_footer = new GridFooter(m_view, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view);
    layout->addWidget(m_footer);
    setFocusProxy(m_view);
    setLineColor(QColor(0xC0, 0xC0, 0xC0));

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &DataGrid::onViewCurrentChanged);
    connect(m_header, &GridHeader::titleClicked, this, &DataGrid::onTitleClicked);
    connect(m_header, &QHeaderView::sectionResized, this, &DataGrid::onSectionResized);
    connect(m_header, &QHeaderView::sectionResized, m_footer, qOverload<>(&QWidget::update));
    connect(m_header, &QHeaderView::geometriesChanged, m_footer, qOverload<>(&QWidget::update));
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer,
            qOverload<>(&QWidget::update));
    connect(m_model, &QAbstractItemModel::headerDataChanged, m_footer,
            qOverload<>(&QWidget::update));
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { applyWidths(); });
    connect(m_model, &DataGridModel::selectionEntriesChanged, this,
            &DataGrid::notifySelectionChanged);
    connect(m_delegate, &GridDelegate::editorOpened, this, &DataGrid::editStarted);
}

DataGrid::~DataGrid() = default;

QTableView* DataGrid::view() const
{
    return m_view;
}
QHeaderView* DataGrid::header() const
{
    return m_header;
}
QWidget* DataGrid::footer() const
{
    return m_footer;
}
GridRowSource* DataGrid::source() const
{
    return m_source;
}

void DataGrid::setSource(GridRowSource* source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    m_model->setSource(source);
    m_selection.forgetAnchor();
    if (m_source) {
        connect(m_source, &GridRowSource::currentChanged, this, &DataGrid::onSourceCurrentChanged);
        connect(m_source, &GridRowSource::contentsChanged, this,
                &DataGrid::onSourceContentsChanged);
    }
    syncViewToSource();
}

// ---------------------------------------------------------------- columns --

int DataGrid::columnCount() const
{
    return int(m_model->columns().size());
}
const GridColumn& DataGrid::column(int index) const
{
    return m_model->columns().at(index);
}
const GridColumnList& DataGrid::columns() const
{
    return m_model->columns();
}

void DataGrid::setColumns(const GridColumnList& columns)
{
    m_model->setColumns(columns);
    applyWidths();
    syncViewToSource();
}

void DataGrid::setColumn(int index, const GridColumn& column)
{
    if (index < 0 || index >= columnCount())
        return;
    const bool widthChanged = this->column(index).width != column.width;
    m_model->setColumn(index, column);
    if (widthChanged)
        applyWidths();
    m_header->viewport()->update();
}

int DataGrid::columnByField(const QString& fieldName) const
{
    return findColumn(m_model->columns(), fieldName);
}

int DataGrid::currentColumn() const
{
    return columnCount() == 0 ? -1 : std::clamp(m_currentColumn, 0, columnCount() - 1);
}

void DataGrid::setCurrentColumn(int index)
{
    if (index < 0 || index >= columnCount())
        return;
    m_currentColumn = index;
    syncViewToSource();
}

void DataGrid::setCaption(int index, const QString& caption)
{
    if (index < 0 || index >= columnCount())
        return;
    GridColumn c = column(index);
    c.caption = caption;
    setColumn(index, c);
}

void DataGrid::setWidth(int index, int width)
{
    if (index < 0 || index >= columnCount())
        return;
    GridColumn c = column(index);
    c.width = std::max(width, 0);
    setColumn(index, c);
    if (m_autoFit)
        fitColumns(index);
}

void DataGrid::setColor(int index, TColor color)
{
    if (index < 0 || index >= columnCount())
        return;
    GridColumn c = column(index);
    c.color = color;
    setColumn(index, c);
}

void DataGrid::setTitleState(int index, TitleState state)
{
    if (index < 0 || index >= columnCount())
        return;
    GridColumn c = column(index);
    c.titleState = state;
    setColumn(index, c);
}

void DataGrid::setFooterText(int index, const QString& text)
{
    m_model->setFooterText(index, text);
}

void DataGrid::setAutoFit(bool on)
{
    m_autoFit = on;
    if (on)
        fitColumns();
}

void DataGrid::repaintGrid()
{
    m_view->viewport()->update();
    m_header->viewport()->update();
    m_footer->update();
}

void DataGrid::setLineColor(const QColor& color)
{
    m_footer->lineColor = color;
    m_view->setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; }").arg(color.name()));
}

void DataGrid::applyWidths()
{
    m_applyingWidths = true;
    for (int i = 0; i < columnCount() && i < m_header->count(); ++i)
        if (m_header->sectionSize(i) != column(i).width)
            m_header->resizeSection(i, column(i).width);
    m_applyingWidths = false;
    m_footer->update();
}

// Scales the widths so that the columns fill the row area exactly; `keep`
// is a column the user has just sized, which keeps its width.
void DataGrid::fitColumns(int keep)
{
    const int n = columnCount();
    const int available = m_view->viewport()->width();
    // A hidden grid has no width to fill yet; it fits when it is shown.
    if (!m_autoFit || n == 0 || available <= 0 || !isVisible()) {
        applyWidths();
        return;
    }
    QList<int> widths;
    for (const GridColumn& c : columns())
        widths << std::max(c.width, 1);
    int rest = available;
    if (keep >= 0 && keep < n && n > 1) {
        widths[keep] = std::clamp(widths[keep], kMinColumnWidth,
                                  std::max(kMinColumnWidth, available - (n - 1) * kMinColumnWidth));
        rest -= widths[keep];
    } else {
        keep = -1;
    }
    qint64 sum = 0;
    for (int i = 0; i < n; ++i)
        if (i != keep)
            sum += widths[i];
    int used = 0, last = -1;
    for (int i = 0; i < n; ++i) {
        if (i == keep)
            continue;
        widths[i] = std::max<int>(kMinColumnWidth,
                                  int(qint64(widths[i]) * rest / std::max<qint64>(sum, 1)));
        used += widths[i];
        last = i;
    }
    if (last >= 0 && used < rest)
        widths[last] += rest - used; // the remainder of the integer division
    for (int i = 0; i < n; ++i)
        if (widths[i] != column(i).width) {
            GridColumn c = column(i);
            c.width = widths[i];
            m_model->setColumn(i, c);
        }
    applyWidths();
}

void DataGrid::onSectionResized(int section, int, int newSize)
{
    if (m_applyingWidths || section < 0 || section >= columnCount())
        return;
    GridColumn c = column(section);
    c.width = newSize;
    m_model->setColumn(section, c);
    if (m_autoFit)
        fitColumns(section);
}

void DataGrid::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_autoFit)
        fitColumns();
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize && m_autoFit)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

void DataGrid::onTitleClicked(int section, Qt::KeyboardModifiers modifiers)
{
    if (section < 0 || section >= columnCount() || !column(section).titleStatesAllowed)
        return;
    endEditInProgress(); // before the rows change their order
    if (modifiers & Qt::ControlModifier) {
        setTitleState(section, TitleState::tsSortedNone);
    } else {
        // Only one column carries a title state; Shift acts the same.
        const TitleState now = column(section).titleState;
        const TitleState next =
            now == TitleState::tsSortedUp ? TitleState::tsSortedDown : TitleState::tsSortedUp;
        for (int i = 0; i < columnCount(); ++i)
            if (i != section && column(i).titleState != TitleState::tsSortedNone)
                setTitleState(i, TitleState::tsSortedNone);
        setTitleState(section, next);
    }
    Q_EMIT titleStateChanged(section);
}

// ------------------------------------------------------- current row sync --

int DataGrid::currentRow() const
{
    return m_selection.currentRow();
}

void DataGrid::syncViewToSource()
{
    if (m_updateDepth > 0) {
        m_pendingViewSync = true;
        return;
    }
    const int row = currentRow();
    const QModelIndex index = row >= 0 ? m_model->index(row, currentColumn()) : QModelIndex();
    if (index == m_view->currentIndex())
        return;
    m_syncingToView = true;
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    m_syncingToView = false;
}

void DataGrid::onSourceCurrentChanged()
{
    if (!m_syncingFromView)
        m_selection.currentMoved();
    if (!m_syncingFromView)
        requestViewSync();
    notifySelectionChanged();
}

void DataGrid::onSourceContentsChanged()
{
    // The table changed under an open editor (not by the editor's own post):
    // keep what was typed.
    if (!m_committing && m_source && m_source->isActive() && m_delegate->openEditor)
        endEditInProgress();
    if (!m_source || !m_source->isActive())
        m_model->clearSelection(); // bookmarks of a closed table mean nothing
    {
        // The view moves its own current cell while rows come and go; the
        // table's current row is the one that counts.
        const QScopedValueRollback guard(m_syncingToView, true);
        m_model->refresh();
    }
    m_selection.forgetAnchor();
    requestViewSync();
    notifySelectionChanged();
}

// Placing the view on the current row costs a pass over the row positions
// after rows were added; a table posting row after row (an append) asks for
// it once, when the program is back in the event loop.
void DataGrid::requestViewSync()
{
    if (m_updateDepth > 0) {
        m_pendingViewSync = true;
        return;
    }
    if (m_viewSyncQueued)
        return;
    m_viewSyncQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_viewSyncQueued = false;
            syncViewToSource();
        },
        Qt::QueuedConnection);
}

void DataGrid::onViewCurrentChanged(const QModelIndex& current, const QModelIndex&)
{
    if (m_syncingToView)
        return;
    if (current.isValid())
        m_currentColumn = current.column();
    if (!m_source || !current.isValid() || current.row() == currentRow())
        return;
    m_syncingFromView = true;
    m_source->setCurrentRow(current.row());
    m_syncingFromView = false;
}

void DataGrid::notifySelectionChanged()
{
    if (m_updateDepth > 0) {
        m_pendingNotify = true;
        return;
    }
    Q_EMIT selectionChanged();
}

void DataGrid::beginUpdate()
{
    ++m_updateDepth;
}

void DataGrid::endUpdate()
{
    if (m_updateDepth == 0 || --m_updateDepth > 0)
        return;
    if (std::exchange(m_pendingViewSync, false))
        syncViewToSource();
    if (std::exchange(m_pendingNotify, false))
        Q_EMIT selectionChanged();
}

// -------------------------------------------------------------- selection --

void DataGrid::setBookmarkFields(const QString& fields)
{
    m_model->setBookmarkFields(fields);
}

bool DataGrid::hasExplicitSelection() const
{
    return m_model->selectionSize() > 0;
}

int DataGrid::selectionCount() const
{
    if (hasExplicitSelection())
        return int(m_model->selectionSize());
    return currentRow() >= 0 ? 1 : 0;
}

SelectionEntry DataGrid::selectionEntry(int index) const
{
    if (hasExplicitSelection())
        return m_model->selectionAt(index);
    return index == 0 ? m_model->entryForRow(currentRow()) : SelectionEntry{};
}

const QVariant& DataGrid::selectionValue(int index, int field) const
{
    static const QVariant null;
    if (hasExplicitSelection()) {
        if (index < 0 || index >= m_model->selectionSize() || field < 0 ||
            field >= m_model->capturedWidth())
            return null;
        return m_model->selectionValue(index, field);
    }
    return null;
}

QList<SelectionEntry> DataGrid::selectionEntries() const
{
    QList<SelectionEntry> entries;
    const int n = selectionCount();
    entries.reserve(n);
    for (int i = 0; i < n; ++i)
        entries << selectionEntry(i);
    return entries;
}

void DataGrid::clearSelection()
{
    m_selection.clear();
}

void DataGrid::toggleRowSelected(int row)
{
    m_selection.toggle(row);
}

void DataGrid::selectRange(int from, int to)
{
    beginUpdate();
    m_selection.selectRange(from, to);
    endUpdate();
}

void DataGrid::selectExactly(const QList<qint64>& rows)
{
    beginUpdate();
    m_selection.clear();
    m_model->selectRowList(rows);
    endUpdate();
}

void DataGrid::flushViewSync()
{
    if (m_viewSyncQueued && m_updateDepth == 0)
        syncViewToSource();
}

void DataGrid::extendSelectionDown()
{
    m_selection.step(+1);
}

void DataGrid::extendSelectionToLastRow()
{
    m_selection.extendToLastRow();
}
void DataGrid::extendSelectionUp()
{
    m_selection.step(-1);
}

void DataGrid::deleteSelected()
{
    if (!m_source || !m_source->isActive())
        return;
    QList<qint64> bookmarks;
    if (hasExplicitSelection()) {
        for (qsizetype i = 0; i < m_model->selectionSize(); ++i)
            bookmarks << m_model->selectionBookmark(i);
    } else if (currentRow() >= 0) {
        bookmarks << m_source->bookmark(currentRow());
    }
    endEditInProgress(); // what was typed is kept before rows go
    struct Thaw
    {
        GridRowSource* source;
        ~Thaw() { source->unfreeze(); }
    };
    {
        m_source->freeze();
        Thaw thaw{m_source};
        m_selection.clear();
        for (qsizetype i = bookmarks.size() - 1; i >= 0; --i)
            m_source->deleteAt(bookmarks[i]);
    }
    repaintGrid();
}

namespace {

// A cell or caption as one field of a tab-separated line.
QString clipboardField(QString text)
{
    for (QChar& c : text)
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    return text.trimmed();
}

} // namespace

QString DataGrid::selectedRowsText() const
{
    if (!m_source || !m_source->isActive())
        return {};
    QList<qint64> rows;
    if (hasExplicitSelection()) {
        // The grid's order, whatever the order of selecting.
        rows.reserve(m_model->selectionSize());
        for (qsizetype i = 0; i < m_model->selectionSize(); ++i)
            if (const qint64 row = m_source->positionOf(m_model->selectionBookmark(i)); row >= 0)
                rows << row;
        std::sort(rows.begin(), rows.end());
    } else if (currentRow() >= 0) {
        rows << currentRow();
    }
    if (rows.isEmpty())
        return {};
    const int columns = m_model->columnCount();
    QStringList line;
    line.reserve(columns);
    for (int c = 0; c < columns; ++c)
        line << clipboardField(m_model->columns()[c].caption);
    QString out = line.join(u'\t') + u'\n';
    for (const qint64 row : rows) {
        const QVariantList values = m_source->rowValues(row);
        line.clear();
        for (int c = 0; c < columns; ++c) {
            const int field = m_model->fieldOfColumn(c);
            const QVariant v = field >= 0 && field < values.size() ? values.at(field) : QVariant();
            line << (v.isNull() ? QString() : clipboardField(v.toString()));
        }
        out += line.join(u'\t');
        out += u'\n';
    }
    return out;
}

bool DataGrid::copySelectedRows() const
{
    const QString text = selectedRowsText();
    if (text.isEmpty())
        return false;
    QApplication::clipboard()->setText(text);
    return true;
}

// ---------------------------------------------------------------- editing --

bool DataGrid::isEditorOpen() const
{
    return m_delegate->openEditor != nullptr;
}

void DataGrid::endEditInProgress()
{
    if (QWidget* editor = m_delegate->openEditor) {
        // Closing the editor writes what was typed: nothing is lost.
        const QScopedValueRollback guard(m_committing, true);
        m_view->commitData(editor);
        m_view->closeEditor(editor, QAbstractItemDelegate::NoHint);
        m_delegate->openEditor = nullptr;
    }
    if (m_source && m_source->isActive() && m_source->isEditing())
        m_source->post();
}

// ------------------------------------------------------------ mouse, keys --

void DataGrid::rowPressed(int row, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::ControlModifier | Qt::ShiftModifier)) {
        // A Shift click selects many rows: one notification.
        beginUpdate();
        m_selection.press(row, modifiers);
        endUpdate();
    } else {
        m_selection.press(row, modifiers);
    }
}

bool DataGrid::keyPressed(int key, Qt::KeyboardModifiers modifiers)
{
    const bool shift = modifiers & Qt::ShiftModifier;
    if (shift && key == Qt::Key_Down) {
        extendSelectionDown();
        return true;
    }
    if (shift && key == Qt::Key_Up) {
        extendSelectionUp();
        return true;
    }
    if (key == Qt::Key_Delete && (modifiers & Qt::ControlModifier)) {
        if (m_deleteKeyEnabled) {
            deleteSelected();
            Q_EMIT afterDelete();
        }
        return true;
    }
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!shift)
            clearSelection();
        break;
    default:
        break;
    }
    return false;
}
