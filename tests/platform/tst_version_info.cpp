// The version-information reader: finding the block in PE and ELF files and
// looking values up in it, over blocks made by the GNU resource compiler.
#include "platform/version_info.h"
#include "tests/platform/version_fixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace version_fixtures;

class TestVersionInfo : public QObject
{
    Q_OBJECT

private slots:
    void peFile();
    void elfSection();
    void keysIgnoreCase();
    void sixteenBitLayout();
    void noVersionInformation();
    void damagedBlocksAreRejected();

private:
    QTemporaryDir m_dir;
};

void TestVersionInfo::peFile()
{
    const QString script =
        versionScript(stringTable(QStringLiteral("040904B0"), QStringLiteral("2.5.0.7\\0")),
                      QStringLiteral("0x0409, 0x04B0"));
    const Built pe = buildPe(m_dir.path(), QStringLiteral("pe"), script);
    FLN_NEED_PEER(pe.result, kWindres);
    QVERIFY2(!pe.path.isEmpty(), pe.result.err.constData());

    const auto block = VersionInfo::blockFromFile(pe.path);
    QVERIFY(block);
    // The block found in the executable is byte for byte the compiled one.
    QCOMPARE(*block, buildBlock(m_dir.path(), QStringLiteral("pe_block"), script));

    const VersionInfo info(*block);
    QVERIFY(info.isValid());
    QVERIFY(info.isWide());
    const auto fixed = info.fixedInfo();
    QVERIFY(fixed);
    QCOMPARE(fixed->fileVersionMS, 0x00040003u);
    QCOMPARE(fixed->fileVersionLS, 0x00020001u);
    QCOMPARE(fixed->productVersionMS, 0x00050006u);
    QCOMPARE(fixed->productVersionLS, 0x00070008u);
    QCOMPARE(fixed->fileOS, 4u);
    QCOMPARE(fixed->fileType, 1u);

    const auto translation = info.query(QStringLiteral("\\VarFileInfo\\Translation"));
    QVERIFY(translation);
    QCOMPARE(translation->data, QByteArray("\x09\x04\xB0\x04", 4));
    const auto version = info.query(QStringLiteral("\\StringFileInfo\\040904B0\\FileVersion"));
    QVERIFY(version);
    QVERIFY(version->text);
    QCOMPARE(version->length, 8); // seven characters and the zero the script spells out
    QCOMPARE(version->string(), QStringLiteral("2.5.0.7"));
    QVERIFY(!info.query(QStringLiteral("\\StringFileInfo\\041904E3\\FileVersion")));
}

void TestVersionInfo::elfSection()
{
    peers::Result r;
    const QByteArray block = buildBlock(
        m_dir.path(), QStringLiteral("elf_block"),
        versionScript(stringTable(QStringLiteral("041904E3"), QStringLiteral("3.2.1.0\\0")),
                      QStringLiteral("0x0419, 0x04E3")),
        &r);
    FLN_NEED_PEER(r, kWindres);
    QVERIFY(!block.isEmpty());
    const Built elf = buildElf(m_dir.path(), QStringLiteral("with_block"), block,
                               QString::fromLatin1(VersionInfo::kElfSection));
    FLN_NEED_PEER(elf.result, "objcopy");
    QVERIFY2(!elf.path.isEmpty(), elf.result.err.constData());

    const auto found = VersionInfo::blockFromFile(elf.path);
    QVERIFY(found);
    QCOMPARE(*found, block);
    const auto v =
        VersionInfo(*found).query(QStringLiteral("\\StringFileInfo\\041904E3\\FileVersion"));
    QVERIFY(v);
    QCOMPARE(v->string(), QStringLiteral("3.2.1.0"));

    // Another section name is not ours.
    const Built other =
        buildElf(m_dir.path(), QStringLiteral("other"), block, QStringLiteral(".fln_other"));
    QVERIFY(!other.path.isEmpty());
    QVERIFY(!VersionInfo::blockFromFile(other.path));
}

