// The main window's status bar below the grid: the records of the table, the
// rows selected, what the footers sum up, the table's period, and after a
// save, a print or an export what was written where, with "Открыть папку".
#include "tests/support/main_window_fixture.h"

#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

struct Window : MainWindowFixture
{
    QStringList opened; // what the desktop was asked to open

    Window()
    {
        form.setWorkbookDesktop(dir.path(), [this](const QString& path) {
            opened << path;
            return true;
        });
    }

    QString text(const char* label) const
    {
        const auto* l = form.StatusBar1->findChild<QLabel*>(QString::fromLatin1(label));
        return l && l->isVisibleTo(&form) ? l->text() : QStringLiteral("(hidden)");
    }
    bool openFolderOffered() const { return form.OpenFolder1->isVisibleTo(&form); }
};

// `count` rows a minute apart from 01.12.2026 10:00:00.
QList<TestRow> rowsOf(int count)
{
    QStringList t1;
    for (int i = 0; i < count; ++i)
        t1 << QStringLiteral("%1,0").arg(i % 30);
    return minuteRows(t1);
}

const QString kNbsp = QStringLiteral("\u00A0");

} // namespace

class TestStatusBar : public QObject
{
    Q_OBJECT

private slots:
    // The Russian forms after a count, and its digits grouped.
    void countTexts_data()
    {
        QTest::addColumn<qint64>("n");
        QTest::addColumn<QString>("records");
        QTest::addColumn<QString>("selected");
        QTest::newRow("0") << qint64(0) << "В таблице 0 записей"
                           << "выделено 0 строк";
        QTest::newRow("1") << qint64(1) << "В таблице 1 запись"
                           << "выделена 1 строка";
        QTest::newRow("2") << qint64(2) << "В таблице 2 записи"
                           << "выделено 2 строки";
        QTest::newRow("4") << qint64(4) << "В таблице 4 записи"
                           << "выделено 4 строки";
        QTest::newRow("5") << qint64(5) << "В таблице 5 записей"
                           << "выделено 5 строк";
        QTest::newRow("11") << qint64(11) << "В таблице 11 записей"
                            << "выделено 11 строк";
        QTest::newRow("12") << qint64(12) << "В таблице 12 записей"
                            << "выделено 12 строк";
        QTest::newRow("14") << qint64(14) << "В таблице 14 записей"
                            << "выделено 14 строк";
        QTest::newRow("21") << qint64(21) << "В таблице 21 запись"
                            << "выделена 21 строка";
        QTest::newRow("22") << qint64(22) << "В таблице 22 записи"
                            << "выделено 22 строки";
        QTest::newRow("111") << qint64(111) << "В таблице 111 записей"
                             << "выделено 111 строк";
        QTest::newRow("432") << qint64(432) << "В таблице 432 записи"
                             << "выделено 432 строки";
        QTest::newRow("1001") << qint64(1001) << "В таблице 1" + kNbsp + "001 запись"
                              << "выделена 1" + kNbsp + "001 строка";
        QTest::newRow("1000000") << qint64(1000000)
                                 << "В таблице 1" + kNbsp + "000" + kNbsp + "000 записей"
                                 << "выделено 1" + kNbsp + "000" + kNbsp + "000 строк";
    }
    void countTexts()
    {
        QFETCH(qint64, n);
        QFETCH(QString, records);
        QFETCH(QString, selected);
        QCOMPARE(TForm1::recordsText(n), records);
        QCOMPARE(TForm1::selectedText(n), selected);
    }

    void noTableNoFigures()
    {
        Window w;
        QVERIFY(w.form.statusBar() == w.form.StatusBar1);
        for (const char* l :
             {"RecordsStatus", "SelectedStatus", "FootersStatus", "PeriodStatus", "OutputStatus"})
            QCOMPARE(w.text(l), QString("(hidden)"));
        QVERIFY(!w.openFolderOffered());
    }

    // The footers' rule read back: one row selected is the whole table, two
    // or more are summed up themselves.
    void selectionAndFooters()
    {
        Window w;
        w.open(rowsOf(25), "t.db");
        QCOMPARE(w.text("RecordsStatus"), QString("В таблице 25 записей"));
        QCOMPARE(w.text("SelectedStatus"), QString("Выделена 1 строка"));
        QCOMPARE(w.text("FootersStatus"), QString("Итоги: вся таблица"));

        DataGrid& grid = w.grid();
        grid.setFocus();
        for (int i = 0; i < 11; ++i)
            grid.extendSelectionDown();
        QCOMPARE(grid.selectionCount(), 12);
        QCOMPARE(w.text("SelectedStatus"), QString("Выделено 12 строк"));
        QCOMPARE(w.text("FootersStatus"), QString("Итоги: выделено 12 строк"));
        for (int i = 0; i < 9; ++i)
            grid.extendSelectionDown();
        QCOMPARE(w.text("FootersStatus"), QString("Итоги: выделена 21 строка"));
        grid.extendSelectionDown();
        QCOMPARE(w.text("FootersStatus"), QString("Итоги: выделено 22 строки"));

        // Deleting them: the records and the footers follow.
        w.form.N21Click();
        QCOMPARE(w.text("RecordsStatus"), QString("В таблице 3 записи"));
        QCOMPARE(w.text("FootersStatus"), QString("Итоги: вся таблица"));

        w.form.N7Click(); // "Закрыть"
        QCOMPARE(w.text("RecordsStatus"), QString("(hidden)"));
        QCOMPARE(w.text("PeriodStatus"), QString("(hidden)"));
    }

