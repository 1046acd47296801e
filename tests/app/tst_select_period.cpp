// "Правка → Выделить период…" and the chart window's "Выделить показанное":
// the grid selects exactly the rows of the period, in its browsing order, and
// the footers follow; a period without rows, or one that ends before it
// starts, is said and the selection stays.
#include "app/period_dialog.h"
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "components/data_grid.h"
#include "components/data_grid_model.h"
#include "components/date_time_chart.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/scripted_dialog_service.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {

const QDate kDay(2026, 12, 1);

// Ten rows a minute apart from 10:00 on 01.12.2026; record 7 is put back
// to 10:03:30 (a clock step back), so the period 10:03–10:04 holds records
// 4, 5 and 7 in record order. T_1 is 20 + the record's number.
QList<TestRow> rows()
{
    QStringList t1;
    for (int i = 1; i <= 10; ++i)
        t1 << QStringLiteral("%1,0").arg(20 + i);
    QList<TestRow> r = minuteRows(t1);
    r[6].time = QStringLiteral("10:03:30");
    return r;
}

struct Window : MainWindowFixture
{
    TForm3 form3{printing, &form};
    TForm4 form4{&form};

    Window()
    {
        form.attachWindows(nullptr, &form3, &form4, nullptr);
        open(rows());
    }

    // The record numbers of the grid's selection, in its order.
    QList<qint64> selected() const
    {
        QList<qint64> r;
        for (int i = 0; i < grid().model()->selectionSize(); ++i)
            r << grid().model()->selectionBookmark(i);
        return r;
    }

    // The user sets the fields (when given), may press a shortcut, and OKs.
    void choose(const QTime& from, const QTime& to, QPushButton* PeriodDialog::*shortcut = nullptr,
                Period* seen = nullptr, Period* shown = nullptr)
    {
        dialogs.queueModal([=](QDialog& d) {
            auto& p = static_cast<PeriodDialog&>(d);
            if (shown)
                *shown = p.period();
            if (from.isValid())
                p.From->setDateTime(QDateTime(kDay, from, Qt::UTC));
            if (to.isValid())
                p.To->setDateTime(QDateTime(kDay, to, Qt::UTC));
            if (shortcut)
                QTest::mouseClick(p.*shortcut, Qt::LeftButton);
            if (seen)
                *seen = p.period();
            return int(QDialog::Accepted);
        });
        form.SelectPeriodClick();
    }
};

qint64 at(int h, int m, int s = 0)
{
    return momentOf(kDay, QTime(h, m, s));
}

} // namespace

class TestSelectPeriod : public QObject
{
    Q_OBJECT

private slots:
    void inBothMenus()
    {
        Window w;
        QVERIFY(w.form.N13->actions().contains(w.form.SelectPeriod1));
        QVERIFY(w.form.PopupMenu1->actions().contains(w.form.SelectPeriodPopupItem));
        QCOMPARE(w.form.SelectPeriod1->text(), QStringLiteral("Выделить пер&иод…"));
        w.form.N7Click(); // "Закрыть"
        QVERIFY(!w.form.SelectPeriod1->isEnabled());
    }

