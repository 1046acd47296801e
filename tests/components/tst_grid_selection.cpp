// The grid's selection rules without a widget: gestures played on a model
// over rows held in memory, and the selection and current row they leave.
#include "components/data_grid_model.h"
#include "components/grid_selection.h"
#include "memory_row_source.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<qint64>)

class TestGridSelection : public QObject
{
    Q_OBJECT

private slots:
    void gestures_data()
    {
        // Rows 0..5 with bookmarks 1..6, the current row 0. Steps:
        // c<row> a click (then the current row is there), C<row> with Ctrl,
        // S<row> with Shift, d/u Shift+Down/Up, L the walk to the last row,
        // m<row> the current row moved by the program, x clear.
        QTest::addColumn<QString>("script");
        QTest::addColumn<QList<qint64>>("bookmarks"); // the explicit selection in order
        QTest::addColumn<qint64>("current");

        QTest::newRow("a click selects nothing") << "c2" << QList<qint64>{} << 2LL;
        QTest::newRow("ctrl adds and takes out") << "C2 C4 C2" << QList<qint64>{5} << 2LL;
        QTest::newRow("ctrl keeps the order of selecting") << "C3 C1" << QList<qint64>{4, 2} << 1LL;
        QTest::newRow("shift from the current row") << "c1 S3" << QList<qint64>{2, 3, 4} << 3LL;
        QTest::newRow("shift upwards") << "c3 S1" << QList<qint64>{4, 3, 2} << 1LL;
        QTest::newRow("second shift click from the same anchor")
            << "c2 S4 S0" << QList<qint64>{3, 4, 5, 2, 1} << 0LL;
        QTest::newRow("shift+down twice") << "c1 d d" << QList<qint64>{2, 3, 4} << 3LL;
        QTest::newRow("shift+down, back up") << "c1 d d u" << QList<qint64>{2, 3} << 2LL;
        QTest::newRow("shift+up past the anchor") << "c2 d u u" << QList<qint64>{3, 2} << 1LL;
        QTest::newRow("shift+up at the first row") << "u u" << QList<qint64>{1} << 0LL;
        QTest::newRow("shift+down at the last row") << "c5 d d" << QList<qint64>{6} << 5LL;
        QTest::newRow("a program move forgets the anchor")
            << "c1 d m4 u" << QList<qint64>{2, 3, 5, 4} << 3LL;
        QTest::newRow("walk to the last row") << "c3 L" << QList<qint64>{4, 5, 6} << 5LL;
        QTest::newRow("walk from a shift click on the current row")
            << "c2 S2 L" << QList<qint64>{3, 4, 5, 6} << 5LL;
        QTest::newRow("no walk once the steps left the anchor")
            << "c1 d L" << QList<qint64>{2, 3} << 2LL;
        QTest::newRow("no walk towards an anchor below") << "c4 u L" << QList<qint64>{5, 4} << 3LL;
        QTest::newRow("clear") << "c1 d x d" << QList<qint64>{3, 4} << 3LL;
    }

    void gestures()
    {
        QFETCH(QString, script);
        QFETCH(QList<qint64>, bookmarks);
        QFETCH(qint64, current);
        MemoryRowSource source;
        QList<QVariantList> rows;
        for (int i = 1; i <= 6; ++i)
            rows << QVariantList{i, QStringLiteral("%1,5").arg(i)};
        source.setRows({"N", "T_1"}, rows);
        DataGridModel model;
        GridColumn n;
        n.fieldName = QStringLiteral("N");
        model.setColumns({n});
        model.setBookmarkFields(QStringLiteral("T_1"));
        model.setSource(&source);
        GridSelection selection(model);
        // As the grid does: a move the selection did not make forgets the anchor.
        bool viewMoves = false;
        QObject::connect(&source, &GridRowSource::currentChanged, [&] {
            if (!viewMoves)
                selection.currentMoved();
        });

        for (const QString& step : script.split(u' ')) {
            const int r = step.mid(1).toInt();
            const auto click = [&](Qt::KeyboardModifiers mods) {
                selection.press(r, mods);
                viewMoves = true; // the view puts the current row where it was clicked
                source.setCurrentRow(r);
                viewMoves = false;
            };
            switch (step[0].toLatin1()) {
            case 'c':
                click({});
                break;
            case 'C':
                click(Qt::ControlModifier);
                break;
            case 'S':
                click(Qt::ShiftModifier);
                break;
            case 'd':
                selection.step(+1);
                break;
            case 'u':
                selection.step(-1);
                break;
            case 'L':
                selection.extendToLastRow();
                break;
            case 'm':
                source.setCurrentRow(r);
                break;
            case 'x':
                selection.clear();
                break;
            default:
                QFAIL("unknown step");
            }
        }
        QList<qint64> selected;
        for (qsizetype i = 0; i < model.selectionSize(); ++i)
            selected << model.selectionBookmark(i);
        QCOMPARE(selected, bookmarks);
        QCOMPARE(source.current, current);
        QCOMPARE(selection.currentRow(), int(current));
        // Each entry holds the value of its own row.
        for (qsizetype i = 0; i < model.selectionSize(); ++i)
            QCOMPARE(model.selectionValue(i, 0).toString(),
                     QStringLiteral("%1,5").arg(model.selectionBookmark(i)));
    }
};

QTEST_GUILESS_MAIN(TestGridSelection)
#include "tst_grid_selection.moc"
