#include "components/data_grid_model.h"

#include "components/grid_row_source.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace {
// Enough rows for several screens of scrolling back and forth; a row of the
// measurement table costs well under a kilobyte here.
constexpr int kCachedRows = 4096;
} // namespace

QFont toQFont(const GridFont& font)
{
    QFont f(font.name);
    if (font.height < 0)
        f.setPixelSize(-font.height);
    else if (font.height > 0)
        f.setPixelSize(font.height * 3 / 4); // cell height includes the internal leading
    f.setBold(font.style.contains(QStringLiteral("fsBold"), Qt::CaseInsensitive));
    f.setItalic(font.style.contains(QStringLiteral("fsItalic"), Qt::CaseInsensitive));
    f.setUnderline(font.style.contains(QStringLiteral("fsUnderline"), Qt::CaseInsensitive));
    f.setStrikeOut(font.style.contains(QStringLiteral("fsStrikeOut"), Qt::CaseInsensitive));
    return f;
}

Qt::Alignment toQtAlignment(ColumnAlignment alignment, Qt::Alignment fallback)
{
    switch (alignment) {
    case ColumnAlignment::talLeftJustify:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case ColumnAlignment::talRightJustify:
        return Qt::AlignRight | Qt::AlignVCenter;
    case ColumnAlignment::talCenter:
        return Qt::AlignCenter;
    case ColumnAlignment::talDefault:
        break;
    }
    return fallback;
}

DataGridModel::DataGridModel(QObject* parent) : QAbstractTableModel(parent)
{
    m_cache.setMaxCost(kCachedRows);
}

void DataGridModel::setSource(GridRowSource* source)
{
    beginResetModel();
    m_source = source;
    m_cache.clear();
    m_rowCount = (m_source && m_source->isActive()) ? int(m_source->rowCount()) : 0;
    bindColumns();
    endResetModel();
}

void DataGridModel::bindColumns()
{
    const bool bound = m_source && m_source->isActive();
    m_bookmarkFieldIndexes.clear();
    for (const QString& name : m_bookmarkFields)
        m_bookmarkFieldIndexes << (bound ? m_source->fieldIndex(name) : -1);
    m_fieldOfColumn.clear();
    for (const GridColumn& c : m_columns)
        m_fieldOfColumn << ((m_source && m_source->isActive()) ? m_source->fieldIndex(c.fieldName)
                                                               : -1);
}

void DataGridModel::setColumns(const GridColumnList& columns)
{
    beginResetModel();
    m_columns = columns;
    bindColumns();
    endResetModel();
}

void DataGridModel::setColumn(int index, const GridColumn& column)
{
    if (index < 0 || index >= m_columns.size())
        return;
    const bool rebind = m_columns[index].fieldName != column.fieldName;
    m_columns[index] = column;
    if (rebind)
        bindColumns();
    Q_EMIT headerDataChanged(Qt::Horizontal, index, index);
    if (m_rowCount > 0)
        Q_EMIT dataChanged(this->index(0, index), this->index(m_rowCount - 1, index));
}

void DataGridModel::setFooterText(int index, const QString& text)
{
    if (index < 0 || index >= m_columns.size() || m_columns[index].footerText == text)
        return;
    m_columns[index].footerText = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, index, index);
}

void DataGridModel::refresh()
{
    if (!m_source || !m_source->isActive() || m_rowCount == 0) {
        reload();
        return;
    }
    // Rows are added or taken at the end and every row is read again, so the
    // view keeps its current cell and any open editor, and a table that grows
    // by one row at a time (a download being appended) costs no model reset
    // per row.
    const int count = int(m_source->rowCount());
    m_cache.clear();
    if (count > m_rowCount) {
        beginInsertRows({}, m_rowCount, count - 1);
        m_rowCount = count;
        endInsertRows();
    } else if (count < m_rowCount) {
        beginRemoveRows({}, count, m_rowCount - 1);
        m_rowCount = count;
        endRemoveRows();
    }
    bindColumns();
    if (m_rowCount > 0 && !m_columns.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(m_rowCount - 1, int(m_columns.size()) - 1));
}

