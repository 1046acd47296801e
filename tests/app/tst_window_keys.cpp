// The main window from the keyboard and while it works: Ctrl+A selects every
// row, Ctrl+C copies the selected rows as a table, the menus open with Alt
// and their letters, and the commands that take a while on a large table
// show the wait cursor while they work, never over a window for the user.
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "components/date_time_chart.h"
#include "tests/support/main_window_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

namespace {

struct Window : MainWindowFixture
{
    TForm3 form3{printing, &form};
    TForm4 form4{&form};

    Window() { form.attachWindows(nullptr, &form3, &form4, nullptr); }

    // Four rows of every column's kind, shown and ready for keys.
    void openShown()
    {
        QList<TestRow> rows = minuteRows({"-5,3", " 7,5", "10,0", "-0,2"}, {"1,0", "2,0", "3,0"});
        rows[1].comment = "после калибровки";
        rows[2].mode = "Наблюдения";
        open(rows, "t.db");
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        grid().setFocus();
    }
    QAbstractItemView* rows() const { return grid().findChild<QAbstractItemView*>(); }
};

// What the clipboard should hold: the heading, then these rows of
// openShown()'s table, as a spreadsheet takes them.
QString copiedRows(const QList<int>& ns)
{
    const QStringList lines = {
        "1\t01.12.2026\t10:00:00\tОперативный\t-5,3\t1,0\t",
        "2\t01.12.2026\t10:01:00\tОперативный\t7,5\t2,0\tпосле калибровки",
        "3\t01.12.2026\t10:02:00\tНаблюдения\t10,0\t3,0\t",
        "4\t01.12.2026\t10:03:00\tОперативный\t-0,2\t0,0\t",
    };
    QString text = QStringLiteral("N\tДата\tВремя\tРежим\tT1, °C\tT2, °C\tПримечание\n");
    for (const int n : ns)
        text += lines[n - 1] + u'\n';
    return text;
}

// Records the override cursor whenever the window shows a sign of work
// (rows reread or re-sorted, the selection or the clipboard changed, a
// window shown or made).
class CursorWatch : public QObject
{
public:
    explicit CursorWatch(Window& w)
    {
        const auto look = [this] { this->look(); };
        QAbstractItemModel* model = w.grid().model();
        connect(model, &QAbstractItemModel::modelReset, this, look);
        connect(model, &QAbstractItemModel::layoutChanged, this, look);
        connect(model, &QAbstractItemModel::dataChanged, this, look);
        connect(model, &QAbstractItemModel::rowsRemoved, this, look);
        connect(&w.grid(), &DataGrid::selectionChanged, this, look);
        connect(QApplication::clipboard(), &QClipboard::dataChanged, this, look);
        w.form3.Chart1->installEventFilter(this);
        w.form.installEventFilter(this);
    }
    void look()
    {
        const QCursor* c = QApplication::overrideCursor();
        seen << (c ? int(c->shape()) : -1);
    }
    bool sawWait() const { return seen.contains(int(Qt::WaitCursor)); }

    QList<int> seen;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Show || e->type() == QEvent::ChildAdded)
            look();
        return false;
    }
};

} // namespace

class TestWindowKeys : public QObject
{
    Q_OBJECT

private slots:
    void ctrlASelectsEveryRow()
    {
        Window w;
        w.openShown();
        // A row picked with Ctrl+click first: Ctrl+A still takes them all.
        w.grid().toggleRowSelected(2);
        QTest::keyClick(w.rows(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.grid().selectionCount(), 4);
        QCOMPARE(w.footer("T_1"), QString("-5,3/3/10"));
        QCOMPARE(w.form.findChild<QLabel*>("FootersStatus")->text(),
                 QString("Итоги: выделено 4 строки"));
    }

    void ctrlCCopiesTheSelectedRows()
    {
        Window w;
        w.openShown();
        // The current row alone.
        w.form.Dbf1.goToPosition(1);
        QTest::keyClick(w.rows(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), copiedRows({2}));

        // Rows picked in another order come in the grid's order.
        w.grid().toggleRowSelected(3);
        w.grid().toggleRowSelected(0);
        QTest::keyClick(w.rows(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), copiedRows({1, 4}));

        // Everything, with the grid sorted by T_1 (ascending: second click).
        const int t1 = w.grid().columnByField("T_1");
        w.grid().setTitleState(t1, TitleState::tsSortedDown);
        w.form.DBGridPro1TitleStateChange(t1);
        QTest::keyClick(w.rows(), Qt::Key_A, Qt::ControlModifier);
        w.form.CopyRows1->trigger(); // the menu's "Копировать" does the same
        const QString sorted = QApplication::clipboard()->text();
        QCOMPARE(sorted.count(u'\n'), 5);
        QVERIFY(sorted.startsWith(copiedRows({})));
    }

    // A comment being typed: Ctrl+C copies from the editor, as in any field.
    void ctrlCInTheEditorCopiesText()
    {
        Window w;
        w.openShown();
        QAbstractItemView* view = w.rows();
        const QModelIndex comment = view->model()->index(0, w.grid().columnByField("COMMENT"));
        view->setCurrentIndex(comment);
        view->edit(comment);
        auto* editor = view->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTRY_VERIFY(editor->hasFocus());
        editor->insert(QStringLiteral("отметка"));
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString("отметка"));
    }

