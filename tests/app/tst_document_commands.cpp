// New, Open, Append, Save and Close of the main window, end to end with the
// simulated instrument on a pseudo-terminal and scripted dialogs.
#include "app/command_line.h"
#include "components/grid_row_source.h"
#include "data/statistics.h"
#include "device/receive.h"
#include "platform/printing_service.h"
#include "platform/serial_device.h"
#include "platform/settings_store.h"
#include "sim/simulated_instrument.h"
#include "tests/support/main_window_fixture.h"

#include <QAction>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

using Kind = ScriptedDialogService::Kind;

const QString kQuestion = QStringLiteral("Сохранить изменения в таблицах ?");

// Mode, channel bits, temperatures in degrees, date, time, as the
// instrument's own CSV archives are written.
const char* const kCsv = "MODE;EN_CH;T_1;T_2;DATE;TIME\n"
                         "0;0;23.45;23.44;01.12.2026;10:00:00\n"
                         "1;1;5.00;0.04;01.12.2026;10:10:00\n"
                         "0;2;-0.01;-0.05;01.12.2026;10:20:00\n"
                         "1;3;327.67;-327.68;01.12.2026;10:30:00\n";

struct Expected
{
    qint64 n;
    QString mode;
    qint64 enCh;
    QString t1, t2, date, time;
};

// The same four records as table rows.
const QList<Expected> kRows = {
    {1, "Оперативный", 0, "23,5", "23,4", "01.12.2026", "10:00:00"},
    {2, "Наблюдения", 1, " 5,0", "0,0", "01.12.2026", "10:10:00"},
    {3, "Оперативный", 2, "0,0", "-0,1", "01.12.2026", "10:20:00"},
    {4, "Наблюдения", 3, "327,7", "-327,7", "01.12.2026", "10:30:00"},
};

// The main window with its download dialog, talking to a simulated
// instrument on the first port.
struct Window : MainWindowFixture
{
    std::unique_ptr<SimulatedInstrument> sim;
    SerialPortMap ports;
    std::unique_ptr<TForm2> form2;

    explicit Window(SimArchive archive, int growBy = 0)
    {
        SimOptions o;
        o.growBy = growBy;
        sim = std::make_unique<SimulatedInstrument>(std::move(archive), o);
        if (!sim->start())
            qFatal("no pseudo-terminal: %s", qPrintable(sim->errorString()));
        ports.setDevice(1, sim->devicePath());
        ports.setDevice(2, dir.filePath("no-second-port"));
        form2 = std::make_unique<TForm2>(state.archive, dialogs, ports, &form);
        form2->setTimerIntervals(400, 50);
        form2->CommPortDriver1->setPollingDelay(5);
        form.attachWindows(form2.get(), nullptr, nullptr, nullptr);
    }

    // "Создать" into `file`.
    void create(const QString& file)
    {
        dialogs.queueSaveFile(path(file));
        form.N2Click();
    }
    QStringList messages() const
    {
        QStringList out;
        for (const auto& c : dialogs.messages())
            out << c.text;
        return out;
    }
    bool enabled(const char* command) const
    {
        return form.findChild<QAction*>(command)->isEnabled();
    }
};

// Where a window stands while it is shown: the distance of its frame's
// centre from the centre of its screen's free area (in half pixels, so that
// no half is rounded away), taken once the showing has gone through the
// event loop. A window manager frames a window only after it is first
// shown; the platform of the tests has none, so the frame's late growth is
// played by the window growing while it is shown (and back after).
class PlaceWatch : public QObject
{
public:
    PlaceWatch(QWidget& window, QList<QPoint>& offsets) : m_window(window), m_offsets(offsets)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_window && event->type() == QEvent::Show)
            QTimer::singleShot(0, this, [this] {
                const QSize size = m_window.size();
                m_offsets << offset();
                m_window.setFixedSize(size + QSize(40, 30));
                QCoreApplication::processEvents();
                m_offsets << offset();
                m_window.setFixedSize(size);
                QCoreApplication::processEvents();
            });
        return false;
    }

private:
    QPoint offset() const
    {
        const QRect screen = m_window.screen()->availableGeometry();
        const QRect frame = m_window.frameGeometry();
        return (frame.topLeft() + frame.bottomRight()) - (screen.topLeft() + screen.bottomRight());
    }

    QWidget& m_window;
    QList<QPoint>& m_offsets;
};

SimArchive csvArchive(const QTemporaryDir& dir)
{
    const QString file = dir.filePath("archive.csv");
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(file));
    f.write(kCsv);
    f.close();
    return SimArchive::fromCsv(file);
}

SimArchive generated(int records)
{
    return SimArchive::generate(11, records, QDateTime(QDate(2026, 11, 1), QTime(0, 0)), 600);
}

