#include "view/dbf_row_source.h"

#include "data/dbf_table.h"

DbfRowSource::DbfRowSource(DbfTable& table, QObject* parent)
    : GridRowSource(parent), m_table(table), m_rows(table)
{
    connect(&m_table, &DbfTable::currentChanged, this, &GridRowSource::currentChanged);
    connect(&m_table, &DbfTable::contentsChanged, this, &GridRowSource::contentsChanged);
    connect(&m_table, &DbfTable::activeChanged, this, &GridRowSource::contentsChanged);
    // Another table may lay out its fields otherwise.
    connect(&m_table, &DbfTable::activeChanged, this, [this] { m_decoded.clear(); });
}

bool DbfRowSource::isActive() const
{
    return m_table.isOpen();
}
qint64 DbfRowSource::rowCount() const
{
    return m_table.rowCount();
}
int DbfRowSource::fieldIndex(const QString& name) const
{
    return m_table.fieldIndex(name);
}

int DbfRowSource::fieldLength(int field) const
{
    const auto& fields = m_table.fields();
    return field >= 0 && field < fields.size() ? fields[field].length : 0;
}

QVariantList DbfRowSource::rowValues(qint64 row) const
{
    return m_rows.read(row) ? m_rows.values() : QVariantList();
}

QVariantList DbfRowSource::fieldValues(qint64 row, const QList<int>& fields) const
{
    if (!m_rows.read(row))
        return QVariantList(fields.size());
    const QByteArray& bytes = m_rows.bytes();
    const QList<DbfField>& layout = m_table.fields();
    if (m_decoded.size() > 1 << 20)
        m_decoded.clear(); // texts that hardly repeat: keep the memory bounded
    QVariantList values;
    values.reserve(fields.size());
    for (const int f : fields) {
        if (f < 0 || f >= layout.size()) {
            values << QVariant();
            continue;
        }
        const DbfField& field = layout[f];
        DecodedKey key{f, QByteArray::fromRawData(bytes.constData() + field.offset, field.length)};
        auto it = m_decoded.constFind(key);
        if (it == m_decoded.cend()) {
            key.bytes.detach(); // the key outlives the record's bytes
            it = m_decoded.insert(key, m_rows.value(f));
        }
        values << *it;
    }
    return values;
}

qint64 DbfRowSource::bookmark(qint64 row) const
{
    return m_table.recordAt(row);
}

qint64 DbfRowSource::positionOf(qint64 bookmark) const
{
    return bookmark > 0 ? m_table.positionOf(quint32(bookmark)) : -1;
}

qint64 DbfRowSource::currentRow() const
{
    return m_table.isOpen() ? m_table.position() : -1;
}

void DbfRowSource::setCurrentRow(qint64 row)
{
    if (row != m_table.position())
        m_table.goToPosition(row);
}

bool DbfRowSource::moveNext()
{
    m_table.next();
    return !m_table.eof();
}

bool DbfRowSource::atEnd() const
{
    return m_table.eof();
}

bool DbfRowSource::isEditing() const
{
    const auto s = m_table.state();
    return s == DbfTable::State::Edit || s == DbfTable::State::Insert;
}

void DbfRowSource::edit()
{
    m_table.edit();
}

void DbfRowSource::setValue(int field, const QVariant& value)
{
    const DbfField& f = m_table.fields().at(field);
    if (f.kind == DbfField::Kind::Character || f.kind == DbfField::Kind::Other) {
        m_table.setText(f.name, value.toString());
    } else {
        const QString text = value.toString().trimmed();
        m_table.setInteger(f.name, text.isEmpty() ? std::nullopt
                                                  : std::optional<qint64>(text.toLongLong()));
    }
}

void DbfRowSource::post()
{
    m_table.post();
}
void DbfRowSource::cancel()
{
    m_table.cancel();
}

void DbfRowSource::deleteAt(qint64 bookmark)
{
    m_table.goToRecord(quint32(bookmark));
    m_table.deleteRecord();
}

void DbfRowSource::freeze()
{
    m_table.disableControls();
}
void DbfRowSource::unfreeze()
{
    m_table.enableControls();
}
