#include "data/table_row_reader.h"

#include "data/dbf_table.h"

qint64 TableRowReader::rowCount() const
{
    return m_table.rowCount();
}

bool TableRowReader::read(qint64 row)
{
    if (!view(row)) {
        m_bytes.clear();
        return false;
    }
    m_bytes = m_table.recordBytes(m_recNo);
    m_record = m_bytes.constData();
    return true;
}

bool TableRowReader::view(qint64 row)
{
    return viewRecord(m_table.recordAt(row));
}

bool TableRowReader::viewRecord(quint32 recNo)
{
    m_record = recNo == 0 ? nullptr : m_table.peekRecord(recNo);
    m_recNo = m_record ? recNo : 0;
    return m_record != nullptr;
}

bool TableRowReader::viewFirst()
{
    return viewRecord(m_table.firstInOrder());
}

bool TableRowReader::viewNext()
{
    return m_recNo != 0 && viewRecord(m_table.nextInOrder(m_recNo));
}

QByteArrayView TableRowReader::fieldBytes(int field) const
{
    return m_table.fieldBytes(m_record, field);
}

QVariant TableRowReader::value(int field) const
{
    return m_table.decodeAt(m_record, field);
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

bool TableRowReader::number(int field, const RegionalSettings& rs, double& v) const
{
    return m_table.numberAt(m_record, field, rs, v);
}

double TableRowReader::requiredNumber(int field, const RegionalSettings& rs) const
{
    double v;
    return number(field, rs, v) ? v : textToFloat(QString(), rs); // an empty text throws
}
