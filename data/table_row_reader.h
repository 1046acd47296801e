#pragma once

#include "platform/regional_settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QVariant>

class DbfTable;

// Row k of a table's browsing order (the selected sort tag's order, else
// record order), read by its position without moving the table's current
// record: the grid, the printed report, the export, the summary and the
// command line read rows in any order while the cursor stays where the user
// left it. Every reading of records that is not the table's own current
// record goes through here.
//
// read() keeps a copy of the row, since the table's block cache moves on with
// the next read. view() keeps none, for walks over whole tables: its row is
// valid until the table reads another record, through this reader or any
// other one.
class TableRowReader
{
public:
    explicit TableRowReader(const DbfTable& table) : m_table(table) {}

    qint64 rowCount() const;
    // Row k; false, and no row, outside the order or on a closed table.
    bool read(qint64 row);
    bool view(qint64 row);
    // The record with this number (a selection's bookmark), without a copy;
    // false, and no row, for one the table does not hold.
    bool viewRecord(quint32 recNo);
    // The first row of the order, then the one after the row viewed last,
    // without a copy: a walk from the first row to the last that needs no
    // positions (the first rowCount() of a table without a sort walks the
    // whole file once more); false, and no row, after the last one.
    bool viewFirst();
    bool viewNext();

    // The row last read: its record number (0: none), its record's bytes
    // (after read() only), a field's raw bytes (the table's code page,
    // padded), a field's value (null for a field that is not there), a
    // field's text (empty for null, a number as DbfTable::text writes it),
    // and every field's value or text (null or empty ones when no row was
    // read).
    quint32 recNo() const { return m_recNo; }
    const QByteArray& bytes() const { return m_bytes; }
    QByteArrayView fieldBytes(int field) const;
    QVariant value(int field) const;
    QString text(int field) const;
    QVariantList values() const;
    QStringList texts() const;
    // A text field holding a regional number (T_1, T_2) as DbfTable::number
    // reads it: false for null; a text that is no number throws the regional
    // error.
    bool number(int field, const RegionalSettings& rs, double& v) const;
    // The same where an empty field is no number either.
    double requiredNumber(int field, const RegionalSettings& rs) const;

private:
    const DbfTable& m_table;
    QByteArray m_bytes;
    const char* m_record = nullptr;
    quint32 m_recNo = 0;
};
