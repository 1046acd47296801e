#include "data/mdx_file.h"

#include "platform/app_error.h"
#include "platform/unseen_file.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

// Where we keep the name of the selected tag: the unused part of page 0.
constexpr int kSelectedTagOffset = 48;
constexpr int kTagTableOffset = 544;
constexpr int kTagEntryLength = 32;
constexpr int kHeaderPages = 4;
constexpr int kMaxDepth = 32;

void put32(QByteArray& b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}
void put16(QByteArray& b, qsizetype at, quint16 v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}
void putDate(QByteArray& b, qsizetype at, QDate d)
{
    if (!d.isValid())
        return;
    b[at] = char(std::clamp(d.year() - 1900, 0, 255));
    b[at + 1] = char(d.month());
    b[at + 2] = char(d.day());
}
void putName(QByteArray& b, qsizetype at, const QString& name, int room)
{
    const QByteArray latin = name.toUpper().toLatin1().left(room - 1);
    std::memcpy(b.data() + at, latin.constData(), size_t(latin.size()));
}

[[noreturn]] void damaged()
{
    throw AppError(QStringLiteral("Index file is damaged or not a dBase IV index."));
}

// Bounds-checked reading of the file's bytes.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    qsizetype size() const { return m_bytes.size(); }
    void need(qsizetype at, qsizetype length) const
    {
        if (at < 0 || length < 0 || at > m_bytes.size() || length > m_bytes.size() - at)
            damaged();
    }
    quint8 u8(qsizetype at) const
    {
        need(at, 1);
        return quint8(m_bytes[at]);
    }
    quint16 u16(qsizetype at) const { return quint16(u8(at) | (u8(at + 1) << 8)); }
    quint32 u32(qsizetype at) const
    {
        need(at, 4);
        quint32 v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | quint8(m_bytes[at + i]);
        return v;
    }
    QByteArrayView view(qsizetype at, qsizetype length) const
    {
        need(at, length);
        return m_bytes.sliced(at, length);
    }
    // A NUL-terminated name of printable ASCII within `room` bytes.
    QString name(qsizetype at, qsizetype room, bool allowEmpty) const
    {
        const QByteArrayView field = view(at, room);
        qsizetype end = field.indexOf('\0');
        if (end < 0)
            damaged();
        for (qsizetype i = 0; i < end; ++i)
            if (quint8(field[i]) < 0x20 || quint8(field[i]) > 0x7E)
                damaged();
        if (end == 0 && !allowEmpty)
            damaged();
        return QString::fromLatin1(field.first(end));
    }

private:
    QByteArrayView m_bytes;
};

struct TreeWalk
{
    const Reader& file;
    int blockBytes;
    int itemLength;
    int maxKeys;
    int keyLength;
    MdxTag& tag;
    std::set<quint32> visited;
    int leafDepth = -1;

    void node(quint32 page, int depth)
    {
        if (depth > kMaxDepth || page < kHeaderPages || !visited.insert(page).second)
            damaged();
        const qsizetype at = qsizetype(page) * mdx::kPage;
        file.need(at, blockBytes);
        const quint32 n = file.u32(at);
        if (n > quint32(maxKeys))
            damaged();
        const quint32 after = file.u32(at + 8 + qsizetype(n) * itemLength);
        if (after == 0) { // a leaf
            if (leafDepth < 0)
                leafDepth = depth;
            else if (leafDepth != depth)
                damaged();
            for (quint32 i = 0; i < n; ++i) {
                const qsizetype item = at + 8 + qsizetype(i) * itemLength;
                const quint32 record = file.u32(item);
                if (record == 0)
                    damaged();
                tag.records.push_back(record);
                tag.keys.append(file.view(item + 4, keyLength));
            }
            return;
        }
        for (quint32 i = 0; i < n; ++i)
            node(file.u32(at + 8 + qsizetype(i) * itemLength), depth + 1);
        node(after, depth + 1);
    }
};

} // namespace

int mdx::keyItemLength(int keyLength)
{
    return 4 + (keyLength + 3) / 4 * 4;
}

int mdx::maxKeysPerBlock(int keyLength)
{
    return (kBlock - 12) / keyItemLength(keyLength);
}

