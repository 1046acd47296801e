// The report's print dialog, driven through its own widgets: a page list
// such as 1,3,5-12 reaches the printer as exactly those pages, a list that
// names no page of the report is refused with the dialog left open, "с/по"
// stay within the report's pages, and a PDF target is named as the printer.
// The rules of a page list, read by the one parser that the dialog uses, and
// the pages that the printed report takes from the dialog's ranges.
#include "platform/page_list.h"
#include "platform/print_dialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSpinBox>
#include <QtTest>

class TestPrintDialog : public QObject
{
    Q_OBJECT

private slots:
    // Read for a report of 14 pages: the pages (0-based) in printing order;
    // none: the list is refused.
    void readPageList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("pages");
        QTest::newRow("one page") << "3" << QList<int>{2};
        QTest::newRow("list and range") << "1,3,5-12" << QList<int>{0, 2, 4, 5, 6, 7, 8, 9, 10, 11};
        QTest::newRow("blanks anywhere") << " 2 , 4 - 5 " << QList<int>{1, 3, 4};
        QTest::newRow("the last page") << "14" << QList<int>{13};
        QTest::newRow("written out of order") << "9,2-3" << QList<int>{1, 2, 8};
        QTest::newRow("overlapping ranges once") << "1-4,3-6" << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("a page twice once") << "2,2" << QList<int>{1};
        QTest::newRow("nothing") << "" << QList<int>{};
        QTest::newRow("blanks only") << "   " << QList<int>{};
        QTest::newRow("past the last page") << "13-20" << QList<int>{};
        QTest::newRow("a page past the last") << "1,30" << QList<int>{};
        QTest::newRow("backwards range") << "5-3" << QList<int>{};
        QTest::newRow("page zero") << "0" << QList<int>{};
        QTest::newRow("negative") << "-2" << QList<int>{};
        QTest::newRow("an empty item") << "1,,3" << QList<int>{};
        QTest::newRow("a trailing comma") << "1,3," << QList<int>{};
        QTest::newRow("an open range") << "5-" << QList<int>{};
        QTest::newRow("two dashes") << "1-2-3" << QList<int>{};
        QTest::newRow("words") << "first" << QList<int>{};
        QTest::newRow("a number in a word") << "2a" << QList<int>{};
    }
    void readPageList()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, pages);
        const QPageRanges ranges = ::readPageList(text, 14);
        QCOMPARE(ranges.isEmpty(), pages.isEmpty());
        if (!pages.isEmpty())
            QCOMPARE(::pageIndexes(ranges, 14), pages);
    }

    void pageIndexes_data()
    {
        QTest::addColumn<QString>("ranges"); // as the printer holds them
        QTest::addColumn<QList<int>>("pages");
        QTest::newRow("no ranges: every page") << "" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("in order") << "1,3-4" << QList<int>{0, 2, 3};
        QTest::newRow("past the last page left out") << "4-9" << QList<int>{3, 4};
        QTest::newRow("wholly past the last page") << "7-9" << QList<int>{};
    }
    void pageIndexes()
    {
        QFETCH(QString, ranges);
        QFETCH(QList<int>, pages);
        QCOMPARE(::pageIndexes(QPageRanges::fromString(ranges), 5), pages);
    }

    void pageList_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("printed"); // empty: refused
        QTest::newRow("one page") << "1"
                                  << "1";
        QTest::newRow("the list of the manual") << "1,3,5-12"
                                                << "1,3,5-12";
        QTest::newRow("blanks around") << " 2 , 4-5 "
                                       << "2,4-5";
        QTest::newRow("the last page") << "31"
                                       << "31";
        QTest::newRow("overlapping ranges join") << "1-4,3-6"
                                                 << "1-6";
        QTest::newRow("page 0") << "0"
                                << "";
        QTest::newRow("past the last page") << "30-32"
                                            << "";
        QTest::newRow("backwards") << "5-3"
                                   << "";
        QTest::newRow("an empty item") << "1,,3"
                                       << "";
        QTest::newRow("a word") << "все"
                                << "";
        QTest::newRow("nothing") << ""
                                 << "";
    }
    void pageList()
    {
        QFETCH(QString, typed);
        QFETCH(QString, printed);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        PrintDialog dialog(&printer, 31, QString());
        QStringList refusals;
        dialog.setRefusal([&](const QString& text) { refusals << text; });
        auto* pages = dialog.findChild<QAbstractButton*>("pagesRadioButton");
        auto* list = dialog.findChild<QLineEdit*>("pagesLineEdit");
        QVERIFY(pages && list);
        pages->setChecked(true);
        list->setText(typed);
        dialog.accept();
        if (printed.isEmpty()) {
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(refusals.size(), 1);
            QVERIFY2(refusals[0].contains("от 1 до 31"), qPrintable(refusals[0]));
            QVERIFY(pages->isChecked()); // the user corrects the list
        } else {
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(refusals.isEmpty());
            QCOMPARE(printer.printRange(), QPrinter::PageRange);
            QCOMPARE(printer.pageRanges().toString(), printed);
        }
    }

    void fromToStaysWithinTheReport()
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        PrintDialog dialog(&printer, 31, QString());
        dialog.show(); // the bounds are the shown dialog's
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* from = dialog.findChild<QSpinBox*>("from");
        auto* to = dialog.findChild<QSpinBox*>("to");
        QVERIFY(from && to);
        QCOMPARE(from->minimum(), 1);
        QCOMPARE(to->maximum(), 31);
        dialog.findChild<QAbstractButton*>("printRange")->setChecked(true);
        from->setValue(3);
        to->setValue(99);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(printer.pageRanges().toString(), QString("3-31"));
    }

    void namesThePdfTarget()
    {
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("this machine lists printers of its own in the dialog");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        PrintDialog dialog(&printer, 3, QStringLiteral("PDF → /tmp/jobs"));
        auto* printers = dialog.findChild<QComboBox*>("printers");
        QVERIFY(printers);
        QCOMPARE(printers->currentText(), QString("PDF → /tmp/jobs"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(printer.printRange(), QPrinter::AllPages);
    }
};

QTEST_MAIN(TestPrintDialog)
#include "tst_print_dialog.moc"