void DataGridModel::reload()
{
    beginResetModel();
    m_cache.clear();
    m_rowCount = (m_source && m_source->isActive()) ? int(m_source->rowCount()) : 0;
    bindColumns();
    endResetModel();
}

void DataGridModel::invalidateRow(int row)
{
    m_cache.remove(row);
    emitRowChanged(row);
}

void DataGridModel::emitRowChanged(int row)
{
    if (row >= 0 && row < m_rowCount && !m_columns.isEmpty())
        Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
}

const QVariantList* DataGridModel::row(int row) const
{
    if (!m_source || row < 0 || row >= m_rowCount)
        return nullptr;
    if (const QVariantList* cached = m_cache.object(row))
        return cached;
    auto* values = new QVariantList(m_source->rowValues(row));
    m_cache.insert(row, values, 1);
    return values;
}

QVariant DataGridModel::cellValue(int r, int column) const
{
    const int field = fieldOfColumn(column);
    const QVariantList* values = row(r);
    if (!values || field < 0 || field >= values->size())
        return {};
    return values->at(field);
}

// ------------------------------------------------------------- selection --

void DataGridModel::setBookmarkFields(const QString& fields)
{
    clearSelection(); // entries captured under other fields would not fit
    m_bookmarkFields = fields.split(u';', Qt::SkipEmptyParts);
    for (QString& f : m_bookmarkFields)
        f = f.trimmed();
    bindColumns();
}

SelectionEntry DataGridModel::entryForRow(int r) const
{
    SelectionEntry e;
    if (!m_source || r < 0 || r >= m_rowCount)
        return e;
    e.bookmark = m_source->bookmark(r);
    const QVariantList* values = row(r);
    e.values.reserve(m_bookmarkFieldIndexes.size());
    for (const int field : m_bookmarkFieldIndexes)
        e.values << ((values && field >= 0 && field < values->size()) ? values->at(field)
                                                                      : QVariant());
    return e;
}

SelectionEntry DataGridModel::selectionAt(qsizetype index) const
{
    SelectionEntry e;
    if (index < 0 || index >= selectionSize())
        return e;
    e.bookmark = m_selBookmarks[size_t(index)];
    e.values.reserve(m_capturedWidth);
    const size_t base = size_t(index) * size_t(m_capturedWidth);
    for (int i = 0; i < m_capturedWidth; ++i)
        e.values << m_valuePool.at(m_selValues[base + size_t(i)]);
    return e;
}

quint32 DataGridModel::internValue(const QVariant& value)
{
    if (m_valuePool.isEmpty())
        m_valuePool << QVariant();
    if (value.isNull())
        return 0;
    // Texts repeat a great deal (a date per day, a few hundred
    // temperatures): each distinct one is kept once.
    if (value.typeId() == QMetaType::QString) {
        const QString& text = *static_cast<const QString*>(value.constData());
        const QChar* chars = text.constData();
        if (const auto shared = m_sharedTexts.constFind(chars); shared != m_sharedTexts.cend())
            return *shared;
        if (const auto it = m_textValues.constFind(text); it != m_textValues.cend())
            return *it;
        const auto id = quint32(m_valuePool.size());
        m_valuePool << value;
        m_textValues.insert(text, id);
        const QString& kept = *static_cast<const QString*>(m_valuePool.back().constData());
        if (kept.constData() == chars && !text.isEmpty())
            m_sharedTexts.insert(chars, id);
        return id;
    }
    const auto id = quint32(m_valuePool.size());
    m_valuePool << value;
    return id;
}

void DataGridModel::appendEntry(qint64 bookmark, const QVariantList& values)
{
    if (m_selBookmarks.empty())
        m_capturedWidth = int(m_bookmarkFields.size());
    m_selBookmarks.push_back(bookmark);
    for (int i = 0; i < m_capturedWidth; ++i)
        m_selValues.push_back(internValue(values.value(i)));
}

bool DataGridModel::isRowSelected(int r) const
{
    if (m_selected.isEmpty() || !m_source || r < 0 || r >= m_rowCount)
        return false;
    return m_selected.contains(m_source->bookmark(r));
}

