// Other recordings in the chart window: "Добавить запись…" draws a table
// file's curves beside the table's own in colours of their own, with legend
// entries of their own, the table's entries untouched; "Убрать записи" takes
// them off; "с начала" puts every recording's first moment at the start of
// an elapsed time axis; the temperature axis's rule takes every curve; a
// table that cannot be read leaves the chart as it was, with a message.
#include "charts/graf.h"
#include "components/date_time_chart.h"
#include "platform/app_error.h"
#include "platform/printing_service.h"
#include "tests/support/measurement_table.h"
#include "tests/support/scripted_dialog_service.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

CapturedRow at(const QString& t1, const QString& t2, int minute)
{
    return {t1, t2, QStringLiteral("01.12.2026"),
            QStringLiteral("10:%1:00").arg(minute, 2, 10, QChar(u'0'))};
}

// Milliseconds since the epoch of a moment, as the chart places it (local time).
double msecs(const QDate& d, const QTime& t)
{
    return double(QDateTime(d, t).toMSecsSinceEpoch());
}

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

struct ChartWindow
{
    QTemporaryDir dir;
    PrintingService printing{PrintingService::Printers::None};
    ScriptedDialogService dialogs;
    TForm3 form{printing};
    QList<CapturedRow> data;
    QStringList errors;

    ChartWindow()
    {
        form.setRegionalSettings(RegionalSettings::russian());
        form.setDialogService(&dialogs);
        form.setSaveSuggestion(dir.path(), "a");
        form.setSource({[this] { return data.size(); }, [this](qsizetype k) { return data[k]; },
                        [](const QString& field) {
                            return field == "T_1" ? QStringLiteral("20/22/24")
                                                  : QStringLiteral("21/22/23");
                        }});
        form.setErrorReport([this] {
            try {
                throw;
            } catch (const AppError& e) {
                errors << e.text();
            }
        });
    }
    ~ChartWindow() { form.hide(); }

    // The open table: T1 20, 24, 22 and T2 21, 23, 22 from 10:00 on 1 December 2026.
    void show(CurveChoice choice = {true, true})
    {
        data = {at("20,0", "21,0", 0), at("24,0", "23,0", 1), at("22,0", "22,0", 2)};
        form.setChoice(choice);
        form.hide();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(!form.Chart1->refreshPending());
    }
    // A table file of these T_1 and T_2 texts, a minute apart from `start`.
    QString table(const QString& name, const QStringList& t1, const QStringList& t2,
                  const QDateTime& start = QDateTime(QDate(2026, 12, 1), QTime(10, 0)))
    {
        QList<TestRow> rows;
        for (qsizetype i = 0; i < t1.size(); ++i) {
            const QDateTime m = start.addSecs(60 * i);
            rows << TestRow{.n = i + 1,
                            .mode = "Оперативный",
                            .enCh = 3,
                            .date = m.toString("dd.MM.yyyy"),
                            .time = m.toString("hh:mm:ss"),
                            .t1 = t1[i],
                            .t2 = t2[i]};
        }
        const QString path = dir.filePath(name);
        writeMeasurementTable(path, rows);
        return path;
    }
    void add(const QString& file)
    {
        dialogs.queueOpenFile(file);
        form.AddRecording1->trigger();
        QTRY_VERIFY(!form.Chart1->refreshPending());
    }
    DateTimeChart& chart() { return *form.Chart1; }
    QStringList titles()
    {
        QStringList t;
        for (int c = 0; c < chart().curveCount(); ++c)
            t << chart().curveTitle(c);
        return t;
    }
};

} // namespace

