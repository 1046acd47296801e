// The measurement grid over a real table file and a settings file: sorting by
// title clicks, colours and widths across closing and restarting, the stored
// layout's text, selecting all rows and the modified flag on editing.
#include "components/column_layout_text.h"
#include "components/data_grid.h"
#include "data/dbf_table.h"
#include "data/mdx_file.h"
#include "data/measurement_document.h"
#include "platform/app_error.h"
#include "platform/settings_store.h"
#include "tests/support/helper_check.h"
#include "tests/support/measurement_table.h"
#include "tests/support/scripted_dialog_service.h"
#include "view/measurement_grid_view.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kLayout = QStringLiteral("Table_1");

struct Row
{
    int n;
    QString date, time, t1, t2;
};

// Distinct T_1 and T_2 texts of equal length, so their order needs no
// collation rules beyond digits.
const QList<Row> kRows{
    {1, "01.02.2007", "10:00:00", "10,0", "35,5"},
    {2, "31.01.2007", "11:00:00", "23,5", "12,5"},
    {3, "15.01.2007", "12:00:00", "31,2", "20,0"},
    {4, "02.02.2007", "13:00:00", "15,1", "41,0"},
};

struct Fixture
{
    QTemporaryDir dir;
    DbfTable table;
    DocumentState state;
    ScriptedDialogService dialogs;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<DataGrid> grid;
    MeasurementGridView* view = nullptr;

    explicit Fixture(const QList<Row>& rows = kRows, bool show = true)
    {
        state.regional = RegionalSettings::russian();
        QList<TestRow> tableRows;
        for (const Row& r : rows)
            tableRows.append({.n = r.n,
                              .mode = QStringLiteral("Оперативный"),
                              .enCh = 3,
                              .date = r.date,
                              .time = r.time,
                              .t1 = r.t1,
                              .t2 = r.t2});
        writeMeasurementTable(path(), tableRows);
        table.setTableFile(path());
        table.open();
        start(show);
    }

    // A new run of the program: new settings connection, grid and view.
    void start(bool show = true)
    {
        grid.reset();
        settings = std::make_unique<SettingsStore>(dir.filePath("settings.ini"));
        settings->openKey();
        grid = std::make_unique<DataGrid>();
        view = new MeasurementGridView(*grid, table, state, *settings, dialogs);
        QObject::connect(grid.get(), &DataGrid::titleStateChanged, view,
                         &MeasurementGridView::DBGridPro1TitleStateChange);
        QObject::connect(grid.get(), &DataGrid::editStarted, view,
                         &MeasurementGridView::DBGridPro1InitEdit);
        view->prepare_grid();
        if (show) {
            grid->resize(707, 400);
            grid->show();
            QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        }
    }

    QString path() const { return dir.filePath("t.db"); }
    QString mdx() const { return dir.filePath("t.mdx"); }
    int col(const char* field) const { return grid->columnByField(field); }

    QStringList shown(const char* field) const
    {
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            out << grid->model()->index(r, col(field)).data().toString();
        return out;
    }
    QList<TitleState> states() const
    {
        QList<TitleState> out;
        for (const GridColumn& c : grid->columns())
            out << c.titleState;
        return out;
    }
    void clickTitle(const char* field, Qt::KeyboardModifiers mods = {})
    {
        QHeaderView* h = grid->header();
        const int c = col(field);
        QTest::mouseClick(
            h->viewport(), Qt::LeftButton, mods,
            QPoint(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2));
    }
    QString stored() const { return settings->readString(kLayout); }
};

using TS = TitleState;
const TS N_ = TS::tsSortedNone, Up = TS::tsSortedUp, Dn = TS::tsSortedDown;

} // namespace

