// The main window as a frame: first start and its settings, the command map
// and its enabling, title and colour rules, both ways out, and help.
#include "app/app_state.h"
#include "app/error_report.h"
#include "app/main.h"
#include "components/data_grid.h"
#include "components/grid_row_source.h"
#include "data/measurement_document.h"
#include "platform/app_error.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/main_window_fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

// One start of the window over a settings file and a program folder of the
// test's own.
struct Start : MainWindowFixture
{
    explicit Start(const QString& settingsFile, const QString& programDir = QString())
        : MainWindowFixture(settingsFile, programDir, BeforeStart{})
    {
    }
};

QString storedValue(const QString& settingsFile, const QString& name)
{
    SettingsStore s(settingsFile);
    s.openKey();
    return s.valueExists(name) ? s.readString(name) : QStringLiteral("<missing>");
}

const QStringList kTableCommands = {
    "N4",  "N5",     "N7",          "N8",          "N9",          "N27",
    "N29", "N30",    "N31",         "N33",         "N34",         "N36",
    "N37", "Excel1", "ToolButton3", "ToolButton4", "ToolButton5", "ProtocolItem"};
// The port can be chosen before any table is open.
const QStringList kAlwaysEnabled = {
    "N1",  "N2",  "N3",  "N11",         "N12",         "N13",         "N35",
    "N14", "N24", "N26", "ToolButton1", "ToolButton2", "ToolButton6", "N15",
    "N22", "N17", "N18", "N19",         "N23",         "N21",         "PortChoice1"};

// Whether a picture has something drawn: a sixteenth of its pixels at least.
bool inked(const QImage& picture)
{
    qsizetype drawn = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            drawn += qAlpha(picture.pixel(x, y)) > 0;
    return picture.width() > 0 && drawn * 16 >= qsizetype(picture.width()) * picture.height();
}

bool isEnabled(TForm1& form, const QString& name)
{
    if (auto* b = form.findChild<QToolButton*>(name))
        return b->isEnabled();
    // Menus: their own action carries the name too.
    const auto actions = form.findChildren<QAction*>(name);
    if (actions.isEmpty())
        qFatal("no command %s", qPrintable(name));
    for (QAction* a : actions)
        if (!a->isEnabled())
            return false;
    return true;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStart();
    void laterStartReadsStoredFolder();
    void commandsWithoutTable();
    void enableSwitchesExactlyTheTableCommands();
    void commandMap_data();
    void commandMap();
    void toolBar();
    void ownPictures_data();
    void ownPictures();
    void tableTitle_data();
    void tableTitle();
    void closeWritesDefaultDir();
    void failedWriteKeepsWindowOpen();
    void keyCannotBeCreated();
    void f1OpensHelp();
    void helpFallsBackToBuiltInCopy();
    void exitEndsLoopWithoutClosing(); // last: it runs the application's loop

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString settingsFile() const { return m_dir->filePath(QStringLiteral("config/FLN.conf")); }
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestMainWindow::firstStart()
{
    const QString cwd = m_dir->filePath(QStringLiteral("work dir"));
    QVERIFY(QDir().mkpath(cwd));
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cwd));
    Start s(settingsFile());
    s.form.FormCreate();
    QDir::setCurrent(saved);

    const QString expected = QDir::toNativeSeparators(QDir(cwd).absolutePath());
    QCOMPARE(storedValue(settingsFile(), QStringLiteral("Default_dir")), expected);
    QCOMPARE(s.state.defaultDir, expected);
    QCOMPARE(s.form.OpenDialog1.initialDir, expected);
    QCOMPARE(s.form.SaveDialog1.initialDir, expected);
    QVERIFY(!s.state.tableOpen);
    QVERIFY(s.dialogs.calls().isEmpty());
}

void TestMainWindow::laterStartReadsStoredFolder()
{
    {
        SettingsStore s(settingsFile());
        s.openKey();
        s.writeString(QStringLiteral("Default_dir"), QStringLiteral("/srv/Измерения"));
    }
    Start s(settingsFile());
    s.form.FormCreate();
    QCOMPARE(s.state.defaultDir, QStringLiteral("/srv/Измерения"));
    QCOMPARE(s.form.OpenDialog1.initialDir, QStringLiteral("/srv/Измерения"));
    // The dialogs take the folder only at start.
    s.state.defaultDir = QStringLiteral("/elsewhere");
    QCOMPARE(s.form.SaveDialog1.initialDir, QStringLiteral("/srv/Измерения"));
}

