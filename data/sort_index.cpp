#include "data/sort_index.h"

#include "platform/app_error.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

// Records are read in slices of this many, so that a large table is not
// loaded at once.
constexpr quint32 kReadSlice = 65536;

} // namespace

SortTag::SortTag(const QString& name, const SortKeyExpression& key, bool descending,
                 quint8 languageDriver)
    : m_name(name.toUpper()), m_expression(key.text), m_key(key), m_keyLength(key.keyLength),
      m_descending(descending), m_order(key.type, languageDriver)
{
}

QByteArray SortTag::keyOf(QByteArrayView record) const
{
    QByteArray key(m_keyLength, Qt::Uninitialized);
    m_key.keyOf(record, key.data());
    return key;
}

QByteArrayView SortTag::storedKey(quint32 recNo) const
{
    return QByteArrayView(m_keys).sliced(qsizetype(recNo - 1) * m_keyLength, m_keyLength);
}

bool SortTag::before(quint32 a, quint32 b) const
{
    if (a == b)
        return false;
    int c = m_order.compare(storedKey(a), storedKey(b));
    if (m_descending)
        c = -c;
    return c != 0 ? c < 0 : a < b;
}

void SortTag::build(const RecordReader& read, quint32 recordCount)
{
    m_keys = QByteArray(qsizetype(recordCount) * m_keyLength, ' ');
    m_state.assign(recordCount, kLive);
    for (quint32 first = 1; first <= recordCount; first += kReadSlice) {
        const quint32 count = std::min(kReadSlice, recordCount - first + 1);
        const QByteArray slice = read(first, count);
        const qsizetype length = count ? slice.size() / count : 0;
        for (quint32 i = 0; i < count; ++i) {
            const QByteArrayView record = QByteArrayView(slice).sliced(i * length, length);
            char* slot = m_keys.data() + qsizetype(first - 1 + i) * m_keyLength;
            m_key.keyOf(record, slot);
            if (!record.isEmpty() && record[0] == '*')
                m_state[first - 1 + i] = kDeletedRecord;
        }
    }

    // Rank every key once, then place the records by rank: a counting sort
    // that keeps equal keys in record order.
    const std::vector<quint32> ranks = m_order.ranks(m_keys.constData(), m_keyLength, recordCount);
    const quint32 rankCount = ranks.empty() ? 0 : *std::max_element(ranks.begin(), ranks.end()) + 1;
    std::vector<quint32> start(size_t(rankCount) + 1, 0);
    for (quint32 r : ranks)
        ++start[m_descending ? rankCount - 1 - r + 1 : r + 1];
    for (size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    m_all.assign(recordCount, 0);
    for (quint32 i = 0; i < recordCount; ++i) {
        const quint32 slot = m_descending ? rankCount - 1 - ranks[i] : ranks[i];
        m_all[start[slot]++] = i + 1;
    }
    m_live.clear();
    m_live.reserve(m_all.size());
    for (quint32 recNo : m_all)
        if (m_state[recNo - 1] == kLive)
            m_live.push_back(recNo);
}

qint64 SortTag::find(const std::vector<quint32>& list, quint32 recNo) const
{
    auto it = std::lower_bound(list.begin(), list.end(), recNo,
                               [this](quint32 a, quint32 b) { return before(a, b); });
    return it != list.end() && *it == recNo ? qint64(it - list.begin()) : -1;
}

void SortTag::place(std::vector<quint32>& list, quint32 recNo)
{
    auto it = std::lower_bound(list.begin(), list.end(), recNo,
                               [this](quint32 a, quint32 b) { return before(a, b); });
    list.insert(it, recNo);
}

void SortTag::erase(std::vector<quint32>& list, qint64 at)
{
    if (at >= 0)
        list.erase(list.begin() + at);
}

qint64 SortTag::livePositionOf(quint32 recNo) const
{
    if (recNo == 0 || recNo > m_state.size() || m_state[recNo - 1] != kLive)
        return -1;
    // Browsing asks for the neighbour of the last answer: no search then.
    for (qint64 at : {m_hint, m_hint + 1, m_hint - 1})
        if (at >= 0 && at < qint64(m_live.size()) && m_live[size_t(at)] == recNo)
            return m_hint = at;
    const qint64 at = find(m_live, recNo);
    if (at >= 0)
        m_hint = at;
    return at;
}

void SortTag::insert(quint32 recNo, QByteArrayView record)
{
    if (recNo == 0)
        return;
    if (recNo <= m_state.size() && m_state[recNo - 1] != kNoKey)
        remove(recNo);
    if (recNo > m_state.size()) {
        m_keys.append(qsizetype(recNo - m_state.size()) * m_keyLength, ' ');
        m_state.resize(recNo, kNoKey);
    }
    const QByteArray key = keyOf(record);
    std::memcpy(m_keys.data() + qsizetype(recNo - 1) * m_keyLength, key.constData(),
                size_t(m_keyLength));
    const bool deleted = !record.isEmpty() && record[0] == '*';
    m_state[recNo - 1] = deleted ? kDeletedRecord : kLive;
    place(m_all, recNo);
    if (!deleted)
        place(m_live, recNo);
}

void SortTag::update(quint32 recNo, QByteArrayView record)
{
    if (recNo == 0 || recNo > m_state.size() || m_state[recNo - 1] == kNoKey) {
        insert(recNo, record);
        return;
    }
    const bool deleted = !record.isEmpty() && record[0] == '*';
    const bool wasLive = m_state[recNo - 1] == kLive;
    if (keyOf(record) == storedKey(recNo) && wasLive == !deleted)
        return; // the key did not change: the record keeps its place
    remove(recNo);
    insert(recNo, record);
}

void SortTag::remove(quint32 recNo)
{
    if (recNo == 0 || recNo > m_state.size() || m_state[recNo - 1] == kNoKey)
        return;
    if (m_state[recNo - 1] == kLive)
        erase(m_live, find(m_live, recNo));
    erase(m_all, find(m_all, recNo));
    m_state[recNo - 1] = kNoKey;
}

MdxTag SortTag::toMdx() const
{
    MdxTag tag;
    tag.name = m_name;
    tag.expression = m_expression;
    tag.plainField = m_key.plainField();
    tag.keyType = m_order.type();
    tag.keyLength = m_keyLength;
    tag.descending = m_descending;
    tag.records = m_all;
    tag.keys.reserve(qsizetype(m_all.size()) * m_keyLength);
    for (quint32 recNo : m_all)
        tag.keys.append(storedKey(recNo));
    return tag;
}

SortIndex::SortIndex(const QString& path, const QString& tableName, quint8 languageDriver,
                     QList<DbfField> fields)
    : m_path(path), m_tableName(tableName), m_languageDriver(languageDriver),
      m_fields(std::move(fields))
{
}

SortIndex::~SortIndex() = default;

SortTag* SortIndex::tag(const QString& name) const
{
    for (const auto& t : m_tags)
        if (t->name().compare(name, Qt::CaseInsensitive) == 0)
            return t.get();
    return nullptr;
}

void SortIndex::load(const RecordReader& read, quint32 recordCount)
{
    const MdxContents contents = readMdxFile(m_path);
    std::vector<std::unique_ptr<SortTag>> tags;
    for (const MdxTag& stored : contents.tags) {
        const auto key = parseKeyExpression(stored.expression, m_fields);
        if (!key)
            throw AppError(QStringLiteral("Index expression not valid: %1").arg(stored.expression));
        auto t = std::make_unique<SortTag>(stored.name, *key, stored.descending, m_languageDriver);
        if (t->keyType() != stored.keyType || t->keyLength() != stored.keyLength)
            throw AppError(QStringLiteral("Index does not match table: %1").arg(stored.name));
        t->build(read, recordCount);
        tags.push_back(std::move(t));
    }
    m_tags = std::move(tags);
}

bool SortIndex::addTag(const QString& name, const QString& expression, bool descending,
                       const RecordReader& read, quint32 recordCount)
{
    const bool fileExisted = QFileInfo::exists(m_path);
    const auto key = parseKeyExpression(expression, m_fields);
    auto old = std::find_if(m_tags.begin(), m_tags.end(), [&](const auto& t) {
        return t->name().compare(name, Qt::CaseInsensitive) == 0;
    });
    if (old != m_tags.end())
        m_tags.erase(old);

    // A file created for the tag goes again, and so does one left without
    // any tag (the failed tag replaced the only one).
    auto drop = [&]() {
        if (!fileExisted || m_tags.empty())
            deleteFile();
        else
            try {
                save();
            } catch (const AppError&) {
            }
        return false;
    };

    // The limits of the format: a key of a character, numeric or date type
    // of at most 100 bytes, a tag name of at most 10 characters, at most 47
    // tags. A bare field is a character or numeric one.
    if (!key || name.isEmpty() || name.size() > 10 || m_tags.size() >= size_t(mdx::kMaxTags))
        return drop();
    const char type = key->field.type;
    if (key->plainField() && type != 'C' && type != 'N' && type != 'F')
        return drop();
    if (key->keyLength < 1 || key->keyLength > mdx::kMaxKeyLength)
        return drop();

    try {
        auto t = std::make_unique<SortTag>(name, *key, descending, m_languageDriver);
        t->build(read, recordCount);
        m_tags.push_back(std::move(t));
        save();
    } catch (const std::exception&) {
        m_tags.erase(std::remove_if(m_tags.begin(), m_tags.end(),
                                    [&](const auto& t) {
                                        return t->name().compare(name, Qt::CaseInsensitive) == 0;
                                    }),
                     m_tags.end());
        return drop();
    }
    return true;
}

bool SortIndex::removeTag(const QString& name)
{
    auto it = std::find_if(m_tags.begin(), m_tags.end(), [&](const auto& t) {
        return t->name().compare(name, Qt::CaseInsensitive) == 0;
    });
    if (it == m_tags.end())
        return false;
    m_tags.erase(it);
    if (m_tags.empty())
        deleteFile();
    else
        save();
    return true;
}

void SortIndex::regenerate(const RecordReader& read, quint32 recordCount)
{
    for (const auto& t : m_tags)
        t->build(read, recordCount);
}

void SortIndex::append(quint32 recNo, QByteArrayView record)
{
    for (const auto& t : m_tags)
        t->insert(recNo, record);
}

void SortIndex::post(quint32 recNo, QByteArrayView record)
{
    for (const auto& t : m_tags)
        t->update(recNo, record);
}

void SortIndex::remove(quint32 recNo)
{
    for (const auto& t : m_tags)
        t->remove(recNo);
}

void SortIndex::save() const
{
    // No selected tag is stored: which tag a table browses in is the table
    // component's memory within a run, so a new run opens in record order.
    MdxContents contents;
    contents.tableName = m_tableName;
    contents.date = QDate::currentDate();
    for (const auto& t : m_tags)
        contents.tags.push_back(t->toMdx());
    writeMdxFile(m_path, contents);
}

void SortIndex::deleteFile() const
{
    QFile::remove(m_path);
}
