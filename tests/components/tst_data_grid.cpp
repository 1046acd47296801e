// The data grid over a row source held in memory: title clicks, the
// selection and its captured values, deleting, notifications, editing,
// fitting and the row cache.
#include "components/data_grid.h"
#include "memory_row_source.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

namespace {

const QStringList kFields{"N", "T_1", "T_2", "DATE", "TIME", "COMMENT"};

QVariantList row(int n, const QString& t1, const QString& t2)
{
    return {n, t1, t2, QStringLiteral("01.02.2007"), QStringLiteral("10:00:0%1").arg(n), QString()};
}

GridColumn column(const QString& field, bool readOnly = true)
{
    GridColumn c;
    c.fieldName = field;
    c.caption = field;
    c.readOnly = readOnly;
    c.width = 100;
    return c;
}

struct Fixture
{
    MemoryRowSource source;
    DataGrid grid;

    explicit Fixture(int rows = 5)
    {
        QList<QVariantList> r;
        for (int i = 1; i <= rows; ++i)
            r << row(i, QString::number(i * 10) + ",5", "-" + QString::number(i) + ",0");
        source.setRows(kFields, r);
        grid.setColumns({column("n"), column("T_1"), column("T_2"), column("COMMENT", false)});
        grid.setBookmarkFields("T_1;T_2;DATE;TIME");
        grid.setSource(&source);
        grid.resize(500, 300);
        grid.show();
    }

    QPoint cell(int r, int c = 0) const
    {
        return grid.view()->visualRect(grid.model()->index(r, c)).center();
    }
    void click(int r, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, mods, cell(r));
    }
    void clickTitle(int c, Qt::KeyboardModifiers mods = {})
    {
        QHeaderView* h = grid.header();
        QTest::mouseClick(
            h->viewport(), Qt::LeftButton, mods,
            QPoint(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2));
    }
    void key(int k, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(grid.view(), Qt::Key(k), mods);
    }
    QList<qint64> selectedBookmarks() const
    {
        QList<qint64> out;
        for (const SelectionEntry& e : grid.selectionEntries())
            out << e.bookmark;
        return out;
    }
    QList<TitleState> states() const
    {
        QList<TitleState> out;
        for (const GridColumn& c : grid.columns())
            out << c.titleState;
        return out;
    }
};

using TS = TitleState;

} // namespace

Q_DECLARE_METATYPE(QList<qint64>)

class TestDataGrid : public QObject
{
    Q_OBJECT

private slots:
    void titleClicksCycleAndNotify()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        QSignalSpy spy(&f.grid, &DataGrid::titleStateChanged);
        const TS N = TS::tsSortedNone, U = TS::tsSortedUp, D = TS::tsSortedDown;

        f.clickTitle(1);
        QCOMPARE(f.states(), (QList<TS>{N, U, N, N}));
        f.clickTitle(1);
        QCOMPARE(f.states(), (QList<TS>{N, D, N, N}));
        f.clickTitle(1, Qt::ShiftModifier); // Shift acts the same
        QCOMPARE(f.states(), (QList<TS>{N, U, N, N}));
        f.clickTitle(2); // another title: the first loses its state
        QCOMPARE(f.states(), (QList<TS>{N, N, U, N}));
        QCOMPARE(spy.size(), 4);
        QCOMPARE(spy.last().at(0).toInt(), 2);

        // Ctrl sets None and leaves the others, even a second stored state.
        f.grid.setTitleState(0, D);
        QCOMPARE(spy.size(), 4); // program changes send nothing
        f.clickTitle(2, Qt::ControlModifier);
        QCOMPARE(f.states(), (QList<TS>{D, N, N, N}));
        QCOMPARE(spy.size(), 5);

