#include "app/main.h"
#include "data/measurement_schema.h"

#include "app/about.h"
#include "app/app_state.h"
#include "components/data_grid.h"
#include "components/grid_row_source.h"
#include "platform/help_viewer.h"
#include "platform/serial_ports.h"
#include "platform/settings_store.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

const QString TForm1::kDefaultDirValue = QStringLiteral("Default_dir");
const QString TForm1::kLayoutValue = QStringLiteral("Table_1");

namespace {

QObject* component(QObject* parent, const char* name)
{
    auto* o = new QObject(parent);
    o->setObjectName(QString::fromLatin1(name));
    return o;
}

// A picture of the menus and the toolbar: the icon theme's, where the desktop
// has one by that name, else the program's own (16 x 16, in the resources).
QIcon picture(const QString& themeName)
{
    return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/%1.svg").arg(themeName)));
}

} // namespace

TForm1::TForm1(AppState& state, DialogService& dialogs, PrintingService& printing,
               SettingsStore& settings, HelpViewer& help, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_dialogs(dialogs), m_printing(printing),
      m_settings(settings), m_help(help), m_serialPorts(systemSerialPorts())
{
    setObjectName(QStringLiteral("Form1"));
    Dbf1.setObjectName(QStringLiteral("Dbf1"));
    Dbf1.setParent(this);
    DataSource1 = component(this, "DataSource1");
    LiteDesigner1 = component(this, "LiteDesigner1");
    frReport1 = component(this, "frReport1");
    frDBDataSet1 = component(this, "frDBDataSet1");
    XPManifest1 = component(this, "XPManifest1");

    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);

    // The grid fills the window below the toolbar and follows its size; its
    // look (filled selected rows, silver lines) is the component's own.
    DBGridPro1 = new DataGrid(this);
    DBGridPro1->setObjectName(QStringLiteral("DBGridPro1"));
    DBGridPro1->setLineColor(QColor(0xC0, 0xC0, 0xC0));
    setCentralWidget(DBGridPro1);

    buildImageList();
    buildMenus();
    buildToolBar();
    buildStatusBar();

    DBGridPro1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridPro1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(DBGridPro1->mapToGlobal(pos)); });
    connect(DBGridPro1, &DataGrid::doubleClicked, this, &TForm1::DBGridPro1DblClick);
    connect(DBGridPro1, &DataGrid::selectionChanged, this, &TForm1::DBGridPro1SelectionChange);
    connect(DBGridPro1, &DataGrid::titleStateChanged, this, &TForm1::DBGridPro1TitleStateChange);
    connect(DBGridPro1, &DataGrid::editStarted, this, &TForm1::DBGridPro1InitEdit);
    connect(DBGridPro1, &DataGrid::afterDelete, this, &TForm1::DBGridPro1AfterDelete);

    setAutoFillBackground(true);
    setApplicationTitle(kAppTitle);
    resize(703, 501);
}

TForm1::~TForm1() = default;

void TForm1::attachWindows(TForm2* form2, TForm3* form3, TForm4* form4, Tform6* about)
{
    Form2 = form2;
    Form3 = form3;
    Form4 = form4;
    form6 = about;
}

void TForm1::buildImageList()
{
    Q_INIT_RESOURCE(fln); // the pictures of a window made without the program's start
    ImageList1 = {picture(QStringLiteral("document-new")),
                  picture(QStringLiteral("document-open")),
                  picture(QStringLiteral("document-save")),
                  picture(QStringLiteral("document-print-preview")),
                  picture(QStringLiteral("document-print")),
                  picture(QStringLiteral("help-contents")),
                  picture(QStringLiteral("edit-delete"))};
}

