// The table file, byte by byte: what we write, what we accept from other
// writers, and what the outside readers make of our files.
#include "data/dbf_table.h"
#include "platform/app_error.h"
#include "tests/support/helper_check.h"
#include "tests/support/peers.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <functional>

namespace {

struct FieldSpec
{
    QByteArray name;
    char type;
    int length;
    int decimals = 0;
};

// The measurement schema written out again from the file description.
const QList<FieldSpec> kMeasurement = {
    {"N", 'N', 4},    {"MODE", 'C', 11}, {"EN_CH", 'N', 4}, {"DATE", 'C', 10},
    {"TIME", 'C', 8}, {"T_1", 'C', 6},   {"T_2", 'C', 6},   {"COMMENT", 'C', 50},
};

QByteArray bytesOf(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b += char(v);
    return b;
}
QByteArray le16(int v)
{
    return bytesOf({v & 0xFF, (v >> 8) & 0xFF});
}
QByteArray le32(quint32 v)
{
    return bytesOf({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)});
}

// A table file built by hand: header, descriptors, 0x0D, records, 0x1A.
// Records are given as their field bytes (without the deletion flag), or
// with a leading '*' to mark them deleted.
QByteArray buildTable(const QList<FieldSpec>& fields, const QList<QByteArray>& records,
                      quint8 ldid = 0xC9, quint8 version = 0x03, int countInHeader = -1,
                      bool eof = true)
{
    int rl = 1;
    for (const FieldSpec& f : fields)
        rl += f.length;
    const int hl = 32 + 32 * int(fields.size()) + 1;
    QByteArray h(32, '\0');
    h[0] = char(version);
    h[1] = char(101);
    h[2] = 1;
    h[3] = 1;
    h.replace(4, 4, le32(countInHeader < 0 ? quint32(records.size()) : quint32(countInHeader)));
    h.replace(8, 2, le16(hl));
    h.replace(10, 2, le16(rl));
    h[29] = char(ldid);
    for (const FieldSpec& f : fields) {
        QByteArray d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = char(f.length);
        d[17] = char(f.decimals);
        h += d;
    }
    h += '\x0D';
    for (const QByteArray& r : records) {
        const bool deleted = r.startsWith('*');
        QByteArray rec = (deleted ? QByteArray("*") : QByteArray(" ")) + (deleted ? r.mid(1) : r);
        rec = rec.leftJustified(rl, ' ', true);
        h += rec;
    }
    if (eof)
        h += '\x1A';
    return h;
}

QByteArray cp1251(const QString& s)
{
    return QStringEncoder("windows-1251").encode(s);
}

// One measurement row as the file holds it.
QByteArray row(const char* n, const QString& mode, const char* enCh, const char* date,
               const char* time, const char* t1, const char* t2, const QByteArray& comment = {})
{
    return QByteArray(n) + cp1251(mode).leftJustified(11, ' ') + enCh + date + time +
           QByteArray(t1).leftJustified(6, ' ') + QByteArray(t2).leftJustified(6, ' ') +
           comment.leftJustified(50, ' ');
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QByteArray todayBytes()
{
    const QDate d = QDate::currentDate();
    return bytesOf({d.year() - 1900, d.month(), d.day()});
}

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const AppError& e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

struct Values
{
    int n;
    QString mode;
    int enCh;
    QString date, time, t1, t2, comment;
};

void appendRow(DbfTable& t, const Values& v)
{
    t.append();
    t.setInteger(QStringLiteral("N"), v.n);
    t.setText(QStringLiteral("MODE"), v.mode);
    t.setInteger(QStringLiteral("EN_CH"), v.enCh);
    t.setText(QStringLiteral("DATE"), v.date);
    t.setText(QStringLiteral("TIME"), v.time);
    t.setText(QStringLiteral("T_1"), v.t1);
    t.setText(QStringLiteral("T_2"), v.t2);
    t.setText(QStringLiteral("COMMENT"), v.comment);
    t.post();
}

const QString kObs = QStringLiteral("Наблюдения");
const QString kOp = QStringLiteral("Оперативный");

} // namespace

class TestDbfTable : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A table of our own with three rows, closed.
    QString makeThreeRows(const QString& name)
    {
        const QString p = path(name);
        DbfTable t;
        t.setNewTableLanguageDriver(0xC9);
        t.setTableFile(p);
        t.create();
        t.open();
        appendRow(t, {1, kOp, 3, "15.03.2024", "12:30:00", "20,1", "-2,5", ""});
        appendRow(t, {2, kObs, 1, "15.03.2024", "12:31:00", " 5,0", "0,0", "ночь, \"ясно\""});
        appendRow(t, {3, kObs, 2, "16.03.2024", "00:00:05", "-40,0", "36,6", "x"});
        t.close();
        return p;
    }