QByteArray buildMdx(const MdxContents& contents)
{
    if (contents.tags.size() > size_t(mdx::kMaxTags))
        throw AppError(QStringLiteral("Too many tags in the index file."));
    for (const MdxTag& tag : contents.tags) {
        const int expected = tag.keyType == SortKeyType::Numeric ? kNumericKeyLength
                             : tag.keyType == SortKeyType::Date  ? kDateKeyLength
                                                                 : tag.keyLength;
        if (tag.keyLength < 1 || tag.keyLength > mdx::kMaxKeyLength || tag.keyLength != expected)
            throw AppError(QStringLiteral("Key too long for the index file."));
        if (tag.name.isEmpty() || tag.name.size() > 10)
            throw AppError(QStringLiteral("Invalid tag name: %1").arg(tag.name));
        if (tag.keys.size() != qsizetype(tag.records.size()) * tag.keyLength)
            throw AppError(QStringLiteral("Index keys do not match their records."));
    }

    constexpr int pagesPerBlock = mdx::kBlock / mdx::kPage;
    QByteArray file(kHeaderPages * mdx::kPage, '\0');
    quint32 nextPage = kHeaderPages;
    auto allocate = [&]() {
        const quint32 page = nextPage;
        nextPage += pagesPerBlock;
        file.append(mdx::kBlock, '\0');
        return page;
    };

    for (size_t t = 0; t < contents.tags.size(); ++t) {
        const MdxTag& tag = contents.tags[t];
        const int itemLength = mdx::keyItemLength(tag.keyLength);
        const int maxKeys = mdx::maxKeysPerBlock(tag.keyLength);
        const quint32 headerPage = allocate();
        const quint32 firstPage = headerPage;
        // 0x10 marks a key that is a field itself; VAL() or CTOD() of one is calculated.
        const char flags = char((tag.plainField ? 0x10 : 0) | (tag.descending ? 0x08 : 0) |
                                (tag.unique ? 0x40 : 0));

        // Leaves, left to right.
        struct Child
        {
            quint32 page;
            qsizetype lastEntry; // index of the subtree's last key
        };
        std::vector<Child> level;
        const size_t count = tag.records.size();
        size_t entry = 0;
        do {
            const quint32 page = allocate();
            const qsizetype at = qsizetype(page) * mdx::kPage;
            const size_t n = std::min<size_t>(size_t(maxKeys), count - entry);
            put32(file, at, quint32(n));
            for (size_t i = 0; i < n; ++i, ++entry) {
                const qsizetype item = at + 8 + qsizetype(i) * itemLength;
                put32(file, item, tag.records[entry]);
                std::memcpy(file.data() + item + 4,
                            tag.keys.constData() + qsizetype(entry) * tag.keyLength,
                            size_t(tag.keyLength));
            }
            level.push_back({page, qsizetype(entry) - 1});
        } while (entry < count);

        // Interior levels: a node of m children holds m - 1 keys (the highest
        // key of each child but the last) and the last child's page after them.
        while (level.size() > 1) {
            std::vector<Child> parents;
            const size_t fanout = size_t(maxKeys) + 1;
            size_t i = 0;
            while (i < level.size()) {
                size_t m = std::min(fanout, level.size() - i);
                // Never leave a single child for the last node of the level.
                if (level.size() - i - m == 1)
                    --m;
                const quint32 page = allocate();
                const qsizetype at = qsizetype(page) * mdx::kPage;
                put32(file, at, quint32(m - 1));
                for (size_t c = 0; c + 1 < m; ++c) {
                    const Child& child = level[i + c];
                    const qsizetype item = at + 8 + qsizetype(c) * itemLength;
                    put32(file, item, child.page);
                    if (child.lastEntry >= 0)
                        std::memcpy(file.data() + item + 4,
                                    tag.keys.constData() + child.lastEntry * tag.keyLength,
                                    size_t(tag.keyLength));
                }
                put32(file, at + 8 + qsizetype(m - 1) * itemLength, level[i + m - 1].page);
                parents.push_back({page, level[i + m - 1].lastEntry});
                i += m;
            }
            level = std::move(parents);
        }
        const quint32 root = level.front().page;

        // Tag header.
        const qsizetype h = qsizetype(headerPage) * mdx::kPage;
        put32(file, h + 0, root);
        put32(file, h + 4, nextPage - firstPage);
        file[h + 8] = flags;
        file[h + 9] = char(tag.keyType);
        put16(file, h + 12, quint16(tag.keyLength));
        put16(file, h + 14, quint16(maxKeys));
        put16(file, h + 16, tag.keyType == SortKeyType::Date ? 1 : 0);
        put16(file, h + 18, quint16(itemLength));
        file[h + 20] = 1;
        file[h + 23] = tag.unique ? 1 : 0;
        putName(file, h + 24, tag.expression, 221);
        file[h + 246] = count > 0 ? 1 : 0;
        putDate(file, h + 257, contents.date);
        file[h + 480] = tag.plainField ? 1 : 0;

        // Tag table entry.
        const qsizetype e = kTagTableOffset + qsizetype(t) * kTagEntryLength;
        put32(file, e + 0, headerPage);
        putName(file, e + 4, tag.name, 11);
        file[e + 15] = flags;
        file[e + 19] = 2;
        file[e + 20] = char(tag.keyType);
    }

    file[0] = 2;
    putDate(file, 1, contents.date);
    putName(file, 4, contents.tableName, 16);
    put16(file, 20, pagesPerBlock);
    put16(file, 22, mdx::kBlock);
    file[24] = 1;
    file[25] = 48;
    file[26] = kTagEntryLength;
    put16(file, 28, quint16(contents.tags.size()));
    put32(file, 32, nextPage);
    putDate(file, 44, contents.date);
    putName(file, kSelectedTagOffset, contents.selectedTag, 11);
    return file;
}

