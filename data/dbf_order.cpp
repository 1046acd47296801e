#include "data/dbf_order.h"

#include "data/dbf_file.h"

#include "platform/app_error.h"

#include <QFileInfo>

#include <algorithm>

// --- stepping ---

quint32 DbfOrder::first()
{
    if (m_sorted)
        return m_sorted->liveCount() ? m_sorted->liveAt(0) : 0;
    for (quint32 r = 1; r <= m_file.count(); ++r)
        if (m_file.live(r))
            return r;
    return 0;
}

quint32 DbfOrder::last()
{
    if (m_sorted)
        return m_sorted->liveCount() ? m_sorted->liveAt(m_sorted->liveCount() - 1) : 0;
    for (quint32 r = m_file.count(); r >= 1; --r)
        if (m_file.live(r))
            return r;
    return 0;
}

quint32 DbfOrder::next(quint32 rec)
{
    if (m_sorted)
        return sortedStep(rec, +1);
    for (quint32 r = rec + 1; r <= m_file.count(); ++r)
        if (m_file.live(r))
            return r;
    return 0;
}

quint32 DbfOrder::prior(quint32 rec)
{
    if (m_sorted)
        return sortedStep(rec, -1);
    for (quint32 r = rec - 1; r >= 1 && r < rec; --r)
        if (m_file.live(r))
            return r;
    return 0;
}

quint32 DbfOrder::sortedStep(quint32 rec, int step) const
{
    const qint64 at = m_sorted->livePositionOf(rec);
    const qint64 to = at + step;
    return at >= 0 && to >= 0 && to < m_sorted->liveCount() ? m_sorted->liveAt(to) : 0;
}

// --- random access ---

const std::vector<quint32>& DbfOrder::rows()
{
    if (m_sorted)
        return m_sorted->live();
    if (!m_built) {
        m_rows.clear();
        for (quint32 r = first(); r; r = next(r))
            m_rows.push_back(r);
        m_built = true;
    }
    return m_rows;
}

qint64 DbfOrder::positionOf(quint32 rec)
{
    if (m_sorted)
        return m_sorted->livePositionOf(rec);
    const auto& all = rows();
    const auto it = std::lower_bound(all.begin(), all.end(), rec);
    return it != all.end() && *it == rec ? qint64(it - all.begin()) : -1;
}

// --- keeping the record order current ---

void DbfOrder::appended(quint32 rec)
{
    if (m_built)
        m_rows.push_back(rec);
}

void DbfOrder::removed(quint32 rec)
{
    if (!m_built)
        return;
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), rec);
    if (it != m_rows.end() && *it == rec)
        m_rows.erase(it);
}

void DbfOrder::reset()
{
    m_built = false;
    m_rows.clear();
}

// --- the production index ---

SortIndex& DbfOrder::makeIndex(const QString& indexPath, const QString& tableName)
{
    if (!m_index)
        m_index = std::make_unique<SortIndex>(indexPath, tableName, m_file.languageDriver(),
                                              m_file.fields());
    return *m_index;
}

bool DbfOrder::loadIndex(const QString& indexPath, const QString& tableName)
{
    if (!QFileInfo::exists(indexPath))
        return false;
    auto index =
        std::make_unique<SortIndex>(indexPath, tableName, m_file.languageDriver(), m_file.fields());
    try {
        index->load(m_file.recordReader(), m_file.count());
    } catch (const AppError&) {
        return false;
    }
    if (index->isEmpty())
        return false;
    m_index = std::move(index);
    return true;
}

// The index file is written when a tag is added or removed and at close and
// before pack; in between the tags live in memory.
bool DbfOrder::saveIndex()
{
    if (!m_index || m_file.isReadOnly())
        return true;
    try {
        m_index->save();
        return true;
    } catch (const AppError&) {
        return false;
    }
}

void DbfOrder::dropIndex()
{
    m_sorted = nullptr;
    m_index.reset();
    m_readingOrder.reset();
}

QString DbfOrder::selectedTagName() const
{
    return m_sorted ? m_sorted->name() : QString();
}

void DbfOrder::selectTag(const QString& name)
{
    if (m_readingOrder && !name.isEmpty() &&
        name.compare(m_readingOrder->name(), Qt::CaseInsensitive) == 0)
        m_sorted = m_readingOrder.get();
    else
        m_sorted = m_index && !name.isEmpty() ? m_index->tag(name) : nullptr;
    reset();
}

void DbfOrder::selectReadingOrder(std::unique_ptr<SortTag> order)
{
    m_readingOrder = std::move(order);
    selectTag(m_readingOrder->name());
}
