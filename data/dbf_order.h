#pragma once

#include "data/sort_index.h"

#include <QString>

#include <memory>
#include <vector>

class DbfFile;

// The order the open table is browsed in: the live records in record order,
// in the key order of a sort tag of the production index, or in the order a
// read-only table was sorted in memory. Gives each step and random access by
// position; record numbers are 1-based, 0 means none.
class DbfOrder
{
public:
    explicit DbfOrder(DbfFile& file) : m_file(file) {}

    // --- stepping ---
    quint32 first();
    quint32 last();
    quint32 next(quint32 rec);
    quint32 prior(quint32 rec);

    // --- random access ---
    const std::vector<quint32>& rows();
    qint64 positionOf(quint32 rec);

    // --- keeping the record order current ---
    void appended(quint32 rec);
    void removed(quint32 rec);
    void reset(); // built again on the next random access

    // --- the production index and its selected tag ---
    SortIndex* index() const { return m_index.get(); }
    // The index of the table's tags, made empty when it has none yet.
    SortIndex& makeIndex(const QString& indexPath, const QString& tableName);
    // The tags of the index file, built again from the records; false when
    // the file is missing, damaged, foreign or has no tag.
    bool loadIndex(const QString& indexPath, const QString& tableName);
    // False when the index file could not be written.
    bool saveIndex();
    void dropIndex(); // the index and the reading order; record order again

    QString selectedTagName() const;
    // Empty or unknown: record order.
    void selectTag(const QString& name);
    void unselectTag() { m_sorted = nullptr; } // while a tag may be replaced
    // Browse in `order`, a tag built in memory only, never written.
    void selectReadingOrder(std::unique_ptr<SortTag> order);
    bool readingOrderSelected() const { return m_sorted && m_sorted == m_readingOrder.get(); }

private:
    quint32 sortedStep(quint32 rec, int step) const;

    DbfFile& m_file;
    // Live records in record order, built on first random access.
    bool m_built = false;
    std::vector<quint32> m_rows;

    // The production index (.mdx) while the table has one.
    std::unique_ptr<SortIndex> m_index;
    // The order a read-only table browses in after sortForReading.
    std::unique_ptr<SortTag> m_readingOrder;
    // The selected tag; null: record order.
    SortTag* m_sorted = nullptr;
};
