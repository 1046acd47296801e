// The footers' statistics, deleting rows and renumbering, in the main window
// over small tables made for each case.
#include "app/app_state.h"
#include "components/grid_row_source.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/scripted_dialog_service.h"

#include <QTest>

namespace {

struct Window : MainWindowFixture
{
    // Writes a table with these T_1 and T_2 texts (T_2 "0,0" when not given)
    // and N = 1, 2, ..., and opens it.
    void open(const QStringList& t1, const QStringList& t2 = {})
    {
        MainWindowFixture::open(minuteRows(t1, t2));
    }
    QList<qint64> numbers()
    {
        QList<qint64> n;
        for (form.Dbf1.first(); !form.Dbf1.eof(); form.Dbf1.next())
            n << form.Dbf1.integer("N").value_or(-1);
        return n;
    }
};

} // namespace

class TestRows : public QObject
{
    Q_OBJECT

private slots:
    void tableStatistics_data()
    {
        QTest::addColumn<QStringList>("t1");
        QTest::addColumn<QString>("footer");
        QTest::newRow("one row") << QStringList{" 5,3"} << "5,3/5,3/5,3";
        QTest::newRow("10,0 and 10,1") << QStringList{"10,0", "10,1"} << "10/10,1/10,1";
        QTest::newRow("2,2 and 2,3") << QStringList{" 2,2", " 2,3"} << "2,2/2,2/2,3";
    }
    void tableStatistics()
    {
        QFETCH(QStringList, t1);
        QFETCH(QString, footer);
        Window w;
        w.open(t1);
        QCOMPARE(w.footer("T_1"), footer);
        QCOMPARE(w.footer("T_2"), "0/0/0");
    }

    void selectionStatistics()
    {
        Window w;
        w.open({"-5,4", "-5,3", "20,0"}, {"1,0", "3,0", "2,0"});
        const QString table = "-5,4/3,1/20";
        QCOMPARE(w.footer("T_1"), table);

        w.grid().toggleRowSelected(0);
        w.grid().toggleRowSelected(1);
        QCOMPARE(w.footer("T_1"), "-5,4/-5,3/-5,3");
        QCOMPARE(w.footer("T_2"), "1/2/3");

        // One row selected (a plain click): the table's statistics again.
        w.grid().clearSelection();
        w.grid().toggleRowSelected(2);
        QCOMPARE(w.footer("T_1"), table);

        // A double click selects every row: the selection's statistics over all.
        w.grid().clearSelection();
        w.form.DBGridPro1DblClick();
        QCOMPARE(w.grid().selectionCount(), 3);
        QCOMPARE(w.footer("T_1"), table);
        QCOMPARE(w.footer("T_2"), "1/2/3");
    }

    void deletingAllButOneRow()
    {
        Window w;
        w.open({"1,0", "2,0", "-7,5"}, {"4,0", "5,0", "6,0"});
        w.grid().toggleRowSelected(0);
        w.grid().toggleRowSelected(1);
        w.state.modified = true;
        w.form.N21Click();
        QVERIFY(!w.state.modified);
        QCOMPARE(w.form.Dbf1.rowCount(), 1);
        QCOMPARE(w.form.Dbf1.header().recordCount, 1u); // packed, not only marked
        QCOMPARE(w.footer("T_1"), "-7,5/-7,5/-7,5");
        QCOMPARE(w.footer("T_2"), "6/6/6");
        QCOMPARE(w.dialogs.calls().size(), 0); // no question before deleting
    }

    // A table with no rows has no figures: the previous table's must not show.
    void noRowsNoFigures()
    {
        Window w;
        w.open({"1,0", "2,0"}, {"4,0", "5,0"});
        QCOMPARE(w.footer("T_1"), "1/1,5/2");
        w.form.Close_DB();
        w.open({});
        QCOMPARE(w.footer("T_1"), QString());
        QCOMPARE(w.footer("T_2"), QString());

        w.form.Close_DB();
        w.open({"1,0", "2,0"}, {"4,0", "5,0"});
        w.form.DBGridPro1DblClick(); // every row selected
        w.form.N21Click();
        QCOMPARE(w.form.Dbf1.rowCount(), 0);
        QCOMPARE(w.footer("T_1"), QString());
        QCOMPARE(w.footer("T_2"), QString());
    }

    void gapsThenRenumbering()
    {
        Window w;
        w.open({"1,0", "2,0", "3,0", "4,0", "5,0"});
        w.grid().toggleRowSelected(1);
        w.grid().toggleRowSelected(3);
        w.form.N21Click();
        QCOMPARE(w.numbers(), (QList<qint64>{1, 3, 5}));
        w.form.N37Click();
        QCOMPARE(w.numbers(), (QList<qint64>{1, 2, 3}));
        QCOMPARE(w.footer("T_1"), "1/3/5");
    }

    void renumberingSortedByN()
    {
        Window w;
        w.open({"1,0", "2,0", "3,0", "4,0"});
        w.form.Dbf1.addSortTag("tab1", "N", true);
        w.form.Dbf1.selectSortTag("tab1");
        w.form.N37Click();
        // Shown 4, 3, 2, 1: each row is numbered once, in the order shown,
        // and the order by N stays selected.
        QCOMPARE(w.form.Dbf1.selectedSortTag().toLower(), "tab1");
        QCOMPARE(w.numbers(), (QList<qint64>{4, 3, 2, 1}));
        w.form.Dbf1.selectSortTag(QString());
        QCOMPARE(w.numbers(), (QList<qint64>{4, 3, 2, 1})); // file order
    }
};

QTEST_MAIN(TestRows)
#include "tst_rows.moc"
