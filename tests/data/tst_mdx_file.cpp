#include "data/mdx_file.h"
#include "platform/app_error.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {

// A tag of `count` character keys "0000000001".. in ascending order.
MdxTag numberedTag(const QString& name, int count, int width = 10)
{
    MdxTag tag;
    tag.name = name;
    tag.expression = "DATE";
    tag.keyType = SortKeyType::Character;
    tag.keyLength = width;
    for (int i = 1; i <= count; ++i) {
        tag.keys += QByteArray::number(i).rightJustified(width, '0');
        tag.records.push_back(quint32(i));
    }
    return tag;
}

MdxContents contentsWith(std::vector<MdxTag> tags)
{
    MdxContents c;
    c.tableName = "data";
    c.date = QDate(2026, 12, 9);
    c.tags = std::move(tags);
    return c;
}

quint32 get32(const QByteArray& b, int at)
{
    quint32 v;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}
void set32(QByteArray& b, int at, quint32 v)
{
    std::memcpy(b.data() + at, &v, 4);
}

// (key, record) pairs as the outside reader lists them, in its order.
std::optional<std::vector<std::pair<QByteArray, quint32>>> indexDump(const QString& file,
                                                                     const QString& tag)
{
    const QString tool = QStandardPaths::findExecutable("index_dump");
    if (tool.isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(tool, {file, tag});
    p.waitForFinished(60000);
    std::vector<std::pair<QByteArray, quint32>> out;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype space = line.lastIndexOf(' ');
        out.emplace_back(line.left(space), line.mid(space + 1).toUInt());
    }
    return out;
}

} // namespace

class TstMdxFile : public QObject
{
    Q_OBJECT

private slots:
    void layoutOfOneTag();
    void roundTripAndOutsideReader_data();
    void roundTripAndOutsideReader();
    void limitsRefused();
    void damagedFileRejected_data();
    void damagedFileRejected();
};

void TstMdxFile::layoutOfOneTag()
{
    MdxTag tag = numberedTag("tab1", 3, 12);
    tag.keyType = SortKeyType::Numeric;
    tag.descending = true;
    const QByteArray f = buildMdx(contentsWith({tag}));
    QCOMPARE(f.size(), 4 * 512 + 2 * 1024); // header pages, tag header block, root leaf
    QCOMPARE(quint8(f[0]), 2);
    QCOMPARE(f.mid(4, 5), QByteArray("DATA\0", 5));
    QCOMPARE(f.mid(20, 4).toHex(), QByteArray("02000004")); // 2 pages, 1024 bytes a block
    QCOMPARE(get32(f, 32), 8u);                             // pages in the file
    QCOMPARE(f.mid(28, 2).toHex(), QByteArray("0100"));
    // Tag table entry: header at page 4, name upper case.
    QCOMPARE(get32(f, 544), 4u);
    QCOMPARE(f.mid(548, 5), QByteArray("TAB1\0", 5));
    QCOMPARE(f[564], 'N');
    // Tag header: root at page 6, descending flag, key 12, 63 keys of 16 bytes.
    const int h = 4 * 512;
    QCOMPARE(get32(f, h), 6u);
    QCOMPARE(quint8(f[h + 8]), 0x18);
    QCOMPARE(f[h + 9], 'N');
    QCOMPARE(f.mid(h + 12, 8).toHex(), QByteArray("0c003f0000001000"));
    QCOMPARE(f.mid(h + 24, 5), QByteArray("DATE\0", 5));
    // Leaf: 3 items, record pointer then key, nothing after the last one.
    const int leaf = 6 * 512;
    QCOMPARE(get32(f, leaf), 3u);
    QCOMPARE(get32(f, leaf + 8), 1u);
    QCOMPARE(f.mid(leaf + 12, 12), QByteArray("000000000001"));
    QCOMPARE(get32(f, leaf + 8 + 2 * 16), 3u);
    QCOMPARE(get32(f, leaf + 8 + 3 * 16), 0u);
}

void TstMdxFile::roundTripAndOutsideReader_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("depth");
    QTest::newRow("empty tag") << 0 << 10 << 1;
    QTest::newRow("one leaf, full") << 63 << 10 << 1;
    QTest::newRow("two leaves") << 64 << 10 << 2;
    // 100-byte keys: 9 a block, so 1000 keys need four levels.
    QTest::newRow("deep, long keys") << 1000 << 100 << 4;
    QTest::newRow("deep, many keys") << 20000 << 10 << 3;
}

