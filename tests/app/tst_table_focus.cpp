// A table just opened takes the keyboard: the arrow keys move through its
// rows without a click into the grid first.
#include "app/app_state.h"
#include "app/main.h"
#include "components/data_grid.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/scripted_dialog_service.h"

#include <QApplication>
#include <QFile>
#include <QTest>

class TestTableFocus : public QObject
{
    Q_OBJECT

private slots:
    void arrowKeysMoveThroughAnOpenedTable()
    {
        MainWindowFixture w;
        const QString table = w.path("t.db");
        QVERIFY(QFile::copy(QStringLiteral(FLN_SOURCE_DIR "/tests/data/data/sample.db"), table));
        QFile::setPermissions(table, QFile::ReadOwner | QFile::WriteOwner);
        TForm1& form = w.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        w.dialogs.queueOpenFile(table);
        form.N3Click();
        QVERIFY(w.state.tableOpen);
        QCOMPARE(form.Dbf1.position(), 0);
        QTRY_VERIFY(form.DBGridPro1->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTRY_COMPARE(form.Dbf1.position(), 1);
    }
};

QTEST_MAIN(TestTableFocus)
#include "tst_table_focus.moc"
