#include "output/report_printing.h"

#include "components/prepared_report_file.h"
#include "components/report_engine.h"
#include "components/report_preview.h"
#include "components/work_progress.h"
#include "platform/app_error.h"
#include "platform/app_title.h"
#include "platform/dialog_service.h"
#include "platform/output_target.h"
#include "platform/page_list.h"
#include "platform/printing_service.h"

#include <QPageLayout>
#include <QPrinter>

const QString ReportPrinting::kPreparedReportFilter = QStringLiteral("Подготовленный отчет|*.flnr");

ReportPrinting::ReportPrinting(DialogService& dialogs, PrintingService& printing,
                               std::function<void()> help, QString jobTitle)
    : m_dialogs(dialogs), m_printing(printing), m_help(std::move(help)),
      m_jobTitle(std::move(jobTitle))
{
}

void setReportPage(QPrinter& printer, const PreparedReport& report)
{
    const ReportPageSetup& setup = report.reportTemplate().page;
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(
        QPageSize(QSizeF(setup.paperWidthMm, setup.paperHeightMm), QPageSize::Millimeter),
        setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
}

void ReportPrinting::preview(QWidget* parent, const PreparedReport& report)
{
    ReportPreviewHost host;
    host.openFileName = [this](QWidget* w) {
        DialogService::FileRequest request;
        request.filter = kPreparedReportFilter;
        request.defaultExtension = PreparedReportFile::kExtension;
        request.initialDir = m_folder;
        const DialogService::FileResult r = m_dialogs.openFile(w, request);
        return r.accepted ? r.fileName : QString();
    };
    host.saveFileName = [this](QWidget* w) {
        DialogService::FileRequest request;
        // A PDF is what a user keeps; the prepared report stays on offer.
        request.filter = QStringLiteral("Документ PDF|*.pdf|") + kPreparedReportFilter;
        request.defaultExtension = QStringLiteral(".pdf");
        request.initialDir = m_folder;
        if (!m_jobTitle.isEmpty())
            request.fileName = m_jobTitle + QStringLiteral(".pdf");
        const DialogService::FileResult r = m_dialogs.saveFile(w, request);
        if (!r.accepted)
            return QString();
        if (const QString refusal = refusedOutput(r.fileName, m_tableFiles); !refusal.isEmpty()) {
            m_dialogs.message(w, refusal, kAppTitle, DialogService::Icon::Stop,
                              DialogService::Buttons::Ok);
            return QString();
        }
        return r.fileName;
    };
    host.print = [this](QWidget* w, const PreparedReport& r) { printWithDialog(w, r); };
    host.help = m_help;
    host.inform = [this](QWidget* w, const QString& text) {
        m_dialogs.message(w, text, ReportPreview::kTitle, DialogService::Icon::Information,
                          DialogService::Buttons::Ok);
    };
    host.zoomChoice = m_zoomChoice;
    ReportPreview window(report, host, parent);
    m_dialogs.execModal(window);
}

bool ReportPrinting::printWithDialog(QWidget* parent, const PreparedReport& report)
{
    QPrinter* printer = &m_printing.printer(); // throws without a printer
    setReportPage(*printer, report);
    printer->setPrintRange(QPrinter::AllPages);
    printer->setPageRanges({});
    printer->setFromTo(0, 0);
    printer->setCopyCount(1);
    printer->setCollateCopies(true);
    if (!m_dialogs.printSetup(parent, *printer, {report.pageCount(), m_printing.printerName()}))
        return false;
    setReportPage(*printer, report); // another printer may have been chosen

    // The pages as the dialog read them; all pages unless a list was chosen.
    const QList<int> pages = pageIndexes(
        printer->printRange() == QPrinter::PageRange ? printer->pageRanges() : QPageRanges(),
        report.pageCount());
    if (pages.isEmpty())
        return false;
    // A printer that makes copies itself gets the pages once.
    const QList<int> sequence =
        printer->supportsMultipleCopies()
            ? pages
            : printSequence(pages, printer->copyCount(), printer->collateCopies());

    // A job printed to a file leaves nothing when cancelled or failed.
    PrintJob job(m_printing, *printer, m_jobTitle);
    const QString printing = QStringLiteral("Печать");
    WorkProgress progress(parent, QStringLiteral("ReportProgress"), printing, printing,
                          sequence.size());
    const bool done =
        printReportPages(report, *printer, sequence, [&](int n, int) { return progress.step(n); });
    if (done) {
        const QString file = job.finish();
        if (m_printed)
            m_printed(file, file.isEmpty() ? printer->printerName() : QString());
    }
    return done;
}
