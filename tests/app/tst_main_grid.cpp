// The grid inside the main window: the stored layout across Open, Close and a
// restart, the question after an edit, and a stored layout that does not read.
#include "platform/app_error.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/scripted_dialog_service.h"

#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {

const QString kQuestion = QStringLiteral("Сохранить изменения в таблицах ?");

// A start of the program over the settings in `dir`, shown.
struct Window : MainWindowFixture
{
    explicit Window(const QTemporaryDir& dir) : MainWindowFixture(dir.path())
    {
        form.resize(800, 500);
        form.show();
    }
    int col(const char* field) { return grid().columnByField(field); }
};

void makeTable(const QString& path)
{
    QList<TestRow> rows;
    for (int i = 1; i <= 3; ++i)
        rows.append({.n = i,
                     .mode = QStringLiteral("Наблюдения"),
                     .date = "01.12.2026",
                     .time = QStringLiteral("10:0%1:00").arg(i),
                     .t1 = QStringLiteral("2%1,0").arg(i),
                     .t2 = QStringLiteral("1%1,5").arg(i)});
    writeMeasurementTable(path, rows);
}

} // namespace

class TestMainGrid : public QObject
{
    Q_OBJECT

private slots:
    void layoutLivesAcrossCloseAndRestart()
    {
        QTemporaryDir dir;
        const QString table = dir.filePath("july.db");
        makeTable(table);
        {
            Window w(dir);
            w.form.Open_DB(table);
            QVERIFY(w.settings.valueExists(TForm1::kLayoutValue)); // written on the first open
            w.grid().setCurrentColumn(w.col("MODE"));
            w.dialogs.queueColor(QColor(0, 255, 255));
            w.form.N17Click();
            QCOMPARE(w.grid().column(w.col("MODE")).color, DelphiColors::clAqua);
            w.form.N7Click(); // Close stores the layout
            QVERIFY(w.settings.readString(TForm1::kLayoutValue).contains("Color = clAqua\r\n"));
            // Colour commands without a table do nothing.
            w.form.N19Click();
            QCOMPARE(w.grid().column(w.col("MODE")).color, DelphiColors::clAqua);
        }
        Window again(dir); // a new run
        again.form.Open_DB(table);
        QCOMPARE(again.grid().column(again.col("MODE")).color, DelphiColors::clAqua);
        again.form.N19Click();
        again.form.N7Click();
        QVERIFY(!again.settings.readString(TForm1::kLayoutValue).contains("Color"));
    }

    // The design layout of a run that showed no table does not replace the
    // user's colours and widths.
    void closingWithoutATableKeepsTheStoredLayout()
    {
        QTemporaryDir dir;
        const QString stored = "object TUniDataStorage\r\n  Data = <\r\n    item\r\n"
                               "      FieldName = 'MODE'\r\n      Width = 211\r\n"
                               "      Color = clAqua\r\n    end>\r\nend\r\n";
        {
            Window w(dir);
            w.settings.writeString(TForm1::kLayoutValue, stored);
            QVERIFY(w.form.close());
            QCOMPARE(w.settings.readString(TForm1::kLayoutValue), stored);
        }
        const QString table = dir.filePath("t.db");
        makeTable(table);
        Window again(dir);
        again.form.Open_DB(table);
        QCOMPARE(again.grid().column(again.col("MODE")).color, DelphiColors::clAqua);
    }

    void anUnchangedEditStillAsksOnClose()
    {
        QTemporaryDir dir;
        const QString table = dir.filePath("t.db");
        makeTable(table);
        Window w(dir);
        w.form.Open_DB(table);
        QVERIFY(!w.state.modified);
        w.grid().setCurrentColumn(w.col("COMMENT"));
        QTest::keyClick(w.grid().view(), Qt::Key_F2);
        QVERIFY(w.grid().isEditorOpen());
        QTest::keyClick(w.grid().view()->focusWidget(), Qt::Key_Escape);
        QVERIFY(w.state.modified);
        w.dialogs.queueAnswer(DialogService::Answer::No);
        w.form.N7Click();
        QCOMPARE(w.dialogs.messages().size(), 1);
        QCOMPARE(w.dialogs.messages().at(0).text, kQuestion);
    }

    // A comment still in the cell editor is posted, as Enter would post it,
    // before a command closes or leaves the table; the question of Close then
    // comes as before, and its Нет no longer drops the typed text.
    void typedCommentSurvivesTheCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Выход") << "N11";
        QTest::newRow("closing the window") << "close";
        QTest::newRow("Открыть") << "N3";
        QTest::newRow("Создать") << "N2";
        QTest::newRow("Дополнить") << "N4";
        QTest::newRow("Закрыть") << "N7";
    }
    void typedCommentSurvivesTheCommand()
    {
        QFETCH(QString, command);
        QTemporaryDir dir;
        const QString table = dir.filePath("t.db");
        makeTable(table);
        const QString other = dir.filePath("other.db");
        makeTable(other);
        {
            Window w(dir);
            w.form.Open_DB(table);
            w.grid().setCurrentColumn(w.col("COMMENT"));
            w.form.Dbf1.goToPosition(1);
            QTest::keyClicks(w.grid().view(), QStringLiteral("x")); // typing opens the editor
            QVERIFY(w.grid().isEditorOpen());
            auto* editor = qobject_cast<QLineEdit*>(w.grid().view()->focusWidget());
            QVERIFY(editor);
            editor->setText(QStringLiteral("заморозки"));

            if (command == "N11") {
                w.form.N11Click();
            } else if (command == "close") {
                w.dialogs.queueAnswer(DialogService::Answer::No);
                QVERIFY(w.form.close());
            } else if (command == "N3") {
                w.dialogs.queueOpenFile(other);
                w.dialogs.queueAnswer(DialogService::Answer::No);
                w.form.N3Click();
                QCOMPARE(w.form.Dbf1.tableFile(), other);
            } else if (command == "N2") {
                w.dialogs.queueAnswer(DialogService::Answer::No);
                w.dialogs.queueSaveFile(QString(), false);
                w.form.N2Click();
            } else if (command == "N4") {
                w.form.N4Click(); // no download dialog here: Append stops after the post
            } else if (command == "N7") {
                w.dialogs.queueAnswer(DialogService::Answer::No);
                w.form.N7Click();
            }
            QVERIFY(!w.grid().isEditorOpen());
            QCOMPARE(w.dialogs.pendingAnswers(), 0);
            // Close's question is asked as before where the command closes.
            for (const auto& m : w.dialogs.messages())
                QCOMPARE(m.text, kQuestion);
        } // the end of the run closes what is still open

        DbfTable t;
        t.setTableFile(table);
        t.open(DbfTable::Access::ReadOnly);
        QStringList comments;
        for (t.first(); !t.eof(); t.next())
            comments << t.text("COMMENT");
        QCOMPARE(comments, (QStringList{QString(), QStringLiteral("заморозки"), QString()}));
    }

    void badStoredLayoutStopsOpen()
    {
        QTemporaryDir dir;
        const QString table = dir.filePath("t.db");
        makeTable(table);
        Window w(dir);
        w.settings.writeString(TForm1::kLayoutValue, "object TUniDataStorage\r\n  Data = <\r\n"
                                                     "    item\r\n      Colour = clRed\r\n"
                                                     "    end>\r\nend\r\n");
        try {
            w.form.Open_DB(table);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), QStringLiteral("Property Colour does not exist on line 4"));
        }
        QCOMPARE(w.form.applicationTitle(), kAppTitle); // the rest of Open_DB was not done
    }
};

QTEST_MAIN(TestMainGrid)
#include "tst_main_grid.moc"