class TestMeasurementGridView : public QObject
{
    Q_OBJECT

private slots:
    void designColumnsStoreAsTheirLayoutText()
    {
        Fixture f(kRows, false); // hidden: no fitting, the design widths stay
        QCOMPARE(f.grid->columnCount(), 7);
        QCOMPARE(f.grid->column(f.col("T_1")).caption, QStringLiteral("T1, °C"));
        QCOMPARE(f.grid->column(f.col("COMMENT")).readOnly, false);
        QCOMPARE(f.grid->column(f.col("N")).readOnly, true);
        f.view->save_layout(kLayout);
        const QString item =
            QStringLiteral("    item\r\n      FieldName = '%1'\r\n      Width = %2\r\n"
                           "%3      Alignment = %4\r\n    end");
        const QString expected =
            "object TUniDataStorage\r\n  Data = <\r\n" + item.arg("N", "100", "", "talCenter") +
            "\r\n" + item.arg("DATE", "98", "", "talCenter") + "\r\n" +
            item.arg("TIME", "97", "      LayoutIndex = 1\r\n", "talCenter") + "\r\n" +
            item.arg("MODE", "98", "      LayoutIndex = 2\r\n", "talCenter") + "\r\n" +
            item.arg("T_1", "97", "", "talRightJustify") + "\r\n" +
            item.arg("T_2", "97", "", "talRightJustify") + "\r\n" +
            item.arg("COMMENT", "97", "", "talLeftJustify") + ">\r\nend\r\n";
        QCOMPARE(f.stored(), expected);
    }

    void firstOpenWritesEqualWidths()
    {
        Fixture f;
        QVERIFY(!f.settings->valueExists(kLayout));
        f.view->load_layout(kLayout);
        QVERIFY(f.settings->valueExists(kLayout));
        // width div 7 each, then fitted to the row area: equal but for the
        // remainder, which the last column takes.
        const int w = f.grid->column(0).width;
        for (int i = 1; i < 6; ++i)
            QCOMPARE(f.grid->column(i).width, w);
        QVERIFY(f.grid->column(6).width >= w && f.grid->column(6).width < w + 7);
        QVERIFY(qAbs(w - 707 / 7) <= 2);
        const GridColumnList stored = readColumnLayout(f.stored());
        QCOMPARE(stored.size(), 7);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(stored[i].width, f.grid->column(i).width);
    }

