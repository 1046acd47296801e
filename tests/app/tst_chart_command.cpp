// "Построить график" in the main window: the choice dialog, then the chart
// of the grid's selection (or of the current row alone) with the footers in
// the legend; errors through the default error report.
#include "app/app_state.h"
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "components/date_time_chart.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/scripted_dialog_service.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTest>

namespace {

struct Window : MainWindowFixture
{
    TForm3 form3{printing, &form};
    TForm4 form4{&form};

    Window() { form.attachWindows(nullptr, &form3, &form4, nullptr); }

    // A table with these T_1 texts (T_2 "0,0" when not given), a minute apart.
    void open(const QStringList& t1, const QStringList& t2 = {}, const QString& firstTime = {})
    {
        QList<TestRow> rows = minuteRows(t1, t2);
        if (!firstTime.isEmpty())
            rows[0].time = firstTime;
        MainWindowFixture::open(rows);
    }

    // The user ticks these boxes and presses "Построить"; the chart window
    // is shown, `look` reads it, and it is closed.
    void chart(bool t1, bool t2, const std::function<void(TForm3&)>& look)
    {
        dialogs.queueModal([t1, t2](QDialog& d) {
            auto& f4 = static_cast<TForm4&>(d);
            f4.show();
            if (f4.CheckBox6->isChecked() != t1)
                QTest::mouseClick(f4.CheckBox6, Qt::LeftButton);
            if (f4.CheckBox7->isChecked() != t2)
                QTest::mouseClick(f4.CheckBox7, Qt::LeftButton);
            QTest::mouseClick(f4.Button1, Qt::LeftButton);
            return f4.result();
        });
        dialogs.queueModal([look](QDialog& d) {
            auto& f3 = static_cast<TForm3&>(d);
            f3.show();
            look(f3);
            f3.hide();
            return 0;
        });
        form.N15Click();
    }
};

} // namespace

class TestChartCommand : public QObject
{
    Q_OBJECT

private slots:
    void currentRowAloneWithoutSelection()
    {
        Window w;
        w.open({"20,0", "24,0", "22,0"}, {"1,0", "2,0", "3,0"});
        int points = -1;
        QString legend;
        w.chart(true, false, [&](TForm3& f) {
            points = int(f.Chart1->points(0).size());
            legend = f.Chart1->curveTitle(0);
            QVERIFY(f.Chart1->points(1).isEmpty());
        });
        QCOMPARE(points, 1);
        // With no selection the footer holds the table's statistics.
        QCOMPARE(legend, QString("T1, °C  20/22/24"));
        QCOMPARE(w.dialogs.calls(ScriptedDialogService::Kind::Modal).size(), 2);
    }

    void selectedRowsInTheirOrder()
    {
        Window w;
        w.open({"20,0", "24,0", "22,0", "21,0"}, {"5,0", "6,0", "7,0", "8,0"});
        w.grid().selectRange(1, 2);
        QList<QPointF> t2;
        QString legend2;
        w.chart(true, true, [&](TForm3& f) {
            t2 = f.Chart1->points(1);
            legend2 = f.Chart1->curveTitle(1);
            QCOMPARE(f.Chart1->leftAxisAutomatic(), true); // 6 … 24: more than 10 degrees
        });
        QCOMPARE(t2.size(), 2);
        QCOMPARE(t2[0].y(), 6.0);
        QCOMPARE(t2[1].y(), 7.0);
        QCOMPARE(legend2, QString("T2, °C  6/6,5/7")); // the selection's footer
    }

    void doubleClickThenChartOfAllRows()
    {
        Window w;
        w.open({"20,0", "24,0", "22,0", "21,0", "23,0"});
        w.form.DBGridPro1DblClick();
        int points = 0;
        w.chart(true, false, [&](TForm3& f) { points = int(f.Chart1->points(0).size()); });
        QCOMPARE(points, 5);
    }

    // "Сохранить как изображение…" starts in the default folder with the
    // table's name.
    void saveImageSuggestsTheTablesName()
    {
        Window w;
        w.open({"1,0", "2,0"});
        w.state.defaultDir = w.dir.path();
        w.dialogs.queueSaveFile(QString(), false);
        w.chart(true, false, [](TForm3& f) { f.Chart1->saveImageAction()->trigger(); });
        const auto asked = w.dialogs.calls(ScriptedDialogService::Kind::SaveFile);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].request.initialDir, w.dir.path());
        QCOMPARE(asked[0].request.fileName, QString("rows.png"));
    }

    void cancelledChoiceShowsNoChart()
    {
        Window w;
        w.open({"20,0"});
        w.dialogs.queueModal([](QDialog& d) {
            d.show();
            d.close(); // the close button
            return d.result();
        });
        w.form.N15Click();
        QCOMPARE(w.dialogs.calls(ScriptedDialogService::Kind::Modal).size(), 1);
    }

    // "Сохранить как изображение…" onto the open table, here through a link
    // named like a picture: refused with the default error report, the
    // table as it was.
    void pictureNeverReplacesTheTable()
    {
        Window w;
        w.open({"20,0", "21,0"});
        const QString table = w.dir.filePath("rows.db");
        const QString link = w.dir.filePath("rows.png");
        QVERIFY(QFile::link(table, link));
        QFile file(table);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        w.dialogs.queueSaveFile(link);
        w.chart(true, true, [](TForm3& f) { f.Chart1->saveImageAction()->trigger(); });
        const auto messages = w.dialogs.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, "Файл " + link + " — это сама таблица; укажите другое имя.");
        QCOMPARE(messages[0].icon, DialogService::Icon::Stop);
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), before);
    }

    void conversionErrorIsReported()
    {
        // The footers read no dates: the table opens, and the chart of its
        // first row meets a time that does not exist.
        Window w;
        w.open({"20,0", "21,0"}, {}, "25:00:00");
        bool chartShown = true;
        w.chart(true, false, [&](TForm3& f) { chartShown = f.Chart1->isVisible(); });
        QVERIFY(!chartShown);
        const auto messages = w.dialogs.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, QString("'01.12.2026 25:00:00' is not a valid date and time."));
        QCOMPARE(messages[0].caption, QString("ФЛН-РК2"));
        QCOMPARE(messages[0].icon, DialogService::Icon::Stop);
    }
};

QTEST_MAIN(TestChartCommand)
#include "tst_chart_command.moc"
