// A table just opened takes the keyboard: the arrow keys move through its
// rows without a click into the grid first.
#include "app/main.h"
#include "components/data_grid.h"
#include "data/app_state.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/scripted_dialog_service.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestTableFocus : public QObject
{
    Q_OBJECT

private slots:
    void arrowKeysMoveThroughAnOpenedTable()
    {
        QTemporaryDir dir;
        const QString table = dir.filePath("t.db");
        QVERIFY(QFile::copy(QStringLiteral(FLN_SOURCE_DIR "/tests/data/data/sample.db"), table));
        QFile::setPermissions(table, QFile::ReadOwner | QFile::WriteOwner);

        AppState state;
        state.regional = RegionalSettings::russian();
        ScriptedDialogService dialogs;
        SettingsStore settings(dir.filePath("settings.ini"));
        HelpViewer help(dir.path());
        PrintingService printing(PrintingService::Printers::None);
        TForm1 form(state, dialogs, printing, settings, help);
        form.FormCreate();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        dialogs.queueOpenFile(table);
        form.N3Click();
        QVERIFY(state.tableOpen);
        QCOMPARE(form.Dbf1.position(), 0);
        QTRY_VERIFY(form.DBGridPro1->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTRY_COMPARE(form.Dbf1.position(), 1);
    }
};

QTEST_MAIN(TestTableFocus)
#include "tst_table_focus.moc"
