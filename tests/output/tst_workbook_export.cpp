// The workbook export: the call sequence it makes (recorded), its errors and
// refusals, and the .xlsx file it writes, read back by openpyxl.
#include "data/dbf_table.h"
#include "output/workbook_export.h"
#include "platform/app_error.h"
#include "platform/xlsx_spreadsheet.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"
#include "tests/support/recording_spreadsheet.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

struct Record
{
    int n;
    QString mode, date, time, t1, t2, comment;
};

// Writes a measurement table with these records (and the ones marked with
// N < 0 deleted) and returns its path.
QString writeTable(const QString& path, const QList<Record>& records)
{
    QList<TestRow> rows;
    for (const Record& r : records)
        rows.append({.n = std::abs(r.n),
                     .mode = r.mode,
                     .enCh = 3,
                     .date = r.date,
                     .time = r.time,
                     .t1 = r.t1,
                     .t2 = r.t2,
                     .comment = r.comment,
                     .deleted = r.n < 0});
    writeMeasurementTable(path, rows);
    return path;
}

const QList<Record> kRecords = {
    {1, "Оперативный", "15.03.2024", "12:30:45", "-5,3", " 0,0", "калибровка"},
    {-2, "Наблюдения", "15.03.2024", "12:31:00", "1,0", "1,0", "удалена"},
    {3, "Наблюдения", "31.12.2025", "23:59:59", "100,5", "-40,0", ""},
};

// Automation dates worked out by hand: 15.03.2024 is day 45366 after
// 30.12.1899, 31.12.2025 is day 46022.
const double k15March1230 = 45366 + 750.0 / 1440;
const double k31Dec2359 = 46022 + 1439.0 / 1440;

QString num(double v)
{
    return QString::number(v, 'g', 17);
}

QStringList headerCalls()
{
    const QString s = "WorkSheets(ФЛН-РК2).";
    return {"create Excel.Application",
            "Visible := true",
            "Workbooks.Add(-4167)",
            "Workbooks(1).WorkSheets(1).Name := ФЛН-РК2",
            "Workbooks(1).WorkSheets(1).Name",
            s + "Columns(1).ColumnWidth := 20",
            s + "Columns(2).ColumnWidth := 20",
            s + "Columns(3).ColumnWidth := 20",
            s + "Columns(4).ColumnWidth := 20",
            s + "Columns(5).ColumnWidth := 20",
            s + "Columns(6).ColumnWidth := 20",
            s + "Columns(2).NumberFormat := ДД/ММ/ГГГГ Ч:ММ",
            s + "Rows(2).Font.Bold := true",
            s + "Rows(1).Font.Bold := true",
            s + "Rows(1).Font.Color := 16711680",
            s + "Rows(1).Font.Size := 14",
            s + "Cells(2, 1) := \"N\" (text)",
            s + "Cells(2, 2) := \"Дата\" (text)",
            s + "Cells(2, 3) := \"Режим\" (text)",
            s + "Cells(2, 4) := \"T1, C\" (text)",
            s + "Cells(2, 5) := \"T2, C\" (text)",
            s + "Cells(2, 6) := \"Примечание\" (text)"};
}

// A table of `records` live records that hold nothing but zero bytes, made
// as a sparse file: big enough for the sheet's limit, without the disk.
QString writeHugeTable(const QString& path, qint64 records)
{
    writeTable(path, {});
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        qFatal("cannot open %s", qPrintable(path));
    QByteArray header = f.read(12);
    const quint16 headerLength = quint8(header[8]) | quint8(header[9]) << 8;
    const quint16 recordLength = quint8(header[10]) | quint8(header[11]) << 8;
    for (int i = 0; i < 4; ++i)
        header[4 + i] = char(quint32(records) >> (8 * i));
    f.seek(0);
    f.write(header);
    const qint64 end = headerLength + records * recordLength;
    f.resize(end + 1);
    f.seek(end);
    f.write("\x1a", 1);
    return path;
}