class TestChartOverlay : public QObject
{
    Q_OBJECT

private slots:
    void addsAndRemovesRecordings()
    {
        ChartWindow w;
        w.show();
        QVERIFY(!w.form.RemoveRecordings1->isEnabled());
        const QString b = w.table("b.db", {"5,0", "6,5"}, {"-3,0", "-2,0"});
        const QByteArray before = hashOf(b);
        w.add(b);

        // The open table's entries keep their texts exactly; the other
        // recording's name its file.
        QCOMPARE(w.titles(), QStringList({"T1, °C  20/22/24", "T2, °C  21/22/23", "b.db: T1, °C",
                                          "b.db: T2, °C"}));
        for (int c = 0; c < 4; ++c)
            QVERIFY(w.chart().curveInLegend(c));
        // Colours of their own: orange and teal beside red and blue.
        QCOMPARE(w.chart().curveColor(0), QColor(255, 0, 0));
        QCOMPARE(w.chart().curveColor(1), QColor(0, 0, 255));
        QCOMPARE(w.chart().curveColor(2), QColor(255, 140, 0));
        QCOMPARE(w.chart().curveColor(3), QColor(0, 150, 150));
        const double ten = msecs(QDate(2026, 12, 1), QTime(10, 0));
        QCOMPARE(w.chart().points(2), QList<QPointF>({{ten, 5.0}, {ten + 60000, 6.5}}));
        QCOMPARE(w.chart().points(3), QList<QPointF>({{ten, -3.0}, {ten + 60000, -2.0}}));
        QVERIFY(w.form.RemoveRecordings1->isEnabled());
        // Read, never written.
        QCOMPARE(hashOf(b), before);
        // The request: a table file, from the default folder.
        const auto asked = w.dialogs.calls(ScriptedDialogService::Kind::OpenFile);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].request.filter, QStringLiteral("Базы данных|*.db"));
        QCOMPARE(asked[0].request.initialDir, w.dir.path());

        // The read-out names every curve.
        const QRectF plot = w.chart().plotArea();
        const QString readOut = w.chart().readOutAt(plot.center());
        QVERIFY2(readOut.contains("b.db: T1 = ") && readOut.contains("b.db: T2 = "),
                 qPrintable(readOut));

        // A showing again keeps the recording.
        w.show();
        QCOMPARE(w.chart().curveCount(), 4);

        w.form.RemoveRecordings1->trigger();
        QCOMPARE(w.chart().curveCount(), 2);
        QCOMPARE(w.titles(), QStringList({"T1, °C  20/22/24", "T2, °C  21/22/23"}));
        QVERIFY(!w.form.RemoveRecordings1->isEnabled());
        QVERIFY(w.errors.isEmpty());
    }

    void onlyTheChosenCurves()
    {
        ChartWindow w;
        w.show({true, false});
        w.add(w.table("b.db", {"5,0", "6,0"}, {"7,0", "8,0"}));
        QCOMPARE(w.chart().curveCount(), 4);
        QVERIFY(w.chart().curveInLegend(2));
        QVERIFY(!w.chart().curveInLegend(3));
        QVERIFY(w.chart().points(3).isEmpty());
        QCOMPARE(w.chart().points(2).size(), 2);
    }

    void unreadableTableLeavesTheChart_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no such file
        QTest::newRow("no such file") << QByteArray();
        QTest::newRow("not a table") << QByteArray("это не таблица, а просто текст\n");
    }
    void unreadableTableLeavesTheChart()
    {
        QFETCH(QByteArray, bytes);
        ChartWindow w;
        w.show();
        w.add(w.table("b.db", {"5,0"}, {"6,0"}));
        const QString bad = w.dir.filePath("плохая.db");
        if (!bytes.isEmpty()) {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        const QStringList titles = w.titles();
        const QList<QPointF> own = w.chart().points(0), other = w.chart().points(2);
        w.add(bad);
        const auto messages = w.dialogs.messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].text.startsWith("Не удалось прочитать запись плохая.db: "),
                 qPrintable(messages[0].text));
        QCOMPARE(messages[0].icon, DialogService::Icon::Warning);
        QCOMPARE(w.titles(), titles);
        QCOMPARE(w.chart().points(0), own);
        QCOMPARE(w.chart().points(2), other);
        QVERIFY(w.errors.isEmpty());
    }

    void alignsFromTheStart()
    {
        ChartWindow w;
        w.show();
        // Recorded four days later, from 14:30, for five minutes.
        w.add(w.table("b.db", {"5,0", "6,0", "7,0", "8,0", "9,0", "10,0"},
                      {"1,0", "1,0", "1,0", "1,0", "1,0", "1,0"},
                      QDateTime(QDate(2026, 12, 5), QTime(14, 30))));
        QVERIFY(!w.chart().elapsedTime());
        const double ten = msecs(QDate(2026, 12, 1), QTime(10, 0));
        QCOMPARE(w.chart().points(0).front().x(), ten);
        QCOMPARE(w.chart().points(2).front().x(), msecs(QDate(2026, 12, 5), QTime(14, 30)));

        w.form.AlignStart1->trigger();
        QCOMPARE(w.form.alignment(), ChartAlignment::Start);
        QTRY_VERIFY(!w.form.Chart1->refreshPending());
        QVERIFY(w.chart().elapsedTime());
        // Each recording's first moment at 0, its steps kept.
        QCOMPARE(w.chart().points(0).front().x(), 0.0);
        QCOMPARE(w.chart().points(0).back().x(), 120000.0);
        QCOMPARE(w.chart().points(2).front().x(), 0.0);
        QCOMPARE(w.chart().points(2).back().x(), 300000.0);
        QCOMPARE(w.chart().points(1).front().x(), 0.0);
        // The axis says how long after the start: "0 сут 00:01" …
        const QStringList labels = w.chart().bottomAxisLabels();
        QVERIFY(!labels.isEmpty());
        static const QRegularExpression elapsed("^\\d+ сут \\d\\d:\\d\\d(:\\d\\d)?$");
        for (const QString& l : labels)
            QVERIFY2(elapsed.match(l).hasMatch(), qPrintable(labels.join(" | ")));
        QVERIFY2(labels.contains("0 сут 00:00"), qPrintable(labels.join(" | ")));
        const QString readOut = w.chart().readOutAt(w.chart().plotArea().center());
        QVERIFY2(readOut.startsWith("0 сут 00:0"), qPrintable(readOut));

        // Back to the clock.
        w.form.AlignStart1->trigger();
        QTRY_VERIFY(!w.form.Chart1->refreshPending());
        QVERIFY(!w.chart().elapsedTime());
        QCOMPARE(w.chart().points(0).front().x(), ten);
        QCOMPARE(w.chart().points(2).front().x(), msecs(QDate(2026, 12, 5), QTime(14, 30)));
    }

    void axisRuleTakesEveryCurve()
    {
        // The table alone spans 4 degrees: a window of 10 around its middle.
        ChartWindow w;
        w.show();
        QVERIFY(!w.chart().leftAxisAutomatic());
        QCOMPARE(w.chart().leftAxisMin(), 17.0);
        QCOMPARE(w.chart().leftAxisMax(), 27.0);
        // A recording within 10 degrees of it: one window over both, 15 … 25.
        w.add(w.table("near.db", {"16,0"}, {"17,0"}));
        QVERIFY(!w.chart().leftAxisAutomatic());
        QCOMPARE(w.chart().leftAxisMin(), 15.0);
        QCOMPARE(w.chart().leftAxisMax(), 25.0);
        // One reaching 40: the span is past the limit, the axis automatic.
        w.add(w.table("far.db", {"40,0"}, {"39,0"}));
        QVERIFY(w.chart().leftAxisAutomatic());
        QVERIFY(w.chart().leftAxisMax() >= 40);
        QVERIFY(w.chart().leftAxisMin() <= 16);
        w.form.RemoveRecordings1->trigger();
        QCOMPARE(w.chart().leftAxisMin(), 17.0);
        QCOMPARE(w.chart().leftAxisMax(), 27.0);
    }

    void atMostEightRecordings()
    {
        ChartWindow w;
        w.show();
        const QString b = w.table("b.db", {"5,0"}, {"6,0"});
        for (int i = 0; i < 7; ++i)
            w.add(b);
        QCOMPARE(w.chart().curveCount(), 16);
        QSet<QRgb> colours;
        for (int c = 0; c < 16; ++c)
            colours << w.chart().curveColor(c).rgb();
        QCOMPARE(colours.size(), 16);
        QVERIFY(w.dialogs.messages().isEmpty());
        w.form.AddRecording1->trigger(); // no file dialog: a message
        QCOMPARE(w.dialogs.messages().size(), 1);
        QVERIFY(w.dialogs.messages()[0].text.contains("не более 8"));
        QCOMPARE(w.chart().curveCount(), 16);
    }

    void pictureNeverReplacesARecording()
    {
        ChartWindow w;
        w.show();
        const QString b = w.table("b.db", {"5,0"}, {"6,0"});
        w.add(b);
        const QByteArray before = hashOf(b);
        w.dialogs.queueSaveFile(b);
        emit w.chart().saveImageRequested();
        QCOMPARE(w.errors.size(), 1);
        QCOMPARE(hashOf(b), before);
    }
};

QTEST_MAIN(TestChartOverlay)
#include "tst_chart_overlay.moc"