void TestMainWindow::commandsWithoutTable()
{
    Start s(settingsFile());
    s.form.FormCreate();
    s.form.show();
    for (const QString& name : kTableCommands)
        QVERIFY2(!isEnabled(s.form, name), qPrintable(name));
    for (const QString& name : kAlwaysEnabled)
        QVERIFY2(isEnabled(s.form, name), qPrintable(name));
    QVERIFY(!s.form.DBGridPro1->isVisible());
    QCOMPARE(s.form.palette().color(QPalette::Window),
             QApplication::palette().color(QPalette::Dark));
    QCOMPARE(s.form.windowTitle(), QStringLiteral("ФЛН-РК2"));
    QVERIFY(s.form.windowState() & Qt::WindowMaximized);

    s.form.setTableColour(true);
    QCOMPARE(s.form.palette().color(QPalette::Window),
             QApplication::palette().color(QPalette::Button));
}

void TestMainWindow::enableSwitchesExactlyTheTableCommands()
{
    Start s(settingsFile());
    s.form.FormCreate();
    // Pop-up items disabled by someone else stay as they are: the two
    // operations touch only their own set.
    s.form.N15->setEnabled(false);
    s.form.enable_button();
    for (const QString& name : kTableCommands)
        QVERIFY2(isEnabled(s.form, name), qPrintable(name));
    QVERIFY(!s.form.N15->isEnabled());
    s.form.N15->setEnabled(true);
    s.form.disable_button();
    for (const QString& name : kTableCommands)
        QVERIFY2(!isEnabled(s.form, name), qPrintable(name));
    for (const QString& name : kAlwaysEnabled)
        QVERIFY2(isEnabled(s.form, name), qPrintable(name));
    // No table component open: tab_vis_en leaves the grid hidden.
    s.form.show();
    s.form.tab_vis_en();
    QVERIFY(!s.form.DBGridPro1->isVisible());
}

void TestMainWindow::commandMap_data()
{
    QTest::addColumn<QString>("menu");      // objectName of the menu ("PopupMenu1" for the pop-up)
    QTest::addColumn<QStringList>("items"); // objectNames in order, "-" + name for separators
    QTest::addColumn<QStringList>("captions"); // "" for separators
    // "Протокол…" is our own.
    QTest::newRow("Файл") << "N1" << QStringList{"N2", "N3", "N4",           "N5",   "N7", "-N6",
                                                 "N8", "N9", "ProtocolItem", "-N10", "N11"}
                          << QStringList{"Создать",
                                         "Открыть",
                                         "Дополнить",
                                         "Сохранить",
                                         "Закрыть",
                                         "",
                                         "Предварительный просмотр",
                                         "Печать",
                                         "Протокол…",
                                         "",
                                         "Выход"};
    QTest::newRow("Вид") << "N12" << QStringList{"N27", "-N28", "N29", "N30", "N31", "-N32", "N33"}
                         << QStringList{"Выровнять столбцы", "", "Задать цвет",      "Убрать цвет",
                                        "Убрать все цвета",  "", "Убрать сортировку"};
    // "Копировать", "Выделить все" and "Выделить период…" are our own.
    QTest::newRow("Правка") << "N13"
                            << QStringList{"N34", "-EditSeparator1", "CopyRows1", "SelectAll1",
                                           "SelectPeriod1"}
                            << QStringList{"Удалить строки", "", "Копировать", "Выделить все",
                                           "Выделить период…"};
    // "Порт прибора…", "Сводка…" and "Экспорт в CSV…" are our own, after the
    // items of the original menus.
    QTest::newRow("Сервис") << "N35"
                            << QStringList{"Excel1", "N37", "N36", "PortChoice1", "SummaryItem",
                                           "CsvExport1"}
                            << QStringList{"Экспорт в Excel", "Перенумеровать строки",
                                           "Построить график", "Порт прибора…", "Сводка…",
                                           "Экспорт в CSV…"};
    QTest::newRow("Справка") << "N14" << QStringList{"N24", "-N25", "N26"}
                             << QStringList{"Помощь", "", "О программе"};
    QTest::newRow("pop-up")
        << "PopupMenu1" << QStringList{"N15",  "SummaryPopupItem",
                                       "N22",  "SelectPeriodPopupItem",
                                       "-N16", "N17",
                                       "N18",  "N19",
                                       "-N38", "N23",
                                       "-N20", "N21"}
        << QStringList{
               "График",      "Сводка…",          "Печать", "Выделить период…",  "", "Задать цвет",
               "Убрать цвет", "Убрать все цвета", "",       "Выровнять столбцы", "", "Удалить"};
}