// Rows of a table file, read through a separate read-only table.
qint64 rowsOnDisk(const QString& file)
{
    DbfTable t;
    t.setTableFile(file);
    t.open(DbfTable::Access::ReadOnly);
    return t.rowCount();
}

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT

private slots:
    void newDecodesTheArchive()
    {
        QTemporaryDir csvDir;
        Window w(csvArchive(csvDir));
        w.create("july.db");

        QVERIFY(w.state.tableOpen);
        QVERIFY(!w.state.modified);
        QCOMPARE(w.messages(), QStringList());
        QCOMPARE(w.form.windowTitle(), "ФЛН-РК2"); // New leaves the title alone
        QVERIFY(w.enabled("N4"));
        QVERIFY(w.form.DBGridPro1->isVisibleTo(&w.form));
        const auto saves = w.dialogs.calls(Kind::SaveFile);
        QCOMPARE(saves.size(), 1);
        QCOMPARE(saves[0].request.filter, "Файлы данных|*.db");
        QCOMPARE(saves[0].request.defaultExtension, ".db");

        DbfTable& t = w.form.Dbf1;
        QCOMPARE(t.rowCount(), kRows.size());
        int i = 0;
        for (t.first(); !t.eof(); t.next(), ++i) {
            const Expected& e = kRows[i];
            QCOMPARE(t.integer("N"), std::optional<qint64>(e.n));
            QCOMPARE(t.text("MODE"), e.mode);
            QCOMPARE(t.integer("EN_CH"), std::optional<qint64>(e.enCh));
            QCOMPARE(t.text("T_1"), e.t1);
            QCOMPARE(t.text("T_2"), e.t2);
            QCOMPARE(t.text("DATE"), e.date);
            QCOMPARE(t.text("TIME"), e.time);
        }
        // 23.5 + 5 + 0 + 327.7 over four rows is the double nearest 89.05,
        // which lies below 890.5 tenths of the double 0.1: the mean reads 89.
        QCOMPARE(w.footer("T_1"), "0/89/327,7");
        QCOMPARE(w.footer("T_2"), "-327,7/-76,1/23,4");
    }

    // "Создать" onto a name that is taken asks first; "Нет" brings the name
    // choice back (with that name in it), and only the name finally
    // confirmed receives the new table.
    void newOverAnExistingFileAsksFirst_data()
    {
        QTest::addColumn<QList<int>>("answers"); // to each question in turn: 1 Да, 0 Нет
        QTest::addColumn<QStringList>("names");  // chosen in each save dialog; "" cancels
        QTest::addColumn<bool>("oldKept");
        QTest::addColumn<QString>("created"); // the new table, or "" when none
        QTest::newRow("Да replaces") << QList<int>{1} << QStringList{"old.db"} << false << "old.db";
        QTest::newRow("Нет, then a new name")
            << QList<int>{0} << QStringList{"old.db", "new.db"} << true << "new.db";
        QTest::newRow("Нет, then cancel")
            << QList<int>{0} << QStringList{"old.db", ""} << true << "";
        QTest::newRow("Нет, then Да")
            << QList<int>{0, 1} << QStringList{"old.db", "old.db"} << false << "old.db";
        QTest::newRow("a free name asks nothing")
            << QList<int>{} << QStringList{"new.db"} << true << "new.db";
    }
    void newOverAnExistingFileAsksFirst()
    {
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, names);
        QFETCH(bool, oldKept);
        QFETCH(QString, created);
        Window w(generated(5));
        const QByteArray old(5000, 'x');
        QFile f(w.path("old.db"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
        f.close();
        for (int a : answers)
            w.dialogs.queueAnswer(a ? DialogService::Answer::Yes : DialogService::Answer::No);
        for (const QString& name : names)
            w.dialogs.queueSaveFile(name.isEmpty() ? QString() : w.path(name), !name.isEmpty());
        w.form.N2Click();

        QCOMPARE(w.dialogs.pendingAnswers(), 0);
        const auto calls = w.dialogs.calls();
        // Each name taken gets the question, then (after Нет) the dialog again.
        QCOMPARE(calls.size(), names.size() + answers.size());
        for (qsizetype i = 0; i < calls.size(); ++i) {
            if (i % 2 == 0) {
                QCOMPARE(calls[i].kind, Kind::SaveFile);
                QCOMPARE(calls[i].request.filter, "Файлы данных|*.db");
                // Back from Нет, the dialog holds the name just refused.
                QCOMPARE(calls[i].request.fileName, i == 0 ? QString() : w.path("old.db"));
            } else {
                QCOMPARE(calls[i].kind, Kind::Message);
                QCOMPARE(calls[i].text, "Файл old.db уже существует. Заменить его?");
                QCOMPARE(calls[i].caption, "ФЛН-РК2");
                QCOMPARE(calls[i].icon, DialogService::Icon::Question);
                QCOMPARE(calls[i].buttons, DialogService::Buttons::YesNo);
            }
        }
        if (oldKept) {
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), old);
            f.close();
        }
        QCOMPARE(w.state.tableOpen, !created.isEmpty());
        QCOMPARE(w.sim->completedTransfers(), created.isEmpty() ? 0 : 1);
        if (!created.isEmpty()) {
            QCOMPARE(w.form.Dbf1.tableFile(), w.path(created));
            QCOMPARE(w.form.Dbf1.rowCount(), 5);
        }
    }

    void newWithAnEmptyArchiveCreatesNothing()
    {
        Window w(generated(0));
        w.create("empty.db");
        QCOMPARE(w.messages(), QStringList{"Архив прибора пуст!"});
        QCOMPARE(w.dialogs.messages()[0].caption, "Ошибка");
        QVERIFY(!QFile::exists(w.path("empty.db")));
        QVERIFY(!w.state.tableOpen);
        QVERIFY(!w.enabled("N4"));
    }

    void newCancelledAfterTheQuestionLeavesNoTable()
    {
        Window w(generated(3));
        w.create("first.db");
        w.state.modified = true;
        w.dialogs.clear();
        w.dialogs.queueAnswer(DialogService::Answer::No);
        w.dialogs.queueSaveFile(QString(), false);
        w.form.N2Click();
        QCOMPARE(w.dialogs.calls().size(), 2);
        QCOMPARE(w.dialogs.calls()[0].text, kQuestion);
        QCOMPARE(w.dialogs.calls()[0].caption, "ФЛН-РК2");
        QCOMPARE(w.dialogs.calls()[1].kind, Kind::SaveFile);
        QVERIFY(!w.state.tableOpen);
        QVERIFY(!w.form.Dbf1.isOpen());
        QVERIFY(!w.enabled("N5"));
        QCOMPARE(w.sim->completedTransfers(), 1); // no second download
    }

    void appendAddsTheNewerRecords()
    {
        Window w(generated(6), 4);
        w.create("grow.db");
        QCOMPARE(w.form.Dbf1.rowCount(), 6);
        const QString t1Before = w.footer("T_1");
        w.form.Dbf1.addSortTag("tab1", "T_1", true);
        w.form.Dbf1.selectSortTag("tab1");
        w.state.modified = true;
        w.dialogs.clear();

        w.form.N4Click();
        QCOMPARE(w.messages(), QStringList{"Добавлено записей: 4"});
        QCOMPARE(w.dialogs.messages()[0].caption, "Дополнение");
        QVERIFY(w.form.Dbf1.selectedSortTag().isEmpty()); // the sort was cleared
        QVERIFY(!w.state.modified);
        QCOMPARE(rowsOnDisk(w.path("grow.db")), 10); // saved
        DbfTable& t = w.form.Dbf1;
        t.last();
        QCOMPARE(t.integer("N"), std::optional<qint64>(10));
        // The footers cover the added rows: the statistics of the saved file.
        TableStatistics onDisk;
        {
            DbfTable ro;
            ro.setTableFile(w.path("grow.db"));
            ro.open(DbfTable::Access::ReadOnly);
            find_mma(ro, onDisk, w.state.regional);
        }
        QCOMPARE(w.footer("T_1"), footerT1(onDisk, w.state.regional));
        QVERIFY(w.footer("T_1") != t1Before);

        // The instrument's archive has grown again by the next download.
        w.dialogs.clear();
        w.form.N4Click();
        QCOMPARE(w.messages(), QStringList{"Добавлено записей: 4"});
        QCOMPARE(t.rowCount(), 14);
    }

    // The download dialog stands in the middle of the screen, frame and all,
    // at each showing, with the main window shown maximised as the program
    // shows it: for "Создать", for "Дополнить" after it, and for a
    // "Дополнить" that is the dialog's first showing; also when its frame
    // comes only after it is shown.
    void downloadDialogIsCentred()
    {
        QList<QPoint> offsets;
        Window w(generated(4), 2);
        w.form.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        PlaceWatch watch(*w.form2, offsets);
        w.create("centre.db");
        QCOMPARE(w.form.Dbf1.rowCount(), 4);
        w.form.N4Click();
        QCOMPARE(w.messages().last(), QStringLiteral("Добавлено записей: 2"));

        // "Открыть", then "Дополнить": the dialog's first showing.
        Window first(generated(4), 2);
        first.form.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&first.form));
        first.create("first.db");
        first.form.N7Click();
        first.form2 =
            std::make_unique<TForm2>(first.state.archive, first.dialogs, first.ports, &first.form);
        first.form2->setTimerIntervals(400, 50);
        first.form2->CommPortDriver1->setPollingDelay(5);
        first.form.attachWindows(first.form2.get(), nullptr, nullptr, nullptr);
        PlaceWatch firstWatch(*first.form2, offsets);
        first.dialogs.clear();
        first.dialogs.queueOpenFile(first.path("first.db"));
        first.form.N4Click();
        QCOMPARE(first.messages().last(), QStringLiteral("Добавлено записей: 2"));

        QCOMPARE(offsets.size(), 6); // three showings, each before and after its frame grew
        for (qsizetype i = 0; i < offsets.size(); ++i)
            QVERIFY2(std::abs(offsets[i].x()) <= 1 && std::abs(offsets[i].y()) <= 1,
                     qPrintable(QStringLiteral("showing %1%2: %3,%4 half pixels off the centre")
                                    .arg(i / 2 + 1)
                                    .arg(i % 2 ? ", framed" : "")
                                    .arg(offsets[i].x())
                                    .arg(offsets[i].y())));
        QCOMPARE(w.form2->size(), QSize(490, 245));
    }

    void appendWithoutATableOpensFirst()
    {
        Window w(generated(4), 2);
        w.create("later.db");
        w.form.N7Click();
        QVERIFY(!w.state.tableOpen);
        w.dialogs.clear();
        w.dialogs.queueOpenFile(w.path("later.db"));
        w.form.N4Click();
        QCOMPARE(w.dialogs.calls().size(), 2);
        QCOMPARE(w.dialogs.calls()[0].kind, Kind::OpenFile);
        QCOMPARE(w.dialogs.calls()[0].request.filter, "Базы данных|*.db");
        QCOMPARE(w.dialogs.calls()[1].text, "Добавлено записей: 2");
        QCOMPARE(w.form.windowTitle(), "later - ФЛН-РК2");
    }

    void openRefusesWhatIsNoTable()
    {
        Window w(generated(1));
        QFile f(w.path("letter.db"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Dear colleagues,\n");
        f.close();
        w.dialogs.queueOpenFile(w.path("letter.db"));
        w.form.N3Click();
        QCOMPARE(w.messages(), QStringList{"База данных повреждена !"});
        QCOMPARE(w.dialogs.messages()[0].icon, DialogService::Icon::Stop);
        QVERIFY(!w.state.tableOpen);
        QVERIFY(!w.enabled("N5"));
        QCOMPARE(w.form.windowTitle(), "ФЛН-РК2");
    }

    void openCancelledKeepsTheTable()
    {
        Window w(generated(3));
        w.create("keep.db");
        w.state.modified = true;
        w.dialogs.clear();
        w.dialogs.queueOpenFile(QString(), false);
        w.form.N3Click();
        QCOMPARE(w.dialogs.calls().size(), 1); // nothing asked
        QVERIFY(w.state.tableOpen);
        QVERIFY(w.form.Dbf1.isOpen());
    }

    void openAsksAfterTheFileWasChosen()
    {
        Window w(generated(3));
        w.create("one.db");
        w.form.N7Click();
        w.create("two.db");
        w.state.modified = true;
        w.dialogs.clear();
        w.dialogs.queueOpenFile(w.path("one.db"));
        w.dialogs.queueAnswer(DialogService::Answer::Yes);
        w.form.N3Click();
        QCOMPARE(w.dialogs.calls().size(), 2);
        QCOMPARE(w.dialogs.calls()[0].kind, Kind::OpenFile);
        QCOMPARE(w.dialogs.calls()[1].text, kQuestion);
        QCOMPARE(w.form.windowTitle(), "one - ФЛН-РК2");
        QCOMPARE(w.state.defaultDir, QDir::toNativeSeparators(w.dir.path()));
        QVERIFY(!w.state.modified);
    }

    void commandLineNamesATableToOpen()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("from the file manager.db");
        const CommandLineOptions o = parseCommandLine({"fln", file});
        QCOMPARE(o.usageError, QString());
        QCOMPARE(o.command, QString());
        QCOMPARE(o.openFile, file);
        QVERIFY(!parseCommandLine({"fln", "infoo"}).usageError.isEmpty());
    }

    void closeLeavesNoSortIndex()
    {
        Window w(generated(3));
        w.create("sorted.db");
        w.form.Dbf1.addSortTag("tab1", "T_1", false);
        w.form.Dbf1.selectSortTag("tab1");
        w.form.N5Click();
        QCOMPARE(w.form.Dbf1.selectedSortTag().toLower(), "tab1"); // Save keeps the order
        w.form.N7Click();
        QVERIFY(!QFile::exists(w.path("sorted.mdx")));
        QCOMPARE(w.form.windowTitle(), "ФЛН-РК2");
        QVERIFY(!w.enabled("N7"));
    }
};

QTEST_MAIN(TestDocumentCommands)
#include "tst_document_commands.moc"
