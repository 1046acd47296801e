// "Сервис → Сводка…": the window over the whole table or the selected rows,
// its limit fields (kept in the settings store), "Копировать" and "Печать";
// a text that does not convert goes to the default error report.
#include "app/summary_window.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/peers.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

namespace {

struct Window : MainWindowFixture
{
    // Rows a minute apart from 10:00 on 01.12.2026, T_2 "0,0".
    void open(const QStringList& t1, const QString& firstDate = "01.12.2026")
    {
        const QString file = dir.filePath("rows.db");
        {
            DbfTable t;
            t.setTableFile(file);
            t.create();
            t.open();
            for (int i = 0; i < t1.size(); ++i) {
                t.append();
                t.setInteger("N", i + 1);
                t.setText("MODE", i < 2 ? "Оперативный" : "Наблюдения");
                t.setInteger("EN_CH", 3);
                t.setText("DATE", i == 0 ? firstDate : QStringLiteral("01.12.2026"));
                t.setText("TIME", QStringLiteral("10:%1:00").arg(i, 2, 10, QChar('0')));
                t.setText("T_1", t1[i]);
                t.setText("T_2", "0,0");
                t.post();
            }
            t.close();
        }
        form.Open_DB(file);
        QVERIFY(state.tableOpen);
    }
};

// The value cells of the figure row labelled `label`.
QStringList figure(const SummaryWindow& w, const QString& label)
{
    for (int r = 0; r < w.Figures->rowCount(); ++r)
        if (w.Figures->item(r, 0) && w.Figures->item(r, 0)->text() == label) {
            QStringList cells;
            for (int c = 1; c < w.Figures->columnCount(); ++c)
                cells << (w.Figures->item(r, c) ? w.Figures->item(r, c)->text() : QString());
            while (!cells.isEmpty() && cells.last().isEmpty())
                cells.removeLast(); // a recording row has one value
            return cells;
        }
    return {QStringLiteral("no row ") + label};
}

void setField(QLineEdit* e, const QString& text)
{
    e->setText(text);
    emit e->editingFinished();
}

} // namespace

class TestSummaryWindow : public QObject
{
    Q_OBJECT

private slots:
    void menuItems()
    {
        Window w;
        QVERIFY(w.form.N35->actions().contains(w.form.SummaryItem));
        QCOMPARE(w.form.SummaryItem->text().remove(u'&'), QStringLiteral("Сводка…"));
        QVERIFY(w.form.PopupMenu1->actions().contains(w.form.SummaryPopupItem));
        QVERIFY(!w.form.SummaryItem->isEnabled()); // no table yet
        w.open({"1,0"});
        QVERIFY(w.form.SummaryItem->isEnabled());
    }