void TestMainWindow::commandMap()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, items);
    QFETCH(QStringList, captions);
    Start s(settingsFile());
    auto* m = s.form.findChild<QMenu*>(menu);
    QVERIFY(m);
    const auto actions = m->actions();
    QCOMPARE(actions.size(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        const bool separator = items[i].startsWith(u'-');
        QCOMPARE(actions[i]->objectName(), separator ? items[i].mid(1) : items[i]);
        QCOMPARE(actions[i]->isSeparator(), separator);
        // The caption as the user reads it: the mnemonic's mark is not shown.
        QCOMPARE(actions[i]->text().remove(u'&'), captions[i]);
    }
    if (menu != u"PopupMenu1") {
        const QStringList top = {"Файл", "Вид", "Правка", "Сервис", "Справка"};
        QStringList seen;
        for (QAction* a : s.form.menuBar()->actions())
            seen << a->text().remove(u'&');
        QCOMPARE(seen, top);
    }
    // Shortcuts and pictures of the main menu.
    QCOMPARE(s.form.N2->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    QCOMPARE(s.form.N3->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(s.form.N5->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    QCOMPARE(s.form.N9->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    QCOMPARE(s.form.N24->shortcut(), QKeySequence(Qt::Key_F1));
    for (QAction* a : {s.form.N4, s.form.N7, s.form.N11, s.form.N26, s.form.Excel1})
        QVERIFY2(a->shortcut().isEmpty() && a->icon().isNull(), qPrintable(a->objectName()));
    for (QAction* a :
         {s.form.N2, s.form.N3, s.form.N5, s.form.N8, s.form.N9, s.form.N24, s.form.N34})
        QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
}

void TestMainWindow::toolBar()
{
    Start s(settingsFile());
    QCOMPARE(s.form.ImageList1.size(), 7);
    QList<QImage> pictures;
    for (const QIcon& icon : s.form.ImageList1) {
        QVERIFY(!icon.isNull());
        pictures << icon.pixmap(QSize(16, 16)).toImage();
        QCOMPARE(pictures.last().size(), QSize(16, 16));
        QVERIFY(inked(pictures.last()));
    }
    // Seven different pictures.
    for (int i = 0; i < 7; ++i)
        for (int j = i + 1; j < 7; ++j)
            QVERIFY(pictures[i] != pictures[j]);
    // Every button shows one.
    for (QToolButton* b :
         s.form.ToolBar1->findChildren<QToolButton*>(QRegularExpression("^ToolButton"))) {
        QVERIFY2(!b->icon().isNull(), qPrintable(b->objectName()));
        QVERIFY2(inked(b->icon().pixmap(s.form.ToolBar1->iconSize()).toImage()),
                 qPrintable(b->objectName()));
    }
    const QStringList order = {"ToolButton1", "ToolButton2", "ToolButton3",
                               "ToolButton4", "ToolButton5", "ToolButton6"};
    QStringList seen;
    for (QAction* a : s.form.ToolBar1->actions())
        if (QWidget* w = s.form.ToolBar1->widgetForAction(a))
            seen << w->objectName();
    QCOMPARE(seen, order);
    QCOMPARE(s.form.ToolBar1->height(), 29);
    QCOMPARE(s.form.ToolBar1->toolButtonStyle(), Qt::ToolButtonIconOnly);
}

// The program's own pictures, shown where the desktop's icon theme has none:
// each renders at the toolbar's size (Qt's SVG icon engine is there).
void TestMainWindow::ownPictures_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name :
         {"document-new", "document-open", "document-save", "document-print-preview",
          "document-print", "help-contents", "edit-delete"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestMainWindow::ownPictures()
{
    QFETCH(QString, name);
    const QIcon icon(":/icons/" + name + ".svg");
    QVERIFY(!icon.isNull());
    const QImage picture = icon.pixmap(QSize(16, 16)).toImage();
    QCOMPARE(picture.size(), QSize(16, 16));
    QVERIFY(inked(picture));
}

void TestMainWindow::tableTitle_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << "/data/july.db"
                           << "july - ФЛН-РК2";
    QTest::newRow("two dots") << "/t/a.b.db"
                              << "a.b - ФЛН-РК2";
    QTest::newRow("no extension") << "/t/archive"
                                  << "archive - ФЛН-РК2";
    QTest::newRow("dotted folder") << "/t.d/x.db"
                                   << "x - ФЛН-РК2";
    QTest::newRow("cyrillic") << "/home/п/Замеры 1.db"
                              << "Замеры 1 - ФЛН-РК2";
}

void TestMainWindow::tableTitle()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(MeasurementDocument::titleFor(path), title);
}

void TestMainWindow::closeWritesDefaultDir()
{
    Start s(settingsFile());
    s.form.FormCreate();
    s.form.show();
    s.state.defaultDir = QStringLiteral("/srv/последняя");
    QVERIFY(s.form.close());
    QVERIFY(!s.form.isVisible());
    QCOMPARE(storedValue(settingsFile(), QStringLiteral("Default_dir")),
             QStringLiteral("/srv/последняя"));
    QVERIFY(s.dialogs.messages().isEmpty());
}

void TestMainWindow::failedWriteKeepsWindowOpen()
{
    auto* app = qobject_cast<ErrorReportApplication*>(qApp);
    Start s(settingsFile());
    app->setDialogService(&s.dialogs);
    s.form.FormCreate();
    s.form.show();
    // The settings folder becomes a plain file: the write fails.
    const QString folder = QFileInfo(settingsFile()).absolutePath();
    QVERIFY(QDir(folder).removeRecursively());
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QVERIFY(!s.form.close());
    QVERIFY(s.form.isVisible());
    const auto shown = s.dialogs.messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Failed to set data for 'Default_dir'"));
    QCOMPARE(shown[0].caption, QStringLiteral("ФЛН-РК2"));
    QCOMPARE(shown[0].icon, DialogService::Icon::Stop);
    app->setDialogService(nullptr);
}

void TestMainWindow::keyCannotBeCreated()
{
    QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Start s(m_dir->filePath(QStringLiteral("blocker/FLN.conf")));
    try {
        s.form.FormCreate();
        QFAIL("no error");
    } catch (const AppError& e) {
        QCOMPARE(e.text(), QStringLiteral("Failed to create key \\Software\\Ostrakon\\FLN\\1.0"));
    }
    // The window is still in its no-table state: no table command can be chosen.
    for (const QString& name : kTableCommands)
        QVERIFY2(!isEnabled(s.form, name), qPrintable(name));
    QVERIFY(s.form.DBGridPro1->isHidden());
}

void TestMainWindow::exitEndsLoopWithoutClosing()
{
    Start s(settingsFile());
    s.form.FormCreate();
    s.form.show();
    const QString before = storedValue(settingsFile(), QStringLiteral("Default_dir"));
    s.state.defaultDir = QStringLiteral("/changed");
    bool closed = false;
    connect(&s.form, &QObject::destroyed, [&] { closed = true; });
    QTimer::singleShot(0, s.form.N11, &QAction::trigger);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(s.form.isVisible()); // no close event on this path
    QVERIFY(!closed);
    QCOMPARE(storedValue(settingsFile(), QStringLiteral("Default_dir")), before);
    QVERIFY(s.dialogs.calls().isEmpty());
}

void TestMainWindow::f1OpensHelp()
{
    QFile manual(m_dir->filePath(QStringLiteral("fln.html")));
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.write("<html><head><title>Manual</title></head><body><a name=\"contents\"></a>"
                 "<h1>Contents</h1></body></html>");
    manual.close();
    Start s(settingsFile(), m_dir->path());
    s.form.FormCreate();
    s.form.show();
    QApplication::setActiveWindow(&s.form);
    QVERIFY(QTest::qWaitForWindowActive(&s.form));
    QVERIFY(!s.help.window());

    // F1 with the focus anywhere in the window (here: on a toolbar button).
    s.form.ToolButton1->setFocus();
    QTest::keyClick(s.form.ToolButton1, Qt::Key_F1);
    QTextBrowser* help = s.help.window();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->source(), QUrl::fromLocalFile(manual.fileName()));
    QVERIFY(help->toPlainText().contains(QStringLiteral("Contents")));

    help->hide();
    QTest::mouseClick(s.form.ToolButton6, Qt::LeftButton);
    QVERIFY(help->isVisible());
    help->hide();
    s.form.N24->trigger();
    QVERIFY(help->isVisible());
}

void TestMainWindow::helpFallsBackToBuiltInCopy()
{
    Start s(settingsFile(), m_dir->path()); // no fln.html there
    QCOMPARE(s.help.helpFile(), HelpViewer::kBuiltInCopy);
    s.form.N24Click();
    QTextBrowser* help = s.help.window();
    QVERIFY(help);
    QCOMPARE(help->source(), QUrl(QStringLiteral("qrc:/help/fln.html")));
    // The real manual, with its chapters.
    const QString text = help->toPlainText();
    for (const char* chapter : {"Подключение прибора", "dialout", "--port1", "Командная строка",
                                "Демонстрационный прибор"})
        QVERIFY2(text.contains(QString::fromUtf8(chapter)), chapter);
}

int main(int argc, char** argv)
{
    ErrorReportApplication app(argc, argv);
    Q_INIT_RESOURCE(fln);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_main_window.moc"
