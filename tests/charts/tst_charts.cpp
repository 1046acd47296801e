// The chart choice dialog and the chart window: the dialog's states, the
// chart built from captured rows (curves, colours, legend, axes) and the
// printed page, read back by pdfinfo and pdftoppm.
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "components/date_time_chart.h"
#include "platform/app_error.h"
#include "platform/printing_service.h"
#include "tests/support/peers.h"
#include "tests/support/scripted_dialog_service.h"

#include <QAction>
#include <QChart>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineSeries>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

CapturedRow at(const QString& t1, const QString& t2, int minute = 0)
{
    return {t1, t2, QStringLiteral("01.12.2026"),
            QStringLiteral("10:%1:00").arg(minute, 2, 10, QChar(u'0'))};
}

// Rows with these T_1 and T_2 texts, a minute apart.
QList<CapturedRow> rows(const QStringList& t1, const QStringList& t2)
{
    QList<CapturedRow> r;
    for (int i = 0; i < std::max(t1.size(), t2.size()); ++i)
        r << at(t1.value(i, "0,0"), t2.value(i, "0,0"), i);
    return r;
}

struct ChartWindow
{
    PrintingService printing{PrintingService::Printers::None};
    TForm3 form{printing};
    QList<CapturedRow> data;
    QStringList errors;
    QString footer1 = "18,2/21,7/25,1";
    QString footer2 = "1/2/3";

    ChartWindow()
    {
        form.setRegionalSettings(RegionalSettings::russian());
        form.setSource(
            {[this] { return data.size(); }, [this](qsizetype k) { return data[k]; },
             [this](const QString& field) { return field == "T_1" ? footer1 : footer2; }});
        form.setErrorReport([this] {
            try {
                throw;
            } catch (const AppError& e) {
                errors << e.text();
            }
        });
    }
    ~ChartWindow() { form.hide(); }

    // One showing of the window, as the main window's command does it.
    void show(const QList<CapturedRow>& rows, CurveChoice choice)
    {
        data = rows;
        form.setChoice(choice);
        form.hide();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(!form.Chart1->refreshPending());
    }
    DateTimeChart& chart() { return *form.Chart1; }
};

bool reddish(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) < 90;
}
bool bluish(QRgb c)
{
    return qBlue(c) > 180 && qRed(c) < 90 && qGreen(c) < 90;
}

} // namespace

Q_DECLARE_METATYPE(CurveChoice)
Q_DECLARE_METATYPE(CapturedRow)

class TestCharts : public QObject
{
    Q_OBJECT

private slots:
    void choiceDialog()
    {
        TForm4 form;
        QCOMPARE(form.windowTitle(), QString("Построение графиков"));
        QCOMPARE(form.CheckBox6->text(), QString("T1, °C"));
        QCOMPARE(form.CheckBox7->text(), QString("T2, °C"));
        QCOMPARE(form.CheckBox6->pos(), QPoint(28, 40));
        QCOMPARE(form.CheckBox7->pos(), QPoint(28, 76));
        QCOMPARE(form.Button1->geometry(), QRect(160, 104, 87, 25));
        QCOMPARE(form.Button1->text(), QString("Построить"));
        QCOMPARE(form.size(), QSize(253, 142));

        form.show();
        QVERIFY(!form.CheckBox6->isChecked() && !form.CheckBox7->isChecked());
        QVERIFY(!form.Button1->isEnabled());
        QTest::mouseClick(form.CheckBox7, Qt::LeftButton);
        QVERIFY(form.Button1->isEnabled());
        QTest::mouseClick(form.CheckBox7, Qt::LeftButton);
        QVERIFY(!form.Button1->isEnabled());
        // The close button is Cancel.
        form.close();
        QCOMPARE(form.result(), 2);

        // The choice survives to the next showing.
        form.show();
        QTest::mouseClick(form.CheckBox6, Qt::LeftButton);
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QCOMPARE(form.result(), 1);
        QVERIFY(form.isHidden());
        form.show();
        QVERIFY(form.CheckBox6->isChecked());
        QVERIFY(!form.CheckBox7->isChecked());
        QVERIFY(form.Button1->isEnabled());
        QCOMPARE(form.choice().t1, true);
        form.reject();
    }