    void wholeTableLimitsCopyPrint()
    {
        Window w;
        w.open({"1,0", "2,0", "3,0", "10,0"});
        const QString pdfDir = w.dir.filePath("pdf");
        QVERIFY(QDir().mkpath(pdfDir));
        w.printing.setPdfDirectory(pdfDir);
        bool shown = false;
        w.dialogs.queueModal([&](QDialog& d) {
            auto& s = static_cast<SummaryWindow&>(d);
            shown = true;
            [&] {
                QCOMPARE(s.windowTitle(), QStringLiteral("Сводка"));
                QCOMPARE(s.Period->text(), QStringLiteral("Вся таблица: 4 записей"));
                QCOMPARE(figure(s, "Записей"), QStringList{"4"});
                QCOMPARE(figure(s, "Интервал"), QStringList{"00:01:00"});
                QCOMPARE(figure(s, "Режим «Наблюдения»"), QStringList{"2"});
                QCOMPARE(figure(s, "Среднее"), (QStringList{"4,00", "0,00"}));
                QCOMPARE(figure(s, "Максимум"), (QStringList{"10", "0"}));
                QCOMPARE(figure(s, "Выше границы: показаний"), (QStringList{"—", "—"}));
                QCOMPARE(s.Days->rowCount(), 1);
                QCOMPARE(s.Days->item(0, 0)->text(), QStringLiteral("01.12.2026"));

                // A limit recomputes and is kept; a text that is no number is refused.
                setField(s.Upper1, "5");
                QCOMPARE(figure(s, "Выше границы: показаний"), (QStringList{"1", "—"}));
                QCOMPARE(figure(s, "Выше границы: время"), (QStringList{"00:01:00", "—"}));
                QCOMPARE(w.settings.readString("Summary_T1_Upper"), QStringLiteral("5"));
                setField(s.Lower1, "1,5");
                QCOMPARE(figure(s, "Ниже границы: первый выход"),
                         (QStringList{"01.12.2026 10:00:00", "—"}));
                QCOMPARE(w.settings.readString("Summary_T1_Lower"), QStringLiteral("1.5"));
                setField(s.Upper2, "abc");
                QVERIFY(!s.Problem->text().isEmpty());
                QVERIFY(!w.settings.readString("Summary_T2_Upper").contains("abc"));
                setField(s.Upper2, "");
                QVERIFY(s.Problem->text().isEmpty());

                QTest::mouseClick(s.CopyButton, Qt::LeftButton);
                const QString copied = QApplication::clipboard()->text();
                QVERIFY2(copied.contains("Выше границы: показаний\t1\t—\n"), qPrintable(copied));
                QVERIFY2(copied.contains("01.12.2026\t4\t1\t4,00\t10\t00:02:00\t0\t0,00\t0\t00:00:00"),
                         qPrintable(copied));

                QTest::mouseClick(s.PrintButton, Qt::LeftButton);
                const QString pdf = pdfDir + "/Сводка.pdf";
                QVERIFY(QFile::exists(pdf));
                const peers::Result info = peers::run("pdfinfo", {pdf});
                if (info.available)
                    QVERIFY2(QString::fromUtf8(info.out).contains(QRegularExpression("Pages: +1\n")),
                             info.out.constData());
                const peers::Result text = peers::run("pdftotext", {"-layout", pdf, "-"});
                if (text.available)
                    QVERIFY2(QString::fromUtf8(text.out).contains("MKT"), text.out.constData());
            }();
            QTest::mouseClick(s.CloseButton, Qt::LeftButton);
            return s.result();
        });
        w.form.SummaryItem->trigger();
        QVERIFY(shown);
        QVERIFY(w.dialogs.messages().isEmpty());

        // The grid shows the readings out of the new limits in their own
        // text colours; the column colours stay.
        DataGridModel* m = w.form.DBGridPro1->model();
        const int col = w.form.DBGridPro1->columnByField("T_1");
        const auto fg = [&](int row, int column) {
            return m->data(m->index(row, column), Qt::ForegroundRole).value<QColor>();
        };
        QCOMPARE(fg(3, col), TForm1::kAboveLimitColour); // 10,0 > 5
        QCOMPARE(fg(0, col), TForm1::kBelowLimitColour); // 1,0 < 1,5
        QVERIFY(!fg(1, col).isValid());
        QVERIFY(!fg(3, w.form.DBGridPro1->columnByField("T_2")).isValid());
        QVERIFY(!m->data(m->index(3, col), Qt::BackgroundRole).isValid());

        // The next window starts with the stored limits.
        w.dialogs.queueModal([&](QDialog& d) {
            auto& s = static_cast<SummaryWindow&>(d);
            [&] {
                QCOMPARE(s.Upper1->text(), QStringLiteral("5"));
                QCOMPARE(s.Lower1->text(), QStringLiteral("1,5"));
                QCOMPARE(s.Upper2->text(), QString());
            }();
            return 0;
        });
        w.form.SummaryPopupItem->trigger();
    }

