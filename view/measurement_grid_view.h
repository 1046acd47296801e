#pragma once

#include "components/grid_column.h"

#include <QColor>
#include <QObject>
#include <QString>

class DataGrid;
class DbfTable;
class DbfRowSource;
class DialogService;
class SettingsStore;
class QWidget;
struct DocumentState;

// What the main window does with its grid `DBGridPro1`: the seven columns of
// the measurement table, sorting by a title click, column colours, equal
// widths, the stored column layout, selecting all rows and the modified flag
// on editing. TForm1's handlers of the same names call these.
class MeasurementGridView : public QObject
{
    Q_OBJECT

public:
    static const QString kSortTag;        // "tab1"
    static const QString kBookmarkFields; // "T_1;T_2;DATE;TIME"

    MeasurementGridView(DataGrid& grid, DbfTable& table, DocumentState& state,
                        SettingsStore& settings, DialogService& dialogs,
                        QWidget* dialogParent = nullptr);
    ~MeasurementGridView() override;

    // The columns as the window is built: captions, design widths,
    // alignments, layout indexes, `COMMENT` the only editable one.
    static GridColumnList designColumns();

    // From FormCreate: the captions of T_1 and T_2, the bookmark fields, no sort.
    void prepare_grid();

    void reset_sort(const QString& tag);
    void DBGridPro1TitleStateChange(int column);
    void N33Click();
    // `dialogColor` is the colour dialog's start colour, the last one chosen.
    void N17Click(QColor& dialogColor);
    void N18Click();
    void N19Click();
    void clear_colors();
    void N23Click();
    void align_columns();
    void load_layout(const QString& name);
    void save_layout(const QString& name);
    void DBGridPro1DblClick();
    void DBGridPro1InitEdit();

private:
    DataGrid& m_grid;
    DbfTable& m_table;
    DocumentState& m_state;
    SettingsStore& m_settings;
    DialogService& m_dialogs;
    QWidget* m_dialogParent;
    DbfRowSource* m_source;
};