void TestVersionInfo::keysIgnoreCase()
{
    peers::Result r;
    const QByteArray block =
        buildBlock(m_dir.path(), QStringLiteral("case"),
                   versionScript(stringTable(QStringLiteral("040904b0"), QStringLiteral("1.2\\0")),
                                 QStringLiteral("0x0409, 0x04B0")),
                   &r);
    FLN_NEED_PEER(r, kWindres);
    const VersionInfo info(block);
    const auto v = info.query(QStringLiteral("\\stringfileinfo\\040904B0\\FILEVERSION"));
    QVERIFY(v);
    QCOMPARE(v->string(), QStringLiteral("1.2"));
}

// The old layout: single-byte keys and strings, no type word. Built by hand:
// windres writes only the 32-bit one.
void TestVersionInfo::sixteenBitLayout()
{
    auto node = [](const QByteArray& key, const QByteArray& value, const QList<QByteArray>& kids) {
        QByteArray b(4, '\0');
        b += key + '\0';
        while (b.size() % 4)
            b += '\0';
        b += value;
        for (const QByteArray& k : kids) {
            while (b.size() % 4)
                b += '\0';
            b += k;
        }
        b[0] = char(b.size() & 0xFF);
        b[1] = char(b.size() >> 8);
        b[2] = char(value.size() & 0xFF);
        b[3] = char(value.size() >> 8);
        return b;
    };
    // "Версия" in Windows-1251.
    const QByteArray cyrillic("\xC2\xE5\xF0\xF1\xE8\xFF\0", 7);
    const QByteArray block = node(
        "VS_VERSION_INFO", {},
        {node("StringFileInfo", {},
              {node("041904E3", {},
                    {node("FileVersion", QByteArray("7.0\0", 4), {}),
                     node("Comments", cyrillic, {})})}),
         node("VarFileInfo", {}, {node("Translation", QByteArray("\x19\x04\xE3\x04", 4), {})})});
    const VersionInfo info(block);
    QVERIFY(info.isValid());
    QVERIFY(!info.isWide());
    const auto v = info.query(QStringLiteral("\\StringFileInfo\\041904E3\\FileVersion"));
    QVERIFY(v);
    QCOMPARE(v->length, 4);
    QCOMPARE(v->string(1251), QStringLiteral("7.0"));
    QCOMPARE(info.query(QStringLiteral("\\StringFileInfo\\041904E3\\Comments"))->string(1251),
             QStringLiteral("Версия"));
    QCOMPARE(info.query(QStringLiteral("\\VarFileInfo\\Translation"))->data,
             QByteArray("\x19\x04\xE3\x04", 4));
}

void TestVersionInfo::noVersionInformation()
{
    // A PE file with resources, but none of type RT_VERSION.
    const Built pe = buildPe(m_dir.path(), QStringLiteral("strings_only"),
                             QStringLiteral("STRINGTABLE\nBEGIN\n  1 \"text\"\nEND\n"));
    FLN_NEED_PEER(pe.result, kWindres);
    QVERIFY2(!pe.path.isEmpty(), pe.result.err.constData());
    QVERIFY(!VersionInfo::blockFromFile(pe.path));
    // An ELF file without our section, a text file, a missing file.
    QVERIFY(!VersionInfo::blockFromFile(QStringLiteral("/bin/true")));
    const QString text = m_dir.filePath(QStringLiteral("plain.txt"));
    writeFile(text, QByteArray(200, 'x'));
    QVERIFY(!VersionInfo::blockFromFile(text));
    QVERIFY(!VersionInfo::blockFromFile(m_dir.filePath(QStringLiteral("missing.exe"))));
}

void TestVersionInfo::damagedBlocksAreRejected()
{
    peers::Result r;
    const QByteArray block =
        buildBlock(m_dir.path(), QStringLiteral("damaged"),
                   versionScript(stringTable(QStringLiteral("040904B0"), QStringLiteral("2.0\\0")),
                                 QStringLiteral("0x0409, 0x04B0")),
                   &r);
    FLN_NEED_PEER(r, kWindres);
    // Every truncation: no crash, and never a value read past the end.
    for (int n = 0; n < block.size(); ++n) {
        const VersionInfo info(block.left(n));
        const auto v = info.query(QStringLiteral("\\StringFileInfo\\040904B0\\FileVersion"));
        if (v)
            QVERIFY(v->data.size() <= n);
    }
    // A root length beyond the bytes.
    QByteArray longer = block;
    longer[0] = char(0xFF);
    longer[1] = char(0x7F);
    QVERIFY(!VersionInfo(longer).isValid());
}

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_version_info.moc"
