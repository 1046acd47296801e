#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVariant>

class DbfTable;

// Row k of a table's browsing order (the selected sort tag's order, else
// record order), read by its position without moving the table's current
// record: the grid, the printed report and `fln chart` read rows in any order
// while the cursor stays where the user left it. The reader keeps a copy of
// the row last read, since the table's block cache moves on with the next
// read.
class TableRowReader
{
public:
    explicit TableRowReader(const DbfTable& table) : m_table(table) {}

    qint64 rowCount() const;
    // Reads row k; false, and no row, outside the order or on a closed table.
    bool read(qint64 row);

    // The row last read: its record's bytes, a field's value (null for a
    // field that is not there), a field's text (empty for null, a number as
    // DbfTable::text writes it), and every field's value or text (null or
    // empty ones when no row was read).
    const QByteArray& bytes() const { return m_bytes; }
    QVariant value(int field) const;
    QString text(int field) const;
    QVariantList values() const;
    QStringList texts() const;

private:
    const DbfTable& m_table;
    QByteArray m_bytes;
};
