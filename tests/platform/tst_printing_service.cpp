// The application's printers: without a system printer there is no current
// printer; with --print-to-pdf every job becomes a PDF named after it.
#include "platform/app_error.h"
#include "platform/printing_service.h"
#include "tests/support/peers.h"

#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

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
            const QString file = s.beginJob(*printer, QStringLiteral("Chart1"));
            files << file;
            QPainter painter;
            QVERIFY(painter.begin(printer));
            painter.drawText(100, 100, QStringLiteral("Графики"));
            painter.end();
        }
        QCOMPARE(files, QStringList({dir.filePath("Chart1.pdf"), dir.filePath("Chart1 (2).pdf")}));

        const peers::Result info = peers::run(QStringLiteral("pdfinfo"), {files.last()});
        FLN_NEED_PEER(info, "pdfinfo");
        QCOMPARE(info.exitCode, 0);
        QVERIFY2(info.out.contains("Title:           Chart1"), info.out.constData());
        QVERIFY2(info.out.contains("Pages:           1"), info.out.constData());
    }
};

QTEST_MAIN(TestPrintingService)
#include "tst_printing_service.moc"
