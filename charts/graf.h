#pragma once

#include "charts/measurement_chart.h"

#include <QDialog>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class ChartLimitLines;
class ChartMeasure;
class DateTimeChart;
class DialogService;
class PrintingService;
class QAction;
class QPushButton;

// The chart window: T1 and T2 of the selected rows against time. The chart
// is built anew at every showing from the source and the choice that the
// main window hands over; "Печать" prints it on the printing service's
// current printer.
class TForm3 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm3(PrintingService& printing, QWidget* parent = nullptr);

    // The dialogs of "Сохранить как изображение…".
    void setDialogService(DialogService* dialogs) { m_dialogs = dialogs; }
    // The files of the table the chart is made from, which a picture never replaces.
    void setTableFiles(QStringList files) { m_tableFiles = std::move(files); }
    // Where "Сохранить как изображение…" starts, and the name it suggests
    // (the table's, without extension).
    void setSaveSuggestion(const QString& folder, const QString& name)
    {
        m_saveFolder = folder;
        m_saveName = name;
    }
    // What the next showing draws, and under which regional settings.
    void setRegionalSettings(const RegionalSettings& rs) { m_regional = rs; }
    void setChoice(CurveChoice choice) { m_choice = choice; }
    // The user's limits of T1 (index 0) and T2 (index 1), drawn over the
    // chosen curves from the next showing on; none: no line.
    void setLimits(const std::array<std::optional<double>, 2>& lower,
                   const std::array<std::optional<double>, 2>& upper);
    void setSource(ChartSource source) { m_source = std::move(source); }
    // Called inside a catch block with an error that ends building or
    // printing: the application's default error report. Without one the
    // error goes on to the caller.
    void setErrorReport(std::function<void()> report) { m_errorReport = std::move(report); }
    // "Выделить показанное": selects the rows of the time range the chart
    // shows now (milliseconds since the epoch, local time, both ends
    // included) and tells whether it did; the window then closes. Without
    // it the button is hidden.
    void setSelectShown(std::function<bool(qint64 fromMsecs, qint64 toMsecs)> select);
    void SelectShown1Click();

    void FormShow();
    // Our own, in the chart's context menu: "Добавить запись…" draws another
    // table file beside the table (read once, never written); "Убрать
    // записи" takes them all off again; "с начала" shifts every recording
    // so that its first moment is at the start of an elapsed time axis.
    void AddRecording1Click();
    void RemoveRecordings1Click();
    void setAlignment(ChartAlignment alignment);
    ChartAlignment alignment() const { return m_alignment; }
    const QList<ChartRecording>& recordings() const { return m_recordings; }

    // "Печать": the chart on one landscape page of a job named "Chart1",
    // stretched to 4 % margins.
    void Button1Click();

    DateTimeChart* Chart1;
    QPushButton* Button1;
    QPushButton* SelectShown1; // our own, beside "Печать"
    ChartLimitLines* LimitLines;
    ChartMeasure* Measure; // Shift + drag: Δt, ΔT, °C per hour
    QAction* AddRecording1;
    QAction* RemoveRecordings1;
    QAction* AlignStart1; // checked: "с начала"

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report();
    void saveImage();
    void redraw();

    RegionalSettings m_regional;
    DialogService* m_dialogs = nullptr;
    QStringList m_tableFiles;
    PrintingService& m_printing;
    QString m_saveFolder, m_saveName;
    CurveChoice m_choice;
    ChartSource m_source;
    std::function<void()> m_errorReport;
    std::function<bool(qint64, qint64)> m_selectShown;
    OwnCurves m_own; // the table's curves as the last showing built them
    QList<ChartRecording> m_recordings;
    QStringList m_recordingFiles; // their files, which a picture never replaces
    ChartAlignment m_alignment = ChartAlignment::Clock;
};