private slots:
    void emptyTableIsTheFixedLayout()
    {
        const QString p = path("empty.db");
        DbfTable t;
        t.setNewTableLanguageDriver(0xC9);
        t.setTableFile(p);
        t.create();
        QVERIFY(!t.isOpen());
        const QByteArray expected = buildTable(kMeasurement, {}, 0xC9);
        QByteArray actual = readFile(p);
        QCOMPARE(actual.size(), 290);
        QCOMPARE(actual.mid(1, 3), todayBytes());
        actual.replace(1, 3, expected.mid(1, 3)); // the builder's fixed date
        QCOMPARE(actual.toHex(' '), expected.toHex(' '));
    }

    void newTableGetsACyrillicCodePage()
    {
        // Whatever this system's locale is, the mode names must be storable.
        DbfTable t;
        const quint8 id = t.newTableLanguageDriver();
        QVERIFY(id == 0xC9 || id == 0x26 || id == 0x65 || id == 0x96 || id == 0xFF);
    }

    void newTableLanguageDriver_data()
    {
        QTest::addColumn<int>("ansiCodePage");
        QTest::addColumn<int>("locale");
        QTest::addColumn<int>("driver");
        QTest::newRow("Russian, 1251") << 1251 << 0x0419 << 0xC9;
        QTest::newRow("Russian, 866: the dBase range wins") << 866 << 0x0419 << 0x26;
        // Locales of 1251 without a row of their own get the code page's row.
        QTest::newRow("uk_UA, 1251") << 1251 << 0x0422 << 0xC9;
        QTest::newRow("be_BY, 1251") << 1251 << 0x0423 << 0xC9;
        QTest::newRow("bg_BG, 1251") << 1251 << 0x0402 << 0xC9;
        // A code page without Cyrillic letters cannot hold the mode names.
        QTest::newRow("en_US, 1252") << 1252 << 0x0409 << 0xC9;
    }

    void newTableLanguageDriver()
    {
        QFETCH(int, ansiCodePage);
        QFETCH(int, locale);
        QFETCH(int, driver);
        QCOMPARE(int(DbfTable::languageDriverFor(ansiCodePage, quint16(locale))), driver);
    }

    void appendsThenCloseGiveTheFileLengthAndCount()
    {
        const QString p = makeThreeRows("three.db");
        const QByteArray f = readFile(p);
        QCOMPARE(f.size(), 289 + 3 * 100 + 1);
        QCOMPARE(f.mid(4, 4), le32(3));
        QCOMPARE(f.mid(1, 3), todayBytes());
        QCOMPARE(f.back(), '\x1A');
        // Record 2 at 289 + 100: N right-aligned, the ten-letter mode with
        // one trailing space, a leading space kept in T_1, text in cp1251.
        QCOMPARE(f.mid(389, 100), row("   2", kObs, "   1", "15.03.2024", "12:31:00", " 5,0", "0,0",
                                      cp1251(QStringLiteral("ночь, \"ясно\"")))
                                      .prepend(' '));
        QCOMPARE(f.mid(289 + 1 + 4, 11), cp1251(kOp)); // the 11-letter name fills the field
    }

    void readsBackWhatItWrote()
    {
        const QString p = makeThreeRows("back.db");
        DbfTable t;
        t.setTableFile(p);
        t.open(DbfTable::Access::ReadOnly);
        QStringList seen;
        for (t.first(); !t.eof(); t.next())
            seen << QStringLiteral("%1|%2|%3|%4|%5|%6")
                        .arg(*t.integer("N"))
                        .arg(t.text("MODE"), t.text("T_1"), t.text("T_2"), t.text("COMMENT"))
                        .arg(*t.integer("EN_CH"));
        QCOMPARE(seen, QStringList({QStringLiteral("1|Оперативный|20,1|-2,5||3"),
                                    QStringLiteral("2|Наблюдения| 5,0|0,0|ночь, \"ясно\"|1"),
                                    QStringLiteral("3|Наблюдения|-40,0|36,6|x|2")}));
        QVERIFY(t.value(t.fieldIndex("COMMENT")).isValid()); // "x"
        t.first();
        QVERIFY(t.value(t.fieldIndex("COMMENT")).isNull()); // all spaces reads as null
    }

    void readOnlyOpenChangesNoByte()
    {
        const QByteArray bytes = buildTable(
            kMeasurement, {row("   1", kObs, "   0", "01.01.2001", "00:00:00", "1,0", "2,0")}, 0xC9,
            0x03, 5, false);
        const QString p = path("ro.db");
        FLN_CHECK(writeFile(p, bytes));
        DbfTable t;
        t.setTableFile(p);
        t.open(DbfTable::Access::ReadOnly);
        QCOMPARE(t.recordCount(), 1u);
        t.close();
        QCOMPARE(readFile(p), bytes);
        QCOMPARE(errorOf([&] {
                     t.open(DbfTable::Access::ReadOnly);
                     t.append();
                 }),
                 QStringLiteral("Cannot modify a read-only dataset"));
    }

    void recordCountRepair_data()
    {
        QTest::addColumn<int>("countInHeader");
        QTest::addColumn<bool>("eof");
        QTest::addColumn<int>("partialBytes");
        QTest::newRow("header counts fewer") << 1 << true << 0;
        QTest::newRow("header counts more") << 9 << true << 0;
        QTest::newRow("no end-of-file byte") << 2 << false << 0;
        QTest::newRow("partial record at the end") << 2 << false << 37;
    }

    void recordCountRepair()
    {
        QFETCH(int, countInHeader);
        QFETCH(bool, eof);
        QFETCH(int, partialBytes);
        QByteArray bytes =
            buildTable(kMeasurement,
                       {row("   1", kObs, "   0", "01.01.2001", "00:00:00", "1,0", "2,0"),
                        row("   2", kObs, "   0", "01.01.2001", "00:00:01", "1,5", "2,5")},
                       0xC9, 0x03, countInHeader, eof);
        bytes += QByteArray(partialBytes, 'z');
        const QString p = path("repair.db");
        FLN_CHECK(writeFile(p, bytes));
        DbfTable t;
        t.setTableFile(p);
        t.open();
        QCOMPARE(t.recordCount(), 2u);
        QCOMPARE(t.rowCount(), 2);
        t.last();
        QCOMPARE(t.text("T_2"), QStringLiteral("2,5"));
        t.close();
        const QByteArray after = readFile(p);
        QCOMPARE(after.mid(4, 4), le32(2));
        QCOMPARE(after.at(289 + 200), '\x1A');
        QCOMPARE(after.mid(1, 3), todayBytes()); // even an unchanged table gets the close date
    }

    void numberEncoding_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("seven") << QByteArray("   7") << QVariant(qint64(7));
        QTest::newRow("sign first") << QByteArray("-  5") << QVariant(qint64(-5));
        QTest::newRow("right-aligned sign") << QByteArray("  -5") << QVariant(qint64(-5));
        QTest::newRow("left-aligned") << QByteArray("12  ") << QVariant(qint64(12));
        QTest::newRow("blank is null") << QByteArray("    ") << QVariant();
        QTest::newRow("garbage reads 0") << QByteArray(" 1x ") << QVariant(qint64(0));
    }

    void numberEncoding()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QVariant, value);
        const QString p = path("num.db");
        FLN_CHECK(
            writeFile(p, buildTable(kMeasurement, {row(stored.constData(), kObs, "   0",
                                                       "01.01.2001", "00:00:00", "1,0", "2,0")})));
        DbfTable t;
        t.setTableFile(p);
        t.open(DbfTable::Access::ReadOnly);
        QCOMPARE(t.value(t.fieldIndex("N")), value);
    }

    void integersWrittenAndRefused()
    {
        const QString p = path("ints.db");
        DbfTable t;
        t.setTableFile(p);
        t.create();
        t.open();
        struct Case
        {
            qint64 v;
            QByteArray stored; // empty: refused
        };
        const Case cases[] = {{7, "   7"}, {-5, "  -5"}, {9999, "9999"}, {-999, "-999"},
                              {10000, ""}, {-1000, ""},  {0, "   0"}};
        quint32 written = 0;
        for (const Case& c : cases) {
            t.append();
            if (c.stored.isEmpty()) {
                const QString err = errorOf([&] { t.setInteger("N", c.v); });
                QVERIFY2(err.contains(QString::number(c.v)) && err.contains("'N'"),
                         qPrintable(err));
                t.cancel();
                continue;
            }
            t.setInteger("N", c.v);
            t.post();
            ++written;
            QCOMPARE(readFile(p).mid(289 + 100 * (written - 1) + 1, 4), c.stored);
            QCOMPARE(*t.integer("N"), c.v);
        }
        t.append();
        t.setInteger("EN_CH", std::nullopt);
        t.post();
        QVERIFY(!t.integer("EN_CH"));
        QCOMPARE(t.recordCount(), written + 1);
    }

    void textsThatTheCodePageCannotHoldAreRefused()
    {
        const QString p = path("texts.db");
        DbfTable t;
        t.setNewTableLanguageDriver(0xC9);
        t.setTableFile(p);
        t.create();
        t.open();
        t.append();
        const QString err = errorOf([&] { t.setText("COMMENT", QStringLiteral("日本")); });
        QVERIFY2(err.contains("COMMENT"), qPrintable(err));
        // A longer text is cut to the field.
        t.setText("MODE", QStringLiteral("НаблюденияНаблюдения"));
        t.post();
        QCOMPARE(t.text("MODE"), QStringLiteral("НаблюденияН"));
        QCOMPARE(t.text("COMMENT"), QString());
    }

    void foreignFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: opens
        const QByteArray r = row("  42", kObs, "   3", "01.02.2003", "04:05:06", "7,5", "8,5");

        QList<FieldSpec> reordered = {{"COMMENT", 'C', 50}, {"T_2", 'C', 6},   {"EXTRA", 'N', 8, 2},
                                      {"T_1", 'C', 6},      {"TIME", 'C', 8},  {"DATE", 'C', 10},
                                      {"EN_CH", 'N', 4},    {"MODE", 'C', 11}, {"N", 'N', 6}};
        QTest::newRow("other order, extra field, N of 6 digits")
            << buildTable(reordered,
                          {QByteArray(50, ' ') + "8,5   " + "   1.50" + " " + "7,5   " +
                           "04:05:06" + "01.02.2003" + "   3" + cp1251(kObs) + " " + "    42"})
            << QString();
        QList<FieldSpec> noComment = kMeasurement.mid(0, 7);
        QTest::newRow("no COMMENT")
            << buildTable(noComment, {r.left(49)}) << QStringLiteral("Field 'COMMENT' not found");
        QList<FieldSpec> nChar = kMeasurement;
        nChar[0].type = 'C';
        QTest::newRow("N as text")
            << buildTable(nChar, {r})
            << QStringLiteral("Type mismatch for field 'N', expecting: SmallInt actual: String");
        QList<FieldSpec> nWide = kMeasurement;
        nWide[0].length = 10;
        QTest::newRow("N of 10 digits")
            << buildTable(nWide, {})
            << QStringLiteral("Type mismatch for field 'N', expecting: SmallInt actual: LargeInt");
        QList<FieldSpec> t1Num = kMeasurement;
        t1Num[5].type = 'N';
        t1Num[5].decimals = 1;
        QTest::newRow("T_1 numeric")
            << buildTable(t1Num, {})
            << QStringLiteral("Type mismatch for field 'T_1', expecting: String actual: Float");
        QTest::newRow("version byte")
            << buildTable(kMeasurement, {r}, 0xC9, 0x07) << QStringLiteral("Invalid DBF file.");
        QList<FieldSpec> badType = kMeasurement;
        badType[1].type = 'X';
        QTest::newRow("type letter")
            << buildTable(badType, {r}) << QStringLiteral("Invalid DBF file.");
        QByteArray longField = buildTable(kMeasurement, {r});
        longField[32 + 32 * 7 + 16] = char(200); // COMMENT reaches past the record
        QTest::newRow("field past the record") << longField << QStringLiteral("Invalid DBF file.");
        QByteArray zero = buildTable(kMeasurement, {r});
        zero.replace(10, 2, le16(0));
        QTest::newRow("record length 0") << zero << QString("<silent>");
        QTest::newRow("too short")
            << QByteArray("\x03\x7d\x01") << QStringLiteral("Invalid DBF file.");
        QByteArray noFields = buildTable(kMeasurement, {});
        noFields.replace(8, 2, le16(33));
        QTest::newRow("no descriptors")
            << noFields << QStringLiteral("Invalid field count: 0 (must be between 1 and 4095).");
        QList<FieldSpec> dup = kMeasurement;
        dup << FieldSpec{"n", 'c', 3} << FieldSpec{"N", 'C', 2};
        QTest::newRow("duplicate names") << buildTable(dup, {r + "abcde"}) << QString();
    }

    void foreignFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const QString p = path("foreign.db");
        FLN_CHECK(writeFile(p, bytes));
        DbfTable t;
        t.setTableFile(p);
        QString got = QStringLiteral("<opened>");
        try {
            t.open(DbfTable::Access::ReadOnly);
        } catch (const AppError& e) {
            got = e.text().isEmpty() ? QStringLiteral("<silent>") : e.text();
        }
        if (!error.isEmpty()) {
            QCOMPARE(got, error);
            QVERIFY(!t.isOpen());
            return;
        }
        QCOMPARE(got, QStringLiteral("<opened>"));
        if (QTest::currentDataTag() == QByteArray("duplicate names")) {
            QStringList names;
            for (const DbfField& f : t.fields())
                names << f.name;
            QCOMPARE(names.mid(8), QStringList({"N2", "N3"}));
            QCOMPARE(t.text("N3"), QStringLiteral("de"));
            return;
        }
        QCOMPARE(*t.integer("N"), 42);
        QCOMPARE(t.text("MODE"), kObs);
        QCOMPARE(t.text("T_1"), QStringLiteral("7,5"));
        QCOMPARE(t.value(t.fieldIndex("EXTRA")).toDouble(), 1.5);
    }

    void otherCodePages_data()
    {
        QTest::addColumn<int>("ldid");
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("0x26 Russian OEM") << 0x26 << QByteArray("IBM866") << false;
        QTest::newRow("0x65 Russian MS-DOS") << 0x65 << QByteArray("IBM866") << false;
        QTest::newRow("0x96 Russian Macintosh") << 0x96 << QByteArray("x-mac-cyrillic") << false;
        QTest::newRow("0x68 Kamenicky: not installed") << 0x68 << QByteArray() << true;
    }

    void otherCodePages()
    {
        QFETCH(int, ldid);
        QFETCH(QByteArray, codec);
        QFETCH(bool, readOnly);
        const QByteArray mode =
            codec.isEmpty() ? QByteArray("Nabl") : QStringEncoder(codec.constData()).encode(kObs);
        QByteArray r = QByteArray("   1") + mode.leftJustified(11, ' ') + "   0" + "01.01.2001" +
                       "00:00:00" + "1,0   " + "2,0   " + QByteArray(50, ' ');
        const QString p = path("cp.db");
        FLN_CHECK(writeFile(p, buildTable(kMeasurement, {r}, quint8(ldid))));
        DbfTable t;
        t.setTableFile(p);
        t.open();
        QCOMPARE(t.isReadOnly(), readOnly);
        if (readOnly) {
            QCOMPARE(t.text("MODE"), QStringLiteral("Nabl"));
            QCOMPARE(errorOf([&] { t.edit(); }),
                     QStringLiteral("Cannot modify a read-only dataset"));
            return;
        }
        QCOMPARE(t.text("MODE"), kObs);
        // Written back in the file's own code page.
        t.edit();
        t.setText("COMMENT", QStringLiteral("Ёлка"));
        t.post();
        t.close();
        QCOMPARE(readFile(p).mid(289 + 50, 4), QStringEncoder(codec.constData()).encode(u"Ёлка"));
    }

    void browsingSkipsDeletedRecords()
    {
        const QString p = path("browse.db");
        auto r = [](const char* n) {
            return row(n, kObs, "   0", "01.01.2001", "00:00:00", "1,0", "2,0");
        };
        FLN_CHECK(
            writeFile(p, buildTable(kMeasurement, {"*" + r("   1"), r("   2"), "*" + r("   3"),
                                                   r("   4"), "*" + r("   5")})));
        DbfTable t;
        t.setTableFile(p);
        t.open();
        QCOMPARE(t.recordCount(), 5u);
        QCOMPARE(t.recNo(), 2u);
        QVERIFY(t.bof());
        t.prior();
        QVERIFY(t.bof());
        QCOMPARE(t.recNo(), 2u);
        t.next();
        QCOMPARE(t.recNo(), 4u);
        t.next();
        QVERIFY(t.eof());
        QCOMPARE(t.recNo(), 4u);
        t.last();
        QCOMPARE(t.recNo(), 4u);
        QCOMPARE(t.rowCount(), 2);
        QCOMPARE(t.recordAt(0), 2u);
        QCOMPARE(t.recordAt(1), 4u);
        QCOMPARE(t.recordAt(2), 0u);
        QCOMPARE(t.positionOf(4), 1);
        QCOMPARE(t.positionOf(3), -1);
        t.goToPosition(0);
        QCOMPARE(*t.integer("N"), 2);
        QVERIFY(errorOf([&] { t.goToRecord(3); }) != QStringLiteral("<no error>"));
    }

    void editPostCancelAndSignals()
    {
        const QString p = makeThreeRows("edit.db");
        DbfTable t;
        t.setTableFile(p);
        t.open();
        const QByteArray before = readFile(p);
        QSignalSpy current(&t, &DbfTable::currentChanged);
        QSignalSpy contents(&t, &DbfTable::contentsChanged);

        t.next();
        QCOMPARE(current.count(), 1);
        t.edit();
        t.setText("COMMENT", QStringLiteral("правка"));
        QCOMPARE(t.text("COMMENT"), QStringLiteral("правка"));
        t.cancel();
        QCOMPARE(readFile(p), before);
        QCOMPARE(t.text("COMMENT"), QStringLiteral("ночь, \"ясно\""));

        t.edit();
        t.setText("COMMENT", QStringLiteral("правка"));
        t.post();
        QCOMPARE(contents.count(), 1);
        const QByteArray after = readFile(p);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.left(289), before.left(289)); // post leaves the header alone
        QCOMPARE(after.mid(389 + 50, 6), cp1251(QStringLiteral("правка")));

        QCOMPARE(errorOf([&] { t.setText("COMMENT", "x"); }),
                 QStringLiteral("Dataset not in edit or insert mode"));

        // Frozen displays hear nothing until the last enable.
        t.disableControls();
        t.first();
        t.deleteRecord();
        t.disableControls();
        t.enableControls();
        QCOMPARE(current.count(), 1);
        QCOMPARE(contents.count(), 1);
        t.enableControls();
        QCOMPARE(contents.count(), 2);
        QCOMPARE(t.recNo(), 2u); // the row after the deleted one became current
    }

    // A listener connected at any moment hears every move from then on, and
    // none after it is gone, however often the table moved unheard before.
    void currentChangedFollowsItsListeners()
    {
        const QString p = makeThreeRows("listeners.db");
        DbfTable t;
        t.setTableFile(p);
        t.open();
        t.next(); // unheard
        int heard = 0;
        auto c = connect(&t, &DbfTable::currentChanged, [&] { ++heard; });
        t.first();
        t.next();
        QCOMPARE(heard, 2);
        disconnect(c);
        t.first();
        QCOMPARE(heard, 2);
        {
            QObject receiver;
            connect(&t, &DbfTable::currentChanged, &receiver, [&] { ++heard; });
            t.next();
            QCOMPARE(heard, 3);
        }
        t.next();
        QCOMPARE(heard, 3);
        QSignalSpy spy(&t, &DbfTable::currentChanged);
        t.first();
        QCOMPARE(spy.count(), 1);
        QObject::disconnect(&t, nullptr, nullptr, nullptr); // all at once
        t.next();
        QCOMPARE(spy.count(), 1);
        connect(&t, &DbfTable::currentChanged, [&] { ++heard; });
        t.last();
        QCOMPARE(heard, 4);
    }

    // T_1 and T_2 read as numbers straight from the record: blanks on either
    // side, NUL padding, sign, a separator at either end; the value must be
    // the correctly rounded one, as the compiler reads the same literal.
    void numbersFromTextFields_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("expected"); // "null", "error" or the value
        QTest::newRow("one decimal") << QByteArray("2,3") << QStringLiteral("2.3");
        QTest::newRow("right-justified negative") << QByteArray("  -0,1") << QStringLiteral("-0.1");
        QTest::newRow("full width") << QByteArray("1234,5") << QStringLiteral("1234.5");
        QTest::newRow("plus sign") << QByteArray("+3,5") << QStringLiteral("3.5");
        QTest::newRow("integer") << QByteArray(" 12 ") << QStringLiteral("12");
        QTest::newRow("separator first") << QByteArray(",5") << QStringLiteral("0.5");
        QTest::newRow("separator last") << QByteArray("-7,") << QStringLiteral("-7");
        QTest::newRow("two decimals") << QByteArray("-0,07") << QStringLiteral("-0.07");
        QTest::newRow("minus zero") << QByteArray("-0") << QStringLiteral("-0");
        QTest::newRow("NUL padding") << QByteArray("5,3\0\0\0", 6) << QStringLiteral("5.3");
        QTest::newRow("blank") << QByteArray() << QStringLiteral("null");
        QTest::newRow("all NUL") << QByteArray(6, '\0') << QStringLiteral("null");
        QTest::newRow("two separators") << QByteArray("1,2,3") << QStringLiteral("error");
        QTest::newRow("sign alone") << QByteArray("-") << QStringLiteral("error");
        QTest::newRow("inner blank") << QByteArray("1 2") << QStringLiteral("error");
    }
    void numbersFromTextFields()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, expected);
        QByteArray rec = row("   1", kObs, "   0", "01.01.2001", "00:00:00", "", "9,5");
        rec.replace(37, field.size(), field); // T_1
        const QString p = path("numbers.db");
        FLN_CHECK(writeFile(p, buildTable(kMeasurement, {rec})));
        DbfTable t;
        t.setTableFile(p);
        t.open(DbfTable::Access::ReadOnly);
        const RegionalSettings rs = RegionalSettings::russian();
        const int t1 = t.fieldIndex("T_1");
        QCOMPARE(t.number(t.fieldIndex("T_2"), rs), std::optional<double>(9.5));
        if (expected == u"error") {
            QVERIFY(errorOf([&] { t.number(t1, rs); }).contains(u"is not a valid"));
            return;
        }
        const std::optional<double> v = t.number(t1, rs);
        if (expected == u"null") {
            QVERIFY(!v);
            return;
        }
        QVERIFY(v);
        // Bit for bit: the sign of zero and the last bit of the rounding count.
        QCOMPARE(std::bit_cast<quint64>(*v), std::bit_cast<quint64>(expected.toDouble()));
    }

    void deleteAndPack()
    {
        const QString p = makeThreeRows("data.db");
        FLN_CHECK(writeFile(path("data_1.db"), "someone else's file"));
        // Rights the owner gave the table stay with it.
        QVERIFY(QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QFile::Permissions rights = QFile::permissions(p);
        DbfTable t;
        t.setTableFile(p);
        t.open();
        t.deleteRecord(); // row 1
        t.last();
        t.deleteRecord(); // row 3
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(readFile(p).at(289), '*');
        t.pack();
        QVERIFY(t.isOpen());
        QCOMPARE(t.recordCount(), 1u);
        QCOMPARE(*t.integer("N"), 2);
        t.close();
        const QByteArray f = readFile(p);
        QCOMPARE(f.size(), 289 + 100 + 1);
        QCOMPARE(f.mid(4, 4), le32(1));
        QVERIFY(!f.mid(289).contains('*'));
        QCOMPARE(readFile(path("data_1.db")), QByteArray("someone else's file"));
        QStringList left = QDir(m_dir.path()).entryList({"data*"}, QDir::Files);
        QCOMPARE(left, QStringList({"data.db", "data_1.db"}));
        QCOMPARE(QDir(m_dir.path()).entryList({".*"}, QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QFile::permissions(p), rights);
    }

    void secondOpenerIsRefused()
    {
        const QString p = makeThreeRows("busy.db");
        DbfTable a, b, reader;
        a.setTableFile(p);
        b.setTableFile(p);
        reader.setTableFile(p);
        a.open();
        QVERIFY(errorOf([&] { b.open(); }).contains("another program"));
        QVERIFY(!b.isOpen());
        reader.open(DbfTable::Access::ReadOnly); // readers are welcome
        QCOMPARE(reader.rowCount(), 3);
        QVERIFY(errorOf([&] {
                    DbfTable c;
                    c.setTableFile(p);
                    c.create();
                }).contains("another program"));
        QCOMPARE(readFile(p).size(), 590); // left as it was
        a.close();
        b.open();
        QVERIFY(b.isOpen());
    }

    void anotherProcessHoldingTheTableRefusesUs()
    {
        const QString p = makeThreeRows("proc.db");
        QProcess holder;
        holder.start("/usr/bin/python3",
                     {"-c",
                      "import fcntl,sys\nf=open(sys.argv[1],'r+b')\n"
                      "fcntl.flock(f,fcntl.LOCK_EX)\nprint('held',flush=True)\nsys.stdin.read()",
                      p});
        if (!holder.waitForStarted())
            QSKIP("no python3 to hold the file");
        QVERIFY(holder.waitForReadyRead(10000));
        DbfTable t;
        t.setTableFile(p);
        QVERIFY(errorOf([&] { t.open(); }).contains("another program"));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        t.open();
        QVERIFY(t.isOpen());
    }

    void failedCreateLeavesNoFile()
    {
        DbfTable t;
        t.setTableFile(path("no/such/folder/x.db"));
        QVERIFY(errorOf([&] { t.create(); }).startsWith("Cannot create table"));
        QVERIFY(!QFile::exists(path("no/such/folder/x.db")));
        t.setTableFile(path("missing.db"));
        QVERIFY(errorOf([&] { t.open(); }) != QStringLiteral("<no error>"));
        QVERIFY(!QFile::exists(path("missing.db")));
    }

    void peersReadOurTables()
    {
        const QString p = makeThreeRows("peer.db");
        QFile::copy(p, path("peer.dbf"));
        const QString expected =
            QStringLiteral("1|Оперативный|3|15.03.2024|12:30:00|20,1|-2,5|\n"
                           "2|Наблюдения|1|15.03.2024|12:31:00| 5,0|0,0|ночь, \"ясно\"\n"
                           "3|Наблюдения|2|16.03.2024|00:00:05|-40,0|36,6|x\n");

        const auto dbfread = peers::python(
            "import sys,dbfread\n"
            "t=dbfread.DBF(sys.argv[1])\n"
            "assert t.encoding=='cp1251', t.encoding\n"
            "for r in t: sys.stdout.write('|'.join(str(v) for v in r.values())+'\\n')",
            {p});
        FLN_NEED_PEER(dbfread, "python3-dbfread");
        QCOMPARE(QString::fromUtf8(dbfread.out), expected);

        const auto pydbf =
            peers::python("import sys,dbf\n"
                          "t=dbf.Table(sys.argv[1]); t.open(dbf.READ_ONLY)\n"
                          "for r in t:\n"
                          "  assert not dbf.is_deleted(r)\n"
                          "  sys.stdout.write('|'.join(str(v).rstrip() for v in r)+'\\n')",
                          {path("peer.dbf")});
        FLN_NEED_PEER(pydbf, "python3-dbf");
        QCOMPARE(QString::fromUtf8(pydbf.out), expected);

        const auto ogr = peers::run("ogr2ogr", {"-f", "CSV", "/vsistdout/", path("peer.dbf")});
        FLN_NEED_PEER(ogr, "gdal-bin");
        QCOMPARE(ogr.exitCode, 0);
        QVERIFY2(QString::fromUtf8(ogr.out).contains(
                     QStringLiteral("\"2\",Наблюдения,\"1\",15.03.2024,12:31:00,\"5,0\",\"0,0\"")),
                 ogr.out.constData());

        const auto pgdbf = peers::run("pgdbf", {"-s", "cp1251", path("peer.dbf")});
        FLN_NEED_PEER(pgdbf, "pgdbf");
        QCOMPARE(pgdbf.exitCode, 0);
        QVERIFY2(QString::fromUtf8(pgdbf.out).contains(
                     QStringLiteral("3\tНаблюдения\t2\t16.03.2024\t00:00:05\t-40,0\t36,6\tx")),
                 pgdbf.out.constData());
    }

    void weReadTablesThatPythonDbfWrites()
    {
        const QString p = path("made_by_dbf.dbf");
        const auto made = peers::python(
            "import sys,dbf\n"
            "t=dbf.Table(sys.argv[1],'N N(4,0); MODE C(11); EN_CH N(4,0); DATE C(10); TIME C(8);"
            " T_1 C(6); T_2 C(6); COMMENT C(50)', codepage='cp1251', dbf_type='db3')\n"
            "t.open(dbf.READ_WRITE)\n"
            "t.append((12,'Оперативный',2,'01.02.2024','10:00:00',' 9,5','-0,5','тест'))\n"
            "t.append((-7,'Наблюдения',0,'02.02.2024','11:00:00','100,0','0,0',''))\n"
            "t.close()",
            {p});
        FLN_NEED_PEER(made, "python3-dbf");
        QCOMPARE(made.exitCode, 0);
        DbfTable t;
        t.setTableFile(p);
        t.open(DbfTable::Access::ReadOnly);
        QCOMPARE(t.header().languageDriver, quint8(0xC9));
        QCOMPARE(*t.integer("N"), 12);
        QCOMPARE(t.text("T_1"), QStringLiteral("9,5")); // python3-dbf drops leading blanks
        QCOMPARE(t.text("COMMENT"), QStringLiteral("тест"));
        t.next();
        QCOMPARE(*t.integer("N"), -7);
        QCOMPARE(t.text("MODE"), kObs);
        QVERIFY(t.text("COMMENT").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDbfTable)
#include "tst_dbf_table.moc"
