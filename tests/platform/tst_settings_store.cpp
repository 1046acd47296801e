// The settings store: the program key with its string values in a file of
// the test's own, and the three failure texts.
#include "platform/app_error.h"
#include "platform/settings_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void writesThroughAndReadsBack();
    void invalidDataType_data();
    void invalidDataType();
    void createKeyFails();
    void setDataFails();
};

void TestSettingsStore::writesThroughAndReadsBack()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("conf/FLN.conf"));
    const QString folder = QStringLiteral("/home/user/Данные, 2024 = \"первые\"; ещё");
    {
        SettingsStore s(file);
        s.openKey();
        QCOMPARE(s.key(), QStringLiteral("\\Software\\Ostrakon\\FLN\\1.0"));
        QVERIFY(!s.valueExists(QStringLiteral("Default_dir")));
        QCOMPARE(s.readString(QStringLiteral("Default_dir")), QString()); // missing reads empty
        s.writeString(QStringLiteral("Default_dir"), folder);
        s.writeString(QStringLiteral("Table_1"), QStringLiteral("a,b;c\nline two"));
        QVERIFY(QFile::exists(file)); // written at once, not at exit
    }
    SettingsStore again(file);
    again.openKey();
    QVERIFY(again.valueExists(QStringLiteral("Default_dir")));
    QCOMPARE(again.readString(QStringLiteral("Default_dir")), folder);
    QCOMPARE(again.readString(QStringLiteral("Table_1")), QStringLiteral("a,b;c\nline two"));
    QVERIFY(!again.valueExists(QStringLiteral("Other")));
}

void TestSettingsStore::invalidDataType_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("list") << QByteArray("Default_dir=a, b");
    QTest::newRow("number") << QByteArray("Default_dir=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)");
    QTest::newRow("bytes") << QByteArray("Default_dir=@ByteArray(abc)");
}

void TestSettingsStore::invalidDataType()
{
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("FLN.conf"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[1.0]\n" + line + "\n");
    f.close();

    SettingsStore s(file);
    s.openKey();
    QVERIFY(s.valueExists(QStringLiteral("Default_dir")));
    try {
        s.readString(QStringLiteral("Default_dir"));
        QFAIL("no error");
    } catch (const AppError& e) {
        QCOMPARE(e.text(), QStringLiteral("Invalid data type for 'Default_dir'"));
    }
}

void TestSettingsStore::createKeyFails()
{
    // The config folder would have to be made inside a plain file.
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore s(dir.filePath(QStringLiteral("blocker/conf/FLN.conf")));
    try {
        s.openKey();
        QFAIL("no error");
    } catch (const AppError& e) {
        QCOMPARE(e.text(), QStringLiteral("Failed to create key \\Software\\Ostrakon\\FLN\\1.0"));
    }
    QVERIFY(!s.isOpen());
}

void TestSettingsStore::setDataFails()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("conf"));
    SettingsStore s(folder + QStringLiteral("/FLN.conf"));
    s.openKey();
    // The folder turns into a plain file: nothing can be written there now.
    QVERIFY(QDir(folder).removeRecursively());
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        s.writeString(QStringLiteral("Default_dir"), QStringLiteral("/tmp"));
        QFAIL("no error");
    } catch (const AppError& e) {
        QCOMPARE(e.text(), QStringLiteral("Failed to set data for 'Default_dir'"));
    }
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settings_store.moc"
