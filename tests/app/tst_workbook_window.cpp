// "Экспорт в Excel" in the main window: the rows in the grid's order, the
// table and the flags untouched, the progress with its cancel button, and
// errors left to the default error report.
#include "platform/app_error.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "platform/xlsx_spreadsheet.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/recording_spreadsheet.h"

#include <QAbstractItemView>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

struct Window : MainWindowFixture
{
    QTemporaryDir out;
    QSharedPointer<RecordingSpreadsheet::Log> log =
        QSharedPointer<RecordingSpreadsheet::Log>::create();

    QString table() const { return path("t.db"); }
    // Rows with N = 1..count and T_1 = count-1 .. 0 (so sorting by T_1
    // reverses them); `badRow` (1-based) gets a date that is none.
    void open(int count, int badRow = 0)
    {
        QList<TestRow> rows;
        for (int i = 1; i <= count; ++i)
            rows.append({.n = i,
                         .mode = "Наблюдения",
                         .enCh = 3,
                         .date = i == badRow ? "31.02.2026" : "01.12.2026",
                         .time = "10:00:00",
                         .t1 = QStringLiteral("%1,0").arg(count - i),
                         .t2 = "2,5"});
        MainWindowFixture::open(rows, "t.db");
    }
    void recordCalls() { form.setSpreadsheetFactory(RecordingSpreadsheet::factory(log)); }
    void writeFiles()
    {
        const QString folder = out.path();
        form.setSpreadsheetFactory([folder] {
            return std::unique_ptr<SpreadsheetApplication>(
                new XlsxSpreadsheet({folder, QString(), false, {}}));
        });
    }
    QStringList files() const
    {
        return QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QStringList numbersSent() const
    {
        QStringList n;
        for (const QString& c : log->calls.filter(", 1) := "))
            if (!c.contains("(text)"))
                n << c.section(":= ", 1).section(' ', 0, 0);
        return n;
    }
};

} // namespace

class TestWorkbookWindow : public QObject
{
    Q_OBJECT

private slots:
    void exportsInTheGridsOrder()
    {
        Window w;
        w.open(4);
        w.recordCalls();
        w.form.Excel1Click();
        QCOMPARE(w.numbersSent(), QStringList({"1", "2", "3", "4"}));

        // The grid sorted by T_1, ascending: the rows come reversed.
        DataGrid& grid = *w.form.DBGridPro1;
        const int t1 = grid.columnByField("T_1");
        grid.setTitleState(t1, TitleState::tsSortedDown);
        w.form.DBGridPro1TitleStateChange(t1);
        w.log->calls.clear();
        w.form.Excel1Click();
        QCOMPARE(w.numbersSent(), QStringList({"4", "3", "2", "1"}));
        QCOMPARE(w.log->instances, 2); // a new instance for every export
    }

    void postsTheEditInProgress()
    {
        // A comment being typed in the grid when the export starts: it is
        // posted, as a move to another record would post it, and every row
        // keeps its own values.
        Window w;
        w.open(3);
        w.recordCalls();
        w.form.Dbf1.goToPosition(1);
        w.form.Dbf1.edit();
        w.form.Dbf1.setText("COMMENT", "правка");
        w.form.Excel1Click();
        QCOMPARE(w.numbersSent(), QStringList({"1", "2", "3"}));
        QCOMPARE(w.log->calls.filter(", 6) := \"правка\"").size(), 1);
        QCOMPARE(w.form.Dbf1.state(), DbfTable::State::Browse);
    }

    void leavesTableAndFlagsAlone()
    {
        for (const bool modified : {false, true}) {
            Window w;
            w.open(5);
            w.writeFiles();
            w.form.Dbf1.first();
            w.state.modified = modified;
            const QByteArray before = fileHash(w.table());
            w.form.Excel1Click();
            QCOMPARE(w.files(), QStringList({"ФЛН-РК2.xlsx"}));
            QCOMPARE(w.form.Dbf1.recNo(), 5u); // the last record is current
            QCOMPARE(w.form.Dbf1.position(), 4);
            // and the grid shows it
            QTRY_COMPARE(w.form.DBGridPro1->findChild<QAbstractItemView*>()->currentIndex().row(),
                         4);
            QCOMPARE(w.state.modified, modified);
            QVERIFY(w.state.tableOpen);
            QCOMPARE(fileHash(w.table()), before);
        }
    }