bool DataGridModel::selectRow(int r)
{
    if (!m_source || r < 0 || r >= m_rowCount)
        return false;
    SelectionEntry e = entryForRow(r);
    if (!m_selected.insert(e.bookmark))
        return false;
    appendEntry(e.bookmark, e.values);
    emitRowChanged(r);
    Q_EMIT selectionEntriesChanged();
    return true;
}

void DataGridModel::selectRows(int from, int to)
{
    if (!m_source || from < 0 || to >= m_rowCount || from > to)
        return;
    const size_t more = size_t(to - from + 1);
    m_selBookmarks.reserve(m_selBookmarks.size() + more);
    m_selValues.reserve(m_selValues.size() + more * size_t(m_bookmarkFields.size()));
    bool added = false;
    for (int r = from; r <= to; ++r) {
        const qint64 bookmark = m_source->bookmark(r);
        if (!m_selected.insert(bookmark))
            continue;
        // Only the captured fields are read, not the whole row.
        appendEntry(bookmark, m_source->fieldValues(r, m_bookmarkFieldIndexes));
        added = true;
    }
    if (!added)
        return;
    if (!m_columns.isEmpty())
        Q_EMIT dataChanged(index(from, 0), index(to, int(m_columns.size()) - 1));
    Q_EMIT selectionEntriesChanged();
}

void DataGridModel::selectRowList(const QList<qint64>& rows)
{
    if (!m_source || rows.isEmpty())
        return;
    m_selBookmarks.reserve(m_selBookmarks.size() + size_t(rows.size()));
    m_selValues.reserve(m_selValues.size() + size_t(rows.size()) * size_t(m_bookmarkFields.size()));
    qint64 first = m_rowCount, last = -1;
    for (qint64 r : rows) {
        if (r < 0 || r >= m_rowCount)
            continue;
        const qint64 bookmark = m_source->bookmark(r);
        if (!m_selected.insert(bookmark))
            continue;
        appendEntry(bookmark, m_source->fieldValues(r, m_bookmarkFieldIndexes));
        first = std::min(first, r);
        last = std::max(last, r);
    }
    if (last < 0)
        return;
    if (!m_columns.isEmpty())
        Q_EMIT dataChanged(index(int(first), 0), index(int(last), int(m_columns.size()) - 1));
    Q_EMIT selectionEntriesChanged();
}

void DataGridModel::deselectRow(int r)
{
    if (!m_source || r < 0 || r >= m_rowCount)
        return;
    const qint64 bm = m_source->bookmark(r);
    if (!m_selected.remove(bm))
        return;
    for (size_t i = m_selBookmarks.size(); i-- > 0;)
        if (m_selBookmarks[i] == bm) {
            m_selBookmarks.erase(m_selBookmarks.begin() + qsizetype(i));
            const auto at = m_selValues.begin() + qsizetype(i) * m_capturedWidth;
            m_selValues.erase(at, at + m_capturedWidth);
            break;
        }
    emitRowChanged(r);
    Q_EMIT selectionEntriesChanged();
}

void DataGridModel::clearSelection()
{
    if (m_selBookmarks.empty())
        return;
    m_selBookmarks.clear();
    m_selBookmarks.shrink_to_fit();
    m_selValues.clear();
    m_selValues.shrink_to_fit();
    m_valuePool.clear();
    m_textValues.clear();
    m_sharedTexts.clear();
    m_selected.clear();
    if (m_rowCount > 0 && !m_columns.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(m_rowCount - 1, int(m_columns.size()) - 1));
    Q_EMIT selectionEntriesChanged();
}

// ----------------------------------------------------------- BookmarkSet --

bool BookmarkSet::contains(qint64 b) const
{
    if (b >= 0 && b < kBitLimit) {
        const size_t word = size_t(b >> 6);
        return word < m_bits.size() && (m_bits[word] >> (b & 63) & 1);
    }
    return m_others.contains(b);
}

