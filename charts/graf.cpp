#include "charts/graf.h"

#include "components/chart_limit_lines.h"
#include "components/chart_measure.h"
#include "components/date_time_chart.h"
#include "components/wait_cursor.h"
#include "platform/app_error.h"
#include "platform/app_title.h"
#include "platform/dialog_service.h"
#include "platform/output_target.h"
#include "platform/printing_service.h"

#include <QAction>
#include <QEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cmath>

TForm3::TForm3(PrintingService& printing, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_printing(printing)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Графики"));
    setModal(true);
    // 698 x 482 outside: the client area within a usual frame.
    resize(698 - 16, 482 - 39);

    Chart1 = new DateTimeChart(this);
    MeasurementChart::setUp(*Chart1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Chart1);

    // On the chart, so that it hides with it; kept in the lower right corner.
    Button1 = new QPushButton(QStringLiteral("Печать"), Chart1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->resize(75, 25);
    Chart1->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    SelectShown1 = new QPushButton(QStringLiteral("Выделить показанное"), Chart1);
    SelectShown1->setObjectName(QStringLiteral("SelectShown1"));
    SelectShown1->resize(SelectShown1->sizeHint().width(), 25);
    SelectShown1->hide();
    connect(SelectShown1, &QPushButton::clicked, this, &TForm3::SelectShown1Click);
    connect(Chart1, &DateTimeChart::saveImageRequested, this, &TForm3::saveImage);
    LimitLines = new ChartLimitLines(*Chart1);
    Measure = new ChartMeasure(*Chart1);

    AddRecording1 = new QAction(QStringLiteral("Добавить запись…"), this);
    AddRecording1->setObjectName(QStringLiteral("AddRecording1"));
    connect(AddRecording1, &QAction::triggered, this, &TForm3::AddRecording1Click);
    RemoveRecordings1 = new QAction(QStringLiteral("Убрать записи"), this);
    RemoveRecordings1->setObjectName(QStringLiteral("RemoveRecordings1"));
    RemoveRecordings1->setEnabled(false);
    connect(RemoveRecordings1, &QAction::triggered, this, &TForm3::RemoveRecordings1Click);
    AlignStart1 = new QAction(QStringLiteral("с начала"), this);
    AlignStart1->setObjectName(QStringLiteral("AlignStart1"));
    AlignStart1->setCheckable(true);
    connect(AlignStart1, &QAction::toggled, this,
            [this](bool on) { setAlignment(on ? ChartAlignment::Start : ChartAlignment::Clock); });
    Chart1->addContextAction(AddRecording1);
    Chart1->addContextAction(RemoveRecordings1);
    Chart1->addContextAction(AlignStart1);
}

void TForm3::setLimits(const std::array<std::optional<double>, 2>& lower,
                       const std::array<std::optional<double>, 2>& upper)
{
    LimitLines->setLimits(MeasurementChart::kT1, lower[0], upper[0]);
    LimitLines->setLimits(MeasurementChart::kT2, lower[1], upper[1]);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Chart1 && event->type() == QEvent::Resize) {
        Button1->move(Chart1->width() - Button1->width(), Chart1->height() - Button1->height());
        SelectShown1->move(Button1->x() - SelectShown1->width(), Button1->y());
    }
    return QDialog::eventFilter(watched, event);
}

void TForm3::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        if (const QScreen* s = screen()) {
            QRect r = frameGeometry();
            r.moveCenter(s->availableGeometry().center());
            move(r.topLeft());
        }
    }
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        try {
            FormShow();
        } catch (...) {
            report();
        }
    }
}

void TForm3::report()
{
    if (!m_errorReport)
        throw;
    m_errorReport();
}

void TForm3::FormShow()
{
    const WaitCursor wait; // the curves of a million rows take a while
    Measure->clear();
    Measure->setDecimalSeparator(m_regional.decimalSeparator);
    Chart1->hide();
    m_own = {};
    m_own =
        MeasurementChart::build(*Chart1, m_choice, m_source, m_regional, m_recordings, m_alignment);
    RemoveRecordings1->setEnabled(!m_recordings.isEmpty());
    Chart1->show();
}

void TForm3::setSelectShown(std::function<bool(qint64, qint64)> select)
{
    m_selectShown = std::move(select);
    SelectShown1->setVisible(bool(m_selectShown));
}