    // The fields start at the table's first and last moment: 10:00 and 10:09,
    // whatever the order of the rows.
    void filledWithTheTablesSpan()
    {
        Window w;
        Period shown;
        w.choose({}, {}, nullptr, nullptr, &shown);
        QCOMPARE(shown.from, std::optional<qint64>(at(10, 0)));
        QCOMPARE(shown.to, std::optional<qint64>(at(10, 9)));
        QCOMPARE(w.selected(), (QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    }

    void selectsExactlyThePeriodsRows_data()
    {
        QTest::addColumn<QTime>("from");
        QTest::addColumn<QTime>("to");
        QTest::addColumn<QList<qint64>>("expected");
        QTest::addColumn<QString>("footer");
        QTest::newRow("edges included, the step back inside")
            << QTime(10, 3) << QTime(10, 4) << QList<qint64>{4, 5, 7} << "24/25,3/27";
        QTest::newRow("one moment")
            << QTime(10, 3, 30) << QTime(10, 3, 30) << QList<qint64>{7} << "27/27/27";
        QTest::newRow("to the end")
            << QTime(10, 8) << QTime(23, 0) << QList<qint64>{9, 10} << "29/29,5/30";
    }

    void selectsExactlyThePeriodsRows()
    {
        QFETCH(QTime, from);
        QFETCH(QTime, to);
        QFETCH(QList<qint64>, expected);
        QFETCH(QString, footer);
        Window w;
        w.grid().selectRange(0, 1); // an earlier selection goes
        w.choose(from, to);
        QCOMPARE(w.selected(), expected);
        if (expected.size() > 1) // a single row shows the table's footers
            QCOMPARE(w.footer("T_1"), footer);
        QCOMPARE(w.dialogs.messages().size(), 0);
        QCOMPARE(w.form.Dbf1.recNo(), quint32(expected.first())); // where the period starts
    }

    void shortcuts()
    {
        Window w;
        Period seen;
        w.choose(QTime(10, 5), QTime(10, 6), &PeriodDialog::WholeDay, &seen);
        QCOMPARE(seen.from, std::optional<qint64>(at(0, 0)));
        QCOMPARE(seen.to, std::optional<qint64>(at(23, 59, 59)));
        w.choose(QTime(10, 5), QTime(10, 6), &PeriodDialog::LastDay, &seen);
        // The table spans less than a day: from its first moment.
        QCOMPARE(seen.from, std::optional<qint64>(at(10, 0)));
        QCOMPARE(seen.to, std::optional<qint64>(at(10, 9)));
        w.choose(QTime(10, 5), QTime(10, 6), &PeriodDialog::WholeTable, &seen);
        QCOMPARE(seen.from, std::optional<qint64>(at(10, 0)));
        QCOMPARE(seen.to, std::optional<qint64>(at(10, 9)));
    }

    void refusedPeriodKeepsTheSelection_data()
    {
        QTest::addColumn<QTime>("from");
        QTest::addColumn<QTime>("to");
        QTest::addColumn<QString>("said");
        QTest::newRow("between two rows")
            << QTime(10, 4, 1) << QTime(10, 4, 59)
            << "В период с 01.12.2026 10:04:01 по 01.12.2026 10:04:59 не попала ни одна "
               "запись.\nВыделение не изменено.";
        QTest::newRow("before the table")
            << QTime(8, 0) << QTime(9, 59, 59)
            << "В период с 01.12.2026 08:00:00 по 01.12.2026 09:59:59 не попала ни одна "
               "запись.\nВыделение не изменено.";
        QTest::newRow("from after to") << QTime(10, 5) << QTime(10, 4)
                                       << "Начало периода позже его конца.\nВыделение не изменено.";
    }

    void refusedPeriodKeepsTheSelection()
    {
        QFETCH(QTime, from);
        QFETCH(QTime, to);
        QFETCH(QString, said);
        Window w;
        w.grid().selectRange(1, 2);
        const QString footer = w.footer("T_1");
        w.choose(from, to);
        QCOMPARE(w.dialogs.messages().size(), 1);
        QCOMPARE(w.dialogs.messages().first().text, said);
        QCOMPARE(w.selected(), (QList<qint64>{2, 3}));
        QCOMPARE(w.footer("T_1"), footer);
    }

    void cancelKeepsTheSelection()
    {
        Window w;
        w.grid().selectRange(1, 2);
        w.dialogs.queueModal([](QDialog&) { return int(QDialog::Rejected); });
        w.form.SelectPeriodClick();
        QCOMPARE(w.selected(), (QList<qint64>{2, 3}));
    }

    // A zoom becomes a selection: the rows whose moment lies in the time
    // range the chart shows, and the window closes on them.
    void chartSelectsWhatItShows()
    {
        Window w;
        w.form.DBGridPro1DblClick(); // every row in the chart
        qint64 shownFrom = 0, shownTo = 0;
        int result = -1;
        w.dialogs.queueModal([](QDialog& d) {
            auto& f4 = static_cast<TForm4&>(d);
            f4.show();
            if (!f4.CheckBox6->isChecked()) // T1
                QTest::mouseClick(f4.CheckBox6, Qt::LeftButton);
            QTest::mouseClick(f4.Button1, Qt::LeftButton);
            return f4.result();
        });
        w.dialogs.queueModal([&](QDialog& d) {
            auto& f3 = static_cast<TForm3&>(d);
            f3.show();
            [&] {
                QVERIFY(f3.SelectShown1->isVisible());
                // The middle of the plot: about 10:02 to 10:07.
                const QRectF plot = f3.Chart1->plotArea();
                f3.Chart1->zoomTo(QRectF(plot.left() + plot.width() * 0.25, plot.top(),
                                         plot.width() * 0.5, plot.height()));
                QTRY_VERIFY(!f3.Chart1->refreshPending());
                shownFrom = qint64(std::ceil(f3.Chart1->bottomAxisMin()));
                shownTo = qint64(std::floor(f3.Chart1->bottomAxisMax()));
                QTest::mouseClick(f3.SelectShown1, Qt::LeftButton);
            }();
            result = f3.result();
            f3.hide();
            return result;
        });
        w.form.N15Click();
        QCOMPARE(result, int(QDialog::Accepted));
        // The rows' own moments against the range shown, in record order.
        QList<qint64> expected;
        const QList<TestRow> table = rows();
        for (qsizetype i = 0; i < table.size(); ++i) {
            const qint64 ms =
                QDateTime(kDay, QTime::fromString(table[i].time, QStringLiteral("HH:mm:ss")))
                    .toMSecsSinceEpoch();
            if (ms >= shownFrom && ms <= shownTo)
                expected << i + 1;
        }
        QVERIFY2(expected.size() >= 2 && expected.size() < table.size(),
                 qPrintable(QString::number(expected.size())));
        QCOMPARE(w.selected(), expected);
    }
};

QTEST_MAIN(TestSelectPeriod)
#include "tst_select_period.moc"
