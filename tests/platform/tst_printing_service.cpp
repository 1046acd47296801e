// The application's printers: without a system printer there is no current
// printer; with --print-to-pdf every job becomes a PDF named after it.
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
    void cleanup() { PrintingService::instance().setPdfDirectory({}); }

    void noPrinterWithoutPdfDirectory()
    {
        // The test machine has no print server, so no default printer.
        PrintingService& s = PrintingService::instance();
        s.setPdfDirectory({});
        QCOMPARE(s.hasPrinter(), false);
        QVERIFY(s.currentPrinter() == nullptr);
    }

    void jobsBecomeNumberedPdfFiles()
    {
        QTemporaryDir dir;
        PrintingService& s = PrintingService::instance();
        s.setPdfDirectory(dir.path());
        QVERIFY(s.hasPrinter());
        QPrinter* printer = s.currentPrinter();
        QVERIFY(printer);

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
