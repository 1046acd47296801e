// The report's own PDF writer against Qt's: the same report written both
// ways must render alike (pdftoppm), read alike (pdftotext) and carry its
// fonts embedded (pdffonts, qpdf).
#include "components/pdf_document.h"
#include "components/report_engine.h"
#include "tests/components/report_pdf_compare.h"
#include "tests/support/peers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

using report_pdf::cell;
using report_pdf::renderedPages;
using report_pdf::Rows;
using report_pdf::writeWithQt;

// Two pages with every way a text is drawn: single lines in two fonts and
// three sizes, numbers, Cyrillic letters made of parts (й, ё), a comment
// that wraps over two lines and one cut at the cell's bottom.
std::unique_ptr<PreparedReport> fixture(const QString& extraComment = {})
{
    using A = ReportCell::HAlign;
    ReportTemplate t;
    t.page = {1071, 758, 25, 72, 25, 25, true, 210, 297};
    ReportCell title = cell(25, 400, "Отчёт ФЛН-РК2 — йод", A::Left, true, 14);
    title.frame.sides = ReportFrame::None;
    t.bands << ReportBand{ReportBand::Kind::ReportTitle, 64, {title}}
            << ReportBand{ReportBand::Kind::PageHeader,
                          40,
                          {cell(25, 60, "N", A::Center, true),
                           cell(85, 90, "t 1, C", A::Center, true),
                           cell(175, 300, "Примечание", A::Center, true)}}
            << ReportBand{ReportBand::Kind::MasterData,
                          40,
                          {cell(25, 60, "[Data.\"N\"]", A::Right),
                           cell(85, 90, "[Data.\"T\"]", A::Right, false, 9),
                           cell(175, 300, "[Data.\"C\"]", A::Left)}}
            << ReportBand{ReportBand::Kind::PageFooter,
                          20,
                          {cell(844, 202, "Стр. [PAGE#] из [TOTALPAGES]", A::Right)}};
    t.bands.last().cells[0].frame.sides = ReportFrame::None;
    t.bands[2].cells[2].wordWrap = true;
    QList<QStringList> rows;
    const QStringList comments = {
        QString(), "Ёмкость ёлки, йогурт; Quick fox & (brackets) <angle> 100%",
        "Очень длинное примечание, которое переносится на вторую строку ячейки",
        "Очень длинное примечание, которое не помещается даже в две строки ячейки и "
        "обрезается снизу у края строки таблицы, как и должно быть"};
    if (!extraComment.isEmpty())
        rows << QStringList{"0", "0.0", extraComment};
    for (int i = 0; i < 20; ++i)
        rows << QStringList{QString::number(i + 1), QString::number(-12.5 + i * 1.75, 'f', 1),
                            comments[i % comments.size()]};
    return std::make_unique<PreparedReport>(t, std::make_unique<Rows>(rows));
}

} // namespace

class TestReportPdfWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Numbers in page streams and font data: plain decimals that every
    // reader takes, never an exponent, no "-0", whole numbers kept whole.
    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("whole") << 1050.0 << 4 << QByteArray("1050");
        QTest::newRow("whole, no decimals asked") << 1050.3 << 0 << QByteArray("1050");
        QTest::newRow("ten") << 10.0 << 0 << QByteArray("10");
        QTest::newRow("trailing zeros") << 7.25 << 6 << QByteArray("7.25");
        QTest::newRow("negative") << -0.12 << 9 << QByteArray("-0.12");
        QTest::newRow("rounded") << 6.548387096774194 << 4 << QByteArray("6.5484");
        QTest::newRow("tiny negative") << -0.00001 << 4 << QByteArray("0");
        QTest::newRow("negative zero") << -0.0 << 4 << QByteArray("0");
        QTest::newRow("small") << 0.00001 << 6 << QByteArray("0.00001");
        QTest::newRow("beyond any page") << 1e300 << 4 << QByteArray("0");
        QTest::newRow("not a number") << std::nan("") << 4 << QByteArray("0");
    }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QByteArray, text);
        PdfContent content;
        content.number(value, decimals);
        QCOMPARE(content.bytes().toByteArray(), text + ' ');
    }

    void readsAndLooksAsThroughQtsWriter()
    {
        QTemporaryDir dir;
        const auto report = fixture();
        QCOMPARE(report->pageCount(), 2);
        const QString ours = dir.filePath("ours.pdf"), qt = dir.filePath("qt.pdf");
        QVERIFY(writeReportPdf(*report, ours));
        writeWithQt(*report, qt);

        // The same text, line by line and word for word.
        const peers::Result ourText = peers::run("pdftotext", {"-layout", ours, "-"});
        FLN_NEED_PEER(ourText, "pdftotext (poppler-utils)");
        const peers::Result qtText = peers::run("pdftotext", {"-layout", qt, "-"});
        QCOMPARE(ourText.exitCode, 0);
        QVERIFY(ourText.out.contains("Ёмкость ёлки, йогурт; Quick fox & (brackets)"));
        QCOMPARE(report_pdf::normalisedLines(ourText.out), report_pdf::normalisedLines(qtText.out));

        // The same pages. Qt's writer embeds glyph outlines redrawn by
        // itself, ours the font's own: edges of letters may differ by a few
        // grey levels, nothing more; a missing letter, line or a shifted
        // text differs by far more.
        const QList<QByteArray> ourPages = renderedPages(ours, dir.filePath("o"));
        const QList<QByteArray> qtPages = renderedPages(qt, dir.filePath("q"));
        QCOMPARE(ourPages.size(), 2);
        QCOMPARE(qtPages.size(), 2);
        for (int p = 0; p < 2; ++p) {
            const QByteArray& a = ourPages[p];
            const QByteArray& b = qtPages[p];
            QCOMPARE(a.size(), b.size());
            int worst = 0;
            qsizetype inked = 0;
            for (qsizetype i = 0; i < a.size(); ++i) {
                worst = std::max(worst, std::abs(int(uchar(a[i])) - int(uchar(b[i]))));
                inked += uchar(a[i]) < 128;
            }
            QVERIFY2(
                worst <= 48,
                qPrintable(
                    QStringLiteral("page %1 differs by %2 grey levels").arg(p + 1).arg(worst)));
            QVERIFY(inked > 10000); // the page is really drawn
        }

        // Every font embedded as a subset with its Unicode map; the file
        // is sound.
        const peers::Result fonts = peers::run("pdffonts", {ours});
        QCOMPARE(fonts.exitCode, 0);
        const QRegularExpression fontLine("^([A-Z]{6}\\+LiberationSans\\S*)\\s+CID "
                                          "TrueType\\s+Identity-H\\s+yes\\s+yes\\s+yes\\s");
        int embedded = 0;
        const QStringList lines = QString::fromUtf8(fonts.out).split(u'\n', Qt::SkipEmptyParts);
        for (const QString& line : lines.mid(2)) {
            QVERIFY2(fontLine.match(line).hasMatch(), qPrintable(line));
            ++embedded;
        }
        // Regular and bold, at most one font for each of their four sizes
        // however many texts use them.
        QVERIFY2(embedded >= 2 && embedded <= 4, fonts.out.constData());
        const peers::Result check = peers::run("qpdf", {"--check", ours});
        FLN_NEED_PEER(check, "qpdf");
        QVERIFY2(check.exitCode == 0, check.out.constData());
    }

    // Letters of a script that no installed font has: the report is still
    // written whole (through Qt's writer, which shows them as boxes), and
    // the rest of it reads as before.
    void lettersNoFontHasStillGiveAReport()
    {
        QTemporaryDir dir;
        const auto report = fixture(QStringLiteral("Запись \u0D12\u0D30\u0D41 \U0001E900"));
        const QString pdf = dir.filePath("boxes.pdf");
        QVERIFY(writeReportPdf(*report, pdf));
        const peers::Result check = peers::run("qpdf", {"--check", pdf});
        FLN_NEED_PEER(check, "qpdf");
        QVERIFY2(check.exitCode == 0, check.out.constData());
        const peers::Result text = peers::run("pdftotext", {"-layout", pdf, "-"});
        FLN_NEED_PEER(text, "pdftotext (poppler-utils)");
        QVERIFY(text.out.contains("Запись"));
        QVERIFY(text.out.contains("Ёмкость ёлки, йогурт"));
    }

    // Letters beyond the Basic Multilingual Plane (mathematical bold, from
    // a font of their own) copy as the letters drawn, in a report that our
    // writer writes.
    void lettersBeyondTheBasicPlaneCopyAsWritten()
    {
        QTemporaryDir dir;
        const QString comment =
            QStringLiteral("Знаки \U0001D400\U0001D401\U0001D402 \U0001D7CF\U0001D7D0 конец");
        const auto report = fixture(comment);
        const QString pdf = dir.filePath("letters.pdf");
        QVERIFY(writeReportPdf(*report, pdf));
        const peers::Result info = peers::run("pdfinfo", {pdf});
        FLN_NEED_PEER(info, "pdfinfo (poppler-utils)");
        QVERIFY2(!info.out.contains("Producer:       Qt"), info.out.constData());
        const peers::Result text = peers::run("pdftotext", {"-layout", pdf, "-"});
        QCOMPARE(text.exitCode, 0);
        QVERIFY2(QString::fromUtf8(text.out).contains(comment), text.out.constData());
    }

    // A one-page report is no larger than Qt's writer makes it: each face
    // embedded once, whatever its sizes, without what a PDF reader never
    // reads.
    void onePageAtMostAsLargeAsQtsWriter()
    {
        QTemporaryDir dir;
        const auto report = report_pdf::simpleReport(
            QStringLiteral("Arial"), true,
            {{"1", "-12,5", "Ёмкость ёлки, йогурт"},
             {"2", "14,0", "Quick fox & (brackets) <angle> 100%"},
             {"3", "0,5", "Очень длинное примечание, которое переносится"}});
        QCOMPARE(report->pageCount(), 1);
        const QString ours = dir.filePath("ours.pdf"), qt = dir.filePath("qt.pdf");
        QVERIFY(writeReportPdf(*report, ours));
        writeWithQt(*report, qt);
        const qint64 ourSize = QFileInfo(ours).size(), qtSize = QFileInfo(qt).size();
        QVERIFY2(ourSize <= qtSize,
                 qPrintable(QStringLiteral("ours %1 bytes, Qt's %2").arg(ourSize).arg(qtSize)));
        const peers::Result fonts = peers::run("pdffonts", {ours});
        FLN_NEED_PEER(fonts, "pdffonts (poppler-utils)");
        // The bold face at 14 and 10 points, the regular at 10 and 9: four
        // fonts, two font programs.
        QCOMPARE(QString::fromUtf8(fonts.out).split(u'\n', Qt::SkipEmptyParts).size() - 2, 4);
        bool read = false;
        const QSet<QString> programs = report_pdf::fontPrograms(ours, read);
        QVERIFY(read);
        QCOMPARE(programs.size(), 2);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestReportPdfWriter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_report_pdf_writer.moc"
