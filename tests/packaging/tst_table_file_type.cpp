// The tables' file type as a desktop sees it: the shared MIME database built
// with our definition, asked by the tool that xdg-mime uses (mimetype).
// A table is recognised by its header whatever its name; other files named
// *.db keep their own types.
#include "tests/support/peers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kSample = QStringLiteral(FLN_SOURCE_DIR "/tests/data/data/sample.db");
const QString kDefinition = QStringLiteral(FLN_SOURCE_DIR "/app/desktop/fln-table.xml");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A table header of 32 bytes with the given version byte, one field
// descriptor and the terminator: enough for a reader of the header.
QByteArray dbaseHeader(char version)
{
    QByteArray h(32 + 32 + 1, '\0');
    h[0] = version;
    h[1] = char(126); // 2026
    h[2] = 12;
    h[3] = 10;
    h[8] = char(65); // header length 65
    h[10] = 11;      // record length 11
    h[29] = char(0xC9);
    h.replace(32, 1, "N");
    h[32 + 11] = 'N';
    h[32 + 16] = 10;
    h[64] = 0x0D;
    return h + QByteArray(11, ' ') + '\x1A';
}

} // namespace

class TestTableFileType : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QDir root(m_dir.path());
        QVERIFY(root.mkpath(QStringLiteral("share/mime/packages")));
        QVERIFY(root.mkpath(QStringLiteral("home")));
        QVERIFY(root.mkpath(QStringLiteral("files")));
        QVERIFY(QFile::copy(kDefinition, root.filePath(QStringLiteral("share/mime/packages/fln-table.xml"))));
        const peers::Result r = peers::run(QStringLiteral("update-mime-database"),
                                           {root.filePath(QStringLiteral("share/mime"))});
        FLN_NEED_PEER(r, "update-mime-database (shared-mime-info)");
        QVERIFY2(r.exitCode == 0, r.err.constData());
        // Only this database and the system's, not the user's own.
        qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("home")).toUtf8());
        qputenv("XDG_DATA_DIRS", (root.filePath(QStringLiteral("share")) + u":/usr/share").toUtf8());
    }

    void typeOfFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");

        const QByteArray table = readFile(kSample);
        QVERIFY(!table.isEmpty());
        QTest::newRow("measurement table") << "archive.db" << table << "application/x-fln-table";
        QTest::newRow("table without extension") << "archive" << table << "application/x-fln-table";
        QTest::newRow("table in upper case") << "ARCHIVE.DB" << table << "application/x-fln-table";
        QTest::newRow("dBase IV with memo") << "memo.db" << dbaseHeader(char(0x8B)) << "application/x-fln-table";
        QTest::newRow("dBase IV SQL table") << "sql.db" << dbaseHeader(char(0x8E)) << "application/x-fln-table";
        // A *.dbf file is an Xbase table by its name, whatever opens it.
        QTest::newRow("table named .dbf") << "archive.dbf" << table << "application/x-dbf";
        // Other programs' *.db files.
        QTest::newRow("SQLite") << "cache.db" << QByteArray("SQLite format 3\0\x10\0", 19).append(100, '\0')
                                << "application/vnd.sqlite3";
        QTest::newRow("text") << "notes.db" << QByteArray("Заметки\n") << "text/plain";
        QTest::newRow("Visual FoxPro table") << "fox.db" << dbaseHeader(char(0x30)) << "application/octet-stream";
    }

    void typeOfFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const QString path = QDir(m_dir.path()).filePath(QStringLiteral("files/") + name);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const peers::Result r =
            peers::run(QStringLiteral("mimetype"), {QStringLiteral("--brief"), path});
        FLN_NEED_PEER(r, "mimetype (libfile-mimeinfo-perl)");
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QString::fromUtf8(r.out).trimmed(), expected);
    }
};

QTEST_GUILESS_MAIN(TestTableFileType)
#include "tst_table_file_type.moc"