    void nothingWithoutTable()
    {
        Window w;
        w.recordCalls();
        w.form.Excel1Click();
        QCOMPARE(w.log->instances, 0);
        QVERIFY(!w.form.Excel1->isEnabled());
    }

    void conversionErrorEndsTheExport()
    {
        Window w;
        w.open(3, 2);
        w.writeFiles();
        try {
            w.form.Excel1Click();
            QFAIL("the export went through");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), "'31.02.2026 10:00' is not a valid date and time");
        }
        QCOMPARE(w.files(), QStringList());
        QVERIFY(w.form.findChildren<QProgressDialog*>().isEmpty());
    }

    // No program takes the workbook: the user learns where it is, and can
    // open its folder; the progress window has a caption of its own and is
    // gone before the message. The workbook is named after the table.
    void workbookNoProgramOpened()
    {
        Window w;
        w.open(3);
        QStringList opened;
        bool programAnswers = false;
        w.form.setWorkbookDesktop(w.out.path(), [&](const QString& path) {
            opened << path;
            return programAnswers || QFileInfo(path).isDir(); // a folder always opens
        });
        QString caption;
        QMetaObject::invokeMethod(
            &w.form,
            [&] {
                if (auto* progress = w.form.findChild<QProgressDialog*>("ExcelProgress"))
                    caption = progress->windowTitle();
            },
            Qt::QueuedConnection);
        int progressWindowsAtMessage = -1;
        w.dialogs.setMessageSeen([&](const ScriptedDialogService::Call&) {
            progressWindowsAtMessage = int(w.form.findChildren<QProgressDialog*>().size());
        });
        w.dialogs.queueAnswer(DialogService::Answer::Yes); // "Открыть папку"
        w.form.Excel1Click();
        QCOMPARE(caption, QString("Экспорт в Excel"));
        const QString book = w.out.filePath("t.xlsx");
        QVERIFY(QFileInfo::exists(book));
        QCOMPARE(opened, (QStringList{book, w.out.path()}));
        const auto said = w.dialogs.messages();
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].text.contains(QDir::toNativeSeparators(book)), qPrintable(said[0].text));
        QVERIFY(said[0].buttons == DialogService::Buttons::OpenFolderOk);
        QCOMPARE(progressWindowsAtMessage, 0);

        // A program that takes it, and may never show a window: no question,
        // but the status bar still says where the workbook is.
        w.dialogs.clear();
        opened.clear();
        programAnswers = true;
        w.form.Excel1Click();
        const QString second = w.out.filePath("t (2).xlsx");
        QCOMPARE(opened, QStringList{second});
        QVERIFY(w.dialogs.messages().isEmpty());
        QCOMPARE(w.form.OutputStatus->text(),
                 "Книга Excel сохранена: " + QDir::toNativeSeparators(second));
        QVERIFY(w.form.OpenFolder1->isVisibleTo(&w.form));
        w.form.OpenFolder1Click();
        QCOMPARE(opened, (QStringList{second, w.out.path()}));
    }

    void cancelLeavesNoFile()
    {
        Window w;
        w.open(9999);
        w.writeFiles();
        // The user presses "Отмена" while the walk is under way: at the
        // first moment the export lets the window handle its events.
        bool pressed = false;
        QMetaObject::invokeMethod(
            &w.form,
            [&] {
                auto* progress = w.form.findChild<QProgressDialog*>("ExcelProgress");
                QVERIFY(progress);
                progress->cancel();
                pressed = true;
            },
            Qt::QueuedConnection);
        w.form.Excel1Click();
        QVERIFY(pressed);
        QCOMPARE(w.files(), QStringList());
        QVERIFY(w.form.Dbf1.position() < 9998); // stopped on the way
        QVERIFY(w.dialogs.messages().isEmpty());
    }
};

QTEST_MAIN(TestWorkbookWindow)
#include "tst_workbook_window.moc"
