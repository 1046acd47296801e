#pragma once

#include "data/dbf_table.h"
#include "platform/dialog_service.h"
#include "platform/spreadsheet.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QStatusBar;
class QMenuBar;
class QMenu;
class QToolBar;
class QToolButton;

struct AppState;
class DataGrid;
class HelpViewer;
struct Period;
class PrintingService;
class SettingsStore;
class SerialPortSystem;
class TForm2;
class TForm3;
class TForm4;
class Tform6;

// The main window: the frame with the table grid, the command map (main menu,
// pop-up menu, toolbar), the enabling of the table commands, the title and
// colour rules, the settings key, help and exit. The commands themselves are
// split by subject over main_document.cpp, main_rows.cpp, main_grid.cpp and
// main_output.cpp.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    // The registry values of the program key.
    static const QString kDefaultDirValue; // "Default_dir"
    static const QString kLayoutValue;     // "Table_1"

    TForm1(AppState& state, DialogService& dialogs, PrintingService& printing,
           SettingsStore& settings, HelpViewer& help, QWidget* parent = nullptr);
    ~TForm1() override;

    // The other windows, created after this one by the program start and
    // reused for the whole run. The download dialog may be absent.
    void attachWindows(TForm2* form2, TForm3* form3, TForm4* form4, Tform6* form6);

    // --- the frame ---
    void FormCreate();
    void enable_button();
    void disable_button();
    void tab_vis_en();
    void tab_vis_dis();
    // Title for an open table: its file name without folder and last
    // extension, " - ", the application title.
    void setApplicationTitle(const QString& title);
    QString applicationTitle() const { return m_applicationTitle; }
    // Window colour: button shadow while no table is open, button face with one.
    void setTableColour(bool tableOpen);

    // --- commands of the frame ---
    void N11Click(); // "Выход"
    void N24Click(); // "Помощь", F1
    void ToolButton6Click();
    void N26Click(); // "О программе"

    // --- document commands (main_document.cpp) ---
    void N2Click(); // "Создать"
    void N3Click(); // "Открыть"
    void N4Click(); // "Дополнить"
    void N5Click(); // "Сохранить"
    void N7Click(); // "Закрыть"
    void Create_DB();
    void Open_DB(const QString& path);
    void Save_DB();
    void Close_DB();
    // Posts the comment being typed in the grid, as Enter would: the commands
    // that close or leave the table call it before anything else.
    void postTypedComment();
    void flash2fln01(bool append);

    // --- statistics and row operations (main_rows.cpp) ---
    void find_mma();
    void N21Click(); // "Удалить строки", "Удалить"
    void delete_selected();
    void N37Click(); // "Перенумеровать строки"
    void DBGridPro1SelectionChange();
    void DBGridPro1AfterDelete();

    // --- grid view (main_grid.cpp) ---
    void prepare_grid(); // captions and bookmark fields, from FormCreate
    void reset_sort(const QString& tag);
    void DBGridPro1TitleStateChange(int column);
    void N33Click(); // "Убрать сортировку"
    void N17Click(); // "Задать цвет"
    void N18Click(); // "Убрать цвет"
    void N19Click(); // "Убрать все цвета"
    void clear_colors();
    void N23Click(); // "Выровнять столбцы"
    void align_columns();
    void load_layout(const QString& name);
    void save_layout(const QString& name);
    void DBGridPro1DblClick();
    void DBGridPro1InitEdit();
    // Our own, in "Правка": the selected rows to the clipboard as a table
    // (Ctrl+C), and every row selected as the double click does (Ctrl+A).
    void CopyRowsClick();
    void SelectAllClick();
    // "Выделить период…" (in "Правка" and the pop-up): asks for the first and
    // the last moment and selects exactly the rows between them.
    void SelectPeriodClick();
    // Selects exactly the rows of `period` in the grid, the first of them
    // current; a period that ends before it starts or holds no row is said
    // in a message and the selection stays. Returns whether it selected.
    bool selectPeriod(const Period& period);

    // --- charts, printing, export (main_output.cpp) ---
    void N8Click();  // "Предварительный просмотр"
    void N9Click();  // "Печать"
    void N22Click(); // pop-up "Печать"
    void N15Click(); // "Построить график", "График"
    // "Сводка…" (menu "Сервис" and pop-up): the analysis of the table or of
    // the selected rows.
    void SummaryClick();
    // "Протокол…" (menu "Файл"): the protocol of the table or of the
    // selected rows in its preview, with print and save to PDF.
    void ProtocolClick();
    // The record numbers of the selected rows when two or more are
    // selected (the period that the footers follow); else none.
    QList<quint32> selectedRecords() const;
    // Readings out of the stored limits get their own text colour in the
    // grid: above the upper limit kAboveLimitColour, below the lower one
    // kBelowLimitColour.
    void applyLimitColours();
    // A table opened or made: it keeps the limits it had, or takes those used
    // last as its own the first time; then they colour its grid.
    void takeTableLimits();
    static const QColor kAboveLimitColour;
    static const QColor kBelowLimitColour;
    void Excel1Click();
    // "Экспорт в CSV…" (menu "Сервис"): the selected rows (two or more),
    // else all rows, in the browsing order, into a CSV file the user names.
    void CsvExport1Click();
    void PortChoice1Click(); // "Порт прибора…"
    // Where "Порт прибора…" looks for ports: the one system the port map
    // of the downloads asks too (the program's start hands it in); the
    // system's own until then.
    void setSerialPortSystem(std::shared_ptr<const SerialPortSystem> system);
    void exp2excel();
    // Where "Экспорт в Excel" sends its calls; by default a workbook file in
    // the user's documents folder, opened with the desktop's spreadsheet program.
    void setSpreadsheetFactory(SpreadsheetFactory factory) { m_spreadsheets = std::move(factory); }
    // Where that workbook file goes (empty: the documents folder) and what
    // opens it and its folder (empty: the desktop's programs).
    void setWorkbookDesktop(QString folder, std::function<bool(const QString& path)> open)
    {
        m_workbookFolder = std::move(folder);
        m_openWithDesktop = std::move(open);
    }

    // --- status bar (main_status.cpp), our own ---
    // "В таблице 432 записи", "выделено 12 строк" (with the Russian forms).
    static QString recordsText(qint64 records);
    static QString selectedText(qint64 rows);
    // Records, selected rows and what the footers sum up, as they are now.
    void updateStatus();
    // The table's earliest and latest moment, after its rows changed.
    void updateTablePeriod();
    // What the last export, print or save wrote; `file` non-empty offers
    // its folder ("Открыть папку").
    void showOutput(const QString& text, const QString& file);
    void OpenFolder1Click();

    // --- components (designer names, also their objectName) ---
    DbfTable Dbf1;
    QObject* DataSource1 = nullptr;
    DataGrid* DBGridPro1 = nullptr;
    QObject* LiteDesigner1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QList<QIcon> ImageList1; // New, Open, Save, Preview, Print, Help, Delete rows
    DialogService::FileRequest OpenDialog1;
    DialogService::FileRequest SaveDialog1;
    QColor ColorDialog1 = Qt::black; // the colour dialog's start colour: the last one chosen
    QObject* frReport1 = nullptr;
    QObject* frDBDataSet1 = nullptr;
    QObject* XPManifest1 = nullptr;

    // Main menu.
    QMenu *N1 = nullptr, *N12 = nullptr, *N13 = nullptr, *N35 = nullptr, *N14 = nullptr;
    QAction *N2 = nullptr, *N3 = nullptr, *N4 = nullptr, *N5 = nullptr, *N7 = nullptr;
    QAction *N6 = nullptr, *N8 = nullptr, *N9 = nullptr, *N10 = nullptr, *N11 = nullptr;
    QAction *N27 = nullptr, *N28 = nullptr, *N29 = nullptr, *N30 = nullptr, *N31 = nullptr;
    QAction *N32 = nullptr, *N33 = nullptr, *N34 = nullptr;
    QAction *EditSeparator1 = nullptr, *CopyRows1 = nullptr, *SelectAll1 = nullptr;
    QAction *SelectPeriod1 = nullptr, *SelectPeriodPopupItem = nullptr;
    QAction *Excel1 = nullptr, *N37 = nullptr, *N36 = nullptr, *PortChoice1 = nullptr;
    QAction *N24 = nullptr, *N25 = nullptr, *N26 = nullptr;
    // Pop-up menu.
    QAction *N15 = nullptr, *N22 = nullptr, *N16 = nullptr, *N17 = nullptr, *N18 = nullptr;
    QAction *N19 = nullptr, *N38 = nullptr, *N23 = nullptr, *N20 = nullptr, *N21 = nullptr;
    // Our own commands: "Сводка…" in "Сервис" and in the pop-up menu.
    QAction *SummaryItem = nullptr, *SummaryPopupItem = nullptr;
    QAction* CsvExport1 = nullptr; // "Экспорт в CSV…" in "Сервис"
    // "Протокол…" in "Файл".
    QAction* ProtocolItem = nullptr;
    // Our own status bar.
    QStatusBar* StatusBar1 = nullptr;
    QLabel *OutputStatus = nullptr, *RecordsStatus = nullptr, *SelectedStatus = nullptr;
    QLabel *FootersStatus = nullptr, *PeriodStatus = nullptr;
    QToolButton* OpenFolder1 = nullptr;
    // Toolbar.
    QToolButton *ToolButton1 = nullptr, *ToolButton2 = nullptr, *ToolButton3 = nullptr;
    QToolButton *ToolButton4 = nullptr, *ToolButton5 = nullptr, *ToolButton6 = nullptr;

    // The other windows (set by attachWindows).
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    Tform6* form6 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override; // FormClose
    void FormClose(QCloseEvent* event);

