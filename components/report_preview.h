#pragma once

#include "components/report_engine.h"

#include <QAbstractScrollArea>
#include <QDialog>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// The pages of a prepared report, one under the other, drawn only where they
// are visible: scrolling through seventy thousand pages draws two or three.
class ReportPageView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr double kDefaultZoom = 1.0;

    // What a zoom follows when the view changes size.
    enum class Fit
    {
        None,
        Width,
        Page
    };

    explicit ReportPageView(QWidget* parent = nullptr);

    void setReport(const PreparedReport* report);
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // Keeps the zoom at the page's width or whole page as the view resizes.
    void setFit(Fit fit);
    // The zoom at which a page fills the view's width, or the whole page shows.
    double zoomToWidth() const;
    double zoomToPage() const;

    int currentPage() const; // the page at the top of the view (0-based)
    void showPage(int page);
    // Marks a cell (PreparedReport::find) and scrolls to it; an invalid hit
    // clears the mark.
    void setHighlight(PreparedReport::Hit hit);
    PreparedReport::Hit highlight() const { return m_highlight; }

    // Pixels a page takes at the current zoom, and the gap between pages.
    QSizeF pageSize() const;
    static constexpr int kGap = 12;

Q_SIGNALS:
    void currentPageChanged(int page);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    double unitsToPixels() const;

    const PreparedReport* m_report = nullptr;
    double m_zoom = kDefaultZoom;
    Fit m_fit = Fit::None;
    PreparedReport::Hit m_highlight;
};

// What the preview asks of its host: file names, printing and help, which
// go through the program's dialog and printing services.
struct ReportPreviewHost
{
    std::function<QString(QWidget* parent)> openFileName; // empty: cancelled
    std::function<QString(QWidget* parent)> saveFileName; // ".pdf": PDF, else a prepared report
    std::function<void(QWidget* parent, const PreparedReport& report)> print;
    std::function<void()> help;
    // A message for the user in a message box of the program.
    std::function<void(QWidget* parent, const QString& text)> inform;
    // The zoom list's choice, kept from one preview to the next; the first
    // preview opens at the page's width.
    int* zoomChoice = nullptr;
};

// The modal preview window "Предварительный просмотр": zoom, open and save of
// prepared reports (PDF or our own file), print, find text, help and close.
class ReportPreview : public QDialog
{
    Q_OBJECT

public:
    static const QString kTitle;      // "Предварительный просмотр"
    static const int kFitWidthChoice; // the zoom list's "По ширине"
    // Said in the status bar when "Найти далее" went past the last page.
    static const QString kFindWrappedText; // "Поиск продолжен с начала"

    ReportPreview(const PreparedReport& report, ReportPreviewHost host, QWidget* parent = nullptr);
    ~ReportPreview() override;

    const PreparedReport& report() const { return *m_report; }
    ReportPageView* pageView() const { return m_view; }

    // The commands, also on the window's toolbar.
    void openReport();
    void saveReport();
    void printReport();
    // Finds the next occurrence of `text` after the current one, going on
    // from the first page past the last (and saying so in the status bar);
    // says so when there is none at all.
    bool findNext(const QString& text);

private:
    void setReport(const PreparedReport* report);
    void zoomChosen(int index);
    void updatePageLabel();

    ReportPreviewHost m_host;
    const PreparedReport* m_report;
    std::unique_ptr<PreparedReport> m_opened; // a report opened from a file
    ReportPageView* m_view = nullptr;
    QComboBox* m_zoom = nullptr;
    QSpinBox* m_page = nullptr;
    QLabel* m_pageCount = nullptr;
    QLineEdit* m_find = nullptr;
    QLabel* m_findStatus = nullptr;
    QString m_lastSearch;
};
