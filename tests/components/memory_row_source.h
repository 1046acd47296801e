#pragma once

#include "components/grid_row_source.h"

#include <QList>
#include <QStringList>

// A row source over rows held in a list, with record numbers 1..n as
// bookmarks, for testing the grid without a table file. It records what the
// grid asked of it.
class MemoryRowSource : public GridRowSource
{
public:
    QStringList fields;
    QList<QVariantList> rows; // in display order
    QList<qint64> bookmarks;  // of the rows above
    qint64 current = -1;
    bool eof = false;
    bool editing = false;
    int frozen = 0;
    mutable int rowReads = 0;
    QList<qint64> deleted;      // in the order of deletion
    QList<int> frozenAtDelete;  // the freeze depth at each deletion
    QList<QVariantList> posted; // row images at each post

    void setRows(const QStringList& f, const QList<QVariantList>& r)
    {
        fields = f;
        rows = r;
        bookmarks.clear();
        for (qsizetype i = 0; i < r.size(); ++i)
            bookmarks << i + 1;
        current = r.isEmpty() ? -1 : 0;
    }

    bool isActive() const override { return true; }
    qint64 rowCount() const override { return rows.size(); }
    int fieldIndex(const QString& name) const override
    {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    QVariantList rowValues(qint64 row) const override
    {
        ++rowReads;
        return rows.value(row);
    }
    qint64 bookmark(qint64 row) const override { return bookmarks.value(row, -1); }
    qint64 positionOf(qint64 bm) const override { return bookmarks.indexOf(bm); }
    qint64 currentRow() const override { return current; }
    void setCurrentRow(qint64 row) override
    {
        if (row == current)
            return;
        current = row;
        eof = false;
        if (!frozen)
            Q_EMIT currentChanged();
    }
    bool moveNext() override
    {
        if (current + 1 >= rows.size()) {
            eof = true;
            return false;
        }
        setCurrentRow(current + 1);
        return true;
    }
    bool atEnd() const override { return eof; }
    bool isEditing() const override { return editing; }
    void edit() override { editing = true; }
    void setValue(int field, const QVariant& value) override { rows[current][field] = value; }
    void post() override
    {
        editing = false;
        posted << rows[current];
        if (!frozen)
            Q_EMIT contentsChanged();
    }
    void cancel() override { editing = false; }
    void deleteAt(qint64 bm) override
    {
        const qint64 pos = positionOf(bm);
        deleted << bm;
        frozenAtDelete << frozen;
        rows.removeAt(pos);
        bookmarks.removeAt(pos);
        current = qMin(current, qint64(rows.size()) - 1);
    }
    void freeze() override { ++frozen; }
    void unfreeze() override
    {
        if (--frozen == 0)
            Q_EMIT contentsChanged();
    }
};
