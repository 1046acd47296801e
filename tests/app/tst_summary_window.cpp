// "Сервис → Сводка…": the window over the whole table or the selected rows,
// its limit fields (kept in the settings store), "Копировать" and "Печать"
// (with "Сохранить в PDF…" where there is no printer); a text that does not
// convert goes to the default error report. The program runs on a screen of
// 1366 × 768, the smallest the window must fit whole.
#include "app/summary_window.h"
#include "components/data_grid.h"
#include "components/data_grid_model.h"
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
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QTest>

namespace {

struct Window : MainWindowFixture
{
    // Rows a minute apart from 10:00 on 01.12.2026, T_2 "0,0".
    void open(const QStringList& t1, const QString& firstDate = "01.12.2026")
    {
        QList<TestRow> rows = minuteRows(t1);
        for (qsizetype i = 2; i < rows.size(); ++i)
            rows[i].mode = QStringLiteral("Наблюдения");
        if (!rows.isEmpty())
            rows[0].date = firstDate;
        MainWindowFixture::open(rows);
    }
};

// The value cells of the figure row labelled `label`, in the recording's
// table or the channels'.
QStringList figure(const SummaryWindow& w, const QString& label)
{
    for (const QTableWidget* t : {w.Figures, w.Channels})
        for (int r = 0; r < t->rowCount(); ++r)
            if (t->item(r, 0) && t->item(r, 0)->text() == label) {
                QStringList cells;
                for (int c = 1; c < t->columnCount(); ++c)
                    cells << (t->item(r, c) ? t->item(r, c)->text() : QString());
                return cells;
            }
    return {QStringLiteral("no row ") + label};
}

// A column of a table as the user reads it, heading excluded.
QStringList column(const QTableWidget* t, int c)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r)
        out << (t->item(r, c) ? t->item(r, c)->text() : QString());
    return out;
}

