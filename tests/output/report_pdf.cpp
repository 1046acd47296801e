#include "tests/output/report_pdf.h"

#include "tests/support/peers.h"

#include <QRegularExpression>
#include <QtTest>

QStringList reportPdfPages(const QString& file)
{
    const peers::Result text = peers::run("pdftotext", {"-layout", file, "-"});
    if (!text.available || text.exitCode != 0)
        return {};
    QStringList pages = QString::fromUtf8(text.out).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

void checkReportPdf(const QString& file, int pages, const QList<ReportPdfRow>& rows)
{
    const peers::Result info = peers::run("pdfinfo", {file});
    FLN_NEED_PEER(info, "pdfinfo (poppler-utils)");
    QCOMPARE(info.exitCode, 0);
    const QString infoText = QString::fromUtf8(info.out);
    QVERIFY2(infoText.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))),
             qPrintable(infoText));
    const QRegularExpressionMatch size =
        QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+) pts \\(A4\\)").match(infoText);
    QVERIFY2(size.hasMatch(), qPrintable(infoText));
    QVERIFY2(size.captured(1).toDouble() > size.captured(2).toDouble(), "not landscape");

    const peers::Result fonts = peers::run("pdffonts", {file});
    FLN_NEED_PEER(fonts, "pdffonts (poppler-utils)");
    QCOMPARE(fonts.exitCode, 0);
    int fontCount = 0;
    const QRegularExpression fontLine(
        "^(\\S+)\\s.*\\s(yes|no)\\s+(yes|no)\\s+(yes|no)\\s+\\d+\\s+\\d+\\s*$");
    for (const QString& line : QString::fromUtf8(fonts.out).split(u'\n')) {
        const QRegularExpressionMatch m = fontLine.match(line);
        if (!m.hasMatch())
            continue;
        ++fontCount;
        QVERIFY2(m.captured(2) == u"yes", qPrintable("not embedded: " + line));
        QVERIFY2(m.captured(1).contains("LiberationSans"), qPrintable("not Arial's twin: " + line));
    }
    QVERIFY2(fontCount > 0, fonts.out.constData());

    const peers::Result check = peers::run("qpdf", {"--check", file});
    FLN_NEED_PEER(check, "qpdf");
    QVERIFY2(check.exitCode == 0, check.out.constData());

    const QStringList texts = reportPdfPages(file);
    QCOMPARE(texts.size(), pages);
    QList<int> numbers;
    QStringList rowLines;
    const QRegularExpression rowLine(
        "^\\s*(\\d+)\\s+\\d\\d\\.\\d\\d\\.\\d{4}\\s+\\d\\d:\\d\\d:\\d\\d");
    for (int p = 0; p < texts.size(); ++p) {
        const QString& page = texts[p];
        QCOMPARE(page.contains(QStringLiteral("ФЛН-РК2.03")), p == 0);
        for (const char* heading : {"Дата", "Время", "Режим", "1, C", "2, C", "Примечание"})
            QVERIFY2(page.contains(QString::fromUtf8(heading)), heading);
        const QString footer = QStringLiteral("Стр. %1 из %2").arg(p + 1).arg(pages);
        QCOMPARE(page.count(QRegularExpression("Стр\\. \\d+ из \\d+")), 1);
        QVERIFY2(page.contains(footer), qPrintable(footer));
        for (const QString& line : page.split(u'\n')) {
            const QRegularExpressionMatch m = rowLine.match(line);
            if (m.hasMatch()) {
                numbers << m.captured(1).toInt();
                rowLines << line;
            }
        }
    }
    QList<int> expected;
    for (const ReportPdfRow& r : rows)
        expected << r.n;
    QCOMPARE(numbers, expected);
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList words = rowLines[i].split(u' ', Qt::SkipEmptyParts);
        for (const QString& t : {rows[i].t1, rows[i].t2}) {
            if (!t.isEmpty())
                QVERIFY2(words.contains(t), qPrintable(rowLines[i] + " lacks " + t));
        }
    }
}
