#include "data/table_row_reader.h"

#include "data/dbf_table.h"

qint64 TableRowReader::rowCount() const
{
    return m_table.rowCount();
}

bool TableRowReader::read(qint64 row)
{
    const quint32 rec = m_table.recordAt(row);
    if (rec == 0) {
        m_bytes.clear();
        return false;
    }
    m_bytes = m_table.recordBytes(rec);
    return !m_bytes.isEmpty();
}

QVariant TableRowReader::value(int field) const
{
    return m_table.decode(m_bytes, field);
}

QString TableRowReader::text(int field) const
{
    return DbfTable::textOf(value(field));
}

QVariantList TableRowReader::values() const
{
    QVariantList values;
    const int n = int(m_table.fields().size());
    values.reserve(n);
    for (int f = 0; f < n; ++f)
        values << value(f);
    return values;
}

QStringList TableRowReader::texts() const
{
    QStringList texts;
    const int n = int(m_table.fields().size());
    texts.reserve(n);
    for (int f = 0; f < n; ++f)
        texts << text(f);
    return texts;
}
