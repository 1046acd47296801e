// The application's printers: without a system printer there is no current
// printer; with --print-to-pdf every job becomes a PDF named after it.
#include "platform/app_error.h"
#include "platform/printing_service.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/peers.h"

#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <optional>

class TestPrintingService : public QObject
{
    Q_OBJECT

private slots:
    void noPrinterWithoutPdfDirectory()
    {
        PrintingService s(PrintingService::Printers::None);
        QCOMPARE(s.hasPrinter(), false);
        QVERIFY_THROWS_EXCEPTION(AppError, s.printer());
        try {
            s.printer();
        } catch (const AppError& e) {
            QCOMPARE(e.text(), QString("There is no default printer currently selected"));
        }
        // Printing to PDF needs no printer, and names its target.
        s.setPdfDirectory(QStringLiteral("/tmp/jobs"));
        QVERIFY(s.hasPrinter());
        QCOMPARE(s.printerName(), QString("PDF → /tmp/jobs"));
    }

    void jobsBecomeNumberedPdfFiles()
    {
        QTemporaryDir dir;
        PrintingService s(dir.path());
        QVERIFY(s.hasPrinter());
        QPrinter* printer = &s.printer();

        QStringList files;
        for (int job = 0; job < 2; ++job) {
            PrintJob printJob(s, *printer, QStringLiteral("Chart1"));
            QVERIFY(printJob.toFile());
            QPainter painter;
            QVERIFY(painter.begin(printer));
            painter.drawText(100, 100, QStringLiteral("Графики"));
            painter.end();
            files << printJob.finish();
        }
        QCOMPARE(files, QStringList({dir.filePath("Chart1.pdf"), dir.filePath("Chart1 (2).pdf")}));

        const peers::Result info = peers::run(QStringLiteral("pdfinfo"), {files.last()});
        FLN_NEED_PEER(info, "pdfinfo");
        QCOMPARE(info.exitCode, 0);
        QVERIFY2(info.out.contains("Title:           Chart1"), info.out.constData());
        QVERIFY2(info.out.contains("Pages:           1"), info.out.constData());
    }

    // A job that is not finished (cancelled, failed) or that the disk could
    // not hold leaves no file; the failure says why in the usual form.
    void unfinishedJobLeavesNothing_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("not finished") << false;
        QTest::newRow("disk full") << true;
    }
    void unfinishedJobLeavesNothing()
    {
        QFETCH(bool, diskFull);
        QTemporaryDir dir;
        PrintingService s(dir.path());
        QPrinter* printer = &s.printer();
        {
            PrintJob job(s, *printer, QStringLiteral("rows"));
            std::optional<FileSizeLimit> full;
            if (diskFull)
                full.emplace(4096);
            QPainter painter;
            QVERIFY(painter.begin(printer));
            for (int page = 0; page < 20; ++page) {
                if (page > 0)
                    printer->newPage();
                for (int line = 0; line < 40; ++line)
                    painter.drawText(100, 100 + 20 * line, QStringLiteral("Страница %1").arg(page));
            }
            painter.end();
            if (diskFull) {
                try {
                    job.finish();
                    QFAIL("a full disk went unnoticed");
                } catch (const AppError& e) {
                    QCOMPARE(e.text(), QStringLiteral("Не удалось записать файл %1: %2")
                                           .arg(QDir::toNativeSeparators(dir.filePath("rows.pdf")),
                                                QString::fromLocal8Bit(std::strerror(EFBIG))));
                }
            }
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // One page: on the paper as asked, its origin the paper's corner, the job
    // a file of its title; the printer as it was for the next job. A page
    // that fails to draw leaves no file.
    void printPage_data()
    {
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<bool>("drawFails");
        QTest::newRow("landscape") << true << false;
        QTest::newRow("portrait") << false << false;
        QTest::newRow("drawing fails") << true << true;
    }
    void printPage()
    {
        QFETCH(bool, landscape);
        QFETCH(bool, drawFails);
        const QPageLayout::Orientation orientation =
            landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
        QTemporaryDir dir;
        PrintingService s(dir.path());
        QPrinter& printer = s.printer();
        const QPageLayout::Orientation before =
            orientation == QPageLayout::Landscape ? QPageLayout::Portrait : QPageLayout::Landscape;
        printer.setPageOrientation(before);
        printer.setFullPage(false);
        QRect paper, painted;
        const auto paint = [&](QPainter& painter, QPrinter& p) {
            QCOMPARE(&p, &printer);
            paper = p.paperRect(QPrinter::DevicePixel).toRect();
            painted = painter.viewport();
            painter.drawText(100, 100, QStringLiteral("Сводка"));
            if (drawFails)
                throw AppError(QStringLiteral("drawing failed"));
        };
        QString file;
        if (drawFails) {
            QVERIFY_THROWS_EXCEPTION(AppError,
                                     s.printPage(QStringLiteral("page"), orientation, paint));
        } else {
            file = s.printPage(QStringLiteral("page"), orientation, paint);
            QCOMPARE(file, dir.filePath("page.pdf"));
        }
        QCOMPARE(paper.width() > paper.height(), landscape);
        QCOMPARE(painted, QRect(QPoint(0, 0), paper.size())); // the whole paper
        QCOMPARE(printer.pageLayout().orientation(), before);
        QVERIFY(!printer.fullPage());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 drawFails ? QStringList() : QStringList{"page.pdf"});
        if (drawFails)
            return;
        const peers::Result info = peers::run(QStringLiteral("pdfinfo"), {file});
        FLN_NEED_PEER(info, "pdfinfo");
        QVERIFY2(info.out.contains("Title:           page"), info.out.constData());
        QVERIFY2(info.out.contains("Pages:           1"), info.out.constData());
    }
};

QTEST_MAIN(TestPrintingService)
#include "tst_printing_service.moc"