    // A ΔH the command would refuse, or a lower limit above the upper one,
    // is said under the figures and neither taken nor stored: the window
    // keeps its figures and every later `fln summary` its options.
    void implausibleValuesRefused()
    {
        Window w;
        w.open({"1,0", "2,0", "10,0"});
        w.settings.writeString("Summary_DH", "83.144");
        bool shown = false;
        w.dialogs.queueModal([&](QDialog& d) {
            auto& s = static_cast<SummaryWindow&>(d);
            shown = true;
            [&] {
                for (const char* dh : {"1e-16", "0,5", "1001", "abc"}) {
                    setField(s.ActivationEnergy, QString::fromLatin1(dh));
                    QCOMPARE(
                        s.Problem->text(),
                        QStringLiteral("ΔH: «%1» — нужно число от 1 до 1000 кДж/моль").arg(dh));
                    QCOMPARE(s.summary().activationEnergy, 83.144);
                    QCOMPARE(w.settings.readString("Summary_DH"), QStringLiteral("83.144"));
                }
                setField(s.ActivationEnergy, "60");
                QVERIFY(s.Problem->text().isEmpty());
                QCOMPARE(w.settings.readString("Summary_DH"), QStringLiteral("60"));

                setField(s.Lower1, "9");
                setField(s.Upper1, "2");
                QCOMPARE(s.Problem->text(), QStringLiteral("T1: нижняя граница 9 выше верхней 2"));
                QVERIFY(!s.summary().channels[0].upper);
                QCOMPARE(w.settings.readString("Summary_T1_Upper"), QString());
                setField(s.Upper2, "-1,5");
                setField(s.Lower2, "0");
                QCOMPARE(s.Problem->text(), QStringLiteral("T1: нижняя граница 9 выше верхней 2"));
                setField(s.Upper1, "");
                QCOMPARE(s.Problem->text(),
                         QStringLiteral("T2: нижняя граница 0 выше верхней -1,5"));
                QCOMPARE(w.settings.readString("Summary_T2_Lower"), QString());
                setField(s.Lower2, "-2");
                QVERIFY(s.Problem->text().isEmpty());
                QCOMPARE(w.settings.readString("Summary_T2_Lower"), QStringLiteral("-2"));
                QCOMPARE(*s.summary().channels[1].upper, -1.5);
            }();
            QTest::mouseClick(s.CloseButton, Qt::LeftButton);
            return s.result();
        });
        w.form.SummaryItem->trigger();
        QVERIFY(shown);
    }

    void selectedRows()
    {
        Window w;
        w.open({"1,0", "2,0", "3,0", "10,0"});
        w.form.DBGridPro1->selectRange(1, 3);
        w.dialogs.queueModal([&](QDialog& d) {
            auto& s = static_cast<SummaryWindow&>(d);
            [&] {
                QCOMPARE(s.Period->text(), QStringLiteral("Выделено строк: 3"));
                QCOMPARE(figure(s, "Записей"), QStringList{"3"});
                QCOMPARE(figure(s, "Минимум"), (QStringList{"2", "0"}));
                QCOMPARE(figure(s, "Начало"), QStringList{"01.12.2026 10:01:00"});
            }();
            return 0;
        });
        w.form.SummaryItem->trigger();
        QCOMPARE(w.dialogs.calls(ScriptedDialogService::Kind::Modal).size(), 1);
    }

    void conversionErrorReported()
    {
        Window w;
        w.open({"1,0", "2,0"}, "32.12.2026");
        w.form.SummaryItem->trigger();
        QCOMPARE(w.dialogs.calls(ScriptedDialogService::Kind::Modal).size(), 0);
        QCOMPARE(w.dialogs.messages().size(), 1);
        QCOMPARE(w.dialogs.messages().first().text,
                 QStringLiteral("'32.12.2026 10:00:00' is not a valid date and time."));
    }
};

QTEST_MAIN(TestSummaryWindow)
#include "tst_summary_window.moc"