private:
    void buildImageList();
    void buildMenus();
    void buildToolBar();
    QList<QObject*> tableCommands() const;
    void setTableCommandsEnabled(bool enabled);
    void buildStatusBar();
    void showFileOutput(const QString& what, const QString& file); // "what: path"
    void openFolderOf(const QString& file);
    // What a finished print job tells the status bar.
    std::function<void(const QString& file, const QString& printer)> reportPrintedStatus();
    // What opens files and folders: the desktop's programs unless a test says otherwise.
    std::function<bool(const QString& path)> desktopOpener() const;

    AppState& m_state;
    DialogService& m_dialogs;
    PrintingService& m_printing;
    SettingsStore& m_settings;
    HelpViewer& m_help;
    QString m_applicationTitle;
    // Whether the grid holds the stored layout: until a table is shown it has
    // the design layout, which must not replace the user's stored one.
    bool m_layoutRestored = false;
    SpreadsheetFactory m_spreadsheets;
    std::shared_ptr<const SerialPortSystem> m_serialPorts;
    QString m_workbookFolder;
    int m_previewZoom = -1; // the preview's zoom choice, for the next preview
    std::function<bool(const QString& path)> m_openWithDesktop;
    QString m_periodText; // the status bar's period of the open table
    QString m_outputFile; // what "Открыть папку" opens the folder of
};
