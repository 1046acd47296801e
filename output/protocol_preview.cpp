#include "output/protocol_preview.h"

#include "components/work_progress.h"
#include "platform/app_error.h"
#include "platform/dialog_service.h"
#include "platform/output_target.h"
#include "platform/printing_service.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

// --- the pages ---

ProtocolPageView::ProtocolPageView(const ProtocolDocument& document, QWidget* parent)
    : QAbstractScrollArea(parent), m_document(document)
{
    setObjectName(QStringLiteral("ProtocolPages"));
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(40);
}

QSizeF ProtocolPageView::pageSize() const
{
    const double width = std::max(100, viewport()->width() - 2 * kGap);
    const QSizeF paper = ProtocolDocument::pageSize();
    return {width, width * paper.height() / paper.width()};
}

void ProtocolPageView::updateScrollBars()
{
    const QSizeF page = pageSize();
    const double total = m_document.pageCount() * (page.height() + kGap) + kGap;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, int(total) - viewport()->height()));
}

void ProtocolPageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ProtocolPageView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QSizeF page = pageSize();
    const double step = page.height() + kGap;
    const double top = verticalScrollBar()->value();
    const int first = std::max(0, int((top - kGap) / step));
    const double scale = page.width() / ProtocolDocument::pageSize().width();
    for (int p = first; p < m_document.pageCount(); ++p) {
        const double y = kGap + p * step - top;
        if (y > viewport()->height())
            break;
        const QRectF paper(kGap, y, page.width(), page.height());
        painter.fillRect(paper, Qt::white);
        painter.save();
        painter.setClipRect(paper);
        painter.translate(paper.topLeft());
        painter.scale(scale, scale);
        m_document.paintPage(painter, p);
        painter.restore();
    }
}

// --- printing ---

QString printProtocol(const ProtocolDocument& document, PrintingService& printing,
                      const QString& title, QWidget* progressParent)
{
    QPrinter& printer = printing.printer(); // throws without a printer
    const QPageLayout before = printer.pageLayout();
    const bool fullPage = printer.fullPage();
    printer.setFullPage(true);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    const auto restore = qScopeGuard([&] {
        printer.setPageLayout(before);
        printer.setFullPage(fullPage);
    });
    QList<int> pages;
    for (int p = 0; p < document.pageCount(); ++p)
        pages << p;
    // A job printed to a file leaves nothing when cancelled or failed.
    PrintJob job(printing, printer, title);
    const QString text = QStringLiteral("Печать");
    WorkProgress progress(progressParent, QStringLiteral("ProtocolProgress"), text, text,
                          pages.size());
    if (!paintProtocolPages(document, printer, pages, [&](int n, int) { return progress.step(n); }))
        return {};
    return job.finish();
}

// --- the window ---

const QString ProtocolPreview::kTitle = QStringLiteral("Протокол");

ProtocolPreview::ProtocolPreview(const ProtocolDocument& document, QList<PdfAttachment> attachments,
                                 DialogService& dialogs, PrintingService& printing, QWidget* parent)
    : QDialog(parent), m_document(document), m_attachments(std::move(attachments)),
      m_dialogs(dialogs), m_printing(printing)
{
    setObjectName(QStringLiteral("ProtocolPreview"));
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    m_view = new ProtocolPageView(document, this);
    layout->addWidget(m_view, 1);
    m_status = new QLabel(QStringLiteral("Страниц: %1").arg(document.pageCount()), this);
    m_status->setObjectName(QStringLiteral("ProtocolStatus"));
    layout->addWidget(m_status);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* printButton =
        buttons->addButton(QStringLiteral("Печать"), QDialogButtonBox::ActionRole);
    printButton->setObjectName(QStringLiteral("PrintButton"));
    QPushButton* save =
        buttons->addButton(QStringLiteral("Сохранить в PDF…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("SaveButton"));
    QPushButton* close =
        buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("CloseButton"));
    layout->addWidget(buttons);
    connect(printButton, &QPushButton::clicked, this, [this] { guarded([this] { print(); }); });
    connect(save, &QPushButton::clicked, this, [this] { guarded([this] { askAndSave(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(760, 900);
}

void ProtocolPreview::guarded(const std::function<void()>& work)
{
    try {
        work();
    } catch (...) {
        if (!m_errorReport)
            throw;
        m_errorReport();
    }
}

QString ProtocolPreview::print()
{
    const QString file = printProtocol(m_document, m_printing,
                                       m_name.isEmpty() ? kTitle : kTitle + u' ' + m_name, this);
    m_status->setText(file.isEmpty()
                          ? QStringLiteral("Отправлено на печать")
                          : QStringLiteral("Напечатано в %1").arg(QDir::toNativeSeparators(file)));
    if (!file.isEmpty())
        m_written = file;
    return file;
}

QString ProtocolPreview::saveAsPdf(const QString& fileName)
{
    if (const QString refusal = refusedOutput(fileName, m_tableFiles); !refusal.isEmpty())
        throw AppError(refusal);
    WorkProgress progress(this, QStringLiteral("ProtocolProgress"), kTitle,
                          QStringLiteral("Сохранение"), m_document.pageCount());
    if (!writeProtocolPdf(m_document, fileName, m_attachments,
                          [&](int n, int) { return progress.step(n); }))
        return {};
    m_written = QFileInfo(fileName).absoluteFilePath();
    m_status->setText(QStringLiteral("Сохранено в %1").arg(QDir::toNativeSeparators(m_written)));
    return m_written;
}

QString ProtocolPreview::askAndSave()
{
    DialogService::FileRequest request;
    request.filter = QStringLiteral("Документ PDF|*.pdf");
    request.defaultExtension = QStringLiteral(".pdf");
    request.initialDir = m_folder;
    request.fileName =
        (m_name.isEmpty() ? kTitle : kTitle + u' ' + m_name) + QStringLiteral(".pdf");
    const DialogService::FileResult chosen = m_dialogs.saveFile(this, request);
    if (!chosen.accepted || chosen.fileName.isEmpty())
        return {};
    return saveAsPdf(chosen.fileName);
}