MdxContents parseMdx(QByteArrayView bytes)
{
    const Reader file(bytes);
    file.need(0, kHeaderPages * mdx::kPage);
    if (file.u8(0) != 2)
        damaged();
    const int blockPages = file.u16(20);
    const int blockBytes = file.u16(22);
    if (blockPages < 1 || blockPages > 64 || blockBytes != blockPages * mdx::kPage)
        damaged();
    const int tagCount = file.u16(28);
    if (tagCount > mdx::kMaxTags || file.u8(26) != kTagEntryLength)
        damaged();

    MdxContents contents;
    contents.tableName = file.name(4, 16, true);
    const int y = file.u8(1), m = file.u8(2), d = file.u8(3);
    contents.date = QDate(1900 + y, m, d);
    contents.selectedTag = file.name(kSelectedTagOffset, 11, true);

    for (int t = 0; t < tagCount; ++t) {
        const qsizetype e = kTagTableOffset + qsizetype(t) * kTagEntryLength;
        MdxTag tag;
        tag.name = file.name(e + 4, 11, false).toUpper();
        for (const MdxTag& other : contents.tags)
            if (other.name == tag.name)
                damaged();
        const quint32 headerPage = file.u32(e);
        if (headerPage < kHeaderPages)
            damaged();
        const qsizetype h = qsizetype(headerPage) * mdx::kPage;
        file.need(h, blockBytes);
        const char type = char(file.u8(h + 9));
        if (type != 'C' && type != 'N' && type != 'D')
            damaged();
        tag.keyType = SortKeyType(type);
        tag.keyLength = file.u16(h + 12);
        if (tag.keyLength < 1 || tag.keyLength > mdx::kMaxKeyLength ||
            (tag.keyType == SortKeyType::Numeric && tag.keyLength != kNumericKeyLength) ||
            (tag.keyType == SortKeyType::Date && tag.keyLength != kDateKeyLength))
            damaged();
        const int itemLength = file.u16(h + 18);
        const int maxKeys = file.u16(h + 14);
        if (itemLength != mdx::keyItemLength(tag.keyLength) || maxKeys < 1 ||
            8 + maxKeys * itemLength + 4 > blockBytes)
            damaged();
        tag.descending = file.u8(h + 8) & 0x08;
        tag.plainField = file.u8(h + 8) & 0x10;
        tag.unique = (file.u8(h + 8) & 0x40) || file.u8(h + 23) == 1;
        tag.expression = file.name(h + 24, 221, false);

        TreeWalk walk{file, blockBytes, itemLength, maxKeys, tag.keyLength, tag, {}, -1};
        walk.node(file.u32(h), 0);
        contents.tags.push_back(std::move(tag));
    }
    return contents;
}

void writeMdxFile(const QString& path, const MdxContents& contents)
{
    const QByteArray bytes = buildMdx(contents);
    // The old file stays whole until the new one is complete: the new one is
    // written unseen beside it and takes the name in one step, so a full disk
    // or a kill never leaves a cut index behind. A folder that takes no new
    // file refuses the write, the old index left as it was: the file is never
    // written over in place.
    OutputFile file(path);
    file.write(bytes);
    file.commit(); // throws the first failed write's reason
}

MdxContents readMdxFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(
            QStringLiteral("Cannot open index file %1: %2").arg(path, file.errorString()));
    return parseMdx(file.readAll());
}