const QChar kNbsp(0x00A0);

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
        QString period;
        w.dialogs.queueModal([&](QDialog& d) {
            period = static_cast<SummaryWindow&>(d).Period->text();
            return 0;
        });
        w.form.SummaryItem->trigger();
        QCOMPARE(period, QStringLiteral("Вся таблица: 1 запись"));
    }

    // Ten days of a one-minute recording with a half-hour gap, both channels
    // limited: every table shows whole on a 1366 × 768 screen, counts are
    // grouped, every column keeps one number of decimals, and each channel
    // has its share of time within the limits.
    void wholeOnASmallScreen()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->size(), QSize(1366, 768));
        MainWindowFixture w;
        QList<TestRow> rows;
        const QDateTime start(QDate(2026, 12, 1), QTime(0, 0));
        for (int i = 0; i < 14400; ++i) {
            if (i >= 2000 && i < 2030)
                continue; // the instrument was off
            const QDateTime at = start.addSecs(60 * i);
            // T1 above 8,5 every tenth minute, T2 below -20 every fourth.
            rows.append({rows.size() % 9999 + 1,
                         "Наблюдения",
                         3,
                         at.toString("dd.MM.yyyy"),
                         at.toString("HH:mm:ss"),
                         i % 10 == 0 ? " 9,0" : " 5,0",
                         i % 4 == 0 ? "-25,0" : "-18,0",
                         {}});
        }
        w.settings.writeString("Summary_T1_Lower", "2");
        w.settings.writeString("Summary_T1_Upper", "8.5");
        w.settings.writeString("Summary_T2_Lower", "-20");
        w.settings.writeString("Summary_T2_Upper", "0");
        w.open(rows);

        bool shown = false;
        w.dialogs.queueModal([&](QDialog& d) {
            auto& s = static_cast<SummaryWindow&>(d);
            shown = true;
            s.show();
            [&] {
                QVERIFY(QTest::qWaitForWindowExposed(&s));
                // Room left for a panel and the caption bar.
                QVERIFY2(s.width() <= 1366 - 16 && s.height() <= 768 - 40,
                         qPrintable(QStringLiteral("%1 x %2").arg(s.width()).arg(s.height())));
                for (const QTableWidget* t : {s.Figures, s.Channels, s.Days}) {
                    QVERIFY2(t->horizontalScrollBar()->maximum() == 0 &&
                                 t->verticalScrollBar()->maximum() == 0,
                             qPrintable(t->objectName() + " scrolls"));
                    QVERIFY(t->isVisible());
                }
                QCOMPARE(s.Days->rowCount(), 10);

                // 14 400 minutes less the 30 of the gap.
                QCOMPARE(s.Period->text(), "Вся таблица: 14" + QString(kNbsp) + "370 записей");
                QCOMPARE(figure(s, "Записей"), QStringList{"14" + QString(kNbsp) + "370"});
                QCOMPARE(figure(s, "Показаний"), (QStringList{"14" + QString(kNbsp) + "370",
                                                              "14" + QString(kNbsp) + "370"}));
                // 1440 tenth minutes less 3 in the gap; 3600 fourth minutes less 8.
                QCOMPARE(figure(s, "Выше границы: показаний"),
                         (QStringList{"1" + QString(kNbsp) + "437", "0"}));
                QCOMPARE(figure(s, "Ниже границы: показаний"),
                         (QStringList{"0", "3" + QString(kNbsp) + "592"}));
                // 12 933 of 14 370 is 90 %; 10 778 of 14 370 is 75,003 %.
                QCOMPARE(
                    figure(s, "Доля времени в границах"),
                    (QStringList{"90,0" + QString(kNbsp) + "%", "75,0" + QString(kNbsp) + "%"}));
                QCOMPARE(figure(s, "Нижняя граница"), (QStringList{"2,00", "-20,00"}));
                QCOMPARE(figure(s, "Верхняя граница"), (QStringList{"8,50", "0,00"}));
                QCOMPARE(column(s.Days, 1).first(), "1" + QString(kNbsp) + "440");

                // One number of decimals per column: two in the channels' temperatures …
                const QRegularExpression two("^-?\\d+,\\d\\d$"), one("^-?\\d+,\\d$");
                for (const char* label :
                     {"Минимум", "Максимум", "Среднее", "Стандартное отклонение", "Нижняя граница",
                      "Верхняя граница"})
                    for (const QString& v : figure(s, label))
                        QVERIFY2(two.match(v).hasMatch(), qPrintable(QString(label) + ": " + v));
                // … one in the days' extremes (readings), two in their means.
                for (int c : {2, 4, 6, 8})
                    for (const QString& v : column(s.Days, c))
                        QVERIFY2(one.match(v).hasMatch(), qPrintable(v));
                for (int c : {3, 7})
                    for (const QString& v : column(s.Days, c))
                        QVERIFY2(two.match(v).hasMatch(), qPrintable(v));
            }();
            s.hide();
            return 0;
        });
        w.form.SummaryItem->trigger();
        QVERIFY(shown);
    }

    // No printer: the default error report's message offers "Сохранить в
    // PDF…", which writes the page where the user says, never onto the table.
    void noPrinterOffersPdf()
    {
        Window w;
        w.open({"1,0", "2,0", "3,0", "10,0"});
        const QString table = w.path("rows.db");
        const QByteArray tableBytes = [&] {
            QFile f(table);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        const QString pdf = w.path("out/summary.pdf");
        QVERIFY(QDir().mkpath(w.path("out")));

        w.dialogs.queueModal([&](QDialog& d) {
            auto& s = static_cast<SummaryWindow&>(d);
            [&] {
                // OK only: nothing is written, nothing asked.
                w.dialogs.queueAnswer(DialogService::Answer::Ok);
                QTest::mouseClick(s.PrintButton, Qt::LeftButton);
                QCOMPARE(w.dialogs.messages().size(), 1);
                const auto said = w.dialogs.messages().first();
                QCOMPARE(said.text,
                         QStringLiteral("There is no default printer currently selected."));
                QCOMPARE(said.caption, QStringLiteral("ФЛН-РК2"));
                QVERIFY(said.icon == DialogService::Icon::Stop);
                QVERIFY(said.buttons == DialogService::Buttons::SavePdfOk);
                QVERIFY(w.dialogs.calls(ScriptedDialogService::Kind::SaveFile).isEmpty());

                // "Сохранить в PDF…", a file name: the page is there, whole.
                w.dialogs.queueAnswer(DialogService::Answer::Yes);
                w.dialogs.queueSaveFile(pdf);
                QTest::mouseClick(s.PrintButton, Qt::LeftButton);
                const auto asked = w.dialogs.calls(ScriptedDialogService::Kind::SaveFile);
                QCOMPARE(asked.size(), 1);
                QCOMPARE(asked.first().request.defaultExtension, QStringLiteral(".pdf"));
                QCOMPARE(asked.first().request.fileName, QStringLiteral("Сводка rows.pdf"));
                QCOMPARE(asked.first().request.initialDir, w.state.defaultDir);
                QVERIFY(QFile::exists(pdf));
                QCOMPARE(s.Written->text(), "Сохранено в " + QDir::toNativeSeparators(pdf));
                QCOMPARE(QDir(w.path("out")).entryList(QDir::Files), QStringList{"summary.pdf"});
                const peers::Result text = peers::run("pdftotext", {"-layout", pdf, "-"});
                if (text.available) {
                    const QString page = QString::fromUtf8(text.out);
                    QVERIFY2(page.contains("Сводка. Вся таблица: 4 записи"), text.out.constData());
                    QVERIFY2(page.contains("MKT"), text.out.constData());
                }

                // The table itself is refused, and stays as it was.
                w.dialogs.clear();
                w.dialogs.queueAnswer(DialogService::Answer::Yes);
                w.dialogs.queueSaveFile(table);
                QTest::mouseClick(s.PrintButton, Qt::LeftButton);
                QCOMPARE(w.dialogs.messages().size(), 2);
                QVERIFY2(w.dialogs.messages().last().text.contains("rows.db"),
                         qPrintable(w.dialogs.messages().last().text));
                QFile f(table);
                QVERIFY(f.open(QIODevice::ReadOnly));
                QCOMPARE(f.readAll(), tableBytes);
            }();
            return 0;
        });
        w.form.SummaryItem->trigger();
        QCOMPARE(w.dialogs.pendingAnswers(), 0);
        // The main window's status bar says where the page went.
        QCOMPARE(w.form.OutputStatus->text(), "Сводка сохранена: " + QDir::toNativeSeparators(pdf));
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
                QCOMPARE(s.Period->text(), QStringLiteral("Вся таблица: 4 записи"));
                QCOMPARE(figure(s, "Записей"), QStringList{"4"});
                QCOMPARE(figure(s, "Интервал"), QStringList{"00:01:00"});
                QCOMPARE(figure(s, "Режим «Наблюдения»"), QStringList{"2"});
                QCOMPARE(figure(s, "Среднее"), (QStringList{"4,00", "0,00"}));
                QCOMPARE(figure(s, "Максимум"), (QStringList{"10,00", "0,00"}));
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
                QVERIFY2(copied.contains(
                             "01.12.2026\t4\t1,0\t4,00\t10,0\t00:02:00\t0,0\t0,00\t0,0\t00:00:00"),
                         qPrintable(copied));

                QTest::mouseClick(s.PrintButton, Qt::LeftButton);
                const QString pdf = pdfDir + "/Сводка.pdf";
                QVERIFY(QFile::exists(pdf));
                const peers::Result info = peers::run("pdfinfo", {pdf});
                if (info.available)
                    QVERIFY2(
                        QString::fromUtf8(info.out).contains(QRegularExpression("Pages: +1\n")),
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

    // Each table keeps its own limits: one met for the first time starts
    // with those used last, and reopening either brings back its own, in
    // the window (which says whose they are) and in the grid's colours.
    void limitsBelongToTheTable()
    {
        Window w;
        const QString fridge = w.path("fridge.db"), freezer = w.path("freezer.db");
        writeMeasurementTable(fridge, minuteRows({"1,0", "5,0", "9,0"}));
        writeMeasurementTable(freezer, minuteRows({"-25,0", "-18,0", "-15,0"}));
        // What the window shows, and optionally new limits of T1 typed in it.
        const auto summary = [&](const QString& lower = {}, const QString& upper = {}) {
            QStringList shown;
            w.dialogs.queueModal([&](QDialog& d) {
                auto& s = static_cast<SummaryWindow&>(d);
                shown << s.LimitsOf->text() << s.Lower1->text() << s.Upper1->text();
                if (!lower.isEmpty())
                    setField(s.Lower1, lower);
                if (!upper.isEmpty())
                    setField(s.Upper1, upper);
                return 0;
            });
            w.form.SummaryClick();
            return shown;
        };
        DataGridModel* m = w.form.DBGridPro1->model();
        const auto colours = [&] {
            const int col = w.form.DBGridPro1->columnByField("T_1");
            QList<QColor> c;
            for (int row = 0; row < 3; ++row)
                c << m->data(m->index(row, col), Qt::ForegroundRole).value<QColor>();
            return c;
        };
        const QColor none, above = TForm1::kAboveLimitColour, below = TForm1::kBelowLimitColour;

        w.form.Open_DB(fridge);
        summary("2", "8");
        w.form.Open_DB(freezer);
        QCOMPARE(summary("-20", "-16"),
                 (QStringList{"Границы таблицы freezer.db:", "2", "8"})); // those used last
        QCOMPARE(colours(), (QList<QColor>{below, none, above}));

        w.form.Open_DB(fridge);
        QCOMPARE(colours(), (QList<QColor>{below, none, above})); // 1,0 < 2; 9,0 > 8
        QCOMPARE(summary(), (QStringList{"Границы таблицы fridge.db:", "2", "8"}));
        w.form.Open_DB(freezer);
        QCOMPARE(summary(), (QStringList{"Границы таблицы freezer.db:", "-20", "-16"}));

        // A table met later starts with the limits used last, and keeps
        // them when those of another table change.
        const QString cellar = w.path("cellar.db");
        writeMeasurementTable(cellar, minuteRows({"-17,0"}));
        w.form.Open_DB(cellar);
        w.form.Open_DB(fridge);
        summary("0", "10");
        w.form.Open_DB(cellar);
        QCOMPARE(summary(), (QStringList{"Границы таблицы cellar.db:", "-20", "-16"}));
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
                QCOMPARE(s.Period->text(), QStringLiteral("Выделено: 3 строки"));
                QCOMPARE(figure(s, "Записей"), QStringList{"3"});
                QCOMPARE(figure(s, "Минимум"), (QStringList{"2,00", "0,00"}));
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

// The smallest screen the window must fit: 1366 × 768, set up for the
// offscreen platform before the application starts.
int main(int argc, char** argv)
{
    QTemporaryFile screens(QDir::tempPath() + QStringLiteral("/fln-screen-XXXXXX.json"));
    if (!screens.open())
        qFatal("cannot write the screen set-up");
    screens.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1366,
                     "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screens.flush();
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == u"offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    TestSummaryWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_summary_window.moc"