const char* kReadBack = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
def font(f):
    return {'b': bool(f.b), 'sz': f.sz, 'color': f.color.rgb if f.color is not None and isinstance(f.color.rgb, str) else None}
cells = []
for row in ws.iter_rows():
    cells.append([[c.data_type, c.value if not hasattr(c.value, 'isoformat') else c.value.isoformat(),
                   c.number_format, bool(c.font.b)] for c in row])
print(json.dumps({
    'sheets': wb.sheetnames,
    'widths': [ws.column_dimensions[c].width for c in 'ABCDEF'],
    'formatB': ws.column_dimensions['B'].number_format,
    'row1': font(ws.row_dimensions[1].font),
    'row2': font(ws.row_dimensions[2].font),
    'maxRow': ws.max_row, 'maxColumn': ws.max_column,
    'cells': cells,
}, ensure_ascii=False))
)";

} // namespace

Q_DECLARE_METATYPE(Record)
Q_DECLARE_METATYPE(RegionalSettings)

class TestWorkbookExport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    RegionalSettings m_rs = RegionalSettings::russian();

    QSharedPointer<RecordingSpreadsheet::Log> exportRecorded(DbfTable& table)
    {
        auto log = QSharedPointer<RecordingSpreadsheet::Log>::create();
        exportWorkbook(table, RecordingSpreadsheet::factory(log), m_rs);
        return log;
    }
    SpreadsheetFactory xlsxInto(const QString& folder, QString* saved = nullptr)
    {
        return [folder, saved] {
            XlsxSpreadsheet::Target t{folder, QString(), false, {}};
            if (saved)
                t.saved = [saved](const QString& p) { *saved = p; };
            return std::unique_ptr<SpreadsheetApplication>(new XlsxSpreadsheet(t));
        };
    }
    QJsonObject readBack(const QString& file)
    {
        const peers::Result r = peers::python(kReadBack, {file});
        if (!r.available)
            return {};
        if (r.exitCode != 0)
            qWarning("%s", r.err.constData());
        return QJsonDocument::fromJson(r.out).object();
    }