void TForm1::buildMenus()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    auto menu = [this](const char* name, const QString& caption) {
        QMenu* m = MainMenu1->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [this](QMenu* m, const char* name, const QString& caption,
                       void (TForm1::*handler)(), const QKeySequence& shortcut = {},
                       int picture = -1) {
        QAction* a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(shortcut);
        // F1 and the other keys work anywhere in the window, grid included.
        a->setShortcutContext(Qt::WindowShortcut);
        if (picture >= 0)
            a->setIcon(ImageList1[picture]);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto separator = [](QMenu* m, const char* name) {
        QAction* a = m->addSeparator();
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };

    N1 = menu("N1", QStringLiteral("&Файл"));
    N2 = item(N1, "N2", QStringLiteral("&Создать"), &TForm1::N2Click,
              QKeySequence(Qt::CTRL | Qt::Key_N), 0);
    N3 = item(N1, "N3", QStringLiteral("&Открыть"), &TForm1::N3Click,
              QKeySequence(Qt::CTRL | Qt::Key_O), 1);
    N4 = item(N1, "N4", QStringLiteral("&Дополнить"), &TForm1::N4Click);
    N5 = item(N1, "N5", QStringLiteral("Со&хранить"), &TForm1::N5Click,
              QKeySequence(Qt::CTRL | Qt::Key_S), 2);
    N7 = item(N1, "N7", QStringLiteral("&Закрыть"), &TForm1::N7Click);
    N6 = separator(N1, "N6");
    N8 = item(N1, "N8", QStringLiteral("Пред&варительный просмотр"), &TForm1::N8Click, {}, 3);
    N9 = item(N1, "N9", QStringLiteral("&Печать"), &TForm1::N9Click,
              QKeySequence(Qt::CTRL | Qt::Key_P), 4);
    ProtocolItem = item(N1, "ProtocolItem", QStringLiteral("Про&токол…"), &TForm1::ProtocolClick);
    N10 = separator(N1, "N10");
    N11 = item(N1, "N11", QStringLiteral("В&ыход"), &TForm1::N11Click);

    N12 = menu("N12", QStringLiteral("&Вид"));
    N27 = item(N12, "N27", QStringLiteral("&Выровнять столбцы"), &TForm1::N23Click);
    N28 = separator(N12, "N28");
    N29 = item(N12, "N29", QStringLiteral("&Задать цвет"), &TForm1::N17Click);
    N30 = item(N12, "N30", QStringLiteral("&Убрать цвет"), &TForm1::N18Click);
    N31 = item(N12, "N31", QStringLiteral("Убрать вс&е цвета"), &TForm1::N19Click);
    N32 = separator(N12, "N32");
    N33 = item(N12, "N33", QStringLiteral("Убрать с&ортировку"), &TForm1::N33Click);

    N13 = menu("N13", QStringLiteral("&Правка"));
    N34 = item(N13, "N34", QStringLiteral("&Удалить строки"), &TForm1::N21Click, {}, 6);
    EditSeparator1 = separator(N13, "EditSeparator1");
    CopyRows1 = item(N13, "CopyRows1", QStringLiteral("&Копировать"), &TForm1::CopyRowsClick,
                     QKeySequence::Copy);
    SelectAll1 = item(N13, "SelectAll1", QStringLiteral("Выделить &все"), &TForm1::SelectAllClick,
                      QKeySequence::SelectAll);
    SelectPeriod1 =
        item(N13, "SelectPeriod1", QStringLiteral("Выделить пер&иод…"), &TForm1::SelectPeriodClick);

    N35 = menu("N35", QStringLiteral("С&ервис"));
    Excel1 = item(N35, "Excel1", QStringLiteral("&Экспорт в Excel"), &TForm1::Excel1Click);
    N37 = item(N35, "N37", QStringLiteral("П&еренумеровать строки"), &TForm1::N37Click);
    N36 = item(N35, "N36", QStringLiteral("Построить &график"), &TForm1::N15Click);
    PortChoice1 =
        item(N35, "PortChoice1", QStringLiteral("&Порт прибора…"), &TForm1::PortChoice1Click);
    SummaryItem = item(N35, "SummaryItem", QStringLiteral("&Сводка…"), &TForm1::SummaryClick);
    CsvExport1 =
        item(N35, "CsvExport1", QStringLiteral("Экспорт в &CSV…"), &TForm1::CsvExport1Click);

    N14 = menu("N14", QStringLiteral("&Справка"));
    N24 =
        item(N14, "N24", QStringLiteral("&Помощь"), &TForm1::N24Click, QKeySequence(Qt::Key_F1), 5);
    N25 = separator(N14, "N25");
    N26 = item(N14, "N26", QStringLiteral("&О программе"), &TForm1::N26Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N15 = item(PopupMenu1, "N15", QStringLiteral("&График"), &TForm1::N15Click);
    SummaryPopupItem =
        item(PopupMenu1, "SummaryPopupItem", QStringLiteral("&Сводка…"), &TForm1::SummaryClick);
    N22 = item(PopupMenu1, "N22", QStringLiteral("&Печать"), &TForm1::N22Click);
    SelectPeriodPopupItem = item(PopupMenu1, "SelectPeriodPopupItem",
                                 QStringLiteral("Выделить пер&иод…"), &TForm1::SelectPeriodClick);
    N16 = separator(PopupMenu1, "N16");
    N17 = item(PopupMenu1, "N17", QStringLiteral("&Задать цвет"), &TForm1::N17Click);
    N18 = item(PopupMenu1, "N18", QStringLiteral("&Убрать цвет"), &TForm1::N18Click);
    N19 = item(PopupMenu1, "N19", QStringLiteral("Убрать вс&е цвета"), &TForm1::N19Click);
    N38 = separator(PopupMenu1, "N38");
    N23 = item(PopupMenu1, "N23", QStringLiteral("&Выровнять столбцы"), &TForm1::N23Click);
    N20 = separator(PopupMenu1, "N20");
    N21 = item(PopupMenu1, "N21", QStringLiteral("У&далить"), &TForm1::N21Click);
}

void TForm1::buildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setFixedHeight(29);
    ToolBar1->toggleViewAction()->setVisible(false);

    auto button = [this](const char* name, int picture, void (TForm1::*handler)(), QAction* like) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(ImageList1[picture]);
        b->setAutoRaise(true);
        b->setToolTip(like ? like->toolTip() : QString()); // the caption without its mnemonic
        connect(b, &QToolButton::clicked, this, handler);
        ToolBar1->addWidget(b);
        return b;
    };
    ToolButton1 = button("ToolButton1", 0, &TForm1::N2Click, N2);
    ToolButton2 = button("ToolButton2", 1, &TForm1::N3Click, N3);
    ToolButton3 = button("ToolButton3", 2, &TForm1::N5Click, N5);
    ToolButton4 = button("ToolButton4", 3, &TForm1::N8Click, N8);
    ToolButton5 = button("ToolButton5", 4, &TForm1::N9Click, N9);
    ToolButton6 = button("ToolButton6", 5, &TForm1::ToolButton6Click, N24);
}

