#include "components/report_preview.h"

#include "components/prepared_report_file.h"
#include "components/wait_cursor.h"
#include "components/work_progress.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>

// --- page view ---

ReportPageView::ReportPageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("pages"));
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(40);
}

void ReportPageView::setReport(const PreparedReport* report)
{
    m_report = report;
    m_highlight = {};
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

double ReportPageView::unitsToPixels() const
{
    return logicalDpiX() / ReportUnits::kPerInch * m_zoom;
}

QSizeF ReportPageView::pageSize() const
{
    if (!m_report)
        return {};
    const ReportPageSetup& p = m_report->reportTemplate().page;
    return QSizeF(p.width, p.height) * unitsToPixels();
}

double ReportPageView::zoomToWidth() const
{
    if (!m_report)
        return m_zoom;
    const double width =
        m_report->reportTemplate().page.width * logicalDpiX() / ReportUnits::kPerInch;
    return std::max(0.1, (viewport()->width() - 2 * kGap) / width);
}

double ReportPageView::zoomToPage() const
{
    if (!m_report)
        return m_zoom;
    const ReportPageSetup& p = m_report->reportTemplate().page;
    const double scale = logicalDpiX() / ReportUnits::kPerInch;
    return std::max(0.1, std::min((viewport()->width() - 2 * kGap) / (p.width * scale),
                                  (viewport()->height() - 2 * kGap) / (p.height * scale)));
}

void ReportPageView::setFit(Fit fit)
{
    m_fit = fit;
    if (fit != Fit::None)
        setZoom(fit == Fit::Width ? zoomToWidth() : zoomToPage());
}

void ReportPageView::setZoom(double zoom)
{
    zoom = std::clamp(zoom, 0.1, 4.0);
    if (qFuzzyCompare(zoom, m_zoom))
        return;
    const int page = currentPage();
    m_zoom = zoom;
    updateScrollBars();
    showPage(page);
    viewport()->update();
}

int ReportPageView::currentPage() const
{
    if (!m_report)
        return 0;
    const double step = pageSize().height() + kGap;
    const int page = int((verticalScrollBar()->value() + step / 2) / step);
    return std::clamp(page, 0, m_report->pageCount() - 1);
}

void ReportPageView::showPage(int page)
{
    if (!m_report)
        return;
    page = std::clamp(page, 0, m_report->pageCount() - 1);
    const double step = pageSize().height() + kGap;
    verticalScrollBar()->setValue(int(std::lround(page * step)));
}

void ReportPageView::setHighlight(PreparedReport::Hit hit)
{
    m_highlight = hit;
    if (hit.valid() && m_report) {
        const QList<PreparedReport::PageCell> cells = m_report->pageCells(hit.page);
        if (hit.cell < cells.size()) {
            const double step = pageSize().height() + kGap;
            const double y = hit.page * step + kGap + cells[hit.cell].rect.top() * unitsToPixels();
            const QScrollBar* bar = verticalScrollBar();
            if (y < bar->value() || y > bar->value() + viewport()->height() - 60)
                verticalScrollBar()->setValue(int(y) - viewport()->height() / 3);
        }
    }
    viewport()->update();
}

void ReportPageView::updateScrollBars()
{
    if (!m_report) {
        verticalScrollBar()->setRange(0, 0);
        horizontalScrollBar()->setRange(0, 0);
        return;
    }
    const QSizeF page = pageSize();
    const double total = m_report->pageCount() * (page.height() + kGap) + kGap;
    const double maxInt = std::numeric_limits<int>::max() - 1.0;
    verticalScrollBar()->setRange(
        0, int(std::min(maxInt, std::max(0.0, total - viewport()->height()))));
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(
        0, std::max(0, int(page.width()) + 2 * kGap - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void ReportPageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (m_fit != Fit::None)
        setZoom(m_fit == Fit::Width ? zoomToWidth() : zoomToPage());
}

void ReportPageView::scrollContentsBy(int dx, int dy)
{
    viewport()->update();
    Q_EMIT currentPageChanged(currentPage());
}

void ReportPageView::paintEvent(QPaintEvent* event)
{
    if (!m_report)
        return;
    QPainter painter(viewport());
    const QSizeF page = pageSize();
    const double step = page.height() + kGap;
    const double top = verticalScrollBar()->value();
    const double left = std::max(double(kGap), (viewport()->width() - page.width()) / 2) -
                        horizontalScrollBar()->value();
    const int first = std::max(0, int((top - kGap) / step));
    const double scale = unitsToPixels();
    for (int p = first; p < m_report->pageCount(); ++p) {
        const double y = p * step + kGap - top;
        if (y > viewport()->height())
            break;
        const QRectF paper(left, y, page.width(), page.height());
        if (!paper.intersects(event->rect()))
            continue;
        painter.fillRect(paper.translated(3, 3), QColor(0, 0, 0, 90));
        painter.fillRect(paper, Qt::white);
        painter.save();
        painter.setClipRect(paper);
        painter.translate(paper.topLeft());
        painter.scale(scale, scale);
        m_report->paintPage(painter, p, m_highlight.page == p ? m_highlight.cell : -1);
        painter.restore();
    }
}

// --- preview window ---

const QString ReportPreview::kTitle = QStringLiteral("Предварительный просмотр");
const int ReportPreview::kFitWidthChoice = 6;
const QString ReportPreview::kFindWrappedText = QStringLiteral("Поиск продолжен с начала");

namespace {

struct ZoomChoice
{
    const char* text;
    double zoom; // 0: to width, -1: whole page
};
constexpr ZoomChoice kZooms[] = {
    {"25 %", 0.25}, {"50 %", 0.5},  {"75 %", 0.75},     {"100 %", 1.0},
    {"150 %", 1.5}, {"200 %", 2.0}, {"По ширине", 0.0}, {"Страница целиком", -1.0},
};

} // namespace

ReportPreview::ReportPreview(const PreparedReport& report, ReportPreviewHost host, QWidget* parent)
    : QDialog(parent), m_host(std::move(host)), m_report(&report)
{
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(kTitle);
    setModal(true);
    resize(1000, 720);

    auto* toolBar = new QToolBar(this);
    auto add = [&](const char* name, const QString& text, const QKeySequence& key, auto slot) {
        QAction* a = toolBar->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    m_zoom = new QComboBox(toolBar);
    m_zoom->setObjectName(QStringLiteral("zoom"));
    for (const ZoomChoice& z : kZooms)
        m_zoom->addItem(QString::fromUtf8(z.text), z.zoom);
    // A landscape page fits the window at its width; a choice of the user's
    // holds for the next preview.
    const int choice =
        m_host.zoomChoice && *m_host.zoomChoice >= 0 ? *m_host.zoomChoice : kFitWidthChoice;
    m_zoom->setCurrentIndex(std::clamp(choice, 0, int(std::size(kZooms)) - 1));
    toolBar->addWidget(m_zoom);
    toolBar->addSeparator();
    add("open", QStringLiteral("Открыть"), QKeySequence::Open, &ReportPreview::openReport);
    add("save", QStringLiteral("Сохранить"), QKeySequence::Save, &ReportPreview::saveReport);
    add("print", QStringLiteral("Печать"), QKeySequence::Print, &ReportPreview::printReport);
    toolBar->addSeparator();
    m_find = new QLineEdit(toolBar);
    m_find->setObjectName(QStringLiteral("findText"));
    m_find->setPlaceholderText(QStringLiteral("Найти текст"));
    m_find->setMaximumWidth(220);
    toolBar->addWidget(m_find);
    QAction* find = add("find", QStringLiteral("Найти далее"), QKeySequence::FindNext,
                        [this] { findNext(m_find->text()); });
    connect(m_find, &QLineEdit::returnPressed, find, &QAction::trigger);
    auto* focusFind = new QAction(this);
    focusFind->setShortcut(QKeySequence::Find);
    connect(focusFind, &QAction::triggered, m_find, [this] { m_find->setFocus(); });
    addAction(focusFind);
    toolBar->addSeparator();
    add("help", QStringLiteral("Помощь"), QKeySequence::HelpContents, [this] {
        if (m_host.help)
            m_host.help();
    });
    add("close", QStringLiteral("Закрыть"), QKeySequence(), &QDialog::accept);

    auto page = [this](int k) {
        if (m_report)
            m_view->showPage(k);
        updatePageLabel();
    };
    auto* first = new QAction(this);
    first->setObjectName(QStringLiteral("firstPage"));
    first->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Home), QKeySequence(Qt::Key_Home)});
    connect(first, &QAction::triggered, this, [page] { page(0); });
    addAction(first);
    auto* last = new QAction(this);
    last->setObjectName(QStringLiteral("lastPage"));
    last->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_End), QKeySequence(Qt::Key_End)});
    connect(last, &QAction::triggered, this,
            [this, page] { page(m_report ? m_report->pageCount() - 1 : 0); });
    addAction(last);

    m_view = new ReportPageView(this);
    // "Страница [k] из n": typing a number goes to that page.
    m_page = new QSpinBox(this);
    m_page->setObjectName(QStringLiteral("pageNumber"));
    m_page->setKeyboardTracking(false);
    m_page->setButtonSymbols(QAbstractSpinBox::NoButtons);
    m_pageCount = new QLabel(this);
    m_pageCount->setObjectName(QStringLiteral("pageCount"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_view, 1);
    auto* status = new QStatusBar(this);
    status->addWidget(new QLabel(QStringLiteral("Страница"), this));
    status->addWidget(m_page);
    status->addWidget(m_pageCount);
    m_findStatus = new QLabel(this);
    m_findStatus->setObjectName(QStringLiteral("findStatus"));
    status->addWidget(m_findStatus, 1);
    layout->addWidget(status);

    connect(m_zoom, &QComboBox::currentIndexChanged, this, &ReportPreview::zoomChosen);
    connect(m_view, &ReportPageView::currentPageChanged, this, &ReportPreview::updatePageLabel);
    connect(m_page, &QSpinBox::valueChanged, this, [page](int k) { page(k - 1); });
    setReport(&report);
    zoomChosen(m_zoom->currentIndex());
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::setReport(const PreparedReport* report)
{
    m_report = report;
    m_lastSearch.clear();
    m_view->setReport(report);
    updatePageLabel();
}

void ReportPreview::zoomChosen(int index)
{
    const double z = m_zoom->itemData(index).toDouble();
    if (m_host.zoomChoice)
        *m_host.zoomChoice = index;
    if (z > 0) {
        m_view->setFit(ReportPageView::Fit::None);
        m_view->setZoom(z);
    } else {
        m_view->setFit(z == 0 ? ReportPageView::Fit::Width : ReportPageView::Fit::Page);
    }
}

void ReportPreview::updatePageLabel()
{
    const QSignalBlocker quiet(m_page); // showing a page is no request to go there
    m_page->setRange(1, std::max(1, m_report->pageCount()));
    m_page->setValue(m_view->currentPage() + 1);
    m_pageCount->setText(QStringLiteral("из %1").arg(m_report->pageCount()));
}

void ReportPreview::openReport()
{
    const QString name = m_host.openFileName ? m_host.openFileName(this) : QString();
    if (name.isEmpty())
        return;
    std::unique_ptr<PreparedReport> opened = PreparedReportFile::open(name);
    setReport(opened.get());
    m_opened = std::move(opened);
}

void ReportPreview::saveReport()
{
    const QString name = m_host.saveFileName ? m_host.saveFileName(this) : QString();
    if (name.isEmpty())
        return;
    const QString saving = QStringLiteral("Сохранение отчета");
    if (name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        WorkProgress progress(this, QStringLiteral("ReportProgress"), saving, saving,
                              m_report->pageCount());
        writeReportPdf(*m_report, name, [&](int done, int) { return progress.step(done); });
    } else {
        WorkProgress progress(this, QStringLiteral("ReportProgress"), saving, saving,
                              m_report->rowCount());
        PreparedReportFile::save(*m_report, name,
                                 [&](qint64 done, qint64) { return progress.step(done); });
    }
}

void ReportPreview::printReport()
{
    if (m_host.print)
        m_host.print(this, *m_report);
}

bool ReportPreview::findNext(const QString& text)
{
    if (text.isEmpty())
        return false;
    PreparedReport::Hit from;
    if (text == m_lastSearch)
        from = m_view->highlight();
    if (!from.valid()) // a new search starts on the page in view
        from = {m_view->currentPage(), -1};
    m_lastSearch = text;
    m_findStatus->clear();
    PreparedReport::Hit hit;
    bool wrapped = false;
    {
        // The cursor comes back however the search ends: a row that cannot
        // be read throws out of it.
        const WaitCursor wait;
        const auto keepGoing = [](int page) {
            if (page % 200 == 0)
                QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return true;
        };
        hit = m_report->find(text, from, keepGoing);
        // Past the last page the search goes on from the first, up to the
        // page where it began.
        if (!hit.valid() && (from.page > 0 || from.cell >= 0)) {
            hit = m_report->find(text, {},
                                 [&](int page) { return page <= from.page && keepGoing(page); });
            wrapped = hit.valid();
        }
    }
    m_view->setHighlight(hit);
    updatePageLabel();
    if (wrapped)
        m_findStatus->setText(kFindWrappedText);
    if (!hit.valid() && m_host.inform)
        m_host.inform(this, QStringLiteral("Текст \"%1\" не найден.").arg(text));
    return hit.valid();
}