private slots:
    void callSequence()
    {
        DbfTable table;
        table.setTableFile(writeTable(m_dir.filePath("calls.db"), kRecords));
        table.open(DbfTable::Access::ReadOnly);
        const auto log = exportRecorded(table);

        const QString s = "WorkSheets(ФЛН-РК2).";
        QStringList expected = headerCalls();
        expected << s + "Cells(3, 1) := 1 (integer)"
                 << s + "Cells(3, 2) := " + num(k15March1230) + " (date)"
                 << s + "Cells(3, 3) := \"Оперативный\" (text)"
                 << s + "Cells(3, 4) := -5.2999999999999998 (double)"
                 << s + "Cells(3, 5) := 0 (double)" << s + "Cells(3, 6) := \"калибровка\" (text)"
                 << s + "Cells(4, 1) := 3 (integer)"
                 << s + "Cells(4, 2) := " + num(k31Dec2359) + " (date)"
                 << s + "Cells(4, 3) := \"Наблюдения\" (text)"
                 << s + "Cells(4, 4) := 100.5 (double)" << s + "Cells(4, 5) := -40 (double)"
                 << s + "Cells(4, 6) := \"\" (text)"
                 << "ActiveWorkbook.SaveCopyAs(ФЛН-РК2)"
                 << "Application.Quit";
        QCOMPARE(log->calls, expected);
        // The walk ends on the last record of the order.
        QCOMPARE(table.recNo(), 3u);
    }

    void emptyTable()
    {
        DbfTable table;
        table.setTableFile(writeTable(m_dir.filePath("empty.db"), {}));
        table.open(DbfTable::Access::ReadOnly);
        const auto log = exportRecorded(table);
        QCOMPARE(log->calls, headerCalls() << "ActiveWorkbook.SaveCopyAs(ФЛН-РК2)"
                                           << "Application.Quit");
    }

    void recordDates_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<RegionalSettings>("rs");
        QTest::addColumn<double>("expected"); // NaN: the conversion error
        const RegionalSettings ru = RegionalSettings::russian();
        const RegionalSettings us{u'.', RegionalSettings::DateOrder::MonthDayYear, u'/', u':'};
        const RegionalSettings iso{u'.', RegionalSettings::DateOrder::YearMonthDay, u'-', u':'};
        QTest::newRow("program's texts") << "15.03.2024"
                                         << "12:30:45" << ru << k15March1230;
        QTest::newRow("23:59:59 is 23:59") << "31.12.2025"
                                           << "23:59:59" << ru << k31Dec2359;
        QTest::newRow("month first") << "03/15/2024"
                                     << "12:30:00" << us << k15March1230;
        QTest::newRow("year first") << "2024-03-15"
                                    << "12:30:00" << iso << k15March1230;
        QTest::newRow("short forms") << "15.3.2024"
                                     << "12:30" << ru << k15March1230;
        QTest::newRow("before 30.12.1899") << "29.12.1899"
                                           << "06:00:00" << ru << -1.25;
        QTest::newRow("29 February 2023") << "29.02.2023"
                                          << "10:00:00" << ru << qQNaN();
        QTest::newRow("minute 60") << "15.03.2024"
                                   << "12:60:00" << ru << qQNaN();
        QTest::newRow("day first under month first") << "15.03.2024"
                                                     << "12:30:00" << us << qQNaN();
        // The first five characters of a time without leading zeros.
        QTest::newRow("9:05:00") << "15.03.2024"
                                 << "9:05:00" << ru << qQNaN();
    }
    void recordDates()
    {
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(RegionalSettings, rs);
        QFETCH(double, expected);
        if (qIsNaN(expected)) {
            try {
                recordDate(date, time, rs);
                QFAIL("converted");
            } catch (const AppError& e) {
                QCOMPARE(
                    e.text(),
                    QStringLiteral("'%1 %2' is not a valid date and time").arg(date, time.left(5)));
            }
        } else {
            QCOMPARE(recordDate(date, time, rs), expected);
        }
    }

    void conversionErrors_data()
    {
        QTest::addColumn<Record>("bad");
        QTest::addColumn<QString>("error");
        const Record ok = kRecords[0];
        auto with = [&](auto change) {
            Record r = ok;
            change(r);
            return r;
        };
        QTest::newRow("day 32") << with([](Record& r) { r.date = "32.03.2024"; })
                                << "'32.03.2024 12:30' is not a valid date and time";
        QTest::newRow("hour 24") << with([](Record& r) { r.time = "24:00:00"; })
                                 << "'15.03.2024 24:00' is not a valid date and time";
        QTest::newRow("empty date")
            << with([](Record& r) { r.date = ""; }) << "' 12:30' is not a valid date and time";
        QTest::newRow("empty T_1")
            << with([](Record& r) { r.t1 = ""; }) << "'' is not a valid floating point value";
        QTest::newRow("decimal point in T_2")
            << with([](Record& r) { r.t2 = "5.3"; }) << "'5.3' is not a valid floating point value";
    }
    void conversionErrors()
    {
        QFETCH(Record, bad);
        QFETCH(QString, error);
        DbfTable table;
        table.setTableFile(writeTable(m_dir.filePath("bad.db"), {kRecords[2], bad}));
        table.open(DbfTable::Access::ReadOnly);
        auto log = QSharedPointer<RecordingSpreadsheet::Log>::create();
        try {
            exportWorkbook(table, RecordingSpreadsheet::factory(log), m_rs);
            QFAIL("the export went through");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), error);
        }
        // The first record's row stands; nothing is saved and nothing quits.
        // The export stopped at the bad record, which is current.
        QCOMPARE(table.recNo(), 2u);
        QCOMPARE(log->calls.filter("Cells(3, ").size(), 6);
        QVERIFY(log->calls.filter("Cells(4, ").isEmpty());
        QVERIFY(!log->calls.last().startsWith("ActiveWorkbook"));
        QVERIFY(!log->calls.contains("Application.Quit"));

        // The file-based workbook leaves no file at all.
        QTemporaryDir out;
        QVERIFY_THROWS_EXCEPTION(AppError, exportWorkbook(table, xlsxInto(out.path()), m_rs));
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void failedSaveQuitsFirst()
    {
        DbfTable table;
        table.setTableFile(writeTable(m_dir.filePath("save.db"), kRecords));
        table.open(DbfTable::Access::ReadOnly);
        auto log = QSharedPointer<RecordingSpreadsheet::Log>::create();
        log->failAt = "ActiveWorkbook.SaveCopyAs";
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 exportWorkbook(table, RecordingSpreadsheet::factory(log), m_rs));
        QCOMPARE(log->calls.last(), "Application.Quit");

        // A copy that cannot take its name (a folder has it): the writer is
        // closed, the error reported, nothing left behind.
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkdir("taken.xlsx"));
        const SpreadsheetFactory ontoFolder = [&] {
            return std::unique_ptr<SpreadsheetApplication>(
                new XlsxSpreadsheet({QString(), out.filePath("taken.xlsx"), false, {}}));
        };
        QVERIFY_THROWS_EXCEPTION(AppError, exportWorkbook(table, ontoFolder, m_rs));
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"taken.xlsx"}));
    }

    void sheetLimit_data()
    {
        QTest::addColumn<qint64>("records");
        QTest::addColumn<bool>("refused");
        QTest::newRow("1048574 fit") << qint64(1048574) << false;
        QTest::newRow("1048575 do not") << qint64(1048575) << true;
    }
    void sheetLimit()
    {
        QFETCH(qint64, records);
        QFETCH(bool, refused);
        DbfTable table;
        table.setTableFile(writeHugeTable(m_dir.filePath("huge.db"), records));
        table.open(DbfTable::Access::ReadOnly);
        QCOMPARE(table.rowCount(), records);
        auto log = QSharedPointer<RecordingSpreadsheet::Log>::create();
        QString error;
        try {
            exportWorkbook(table, RecordingSpreadsheet::factory(log), m_rs);
        } catch (const AppError& e) {
            error = e.text();
        }
        if (refused) {
            QCOMPARE(log->instances, 0); // nothing was started
            QVERIFY2(error.contains("1048575") && error.contains("1048574"), qPrintable(error));
        } else {
            // Accepted: the walk begins, and stops at the first record, whose
            // zero bytes are no date.
            QCOMPARE(log->instances, 1);
            QVERIFY2(error.endsWith("is not a valid date and time"), qPrintable(error));
        }
    }

    void cancelLeavesNoFile()
    {
        QList<Record> many;
        for (int i = 1; i <= 9999; ++i)
            many << Record{i, "Наблюдения", "01.12.2026", "10:00:00", "1,0", "2,0", ""};
        DbfTable table;
        table.setTableFile(writeTable(m_dir.filePath("many.db"), many));
        table.open(DbfTable::Access::ReadOnly);
        QTemporaryDir out;
        // Nothing stays open either: the rows written so far wait in a
        // temporary file, which would keep its disk space while open.
        const auto openFiles = [] { return QDir("/proc/self/fd").count(); };
        const uint filesBefore = openFiles();
        qint64 seen = 0, all = 0;
        const auto result =
            exportWorkbook(table, xlsxInto(out.path()), m_rs, [&](qint64 written, qint64 total) {
                seen = written;
                all = total;
                return false;
            });
        QCOMPARE(all, 9999);
        QCOMPARE(result, WorkbookExportResult::Cancelled);
        QVERIFY(seen > 0 && seen < 9999);
        QCOMPARE(table.position(), seen); // the first record not written is current
        if (QFileInfo::exists("/proc/self/fd"))
            QCOMPARE(openFiles(), filesBefore);
        QVERIFY(QDir(out.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void workbookFacts()
    {
        DbfTable table;
        table.setTableFile(writeTable(m_dir.filePath("facts.db"), kRecords));
        table.open(DbfTable::Access::ReadWrite);
        table.addSortTag("tab1", "T_1", true); // the grid sorted by T_1, descending
        table.selectSortTag("tab1");
        QTemporaryDir out;
        QString saved;
        QCOMPARE(exportWorkbook(table, xlsxInto(out.path(), &saved), m_rs),
                 WorkbookExportResult::Saved);
        QCOMPARE(saved, out.filePath("ФЛН-РК2.xlsx"));
        QCOMPARE(table.recNo(), 1u); // T_1 -5,3 is last in this order

        const QJsonObject facts = readBack(saved);
        FLN_NEED_PEER(peers::python("import openpyxl"), "python3-openpyxl");
        QCOMPARE(facts["sheets"].toArray(), QJsonArray({"ФЛН-РК2"}));
        // A width of 20 characters is kept in the file with the cell's
        // padding, 5 pixels of 7 per character, in 256ths: what Excel shows
        // as 20 is stored as 20.7109375.
        const double stored = std::floor((20 * 7 + 5) / 7.0 * 256) / 256;
        QCOMPARE(facts["widths"].toArray(),
                 QJsonArray({stored, stored, stored, stored, stored, stored}));
        QCOMPARE(facts["formatB"].toString(), "DD/MM/YYYY H:MM");
        QCOMPARE(facts["row1"].toObject(),
                 QJsonObject({{"b", true}, {"sz", 14}, {"color", "FF0000FF"}}));
        QCOMPARE(facts["row2"]["b"].toBool(), true);
        QCOMPARE(facts["maxRow"].toInt(), 4); // nothing after the last record
        QCOMPARE(facts["maxColumn"].toInt(), 6);

        const QJsonArray cells = facts["cells"].toArray();
        // Row 2: bold texts.
        const QStringList headers = {"N", "Дата", "Режим", "T1, C", "T2, C", "Примечание"};
        for (int c = 0; c < 6; ++c) {
            const QJsonArray cell = cells[1][c].toArray();
            QCOMPARE(cell[0].toString(), "s");
            QCOMPARE(cell[1].toString(), headers[c]);
            QCOMPARE(cell[3].toBool(), true);
        }
        // Rows 3, 4: N 3 then N 1 (T_1 descending); date-times to the minute.
        const auto row = [&](int r) {
            QStringList out;
            for (const QJsonValue& c : cells[r].toArray()) {
                const QJsonArray a = c.toArray();
                out << a[0].toString() + ':' + a[1].toVariant().toString();
            }
            return out;
        };
        QCOMPARE(row(2), QStringList({"n:3", "d:2025-12-31T23:59:00", "s:Наблюдения", "n:100.5",
                                      "n:-40", "n:"}));
        QCOMPARE(row(3), QStringList({"n:1", "d:2024-03-15T12:30:00", "s:Оперативный", "n:-5.3",
                                      "n:0", "s:калибровка"}));
        QCOMPARE(cells[2][1][2].toString(), "DD/MM/YYYY H:MM");
        QCOMPARE(cells[2][0][3].toBool(), false); // data rows are not bold
    }

    void secondExportNewName()
    {
        DbfTable table;
        table.setTableFile(writeTable(m_dir.filePath("twice.db"), kRecords));
        table.open(DbfTable::Access::ReadOnly);
        QTemporaryDir out;
        QString first, second, third;
        exportWorkbook(table, xlsxInto(out.path(), &first), m_rs);
        exportWorkbook(table, xlsxInto(out.path(), &second), m_rs);
        // A file of that name that is not ours stays as it is.
        QFile taken(out.filePath("ФЛН-РК2 (3).xlsx"));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("mine");
        taken.close();
        exportWorkbook(table, xlsxInto(out.path(), &third), m_rs);
        QCOMPARE(QFileInfo(first).fileName(), "ФЛН-РК2.xlsx");
        QCOMPARE(QFileInfo(second).fileName(), "ФЛН-РК2 (2).xlsx");
        QCOMPARE(QFileInfo(third).fileName(), "ФЛН-РК2 (4).xlsx");
        QCOMPARE(QFileInfo(taken.fileName()).size(), 4);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestWorkbookExport)
#include "tst_workbook_export.moc"
