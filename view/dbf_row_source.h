#pragma once

#include "components/grid_row_source.h"
#include "data/table_row_reader.h"

#include <QHash>

class DbfTable;

// The grid's view of the table layer: rows in the table's current order
// (record order or the sort tag), record numbers as bookmarks. Rows are read
// by position without moving the table's current row.
class DbfRowSource : public GridRowSource
{
    Q_OBJECT

public:
    explicit DbfRowSource(DbfTable& table, QObject* parent = nullptr);

    bool isActive() const override;
    qint64 rowCount() const override;
    int fieldIndex(const QString& name) const override;
    int fieldLength(int field) const override;
    QVariantList rowValues(qint64 row) const override;
    QVariantList fieldValues(qint64 row, const QList<int>& fields) const override;
    qint64 bookmark(qint64 row) const override;
    qint64 positionOf(qint64 bookmark) const override;
    qint64 currentRow() const override;
    void setCurrentRow(qint64 row) override;
    bool moveNext() override;
    bool atEnd() const override;
    bool isEditing() const override;
    void edit() override;
    void setValue(int field, const QVariant& value) override;
    void post() override;
    void cancel() override;
    void deleteAt(qint64 bookmark) override;
    void freeze() override;
    void unfreeze() override;

private:
    // Decoded field values by their bytes: the captured fields repeat a
    // great deal (a date per day, a few hundred temperatures), so a
    // selection of every row decodes each distinct text once.
    struct DecodedKey
    {
        int field;
        QByteArray bytes;
        bool operator==(const DecodedKey&) const = default;
    };
    friend size_t qHash(const DecodedKey& k, size_t seed)
    {
        return qHash(k.bytes, seed) ^ size_t(k.field);
    }

    DbfTable& m_table;
    mutable TableRowReader m_rows;
    mutable QHash<DecodedKey, QVariant> m_decoded;
};