        // A column whose title states are not allowed ignores clicks.
        GridColumn c = f.grid.column(3);
        c.titleStatesAllowed = false;
        f.grid.setColumn(3, c);
        f.clickTitle(3);
        QCOMPARE(f.states(), (QList<TS>{D, N, N, N}));
        QCOMPARE(spy.size(), 5);
    }

    void selectionByMouseAndKeys_data()
    {
        QTest::addColumn<QString>(
            "script"); // c<row>, C<row> (Ctrl), S<row> (Shift), d/u (Shift+arrow), k (plain Down)
        QTest::addColumn<QList<qint64>>("bookmarks");
        QTest::addColumn<qint64>("current");

        QTest::newRow("no explicit selection: the current row") << "c2" << QList<qint64>{3} << 2LL;
        QTest::newRow("ctrl adds and removes") << "c0 C2 C4 C2" << QList<qint64>{5} << 2LL;
        QTest::newRow("ctrl adds in order") << "c0 C3 C1" << QList<qint64>{4, 2} << 1LL;
        QTest::newRow("shift selects from the clicked row")
            << "c1 S3" << QList<qint64>{2, 3, 4} << 3LL;
        QTest::newRow("shift upwards") << "c3 S1" << QList<qint64>{4, 3, 2} << 1LL;
        QTest::newRow("shift+down twice") << "c1 d d" << QList<qint64>{2, 3, 4} << 3LL;
        QTest::newRow("shift+down then back up") << "c1 d d u" << QList<qint64>{2, 3} << 2LL;
        QTest::newRow("shift+up past the anchor") << "c2 d u u" << QList<qint64>{3, 2} << 1LL;
        QTest::newRow("shift+down at the last row") << "c4 d d" << QList<qint64>{5} << 4LL;
        QTest::newRow("plain move clears") << "c0 d d k" << QList<qint64>{4} << 3LL;
        QTest::newRow("plain click clears") << "c0 C3 c1" << QList<qint64>{2} << 1LL;
    }

    void selectionByMouseAndKeys()
    {
        QFETCH(QString, script);
        QFETCH(QList<qint64>, bookmarks);
        QFETCH(qint64, current);
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        for (const QString& step : script.split(' ')) {
            const int r = step.mid(1).toInt();
            switch (step[0].toLatin1()) {
            case 'c':
                f.click(r);
                break;
            case 'C':
                f.click(r, Qt::ControlModifier);
                break;
            case 'S':
                f.click(r, Qt::ShiftModifier);
                break;
            case 'd':
                f.key(Qt::Key_Down, Qt::ShiftModifier);
                break;
            case 'u':
                f.key(Qt::Key_Up, Qt::ShiftModifier);
                break;
            case 'k':
                f.key(Qt::Key_Down);
                break;
            }
        }
        QCOMPARE(f.selectedBookmarks(), bookmarks);
        QCOMPARE(f.grid.selectionCount(), bookmarks.size());
        QCOMPARE(f.source.current, current);
        // Selected rows are drawn filled, through the model.
        const QModelIndex idx = f.grid.model()->index(int(f.source.positionOf(bookmarks[0])), 0);
        QCOMPARE(idx.data(DataGridModel::SelectedRole).toBool(), f.grid.hasExplicitSelection());
    }

    void entriesKeepTheValuesCapturedOnEntry()
    {
        Fixture f;
        f.grid.extendSelectionDown(); // rows 1 and 2
        f.source.rows[0][1] = QStringLiteral("99,9");
        f.source.rows[1][2] = QStringLiteral("88,8");
        f.grid.model()->reload();
        QCOMPARE(f.grid.selectionCount(), 2);
        QCOMPARE(f.grid.selectionEntry(0).values,
                 (QVariantList{"10,5", "-1,0", "01.02.2007", "10:00:01"}));
        QCOMPARE(f.grid.selectionEntry(1).values,
                 (QVariantList{"20,5", "-2,0", "01.02.2007", "10:00:02"}));
        // With no explicit selection the entry is read from the current row.
        f.grid.clearSelection();
        f.source.setCurrentRow(1);
        QCOMPARE(f.grid.selectionEntry(0).values.at(1), QVariant("88,8"));
    }

    // The one-step walk to the last row ends as Shift+Down repeated does:
    // the same entries with the same values in the same order, the same
    // current row; with record numbers as bookmarks and with bookmarks that
    // no bit set holds.
    void extendToLastRowAsTheStepsDo_data()
    {
        QTest::addColumn<QList<qint64>>("bookmarks");
        QTest::newRow("record numbers") << QList<qint64>{1, 2, 3, 4, 5, 6};
        QTest::newRow("far and negative") << QList<qint64>{7, -3, qint64(1) << 40, 2, -1, 9};
    }
    void extendToLastRowAsTheStepsDo()
    {
        QFETCH(QList<qint64>, bookmarks);
        Fixture steps(6), once(6);
        for (Fixture* f : {&steps, &once}) {
            f->source.bookmarks = bookmarks;
            f->grid.model()->reload();
            f->click(1);
            f->click(4, Qt::ControlModifier); // selected before the walk
            f->source.setCurrentRow(2);
        }
        for (int i = 0; i < 3; ++i) // rows 3, 4 and 5
            steps.grid.extendSelectionDown();
        once.grid.extendSelectionToLastRow();
        QCOMPARE(once.selectedBookmarks(), steps.selectedBookmarks());
        QCOMPARE(once.selectedBookmarks(),
                 (QList<qint64>{bookmarks[4], bookmarks[2], bookmarks[3], bookmarks[5]}));
        for (int i = 0; i < once.grid.selectionCount(); ++i)
            QCOMPARE(once.grid.selectionEntry(i).values, steps.grid.selectionEntry(i).values);
        QCOMPARE(once.source.currentRow(), 5);
        // Taken out again one by one.
        once.click(4, Qt::ControlModifier);
        once.click(2, Qt::ControlModifier);
        QCOMPARE(once.selectedBookmarks(), (QList<qint64>{bookmarks[3], bookmarks[5]}));
        QVERIFY(once.grid.model()->isSelected(bookmarks[5]));
        QVERIFY(!once.grid.model()->isSelected(bookmarks[2]));
    }

    void emptyGridHasNoSelection()
    {
        Fixture f(0);
        QCOMPARE(f.grid.selectionCount(), 0);
        QVERIFY(f.grid.selectionEntries().isEmpty());
        f.grid.extendSelectionDown();
        f.grid.deleteSelected();
        QVERIFY(f.source.deleted.isEmpty());
    }

    void notifiesSelectionChanges()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        QSignalSpy spy(&f.grid, &DataGrid::selectionChanged);
        f.source.setCurrentRow(3); // moved by the program
        QCOMPARE(spy.size(), 1);
        QTRY_COMPARE(f.grid.view()->currentIndex().row(), 3); // the grid follows
        f.click(1);                                           // moved by the user
        QCOMPARE(f.source.current, 1LL);
        QVERIFY(spy.size() >= 2);
        spy.clear();

        // Held notifications come once at the end.
        f.grid.beginUpdate();
        f.source.setCurrentRow(0);
        for (int i = 0; i < 4; ++i)
            f.grid.extendSelectionDown();
        QCOMPARE(spy.size(), 0);
        f.grid.endUpdate();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(f.grid.selectionCount(), 5);
        QCOMPARE(f.grid.view()->currentIndex().row(), 4);
    }

    void deletesSelectedRowsLastToFirstWhileFrozen()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        f.click(3);
        f.click(0, Qt::ControlModifier);
        f.click(2, Qt::ControlModifier);
        QCOMPARE(f.selectedBookmarks(), (QList<qint64>{1, 3}));
        f.grid.deleteSelected();
        QCOMPARE(f.source.deleted, (QList<qint64>{3, 1}));
        QCOMPARE(f.source.frozenAtDelete, (QList<int>{1, 1}));
        QCOMPARE(f.source.frozen, 0);
        QVERIFY(!f.grid.hasExplicitSelection());
        QCOMPARE(f.grid.model()->rowCount(), 3);

        // No explicit selection: the current row alone.
        f.source.setCurrentRow(1);
        f.grid.deleteSelected();
        QCOMPARE(f.source.deleted.last(), 4LL);
    }

    void deleteKeyOnlyWhenEnabled()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        QSignalSpy after(&f.grid, &DataGrid::afterDelete);
        f.key(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(f.source.deleted.isEmpty());
        QCOMPARE(after.size(), 0);
        f.grid.setDeleteKeyEnabled(true);
        f.key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.source.deleted, (QList<qint64>{1}));
        QCOMPARE(after.size(), 1);
    }

    void editsEditableColumnsOnly()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        QSignalSpy started(&f.grid, &DataGrid::editStarted);
        f.click(2);
        f.grid.setCurrentColumn(0); // read-only N: no editor
        f.key(Qt::Key_F2);
        QVERIFY(!f.grid.isEditorOpen());
        f.grid.setCurrentColumn(3);
        f.key(Qt::Key_F2);
        QVERIFY(f.grid.isEditorOpen());
        QCOMPARE(started.size(), 1);
        auto* editor = f.grid.view()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("тёплый день"));
        f.grid.endEditInProgress(); // typed text is posted, not dropped
        QVERIFY(!f.grid.isEditorOpen());
        QCOMPARE(f.source.posted.size(), 1);
        QCOMPARE(f.source.rows[2][5].toString(), QStringLiteral("тёплый день"));
        QCOMPARE(f.grid.model()->index(2, 3).data().toString(), QStringLiteral("тёплый день"));

        // An editor left unchanged writes nothing.
        f.key(Qt::Key_F2);
        QCOMPARE(started.size(), 2);
        f.grid.endEditInProgress();
        QCOMPARE(f.source.posted.size(), 1);

        // A row in edit state is posted.
        f.source.editing = true;
        f.grid.endEditInProgress();
        QCOMPARE(f.source.posted.size(), 2);
    }

    void openEditorWritesToItsRecordAfterReordering()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        f.click(1, Qt::NoModifier);
        f.grid.setCurrentColumn(3);
        f.key(Qt::Key_F2);
        auto* editor = f.grid.view()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("second"));
        // The order changes under the editor (a sort by the program).
        f.source.rows.swapItemsAt(0, 1);
        f.source.bookmarks.swapItemsAt(0, 1);
        f.source.current = 0;
        Q_EMIT f.source.contentsChanged();
        QVERIFY(!f.grid.isEditorOpen());
        QCOMPARE(f.source.rows[0][5].toString(), QStringLiteral("second")); // record 2, now first
        QVERIFY(f.source.rows[1][5].toString().isEmpty());
    }

    void doubleClickNotifies()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        QSignalSpy spy(&f.grid, &DataGrid::doubleClicked);
        QTest::mouseDClick(f.grid.view()->viewport(), Qt::LeftButton, {}, f.cell(1, 3));
        QCOMPARE(spy.size(), 1);
        QVERIFY(!f.grid.isEditorOpen());
    }

    void modelRolesCarryTheLook()
    {
        Fixture f;
        GridColumn c = f.grid.column(1);
        c.color = DelphiColors::clYellow;
        c.alignment = ColumnAlignment::talCenter;
        f.grid.setColumn(1, c);
        f.grid.setFooterText(1, "1/2/3");
        DataGridModel* m = f.grid.model();
        QCOMPARE(m->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));
        QCOMPARE(m->index(0, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QCOMPARE(m->index(0, 0).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter)); // a number, default alignment
        QVERIFY(!m->index(0, 2).data(Qt::BackgroundRole).isValid());
        QCOMPARE(m->headerData(1, Qt::Horizontal, DataGridModel::FooterTextRole).toString(),
                 QStringLiteral("1/2/3"));
        QCOMPARE(m->index(0, 0).data().toString(), QStringLiteral("1")); // bound ignoring case
        QCOMPARE(f.grid.columnByField("comment"), 3);
        c.font = GridFont{};
        c.font->style = QStringList{"fsBold"};
        c.font->color = DelphiColors::clRed;
        f.grid.setColumn(1, c);
        const QFont font = m->index(0, 1).data(Qt::FontRole).value<QFont>();
        QCOMPARE(font.pixelSize(), 11);
        QVERIFY(font.bold());
        QCOMPARE(m->index(0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        QVERIFY(!m->index(0, 0).data(Qt::FontRole).isValid());
        QCOMPARE(f.grid.columnByField("EN_CH"), -1);
    }

    void autoFitFillsTheWidth()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        auto total = [&] {
            int sum = 0;
            for (const GridColumn& c : f.grid.columns())
                sum += c.width;
            return sum;
        };
        const int viewport = f.grid.view()->viewport()->width();
        QCOMPARE(total(), viewport);
        f.grid.resize(800, 300);
        QTRY_COMPARE(total(), f.grid.view()->viewport()->width());
        for (int i = 0; i < f.grid.columnCount(); ++i)
            QCOMPARE(f.grid.header()->sectionSize(i), f.grid.column(i).width);

        f.grid.setAutoFit(false);
        f.grid.setWidth(0, 30);
        QCOMPARE(f.grid.header()->sectionSize(0), 30);
        QVERIFY(total() < f.grid.view()->viewport()->width());
    }

    void readsOnlyTheRowsItShows()
    {
        MemoryRowSource source;
        QList<QVariantList> rows(1000000, row(1, "1,0", "2,0"));
        source.setRows(kFields, rows);
        DataGrid grid;
        grid.setColumns({column("N"), column("T_1")});
        grid.setSource(&source);
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.model()->rowCount(), 1000000);
        grid.view()->scrollToBottom();
        QApplication::processEvents();
        grid.view()->scrollToTop();
        QApplication::processEvents();
        QVERIFY2(source.rowReads < 1000, qPrintable(QString::number(source.rowReads)));
    }
};

QTEST_MAIN(TestDataGrid)
#include "tst_data_grid.moc"