    void building_data()
    {
        QTest::addColumn<QList<CapturedRow>>("input");
        QTest::addColumn<CurveChoice>("choice");
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        const CurveChoice t1{true, false}, t2{false, true}, both{true, true};
        QTest::newRow("empty table") << QList<CapturedRow>{} << t1 << false << -5.0 << 5.0;
        QTest::newRow("20,0 to 24,0")
            << rows({"20,0", "24,0", "22,5"}, {}) << t1 << false << 17.0 << 27.0;
        QTest::newRow("-22,0 to -18,0, T2 only")
            << rows({"50,0", "-50,0"}, {"-18,0", "-22,0"}) << t2 << false << -25.0 << -15.0;
        QTest::newRow("span exactly 10") << rows({"15,0", "25,0"}, {}) << t1 << true << 0.0 << 0.0;
        QTest::newRow("both: 0..5 and 20..25")
            << rows({"0,0", "5,0"}, {"20,0", "25,0"}) << both << true << 0.0 << 0.0;
        QTest::newRow("both: 20..23 and 21..24")
            << rows({"20,0", "23,0"}, {"21,0", "24,0"}) << both << false << 17.0 << 27.0;
        QTest::newRow("empty T_2 is 0") << rows({"1,0"}, {""}) << t2 << false << -5.0 << 5.0;
    }
    void building()
    {
        QFETCH(QList<CapturedRow>, input);
        QFETCH(CurveChoice, choice);
        QFETCH(bool, automatic);
        QFETCH(double, min);
        QFETCH(double, max);
        ChartWindow w;
        w.show(input, choice);
        QVERIFY(w.errors.isEmpty());
        DateTimeChart& c = w.chart();
        QVERIFY(c.isVisible());
        QVERIFY(w.form.Button1->isVisible());
        QCOMPARE(c.points(0).size(), choice.t1 ? input.size() : 0);
        QCOMPARE(c.points(1).size(), choice.t2 ? input.size() : 0);
        QCOMPARE(c.curveInLegend(0), choice.t1);
        QCOMPARE(c.curveInLegend(1), choice.t2);
        QCOMPARE(c.curveColor(0), QColor(255, 0, 0));
        QCOMPARE(c.curveColor(1), QColor(0, 0, 255));
        QVERIFY(!c.series(0)->pointsVisible() && !c.series(0)->pointLabelsVisible());
        QCOMPARE(c.bottomAxisFormat(), QString("hh:mm:ss\rdd.MM.yy"));
        QCOMPARE(c.leftAxisAutomatic(), automatic);
        if (!automatic) {
            QCOMPARE(c.leftAxisMin(), min);
            QCOMPARE(c.leftAxisMax(), max);
        }
        if (choice.t1)
            QCOMPARE(c.curveTitle(0), QString("T1, °C  18,2/21,7/25,1"));
        if (choice.t2)
            QCOMPARE(c.curveTitle(1), QString("T2, °C  1/2/3"));
    }

    void eachShowingBuildsAnew()
    {
        ChartWindow w;
        w.show(rows({"20,0", "21,0"}, {"20,5", "21,5"}), {true, true});
        QCOMPARE(w.form.windowTitle(), QString("Графики"));
        // The chart fills the window; "Печать" sits in its lower right
        // corner and stays there when the window is resized.
        QCOMPARE(w.chart().geometry(), w.form.rect());
        QCOMPARE(w.form.Button1->text(), QString("Печать"));
        QCOMPARE(w.form.Button1->size(), QSize(75, 25));
        QCOMPARE(w.form.Button1->geometry().bottomRight(), w.chart().rect().bottomRight());
        w.form.resize(900, 600);
        QTRY_COMPARE(w.chart().size(), QSize(900, 600));
        QCOMPARE(w.form.Button1->geometry().bottomRight(), QPoint(899, 599));
        QCOMPARE(w.chart().leftAxisMin(), 15.75); // 20,0 … 21,5 around 20,75
        // Lower values the next time: a window of their own, not the old one.
        w.footer1.clear();
        w.show(rows({"0,0", "2,0", "1,0"}, {}), {true, false});
        QCOMPARE(w.chart().leftAxisMin(), -4.0);
        QCOMPARE(w.chart().leftAxisMax(), 6.0);
        QCOMPARE(w.chart().points(0).size(), 3);
        QVERIFY(w.chart().points(1).isEmpty());
        QVERIFY(!w.chart().curveInLegend(1));
        QCOMPARE(w.chart().curveTitle(0), QString("T1, °C  "));
    }