bool BookmarkSet::insert(qint64 b)
{
    if (b >= 0 && b < kBitLimit) {
        const size_t word = size_t(b >> 6);
        if (word >= m_bits.size())
            m_bits.resize(std::max(word + 1, m_bits.size() * 2), 0);
        const quint64 bit = quint64(1) << (b & 63);
        if (m_bits[word] & bit)
            return false;
        m_bits[word] |= bit;
    } else if (!m_others.contains(b)) {
        m_others.insert(b);
    } else {
        return false;
    }
    ++m_size;
    return true;
}

bool BookmarkSet::remove(qint64 b)
{
    if (!contains(b))
        return false;
    if (b >= 0 && b < kBitLimit)
        m_bits[size_t(b >> 6)] &= ~(quint64(1) << (b & 63));
    else
        m_others.remove(b);
    --m_size;
    return true;
}

void BookmarkSet::clear()
{
    m_bits.clear();
    m_bits.shrink_to_fit();
    m_others.clear();
    m_size = 0;
}

// ------------------------------------------------------ the model proper --

int DataGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int DataGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

void DataGridModel::setCellTextColour(CellTextColour rule)
{
    m_cellTextColour = std::move(rule);
    if (m_rowCount > 0 && !m_columns.isEmpty())
        emit dataChanged(index(0, 0), index(m_rowCount - 1, int(m_columns.size()) - 1),
                         {Qt::ForegroundRole});
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= m_columns.size())
        return {};
    const GridColumn& col = m_columns[index.column()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const QVariant v = cellValue(index.row(), index.column());
        return v.isNull() ? QVariant(QString()) : QVariant(v.toString());
    }
    case Qt::TextAlignmentRole: {
        const QVariant v = cellValue(index.row(), index.column());
        const bool numeric = v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int ||
                             v.typeId() == QMetaType::Double;
        return int(toQtAlignment(col.alignment, numeric ? (Qt::AlignRight | Qt::AlignVCenter)
                                                        : (Qt::AlignLeft | Qt::AlignVCenter)));
    }
    case Qt::BackgroundRole:
        if (isRowSelected(index.row()))
            return QGuiApplication::palette().color(QPalette::Highlight);
        if (col.color != DelphiColors::clNone)
            return toQColor(col.color);
        return {};
    case Qt::ForegroundRole:
        if (isRowSelected(index.row()))
            return QGuiApplication::palette().color(QPalette::HighlightedText);
        if (m_cellTextColour) {
            const QColor c = m_cellTextColour(col.fieldName, cellValue(index.row(), index.column()));
            if (c.isValid())
                return c;
        }
        if (col.font)
            return toQColor(col.font->color);
        return {};
    case Qt::FontRole:
        return col.font ? QVariant(toQFont(*col.font)) : QVariant();
    case ColumnColorRole:
        return toQColor(col.color);
    case SelectedRole:
        return isRowSelected(index.row());
    case MaxLengthRole:
        return m_source ? m_source->fieldLength(fieldOfColumn(index.column())) : 0;
    case BookmarkRole:
        return m_source ? QVariant(m_source->bookmark(index.row())) : QVariant();
    default:
        return {};
    }
}

bool DataGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int field = fieldOfColumn(index.column());
    if (data(index, Qt::EditRole) == value && !m_source->isEditing())
        return true; // nothing typed: no write, no change of the file
    if (m_source->currentRow() != index.row())
        m_source->setCurrentRow(index.row());
    if (!m_source->isEditing())
        m_source->edit();
    m_source->setValue(field, value);
    m_source->post();
    invalidateRow(index.row());
    return true;
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const GridColumn& col = m_columns[section];
    switch (role) {
    case Qt::DisplayRole:
        return col.caption;
    case Qt::TextAlignmentRole:
        return int(toQtAlignment(col.captionAlignment, Qt::AlignLeft | Qt::AlignVCenter) |
                   Qt::TextWordWrap);
    case TitleStateRole:
        return int(col.titleState);
    case FooterTextRole:
        return col.footerText;
    case FooterAlignmentRole:
        return int(toQtAlignment(col.alignment, Qt::AlignRight | Qt::AlignVCenter));
    default:
        return {};
    }
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() < m_columns.size() && !m_columns[index.column()].readOnly &&
        fieldOfColumn(index.column()) >= 0 && m_source && m_source->isActive())
        f |= Qt::ItemIsEditable;
    return f;
}