void TstMdxFile::roundTripAndOutsideReader()
{
    QFETCH(int, count);
    QFETCH(int, width);
    QFETCH(int, depth);
    MdxTag first = numberedTag("TAB1", count, width);
    MdxTag second = numberedTag("Other", count / 2 + 1, width);
    std::reverse(second.records.begin(), second.records.end());
    MdxContents written = contentsWith({first, second});
    written.selectedTag = "TAB1";

    QTemporaryDir dir;
    const QString path = dir.filePath("data.mdx");
    writeMdxFile(path, written);

    const MdxContents read = readMdxFile(path);
    QCOMPARE(read.selectedTag, QString("TAB1"));
    QCOMPARE(read.tags.size(), size_t(2));
    QCOMPARE(read.tags[1].name, QString("OTHER"));
    for (size_t t = 0; t < 2; ++t) {
        QCOMPARE(read.tags[t].keys, written.tags[t].keys);
        QCOMPARE(read.tags[t].records, written.tags[t].records);
        QCOMPARE(read.tags[t].keyLength, width);
    }

    // The depth of the tree: follow the leftmost child pointers down.
    const QByteArray bytes = buildMdx(written);
    int levels = 1;
    int item = 4 + (width + 3) / 4 * 4;
    for (quint32 page = get32(bytes, 4 * 512);; ++levels) {
        const int at = int(page) * 512;
        const quint32 n = get32(bytes, at);
        if (get32(bytes, at + 8 + int(n) * item) == 0)
            break;
        page = get32(bytes, at + 8);
    }
    QCOMPARE(levels, depth);

    const auto dumped = indexDump(path, "TAB1");
    if (!dumped)
        QSKIP("index_dump (libdbd-xbase-perl) is not installed");
    QCOMPARE(dumped->size(), size_t(count));
    for (int i = 0; i < count; ++i) {
        QCOMPARE((*dumped)[size_t(i)].first, first.keys.mid(qsizetype(i) * width, width));
        QCOMPARE((*dumped)[size_t(i)].second, first.records[size_t(i)]);
    }
}

void TstMdxFile::limitsRefused()
{
    MdxTag longKey = numberedTag("TAB1", 2, 101);
    QVERIFY_THROWS_EXCEPTION(AppError, buildMdx(contentsWith({longKey})));
    MdxTag badNumeric = numberedTag("TAB1", 2, 10);
    badNumeric.keyType = SortKeyType::Numeric;
    QVERIFY_THROWS_EXCEPTION(AppError, buildMdx(contentsWith({badNumeric})));
    std::vector<MdxTag> many;
    for (int i = 0; i < 48; ++i)
        many.push_back(numberedTag(QString("T%1").arg(i), 1));
    QVERIFY_THROWS_EXCEPTION(AppError, buildMdx(contentsWith(many)));
    many.pop_back();
    QCOMPARE(parseMdx(buildMdx(contentsWith(many))).tags.size(), size_t(47));
}

void TstMdxFile::damagedFileRejected_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<quint32>("value"); // written as 4 bytes; -1 offset: truncate
    QTest::addColumn<int>("truncate");
    // Reference: 200 keys of 10 bytes -> header block at page 4, 4 leaves at
    // pages 6..12, root at page 14.
    const int h = 4 * 512, root = 14 * 512, leaf = 6 * 512;
    QTest::newRow("truncated in the tree") << 0 << 0u << 9 * 512;
    QTest::newRow("truncated header") << 0 << 0u << 1000;
    QTest::newRow("version 3") << 0 << 3u << 0;
    QTest::newRow("block size bytes") << 20 << 0x03000002u << 0;
    QTest::newRow("48 tags") << 28 << 48u << 0;
    QTest::newRow("tag header past the end") << 544 << 1000u << 0;
    QTest::newRow("tag header in page 0") << 544 << 0u << 0;
    QTest::newRow("date key type") << h + 8 << 0x4410u << 0;
    QTest::newRow("key length 0") << h + 12 << 0x003f0000u << 0;
    QTest::newRow("key length 200") << h + 12 << 0x003f00c8u << 0;
    QTest::newRow("item length wrong") << h + 18 << 12u << 0;
    QTest::newRow("root past the end") << h << 0x7fffffffu << 0;
    QTest::newRow("root is itself") << root + 8 << 14u << 0;
    QTest::newRow("too many keys in a node") << leaf << 64u << 0;
    QTest::newRow("huge key count") << leaf << 0xffffffffu << 0;
    QTest::newRow("child is the tag header") << root + 8 + 16 << 4u << 0;
    QTest::newRow("record number 0") << leaf + 8 << 0u << 0;
    QTest::newRow("name not terminated") << 548 << 0x41414141u << 0;
}

void TstMdxFile::damagedFileRejected()
{
    QFETCH(int, offset);
    QFETCH(quint32, value);
    QFETCH(int, truncate);
    QByteArray bytes = buildMdx(contentsWith({numberedTag("TAB1", 200)}));
    QCOMPARE(parseMdx(bytes).tags.at(0).records.size(), size_t(200));
    if (QTest::currentDataTag() == QByteArray("name not terminated"))
        bytes.replace(548, 11, QByteArray(11, 'A'));
    else if (truncate > 0)
        bytes.truncate(truncate);
    else
        set32(bytes, offset, value);
    QVERIFY_THROWS_EXCEPTION(AppError, parseMdx(bytes));
}

QTEST_GUILESS_MAIN(TstMdxFile)
#include "tst_mdx_file.moc"