void TForm3::SelectShown1Click()
{
    if (!m_selectShown)
        return;
    // Whole milliseconds inside the shown range: a row on its edge counts.
    // From the start, the axis counts from the table's own first moment.
    double shift = 0;
    if (m_alignment == ChartAlignment::Start)
        shift = firstMoment(m_own.points).value_or(0);
    const qint64 from = qint64(std::ceil(Chart1->bottomAxisMin() + shift));
    const qint64 to = qint64(std::floor(Chart1->bottomAxisMax() + shift));
    if (m_selectShown(from, to))
        accept(); // the grid shows the selection now
}

void TForm3::redraw()
{
    const WaitCursor wait;
    Measure->clear();
    MeasurementChart::draw(*Chart1, m_choice, m_own, m_recordings, m_alignment, m_regional);
    RemoveRecordings1->setEnabled(!m_recordings.isEmpty());
}

void TForm3::AddRecording1Click()
{
    if (!m_dialogs)
        return;
    if (m_recordings.size() + 1 >= kMostChartRecordings) {
        m_dialogs->message(this,
                           QStringLiteral("На графике не более %1 записей вместе с открытой "
                                          "таблицей.")
                               .arg(kMostChartRecordings),
                           kAppTitle, DialogService::Icon::Information, DialogService::Buttons::Ok);
        return;
    }
    DialogService::FileRequest request;
    request.filter = QStringLiteral("Базы данных|*.db");
    request.defaultExtension = QStringLiteral(".db");
    request.initialDir = m_saveFolder;
    const DialogService::FileResult chosen = m_dialogs->openFile(this, request);
    if (!chosen.accepted || chosen.fileName.isEmpty())
        return;
    // A table that cannot be read leaves the chart as it was.
    std::optional<ChartRecording> recording;
    try {
        const WaitCursor wait;
        // Both curves: a later showing may choose the other one.
        recording = readChartRecording(chosen.fileName, {true, true}, m_regional);
    } catch (const AppError& e) {
        m_dialogs->message(this, e.text(), kAppTitle, DialogService::Icon::Warning,
                           DialogService::Buttons::Ok);
        return;
    }
    m_recordings.append(std::move(*recording));
    m_recordingFiles.append(chosen.fileName);
    try {
        redraw();
    } catch (...) {
        report();
    }
}

void TForm3::RemoveRecordings1Click()
{
    m_recordings.clear();
    m_recordingFiles.clear();
    try {
        redraw();
    } catch (...) {
        report();
    }
}

void TForm3::setAlignment(ChartAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    AlignStart1->setChecked(alignment == ChartAlignment::Start);
    try {
        redraw();
    } catch (...) {
        report();
    }
}

void TForm3::Button1Click()
{
    try {
        Chart1->setProportionalPrinting(false);
        m_printing.printPage(QStringLiteral("Chart1"), QPageLayout::Landscape,
                             [this](QPainter& painter, QPrinter& printer) {
                                 // 4 % of the page on every side, to the nearest
                                 // printer pixel.
                                 const QRect page =
                                     printer.paperRect(QPrinter::DevicePixel).toRect();
                                 const int mx = int(std::lround(page.width() * 0.04));
                                 const int my = int(std::lround(page.height() * 0.04));
                                 Chart1->render(painter, QRect(mx, my, page.width() - 2 * mx,
                                                               page.height() - 2 * my));
                             });
    } catch (...) {
        report();
    }
}

void TForm3::saveImage()
{
    DialogService::FileRequest request;
    request.filter = QStringLiteral("Рисунок PNG (*.png)|*.png|Рисунок SVG (*.svg)|*.svg|"
                                    "Документ PDF (*.pdf)|*.pdf");
    request.defaultExtension = QStringLiteral(".png");
    request.initialDir = m_saveFolder;
    if (!m_saveName.isEmpty())
        request.fileName = m_saveName + QStringLiteral(".png");
    if (!m_dialogs)
        return;
    const DialogService::FileResult result = m_dialogs->saveFile(this, request);
    if (!result.accepted || result.fileName.isEmpty())
        return;
    try {
        if (const QString refusal = refusedOutput(result.fileName, m_tableFiles + m_recordingFiles);
            !refusal.isEmpty())
            throw AppError(refusal);
        Chart1->saveImage(result.fileName);
    } catch (...) {
        report();
    }
}
