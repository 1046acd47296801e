// "Сервис → Экспорт в CSV…" in the main window: the save dialog in the
// default folder with the table's name, the rows in the grid's order (the
// selected ones when two or more are selected) read back by Python's csv
// module, the table itself refused, a cancelled dialog writing nothing.
#include "tests/support/main_window_fixture.h"
#include "tests/support/peers.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Window : MainWindowFixture
{
    // Rows N = 1..4 with T_1 3, 2, 1, 0 (sorting by T_1 reverses them) and
    // a comment with the separator in it.
    void open()
    {
        QList<TestRow> rows;
        for (int i = 1; i <= 4; ++i)
            rows.append({.n = i,
                         .mode = "Наблюдения",
                         .enCh = 3,
                         .date = "01.12.2026",
                         .time = QStringLiteral("10:0%1:00").arg(i),
                         .t1 = QStringLiteral("%1,5").arg(4 - i),
                         .t2 = "-2,5",
                         .comment = QStringLiteral("строка %1; ok").arg(i)});
        MainWindowFixture::open(rows, "t.db");
        state.defaultDir = dir.path();
    }
    // The file as Python's csv module reads it: N and the comment of each row.
    QStringList exported(const QString& file)
    {
        const peers::Result py = peers::python(
            "import csv, sys\n"
            "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline=''), "
            "delimiter=';'))\n"
            "assert rows[0][:7] == ['N','Дата','Время','Режим','T1, °C','T2, °C','Примечание']\n"
            "for r in rows[1:]: print(r[0] + '|' + r[4] + '|' + r[6])\n",
            {file});
        if (!py.available || py.exitCode != 0)
            return {QString::fromUtf8(py.err)};
        return QString::fromUtf8(py.out).split(u'\n', Qt::SkipEmptyParts);
    }
};

} // namespace

class TestCsvExportWindow : public QObject
{
    Q_OBJECT

private slots:
    void menuItem()
    {
        Window w;
        QVERIFY(w.form.N35->actions().contains(w.form.CsvExport1));
        QCOMPARE(w.form.CsvExport1->text().remove(u'&'), QStringLiteral("Экспорт в CSV…"));
        QVERIFY(!w.form.CsvExport1->isEnabled()); // no table yet
        w.open();
        QVERIFY(w.form.CsvExport1->isEnabled());
    }

    void rowsInTheGridsOrder()
    {
        Window w;
        w.open();
        const QString out = w.path("out.csv");
        w.dialogs.queueSaveFile(out);
        w.form.CsvExport1->trigger();
        const auto asked = w.dialogs.calls(ScriptedDialogService::Kind::SaveFile);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].request.initialDir, w.dir.path());
        QCOMPARE(asked[0].request.fileName, QStringLiteral("t.csv"));
        QCOMPARE(asked[0].request.defaultExtension, QStringLiteral(".csv"));
        // The Russian settings: a decimal comma, so ";" between fields.
        QCOMPARE(w.exported(out), QStringList({"1|3,5|строка 1; ok", "2|2,5|строка 2; ok",
                                               "3|1,5|строка 3; ok", "4|0,5|строка 4; ok"}));
        QVERIFY(w.dialogs.messages().isEmpty());

        // Sorted by T_1 ascending: reversed.
        DataGrid& grid = *w.form.DBGridPro1;
        const int t1 = grid.columnByField("T_1");
        grid.setTitleState(t1, TitleState::tsSortedDown);
        w.form.DBGridPro1TitleStateChange(t1);
        w.dialogs.queueSaveFile(out);
        w.form.CsvExport1->trigger();
        QCOMPARE(w.exported(out), QStringList({"4|0,5|строка 4; ok", "3|1,5|строка 3; ok",
                                               "2|2,5|строка 2; ok", "1|3,5|строка 1; ok"}));
    }

    void selectedRowsInTheGridsOrder()
    {
        // Selected bottom-up, written top-down; one selected row is no
        // selection (the current row), so the whole table is written.
        Window w;
        w.open();
        DataGrid& grid = *w.form.DBGridPro1;
        grid.selectRange(3, 1);
        QCOMPARE(grid.selectionCount(), 3);
        const QString out = w.path("sel.csv");
        w.dialogs.queueSaveFile(out);
        w.form.CsvExport1->trigger();
        QCOMPARE(w.exported(out),
                 QStringList({"2|2,5|строка 2; ok", "3|1,5|строка 3; ok", "4|0,5|строка 4; ok"}));
    }

    void refusesTheTableAndWritesNothingWhenCancelled()
    {
        Window w;
        w.open();
        const QByteArray before = readFile(w.path("t.db"));
        const QStringList files = QDir(w.dir.path()).entryList(QDir::Files | QDir::Hidden);
        w.dialogs.queueSaveFile(w.path("out.csv"), false); // cancelled
        w.form.CsvExport1->trigger();
        QCOMPARE(QDir(w.dir.path()).entryList(QDir::Files | QDir::Hidden), files);

        w.dialogs.queueSaveFile(w.path("t.db"));
        w.form.CsvExport1->trigger();
        QCOMPARE(w.dialogs.messages().size(), 1);
        QVERIFY2(w.dialogs.messages()[0].text.contains("t.db"),
                 qPrintable(w.dialogs.messages()[0].text));
        QCOMPARE(readFile(w.path("t.db")), before);
        QCOMPARE(QDir(w.dir.path()).entryList(QDir::Files | QDir::Hidden), files);
    }
};

QTEST_MAIN(TestCsvExportWindow)
#include "tst_csv_export_window.moc"