    void titleClicksSortAndUnsort()
    {
        Fixture f;
        f.clickTitle("T_1");
        QCOMPARE(f.shown("T_1"), (QStringList{"31,2", "23,5", "15,1", "10,0"}));
        QVERIFY(QFile::exists(f.mdx()));
        f.clickTitle("T_1");
        QCOMPARE(f.shown("T_1"), (QStringList{"10,0", "15,1", "23,5", "31,2"}));
        f.clickTitle("T_1", Qt::ControlModifier);
        QCOMPARE(f.shown("N"), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(f.states(), QList<TS>(7, N_));
        QVERIFY(!QFile::exists(f.mdx()));
    }

    void anotherTitleResetsTheFirst()
    {
        Fixture f;
        f.clickTitle("DATE");
        QCOMPARE(f.grid->column(f.col("DATE")).titleState, Up);
        f.clickTitle("T_2");
        QCOMPARE(f.states(), (QList<TS>{N_, N_, N_, N_, N_, Up, N_}));
        QCOMPARE(f.shown("T_2"), (QStringList{"41,0", "35,5", "20,0", "12,5"}));
        QCOMPARE(f.table.selectedSortTag().toLower(), QStringLiteral("tab1"));
    }

    // Temperatures by value and dates by the calendar, as the user
    // expected: the maximum first when descending, not "0,0" ahead of "-9,9".
    // The sort index then holds a numeric or a date key.
    void temperaturesAndDatesSortByValue()
    {
        const QList<Row> rows{
            {1, "31.10.2026", "10:00:00", "0,0", "0,0"},
            {2, "16.12.2026", "11:00:00", "-9,9", "-9,9"},
            {3, "01.02.2027", "12:00:00", " 9,9", " 9,9"},
            {4, "31.01.2027", "13:00:00", "-10,5", "-10,5"},
            {5, "05.11.2025", "14:00:00", "12,3", "12,3"},
            {6, "16.12.2026", "15:00:00", " 5,0", " 5,0"},
        };
        Fixture f(rows);
        f.clickTitle("T_2"); // descending
        QCOMPARE(f.shown("N"), (QStringList{"5", "3", "6", "1", "2", "4"}));
        MdxContents index = readMdxFile(f.mdx());
        QCOMPARE(index.tags.size(), size_t(1));
        QCOMPARE(index.tags[0].name, "TAB1");
        QCOMPARE(index.tags[0].expression, "VAL(T_2)");
        QCOMPARE(index.tags[0].keyType, SortKeyType::Numeric);
        f.clickTitle("T_2"); // ascending
        QCOMPARE(f.shown("N"), (QStringList{"4", "2", "1", "6", "3", "5"}));

        f.clickTitle("DATE"); // descending; equal dates in record order
        QCOMPARE(f.shown("N"), (QStringList{"3", "4", "2", "6", "1", "5"}));
        index = readMdxFile(f.mdx());
        QCOMPARE(index.tags[0].expression, "CTOD(DATE)");
        QCOMPARE(index.tags[0].keyType, SortKeyType::Date);
        f.clickTitle("DATE"); // ascending
        QCOMPARE(f.shown("N"), (QStringList{"5", "1", "2", "6", "4", "3"}));

        f.clickTitle("DATE", Qt::ControlModifier);
        QVERIFY(!QFile::exists(f.mdx()));
    }

    void resetWithoutSortChangesNothing()
    {
        Fixture f;
        const QStringList before = f.shown("N");
        f.view->N33Click();
        QCOMPARE(f.shown("N"), before);
        QCOMPARE(f.states(), QList<TS>(7, N_));
        QVERIFY(f.dialogs.calls().isEmpty());
        QVERIFY(!QFile::exists(f.mdx()));

        // With a sort: back to file order, the file gone.
        f.clickTitle("T_1");
        f.view->N33Click();
        QCOMPARE(f.shown("N"), before);
        QCOMPARE(f.states(), QList<TS>(7, N_));
        QVERIFY(!QFile::exists(f.mdx()));
    }

    void colourSurvivesReopenAndRestart()
    {
        Fixture f;
        f.view->load_layout(kLayout);
        f.grid->setCurrentColumn(f.col("T_1"));
        QColor dialogColor = Qt::black;
        f.dialogs.queueColor(QColor(255, 255, 0));
        f.view->N17Click(dialogColor);
        QCOMPARE(f.dialogs.calls(ScriptedDialogService::Kind::Color).at(0).color,
                 QColor(Qt::black));
        QCOMPARE(dialogColor, QColor(255, 255, 0)); // the next dialog starts there
        QCOMPARE(f.grid->column(f.col("T_1")).color, DelphiColors::clYellow);
        const int width = f.grid->column(f.col("T_1")).width;

        f.view->save_layout(kLayout); // Close_DB
        QVERIFY(f.stored().contains("      Color = clYellow\r\n"));
        f.table.close();
        f.table.open();
        f.view->load_layout(kLayout);
        QCOMPARE(f.grid->column(f.col("T_1")).color, DelphiColors::clYellow);

        FLN_CHECK(f.start()); // restart
        QCOMPARE(f.grid->column(f.col("T_1")).color, DelphiColors::clNone);
        f.view->load_layout(kLayout);
        QCOMPARE(f.grid->column(f.col("T_1")).color, DelphiColors::clYellow);
        QCOMPARE(f.grid->column(f.col("T_1")).width, width);
        QCOMPARE(f.grid->model()->index(0, f.col("T_1")).data(Qt::BackgroundRole).value<QColor>(),
                 QColor(255, 255, 0));

        // "Убрать цвет" on the current column, "Убрать все цвета" on all.
        f.grid->setCurrentColumn(f.col("DATE"));
        f.dialogs.queueColor(QColor(0, 0, 255));
        f.view->N17Click(dialogColor);
        f.view->N18Click();
        QCOMPARE(f.grid->column(f.col("DATE")).color, DelphiColors::clNone);
        QCOMPARE(f.grid->column(f.col("T_1")).color, DelphiColors::clYellow);
        f.view->N19Click();
        f.view->save_layout(kLayout);
        QVERIFY(!f.stored().contains("Color"));
    }

    void colourCommandsNeedAnOpenTable()
    {
        Fixture f;
        f.grid->setColor(0, DelphiColors::clRed);
        f.table.close();
        QColor dialogColor = Qt::black;
        f.view->N17Click(dialogColor);
        f.view->N18Click();
        f.view->N19Click();
        QVERIFY(f.dialogs.calls().isEmpty());
        QCOMPARE(f.grid->column(0).color, DelphiColors::clRed);
    }

    // The sort is not stored, so neither is its mark: the next run shows
    // record order and no column claims another.
    void storedLayoutBringsNoSortMark()
    {
        Fixture f;
        f.clickTitle("T_1"); // Up: descending
        f.view->save_layout(kLayout);
        f.table.close();
        QFile::remove(f.mdx());
        f.table.open();
        FLN_CHECK(f.start());
        f.view->load_layout(kLayout);
        QCOMPARE(f.states(), QList<TS>(7, N_));
        QCOMPARE(f.shown("N"), (QStringList{"1", "2", "3", "4"}));
        QVERIFY(!QFile::exists(f.mdx()));
        f.clickTitle("T_1"); // as on any unsorted title: descending
        QCOMPARE(f.grid->column(f.col("T_1")).titleState, Up);
        QCOMPARE(f.shown("T_1"), (QStringList{"31,2", "23,5", "15,1", "10,0"}));
    }

    void badStoredLayoutFailsWithItsError()
    {
        Fixture f;
        f.view->load_layout(kLayout);
        const GridColumnList before = f.grid->columns();
        f.settings->writeString(kLayout, "object TUniDataStorage\r\n  Data = <\r\n    item\r\n"
                                         "      Width = 'wide'\r\n    end>\r\nend\r\n");
        try {
            f.view->load_layout(kLayout);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), QStringLiteral("Invalid property value on line 4"));
        }
        QCOMPARE(f.grid->columns(), before);
    }

    void doubleClickSelectsAllRows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("empty") << 0;
        QTest::newRow("one row") << 1;
        QTest::newRow("four rows") << 4;
    }

    void doubleClickSelectsAllRows()
    {
        QFETCH(int, rows);
        Fixture f(kRows.mid(0, rows));
        f.table.last();
        QSignalSpy spy(f.grid.get(), &DataGrid::selectionChanged);
        f.view->DBGridPro1DblClick();
        QCOMPARE(f.grid->selectionCount(), rows);
        QVERIFY(spy.size() <= 1);
        for (int i = 0; i < rows; ++i) {
            const SelectionEntry e = f.grid->selectionEntry(i);
            QCOMPARE(e.bookmark, qint64(i + 1));
            QCOMPARE(e.values,
                     (QVariantList{kRows[i].t1, kRows[i].t2, kRows[i].date, kRows[i].time}));
        }
        if (rows > 0) {
            QCOMPARE(f.table.position(), 0);
            QCOMPARE(f.grid->view()->currentIndex().row(), 0);
        }
    }

    void startingAnEditSetsModified()
    {
        Fixture f;
        f.table.close(); // everything on disk
        QFile file(f.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        f.table.open();
        QVERIFY(!f.state.modified);
        f.grid->setCurrentColumn(f.col("COMMENT"));
        QTest::keyClick(f.grid->view(), Qt::Key_F2);
        QVERIFY(f.grid->isEditorOpen());
        QVERIFY(f.state.modified);
        f.grid->endEditInProgress(); // left unchanged
        QVERIFY(!f.grid->isEditorOpen());
        f.table.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void editedCommentReachesTheTable()
    {
        Fixture f;
        f.table.goToPosition(2);
        f.grid->setCurrentColumn(f.col("COMMENT"));
        QTest::keyClicks(f.grid->view(), QStringLiteral("x")); // typing opens the editor
        QVERIFY(f.grid->isEditorOpen());
        auto* editor = f.grid->view()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->maxLength(), 50); // the field's length
        editor->setText(QStringLiteral("жарко"));
        f.grid->endEditInProgress();
        f.table.goToPosition(2);
        QCOMPARE(f.table.text("COMMENT"), QStringLiteral("жарко"));
        QCOMPARE(f.table.state(), DbfTable::State::Browse);
    }
};

QTEST_MAIN(TestMeasurementGridView)
#include "tst_measurement_grid_view.moc"