// The table commands, in the order in which they are switched.
QList<QObject*> TForm1::tableCommands() const
{
    return {N4,  N5,  N7,  N8,  N9,     N27,         N29,         N30,        N31,
            N33, N34, N36, N37, Excel1, ToolButton3, ToolButton4, ToolButton5};
}

void TForm1::enable_button()
{
    setTableCommandsEnabled(true);
}

void TForm1::disable_button()
{
    setTableCommandsEnabled(false);
}

void TForm1::setTableCommandsEnabled(bool enabled)
{
    for (QAction* own :
         {SummaryItem, ProtocolItem, CsvExport1, CopyRows1, SelectAll1, SelectPeriod1})
        if (own)
            own->setEnabled(enabled);
    for (QObject* o : tableCommands()) {
        if (auto* a = qobject_cast<QAction*>(o))
            a->setEnabled(enabled);
        else if (auto* w = qobject_cast<QWidget*>(o))
            w->setEnabled(enabled);
    }
}

void TForm1::tab_vis_en()
{
    if (!Dbf1.isOpen())
        return;
    Dbf1.first();
    DBGridPro1->show();
    // The rows are what the user works on next: the arrow keys move through
    // them at once, without a click into the grid first.
    DBGridPro1->setFocus();
    updateStatus();
}

void TForm1::tab_vis_dis()
{
    DBGridPro1->hide();
    updateStatus();
}

void TForm1::setApplicationTitle(const QString& title)
{
    // The window caption always equals the application's title.
    m_applicationTitle = title;
    setWindowTitle(title);
}

void TForm1::setTableColour(bool tableOpen)
{
    QPalette pal = palette();
    const QPalette system = QApplication::palette();
    pal.setColor(QPalette::Window,
                 tableOpen ? system.color(QPalette::Button) : system.color(QPalette::Dark));
    setPalette(pal);
}

void TForm1::FormCreate()
{
    setWindowState(windowState() | Qt::WindowMaximized);
    setTableColour(false);
    tab_vis_dis();

    // The settings come first, as the window expects them; when the key
    // cannot be made the window is still put into its no-table state, so
    // that no table command can be chosen without a table, and the failure
    // is reported afterwards.
    std::exception_ptr settingsFailure;
    try {
        m_settings.openKey(SettingsStore::kProgramKey);
        if (m_settings.valueExists(kDefaultDirValue)) {
            m_state.defaultDir = m_settings.readString(kDefaultDirValue);
        } else {
            m_state.defaultDir = QDir::toNativeSeparators(QDir::currentPath());
            m_settings.writeString(kDefaultDirValue, m_state.defaultDir);
        }
        // Only here: a default folder changed later in the run reaches the
        // dialogs at the next start.
        OpenDialog1.initialDir = m_state.defaultDir;
        SaveDialog1.initialDir = m_state.defaultDir;
    } catch (...) {
        settingsFailure = std::current_exception();
    }

    if (Dbf1.isOpen())
        Dbf1.close();
    m_state.tableOpen = false;
    prepare_grid();
    reset_sort(MeasurementSchema::kSortTag);
    disable_button();
    tab_vis_dis();
    if (!settingsFailure)
        applyLimitColours();

    if (settingsFailure)
        std::rethrow_exception(settingsFailure);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose(event);
}

void TForm1::FormClose(QCloseEvent* event)
{
    // A failed write keeps the window open: the error report shows why.
    event->ignore();
    postTypedComment();
    m_settings.writeString(kDefaultDirValue, m_state.defaultDir);
    Close_DB();
    event->accept();
}

void TForm1::N11Click()
{
    // Ends the message loop directly: no closing of the window, so no
    // question, no "Default_dir" and no stored layout on this path. A
    // comment being typed is posted first; the table's close at the end of
    // the run writes it.
    postTypedComment();
    QCoreApplication::exit(0);
}

void TForm1::N24Click()
{
    m_help.showContents();
}

void TForm1::ToolButton6Click()
{
    N24Click();
}

void TForm1::N26Click()
{
    if (form6)
        form6->exec();
}
