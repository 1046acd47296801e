// "Предварительный просмотр" and "Печать" of the main window over a small
// table: the preview window and its commands, the print dialog's choices,
// printing to PDF files read back by PDF readers, and the cases where
// nothing happens.
#include "components/grid_row_source.h"
#include "components/report_preview.h"
#include "data/measurement_schema.h"
#include "platform/app_error.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "tests/output/report_pdf.h"
#include "tests/support/main_window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QDir>
#include <QLabel>
#include <QPageRanges>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <functional>

namespace {

namespace S = MeasurementSchema;

struct Window : MainWindowFixture
{
    QString pdfDir = dir.filePath("printed");

    Window() { printing.setPdfDirectory(pdfDir); }

    // Thirty rows, N = 1..30, T_1 " 1,5" .. "30,5" (one-digit ones with the
    // leading space they are stored with), T_2 "-1,0" ... Three pages.
    void open(int rows = 30)
    {
        QList<TestRow> table;
        for (int n = 1; n <= rows; ++n)
            table.append({.n = n,
                          .mode = QStringLiteral("Оперативный"),
                          .enCh = 3,
                          .date = QStringLiteral("01.12.2026"),
                          .time = QStringLiteral("10:%1:00").arg(n, 2, 10, QChar(u'0')),
                          .t1 = QStringLiteral("%1,5").arg(n).rightJustified(4, u' '),
                          .t2 = QStringLiteral("-%1,0").arg(n % 9 + 1),
                          .comment = QStringLiteral("строка %1").arg(n)});
        MainWindowFixture::open(table);
        form.Dbf1.goToRecord(5);
    }
    QList<ReportPdfRow> printedRows(QList<int> numbers = {}) const
    {
        if (numbers.isEmpty())
            for (int n = 1; n <= 30; ++n)
                numbers << n;
        QList<ReportPdfRow> rows;
        for (int n : numbers)
            rows.append({n, QStringLiteral("%1,5").arg(n), QStringLiteral("-%1,0").arg(n % 9 + 1)});
        return rows;
    }
    QStringList printedFiles() const { return QDir(pdfDir).entryList(QDir::Files); }
    QString footers(const QString& pdf) const
    {
        QStringList out;
        for (const QString& page : reportPdfPages(pdf)) {
            const QRegularExpressionMatch m = QRegularExpression("Стр\\. \\d+ из \\d+").match(page);
            out << m.captured(0);
        }
        return out.join(u'|');
    }
};

} // namespace

class TestReportCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withoutATableNothingHappens()
    {
        Window w;
        w.form.N8Click();
        w.form.N9Click();
        w.form.N22Click();
        QVERIFY(w.dialogs.calls().isEmpty());
        QVERIFY(w.printedFiles().isEmpty());
    }

    // Every print path says what the chart's "Печать" says, and prints nothing.
    void withoutAPrinterEveryPrintPathSaysSo()
    {
        Window w;
        w.open();
        w.printing.setPdfDirectory({}); // a machine without a printer
        const auto refusal = [](const std::function<void()>& print) {
            try {
                print();
            } catch (const AppError& e) {
                return e.text();
            }
            return QStringLiteral("<no error>");
        };
        const QString text = "There is no default printer currently selected";
        QCOMPARE(refusal([&] { w.form.N9Click(); }), text);
        QCOMPARE(refusal([&] { w.form.N22Click(); }), text);
        QCOMPARE(refusal([&] { w.form.ToolButton5->click(); }), text);
        QString fromPreview;
        w.dialogs.queueModal([&](QDialog& window) {
            fromPreview = refusal([&] { window.findChild<QAction*>("print")->trigger(); });
            return 1;
        });
        w.form.N8Click();
        QCOMPARE(fromPreview, text);
        QVERIFY(w.dialogs.calls(ScriptedDialogService::Kind::PrintSetup).isEmpty());
        QVERIFY(w.printedFiles().isEmpty());
        // Still prepared: the table stands on its last record.
        QCOMPARE(w.form.Dbf1.recNo(), 30u);
    }

    // The preview opens at the page's width and keeps the zoom the user
    // chose for the next one; the page field and Home/End go to pages.
    void previewOpensAtPageWidthAndLeavesTheLastRecordCurrent()
    {
        Window w;
        w.open();
        int pages = 0;
        double zoom = 0, widthZoom = -1;
        QStringList visited; // "page in view/page field"
        w.dialogs.queueModal([&](QDialog& window) {
            auto& preview = dynamic_cast<ReportPreview&>(window);
            preview.show();
            if (!QTest::qWaitForWindowExposed(&preview))
                return 0;
            pages = preview.report().pageCount();
            zoom = preview.pageView()->zoom();
            widthZoom = preview.pageView()->zoomToWidth();
            auto* field = preview.findChild<QSpinBox*>("pageNumber");
            const auto where = [&] {
                visited << QStringLiteral("%1/%2")
                               .arg(preview.pageView()->currentPage() + 1)
                               .arg(field->value());
            };
            where();
            QTest::keyClick(&preview, Qt::Key_End, Qt::ControlModifier);
            where();
            QTest::keyClick(&preview, Qt::Key_Home);
            where();
            QTest::keyClick(&preview, Qt::Key_End);
            where();
            field->setValue(2); // typed in "Страница [k] из n"
            where();
            visited << preview.findChild<QLabel*>("pageCount")->text();
            preview.findChild<QComboBox*>("zoom")->setCurrentText("150 %");
            preview.hide();
            return 1;
        });
        w.form.N8Click();
        QCOMPARE(visited, (QStringList{"1/1", "3/3", "1/1", "3/3", "2/2", "из 3"}));
        QVERIFY(qAbs(zoom - widthZoom) < 1e-9);
        QVERIFY(zoom < 1.0); // a landscape page is wider than the window at 100 %
        // The next preview opens at the zoom chosen in this one.
        w.dialogs.queueModal([&](QDialog& window) {
            zoom = dynamic_cast<ReportPreview&>(window).pageView()->zoom();
            return 1;
        });
        w.form.N8Click();
        QCOMPARE(zoom, 1.5);
        const auto modal = w.dialogs.calls(ScriptedDialogService::Kind::Modal);
        QCOMPARE(modal.size(), 2);
        QCOMPARE(modal[0].caption, QStringLiteral("Предварительный просмотр"));
        QCOMPARE(pages, 3);
        QCOMPARE(w.form.Dbf1.recNo(), 30u);
        QCOMPARE(w.form.DBGridPro1->source()->currentRow(), 29);
        QTRY_COMPARE(w.form.DBGridPro1->view()->currentIndex().row(), 29); // the grid follows
    }

    void sortedTablePrintsInItsOrderAndEndsOnItsLastRow()
    {
        Window w;
        w.open();
        w.form.Dbf1.addSortTag(S::kSortTag, S::kN, true);
        w.form.Dbf1.selectSortTag(S::kSortTag);
        w.dialogs.queuePrintSetup(true);
        w.form.N9Click();
        QCOMPARE(w.form.Dbf1.recNo(), 1u); // last in descending order
        QCOMPARE(w.printedFiles(), QStringList{"rows.pdf"});
        QList<int> numbers;
        for (int n = 30; n >= 1; --n)
            numbers << n;
        FLN_CHECK(checkReportPdf(w.pdfDir + "/rows.pdf", 3, w.printedRows(numbers)));
    }

    void printDialogChoices_data()
    {
        QTest::addColumn<QString>("pageList");
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("collate");
        QTest::addColumn<QString>("footers");
        QTest::newRow("all pages")
            << QString() << 1 << true << "Стр. 1 из 3|Стр. 2 из 3|Стр. 3 из 3";
        QTest::newRow("a list") << "1,3" << 1 << true << "Стр. 1 из 3|Стр. 3 из 3";
        QTest::newRow("two collated copies")
            << "2-3" << 2 << true << "Стр. 2 из 3|Стр. 3 из 3|Стр. 2 из 3|Стр. 3 из 3";
        QTest::newRow("two copies, not collated")
            << "2-3" << 2 << false << "Стр. 2 из 3|Стр. 2 из 3|Стр. 3 из 3|Стр. 3 из 3";
    }
    void printDialogChoices()
    {
        QFETCH(QString, pageList);
        QFETCH(int, copies);
        QFETCH(bool, collate);
        QFETCH(QString, footers);
        Window w;
        w.open();
        int copiesOffered = 0;
        bool collateOffered = false;
        QPageLayout layoutOffered;
        w.dialogs.queuePrintSetup(true, [&](QPrinter& printer) {
            copiesOffered = printer.copyCount();
            collateOffered = printer.collateCopies();
            layoutOffered = printer.pageLayout();
            if (!pageList.isEmpty()) {
                printer.setPrintRange(QPrinter::PageRange);
                printer.setPageRanges(QPageRanges::fromString(pageList));
            }
            printer.setCopyCount(copies);
            printer.setCollateCopies(collate);
        });
        w.form.N22Click();
        QCOMPARE(copiesOffered, 1);
        QVERIFY(collateOffered);
        // The dialog's pages are the report's, its printer the PDF folder.
        const auto asked = w.dialogs.calls(ScriptedDialogService::Kind::PrintSetup);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].print.pageCount, 3);
        QCOMPARE(asked[0].print.printerName, "PDF → " + QDir::toNativeSeparators(w.pdfDir));
        QCOMPARE(layoutOffered.orientation(), QPageLayout::Landscape);
        QCOMPARE(layoutOffered.pageSize().id(), QPageSize::A4);
        QCOMPARE(w.printedFiles(), QStringList{"rows.pdf"});
        QCOMPARE(w.footers(w.pdfDir + "/rows.pdf"), footers);
    }

    void cancelledPrintDialogPrintsNothing()
    {
        Window w;
        w.open();
        w.dialogs.queuePrintSetup(false);
        w.form.N9Click();
        QCOMPARE(w.dialogs.calls(ScriptedDialogService::Kind::PrintSetup).size(), 1);
        QVERIFY(w.printedFiles().isEmpty());
        QCOMPARE(w.form.Dbf1.recNo(), 30u);
    }

    // The page field under the pages follows the page in view wherever the
    // view is moved, within the report's pages; a text that is nowhere clears the
    // mark and leaves the view where it was.
    void previewPagesAndFindingNothing()
    {
        Window w;
        w.open();
        QStringList labels;
        bool missingFound = true;
        bool markLeft = true;
        w.dialogs.queueModal([&](QDialog& window) {
            auto& preview = dynamic_cast<ReportPreview&>(window);
            window.show();
            if (!QTest::qWaitForWindowExposed(&window))
                return 0;
            const auto* field = window.findChild<QSpinBox*>("pageNumber");
            const auto* count = window.findChild<QLabel*>("pageCount");
            const auto read = [&] { labels << QStringLiteral("%1 %2").arg(field->value()).arg(count->text()); };
            ReportPageView* view = preview.pageView();
            read();
            for (const int page : {2, 1, 99, -5}) {
                view->showPage(page);
                read();
            }
            preview.findNext(QStringLiteral("строка 30")); // on the last page
            read();
            missingFound = preview.findNext(QStringLiteral("нет такой строки"));
            markLeft = preview.pageView()->highlight().valid();
            read();
            window.findChild<QAction*>("close")->trigger();
            return window.result();
        });
        w.form.N8Click();
        QCOMPARE(labels, (QStringList{"1 из 3", "3 из 3", "2 из 3", "3 из 3", "1 из 3", "3 из 3",
                                      "3 из 3"}));
        QVERIFY(!missingFound);
        QVERIFY(!markLeft);
    }

    // The preview's save onto the open table, here through a link named like
    // a PDF: refused in a message, the table as it was.
    void previewNeverSavesOverTheTable()
    {
        Window w;
        w.open();
        const QString table = w.dir.filePath("rows.db");
        const QString link = w.dir.filePath("rows.pdf");
        QVERIFY(QFile::link(table, link));
        QFile file(table);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        w.dialogs.queueSaveFile(link);
        w.dialogs.queueModal([](QDialog& window) {
            window.findChild<QAction*>("save")->trigger();
            return 0;
        });
        w.form.N8Click();
        const auto messages = w.dialogs.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, "Файл " + link + " — это сама таблица; укажите другое имя.");
        QCOMPARE(messages[0].icon, DialogService::Icon::Stop);
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), before);
    }

    // Inside the preview: find, save as PDF and as a prepared report, open
    // that again, print and help.
    void previewCommands()
    {
        Window w;
        w.open();
        const QString saved = w.dir.filePath("saved.flnr");
        const QString savedPdf = w.dir.filePath("saved.pdf");
        w.dialogs.queueSaveFile(saved);
        w.dialogs.queueSaveFile(savedPdf);
        w.dialogs.queueOpenFile(saved);
        w.dialogs.queuePrintSetup(true);
        QStringList found;
        int openedPages = 0;
        bool helpShown = false;
        w.dialogs.queueModal([&](QDialog& window) {
            auto& preview = dynamic_cast<ReportPreview&>(window);
            for (int i = 0; i < 4; ++i) {
                if (!preview.findNext(QStringLiteral("СТРОКА 2")))
                    break;
                const auto hit = preview.pageView()->highlight();
                found << QStringLiteral("%1:%2").arg(hit.page).arg(
                    preview.report().pageCells(hit.page)[hit.cell].text);
            }
            window.findChild<QAction*>("save")->trigger();
            window.findChild<QAction*>("save")->trigger();
            w.form.Dbf1.goToRecord(1); // the file no longer needs the table
            window.findChild<QAction*>("open")->trigger();
            openedPages = preview.report().pageCount();
            window.findChild<QAction*>("print")->trigger();
            window.findChild<QAction*>("help")->trigger();
            helpShown = w.help.window() && w.help.window()->isVisible();
            window.findChild<QAction*>("close")->trigger();
            return window.result();
        });
        w.state.defaultDir = w.dir.path();
        w.form.N8Click();
        // The save starts in the default folder, on PDF, with the table's name.
        const auto saves = w.dialogs.calls(ScriptedDialogService::Kind::SaveFile);
        QCOMPARE(saves.size(), 2);
        QCOMPARE(saves[0].request.initialDir, w.dir.path());
        QCOMPARE(saves[0].request.fileName, QString("rows.pdf"));
        QVERIFY(saves[0].request.filter.startsWith("Документ PDF|*.pdf|"));
        QVERIFY(saves[0].request.filter.contains("|*.flnr"));
        // "строка 2" and "строка 20".."строка 29": page 0 has rows 1..12,
        // page 1 rows 13..26.
        QCOMPARE(found, (QStringList{"0:строка 2", "1:строка 20", "1:строка 21", "1:строка 22"}));
        QCOMPARE(openedPages, 3);
        QVERIFY(helpShown);
        FLN_CHECK(checkReportPdf(savedPdf, 3, w.printedRows()));
        // Printed from the reopened file: the same report.
        QCOMPARE(w.printedFiles(), QStringList{"rows.pdf"});
        FLN_CHECK(checkReportPdf(w.pdfDir + "/rows.pdf", 3, w.printedRows()));
    }
};

QTEST_MAIN(TestReportCommands)
#include "tst_report_commands.moc"