    // The period is the earliest and the latest moment, not the first and
    // the last row: rows out of time order, across months and years, and a
    // row whose date is none.
    void period()
    {
        QList<TestRow> rows = minuteRows({"1,0", "2,0", "3,0", "4,0", "5,0"});
        rows[0].date = "15.01.2027";
        rows[0].time = "08:00:00";
        rows[1].date = "31.12.2026";
        rows[1].time = "23:59:59";
        rows[2].date = "02.11.2026";
        rows[2].time = "00:00:01";
        rows[3].date = "31.02.2026"; // no such day
        rows[4].date = "16.12.2026";
        rows[4].time = "12:30:00";
        Window w;
        w.open(rows, "t.db");
        QCOMPARE(w.text("PeriodStatus"),
                 QString("Период: 02.11.2026 00:00:01 – 15.01.2027 08:00:00"));

        // Sorting does not change it; deleting the earliest row does.
        DataGrid& grid = w.grid();
        const int t1 = grid.columnByField("T_1");
        grid.setTitleState(t1, TitleState::tsSortedDown);
        w.form.DBGridPro1TitleStateChange(t1);
        QCOMPARE(w.text("PeriodStatus"),
                 QString("Период: 02.11.2026 00:00:01 – 15.01.2027 08:00:00"));
        w.form.reset_sort("tab1");
        w.form.Dbf1.goToRecord(3);
        w.form.N21Click();
        QCOMPARE(w.text("PeriodStatus"),
                 QString("Период: 16.12.2026 12:30:00 – 15.01.2027 08:00:00"));
    }

    void emptyTableHasNoPeriod()
    {
        Window w;
        w.open({}, "t.db");
        QCOMPARE(w.text("RecordsStatus"), QString("В таблице 0 записей"));
        QCOMPARE(w.text("PeriodStatus"), QString("(hidden)"));
    }

    // After a save: the table's path, and its folder on offer.
    void saveSaysWhere()
    {
        Window w;
        w.open(rowsOf(3), "t.db");
        QCOMPARE(w.text("OutputStatus"), QString("(hidden)"));
        w.form.N5Click();
        QCOMPARE(w.text("OutputStatus"),
                 "Таблица сохранена: " + QDir::toNativeSeparators(w.path("t.db")));
        QVERIFY(w.openFolderOffered());
        QTest::mouseClick(w.form.OpenFolder1, Qt::LeftButton);
        QCOMPARE(w.opened, QStringList{w.dir.path()});
    }

    // A folder that no program opens: the user is told, nothing else.
    void folderThatDoesNotOpen()
    {
        Window w;
        w.form.setWorkbookDesktop(w.dir.path(), [](const QString&) { return false; });
        w.open(rowsOf(3), "t.db");
        w.form.N5Click();
        w.form.OpenFolder1Click();
        const auto said = w.dialogs.messages();
        QCOMPARE(said.size(), 1);
        QCOMPARE(said[0].text,
                 "Не удается открыть папку " + QDir::toNativeSeparators(w.dir.path()));
    }

    // After printing to PDF: the file; on a printer: its name, no folder.
    void printSaysWhere()
    {
        Window w;
        QTemporaryDir pdf;
        w.printing.setPdfDirectory(pdf.path());
        w.open(rowsOf(3), "t.db");
        w.dialogs.queuePrintSetup(true);
        w.form.N9Click();
        const QString file = pdf.filePath("t.pdf");
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(w.text("OutputStatus"), "Отчет сохранен: " + QDir::toNativeSeparators(file));
        w.form.OpenFolder1Click();
        QCOMPARE(w.opened, QStringList{pdf.path()});

        // Cancelled in the print dialog: nothing was written, nothing new said.
        w.form.N5Click();
        w.dialogs.queuePrintSetup(false);
        w.form.N9Click();
        QVERIFY(w.text("OutputStatus").startsWith("Таблица сохранена: "));
    }
};

QTEST_MAIN(TestStatusBar)
#include "tst_status_bar.moc"