    void conversionErrorLeavesAnEmptyWindow_data()
    {
        QTest::addColumn<CapturedRow>("bad");
        QTest::addColumn<QString>("error");
        QTest::newRow("T_2 of an unchosen curve")
            << at("1,0", "x") << "'x' is not a valid floating point value";
        QTest::newRow("date") << CapturedRow{"1,0", "1,0", "31.02.2026", "10:00:00"}
                              << "'31.02.2026 10:00:00' is not a valid date and time";
    }
    void conversionErrorLeavesAnEmptyWindow()
    {
        QFETCH(CapturedRow, bad);
        QFETCH(QString, error);
        ChartWindow w;
        w.show({at("1,0", "1,0"), bad}, {true, false});
        QCOMPARE(w.errors, QStringList{error});
        QVERIFY(w.form.isVisible());
        QVERIFY(!w.chart().isVisible());
        QVERIFY(!w.form.Button1->isVisible());
    }

    void printsOneLandscapePage()
    {
        QTemporaryDir dir;
        ChartWindow w;
        w.printing.setPdfDirectory(dir.path());
        w.show(rows({"20,0", "24,0", "21,0"}, {"19,0", "18,0", "23,0"}), {true, true});
        QTest::mouseClick(w.form.Button1, Qt::LeftButton);
        QVERIFY(w.errors.isEmpty());
        QVERIFY(w.form.isVisible());
        const QString pdf = dir.filePath("Chart1.pdf");
        QVERIFY(QFileInfo::exists(pdf));

        const peers::Result info = peers::run("pdfinfo", {pdf});
        FLN_NEED_PEER(info, "pdfinfo (poppler-utils)");
        const QString text = QString::fromUtf8(info.out);
        QVERIFY2(text.contains(QRegularExpression("Pages:\\s+1\\n")), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression("Title:\\s+Chart1\\n")), qPrintable(text));
        const auto size = QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+) pts").match(text);
        QVERIFY(size.hasMatch());
        QVERIFY(size.captured(1).toDouble() > size.captured(2).toDouble());

        const peers::Result ppm =
            peers::run("pdftoppm", {"-r", "60", "-png", "-singlefile", pdf, dir.filePath("page")});
        FLN_NEED_PEER(ppm, "pdftoppm (poppler-utils)");
        const QImage page(dir.filePath("page.png"));
        QVERIFY(!page.isNull());
        int red = 0, blue = 0;
        QRect ink;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb c = page.pixel(x, y);
                red += reddish(c);
                blue += bluish(c);
                if (qGray(c) < 250)
                    ink |= QRect(x, y, 1, 1);
            }
        QVERIFY(red > 20);
        QVERIFY(blue > 20);
        // Everything drawn lies inside the margins of 4 %; the chart is
        // stretched to them (its axes reach well past the page's middle).
        const QRect inner(qRound(page.width() * 0.04) - 1, qRound(page.height() * 0.04) - 1,
                          qRound(page.width() * 0.92) + 2, qRound(page.height() * 0.92) + 2);
        QVERIFY2(inner.contains(ink), qPrintable(QString("%1,%2 %3x%4")
                                                     .arg(ink.x())
                                                     .arg(ink.y())
                                                     .arg(ink.width())
                                                     .arg(ink.height())));
        QVERIFY(ink.left() < page.width() * 0.15 && ink.right() > page.width() * 0.85);
        QVERIFY(ink.top() < page.height() * 0.2 && ink.bottom() > page.height() * 0.8);
    }

    void savesThePictureAtTheWindowsSize()
    {
        QTemporaryDir dir;
        ScriptedDialogService dialogs;
        ChartWindow w;
        w.form.setDialogService(&dialogs);
        w.show(rows({"20,0", "24,0"}, {"19,0", "18,0"}), {true, true});
        QCOMPARE(w.chart().saveImageAction()->text(), QString("Сохранить как изображение…"));
        dialogs.queueSaveFile(dir.filePath("chart.png"));
        w.chart().saveImageAction()->trigger();
        const QImage image(dir.filePath("chart.png"));
        QCOMPARE(image.size(), w.chart().size());
        int red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                red += image.pixel(x, y) == qRgb(255, 0, 0);
        QVERIFY(red > 50);
        // The dialog cancelled: nothing written.
        dialogs.queueSaveFile(dir.filePath("other.png"), false);
        w.chart().saveImageAction()->trigger();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"chart.png"});
        QVERIFY(w.errors.isEmpty());
    }

    // The usual chart of the current row alone: one reading per curve, each
    // a round marker in its colour where the axis rule puts it (T1 22 and
    // T2 20 span 2 degrees: the axis runs from 16 to 26).
    void oneRowShowsItsReadings()
    {
        QTemporaryDir dir;
        ScriptedDialogService dialogs;
        ChartWindow w;
        w.form.setDialogService(&dialogs);
        w.show({at("22,0", "20,0")}, {true, true});
        QCOMPARE(w.chart().leftAxisMin(), 16.0);
        QCOMPARE(w.chart().leftAxisMax(), 26.0);
        dialogs.queueSaveFile(dir.filePath("one.png"));
        w.chart().saveImageAction()->trigger();
        const QImage image = QImage(dir.filePath("one.png")).convertToFormat(QImage::Format_RGB32);
        const QRectF plot = w.chart().chart()->plotArea();
        const auto place = [&](double value) {
            return QPointF(plot.center().x(), plot.bottom() - (value - 16) / 10 * plot.height())
                .toPoint();
        };
        QVERIFY2(reddish(image.pixel(place(22))),
                 qPrintable(QString::number(image.pixel(place(22)), 16)));
        QVERIFY(bluish(image.pixel(place(20))));
        QVERIFY(w.errors.isEmpty());
    }

    // The printer is the application's: the next job finds it as it was.
    void printingLeavesThePrinterAsItWas()
    {
        QTemporaryDir dir;
        ChartWindow w;
        w.printing.setPdfDirectory(dir.path());
        QPrinter* printer = &w.printing.printer();
        printer->setPageOrientation(QPageLayout::Portrait);
        const bool fullPage = printer->fullPage();
        w.show(rows({"20,0", "24,0"}, {"19,0", "18,0"}), {true, true});
        QTest::mouseClick(w.form.Button1, Qt::LeftButton);
        QVERIFY(w.errors.isEmpty());
        QVERIFY(QFileInfo::exists(dir.filePath("Chart1.pdf")));
        QCOMPARE(printer->pageLayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(printer->fullPage(), fullPage);
    }

    // A picture that cannot be written whole leaves the older one as it
    // was, and says why. The process's file size limit stands in for a full
    // disk (writes past it fail once SIGXFSZ is ignored).
    void savingOnAFullDiskKeepsTheOlderPicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("png") << "chart.png";
        QTest::newRow("svg") << "chart.svg";
        QTest::newRow("pdf") << "chart.pdf";
    }
    void savingOnAFullDiskKeepsTheOlderPicture()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QByteArray older = "an older picture";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(older);
        }
        ScriptedDialogService dialogs;
        ChartWindow w;
        w.form.setDialogService(&dialogs);
        w.show(rows({"20,0", "24,0"}, {"19,0", "18,0"}), {true, true});
        dialogs.queueSaveFile(path);
        {
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit limit = old;
            limit.rlim_cur = 1000;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
            w.chart().saveImageAction()->trigger();
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), older);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
        QCOMPARE(w.errors.size(), 1);
        QVERIFY2(w.errors[0].startsWith("Не удалось записать файл " +
                                        QDir::toNativeSeparators(path) + ": "),
                 qPrintable(w.errors[0]));
        QVERIFY(w.errors[0].size() > QString("Не удалось записать файл " + path + ": ").size());
    }

    void noPrinter()
    {
        ChartWindow w;
        w.show(rows({"20,0"}, {}), {true, false});
        w.form.Button1Click();
        QCOMPARE(w.errors, QStringList{"There is no default printer currently selected"});
        QVERIFY(w.form.isVisible());
    }
};

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
