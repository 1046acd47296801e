#pragma once

#include <QObject>
#include <QVariant>

// What the grid needs of the data it shows: rows in the source's current
// order, read one at a time by position. The grid keeps a small cache of rows
// and never asks for the whole table.
//
// Rows are addressed by position (0-based, in the current order); a bookmark
// (an integer, such as a record number) names a row independently of the
// order, so the grid can return to it after the order changed.
class GridRowSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool isActive() const = 0;
    virtual qint64 rowCount() const = 0;
    // The field's index ignoring letter case, -1 when the source has none.
    virtual int fieldIndex(const QString& name) const = 0;
    // The most characters a field holds; 0 when it has no limit.
    virtual int fieldLength(int field) const { return 0; }
    // Every field of one row, in field order. Null variants for empty fields.
    virtual QVariantList rowValues(qint64 row) const = 0;
    // Some fields of one row, in the order asked (null for -1): what the
    // selection captures. Sources that can read single fields cheaply say so
    // here; the default reads the whole row.
    virtual QVariantList fieldValues(qint64 row, const QList<int>& fields) const
    {
        const QVariantList all = rowValues(row);
        QVariantList out;
        out.reserve(fields.size());
        for (const int f : fields)
            out << (f >= 0 && f < all.size() ? all.at(f) : QVariant());
        return out;
    }

    virtual qint64 bookmark(qint64 row) const = 0;
    virtual qint64 positionOf(qint64 bookmark) const = 0; // -1 when gone

    virtual qint64 currentRow() const = 0; // -1 when there is none
    virtual void setCurrentRow(qint64 row) = 0;
    // Moves one row on; at the last row it stays there and reports false
    // ("past the last row").
    virtual bool moveNext() = 0;
    virtual bool atEnd() const = 0;

    // Editing of the current row.
    virtual bool isEditing() const = 0;
    virtual void edit() = 0;
    virtual void setValue(int field, const QVariant& value) = 0;
    virtual void post() = 0;
    virtual void cancel() = 0;

    virtual void deleteAt(qint64 bookmark) = 0;

    // While frozen the source sends no notification; one contentsChanged()
    // follows the unfreeze.
    virtual void freeze() = 0;
    virtual void unfreeze() = 0;

Q_SIGNALS:
    void currentChanged();  // the current row moved
    void contentsChanged(); // rows, their values or their order changed
};