    void commandsNeedATable()
    {
        Window w;
        QVERIFY(!w.form.CopyRows1->isEnabled());
        QVERIFY(!w.form.SelectAll1->isEnabled());
        w.openShown();
        QVERIFY(w.form.CopyRows1->isEnabled());
        QVERIFY(w.form.SelectAll1->isEnabled());
        QCOMPARE(w.form.CopyRows1->shortcut(), QKeySequence(QKeySequence::Copy));
        QCOMPARE(w.form.SelectAll1->shortcut(), QKeySequence(QKeySequence::SelectAll));
    }

    // Every menu of the bar has a letter of its own, and so has every item
    // within a menu; Alt with the letter opens the menu.
    void menusOpenWithAlt()
    {
        Window w;
        w.openShown();
        QList<QMenu*> menus;
        QSet<int> barLetters;
        for (QAction* a : w.form.menuBar()->actions()) {
            const QKeySequence letter = QKeySequence::mnemonic(a->text());
            QVERIFY2(!letter.isEmpty(), qPrintable(a->text()));
            QVERIFY2(!barLetters.contains(letter[0].toCombined()), qPrintable(a->text()));
            barLetters << letter[0].toCombined();
            menus << a->menu();
        }
        menus << w.form.PopupMenu1;
        for (QMenu* m : menus) {
            QSet<int> letters;
            for (QAction* a : m->actions()) {
                if (a->isSeparator())
                    continue;
                const QKeySequence letter = QKeySequence::mnemonic(a->text());
                QVERIFY2(!letter.isEmpty(), qPrintable(a->text()));
                QVERIFY2(!letters.contains(letter[0].toCombined()), qPrintable(a->text()));
                letters << letter[0].toCombined();
            }
        }

        // Alt+Ф (the key of А on a Latin layout) opens "Файл".
        QTest::sendKeyEvent(QTest::Press, w.rows(), Qt::Key(0x0424), QString("ф"), Qt::AltModifier);
        QTest::sendKeyEvent(QTest::Release, w.rows(), Qt::Key(0x0424), QString("ф"),
                            Qt::AltModifier);
        QTRY_VERIFY(w.form.N1->isVisible());
        QTest::keyClick(w.form.N1, Qt::Key_Escape);
    }

    // The commands that take a while on a million rows show the wait cursor
    // while they work, and the ordinary cursor again when they end.
    void waitCursor_data()
    {
        QTest::addColumn<QString>("command");
        for (const char* c : {"open", "sort", "unsort", "select all", "double click", "delete",
                              "renumber", "copy", "chart", "summary"})
            QTest::newRow(c) << QString::fromLatin1(c);
    }
    void waitCursor()
    {
        QFETCH(QString, command);
        Window w;
        w.openShown();
        const int t1 = w.grid().columnByField("T_1");
        if (command == "unsort") {
            w.grid().setTitleState(t1, TitleState::tsSortedDown);
            w.form.DBGridPro1TitleStateChange(t1);
        }
        CursorWatch watch(w);
        QList<const QCursor*> duringWindows; // while a window waits for the user
        if (command == "open") {
            const QString other = w.path("other.db");
            writeMeasurementTable(other, minuteRows({"1,0", "2,0", "3,0"}));
            w.form.Open_DB(other);
            QVERIFY(w.state.tableOpen);
        } else if (command == "sort") {
            w.grid().setTitleState(t1, TitleState::tsSortedDown);
            w.form.DBGridPro1TitleStateChange(t1);
        } else if (command == "unsort") {
            w.form.N33Click();
        } else if (command == "select all") {
            QTest::keyClick(w.rows(), Qt::Key_A, Qt::ControlModifier);
        } else if (command == "double click") {
            w.form.DBGridPro1DblClick();
        } else if (command == "delete") {
            w.grid().toggleRowSelected(1);
            w.grid().toggleRowSelected(2);
            watch.seen.clear();
            w.form.N21Click();
        } else if (command == "renumber") {
            w.form.N37Click();
        } else if (command == "copy") {
            QTest::keyClick(w.rows(), Qt::Key_C, Qt::ControlModifier);
        } else if (command == "chart") {
            w.dialogs.queueModal([&](QDialog& d) {
                duringWindows << QApplication::overrideCursor();
                auto& f4 = static_cast<TForm4&>(d);
                f4.show();
                if (!f4.CheckBox6->isChecked())
                    QTest::mouseClick(f4.CheckBox6, Qt::LeftButton);
                QTest::mouseClick(f4.Button1, Qt::LeftButton);
                return f4.result();
            });
            w.dialogs.queueModal([&](QDialog& d) {
                d.show(); // builds the curves
                duringWindows << QApplication::overrideCursor();
                d.hide();
                return 0;
            });
            w.form.N15Click();
            QCOMPARE(w.dialogs.calls(ScriptedDialogService::Kind::Modal).size(), 2);
        } else if (command == "summary") {
            w.dialogs.queueModal([&](QDialog&) {
                duringWindows << QApplication::overrideCursor();
                return 0;
            });
            w.form.SummaryClick();
            QCOMPARE(w.dialogs.calls(ScriptedDialogService::Kind::Modal).size(), 1);
        }
        QVERIFY2(watch.sawWait(), qPrintable(command));
        QVERIFY(!QApplication::overrideCursor());
        for (const QCursor* c : duringWindows)
            QVERIFY2(!c, qPrintable(command));
    }
};

QTEST_MAIN(TestWindowKeys)
#include "tst_window_keys.moc"
