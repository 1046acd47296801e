#pragma once

// What the report PDF tests share: a report of a few rows in a font of the
// test's choosing, the same report through Qt's writer, and its pages as
// pdftoppm renders them.

#include "components/report_engine.h"
#include "tests/support/peers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace report_pdf {

class Rows : public ReportRowSource
{
public:
    explicit Rows(QList<QStringList> rows) : m_rows(std::move(rows)) {}
    QString dataSetName() const override { return QStringLiteral("Data"); }
    QStringList fieldNames() const override { return {"N", "T", "C"}; }
    qint64 begin() override { return m_rows.size(); }
    void end() override {}
    QStringList rowTexts(qint64 row) const override { return m_rows.value(row); }

private:
    QList<QStringList> m_rows;
};

inline ReportCell cell(double x, double w, const QString& text, ReportCell::HAlign align,
                       bool bold = false, double points = 10,
                       const QString& family = QStringLiteral("Arial"))
{
    ReportCell c;
    c.x = x;
    c.width = w;
    c.text = text;
    c.frame.sides = ReportFrame::All;
    c.hAlign = align;
    c.vAlign = ReportCell::VAlign::Middle;
    c.bold = bold;
    c.pointSize = points;
    c.fontFamily = family;
    return c;
}

// A bold title and headings over rows of number, temperature and comment
// (A4 landscape), every cell in `family`.
inline std::unique_ptr<PreparedReport> simpleReport(const QString& family, bool bold,
                                                    const QList<QStringList>& rows)
{
    using A = ReportCell::HAlign;
    ReportTemplate t;
    t.page = {1071, 758, 25, 72, 25, 25, true, 210, 297};
    ReportCell title = cell(25, 400, "Отчёт ФЛН-РК2 — йод", A::Left, bold, 14, family);
    title.frame.sides = ReportFrame::None;
    t.bands << ReportBand{ReportBand::Kind::ReportTitle, 64, {title}}
            << ReportBand{ReportBand::Kind::PageHeader,
                          40,
                          {cell(25, 60, "N", A::Center, bold, 10, family),
                           cell(85, 90, "t 1, C", A::Center, bold, 10, family),
                           cell(175, 400, "Примечание", A::Center, bold, 10, family)}}
            << ReportBand{ReportBand::Kind::MasterData,
                          40,
                          {cell(25, 60, "[Data.\"N\"]", A::Right, false, 10, family),
                           cell(85, 90, "[Data.\"T\"]", A::Right, false, 9, family),
                           cell(175, 400, "[Data.\"C\"]", A::Left, false, 10, family)}};
    t.bands[2].cells[2].wordWrap = true;
    return std::make_unique<PreparedReport>(t, std::make_unique<Rows>(rows));
}

inline void writeWithQt(const PreparedReport& report, const QString& file)
{
    QPdfWriter writer(file);
    writer.setResolution(600);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF()));
    QList<int> pages;
    for (int p = 0; p < report.pageCount(); ++p)
        pages << p;
    QVERIFY(printReportPages(report, writer, pages));
}

// pdftotext's text as lines, each with its runs of white space made one
// space and trimmed: two writers that round a position differently may set
// a column a space apart, and the text is still the same. Compared as lists,
// a difference names its line.
inline QStringList normalisedLines(const QByteArray& text)
{
    QStringList lines;
    for (const QString& line : QString::fromUtf8(text).split(u'\n'))
        lines << line.simplified();
    return lines;
}

// The grey pixels of every page at 100 dots per inch (the PGM files whole).
inline QList<QByteArray> renderedPages(const QString& pdf, const QString& prefix)
{
    const peers::Result r = peers::run("pdftoppm", {"-r", "100", "-gray", pdf, prefix});
    if (!r.available || r.exitCode != 0)
        return {};
    QList<QByteArray> pages;
    const QDir dir = QFileInfo(prefix).dir();
    const QString stem = QFileInfo(prefix).fileName();
    for (const QString& name : dir.entryList({stem + "-*.pgm"}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            pages << f.readAll();
    }
    return pages;
}

// The largest grey-level difference of two renderings of one page, -1 when
// they are not of one size.
inline int worstDifference(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return -1;
    int worst = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(uchar(a[i])) - int(uchar(b[i]))));
    return worst;
}

// The dark pixels of a rendered page.
inline qsizetype inked(const QByteArray& page)
{
    return std::count_if(page.cbegin(), page.cend(), [](char c) { return uchar(c) < 128; });
}

// The font programs the file embeds (their objects), as qpdf reads the
// file's font descriptors; `ok` is false when qpdf is missing or fails.
inline QSet<QString> fontPrograms(const QString& pdf, bool& ok)
{
    QSet<QString> out;
    const peers::Result r = peers::run("qpdf", {"--json=2", "--json-key=qpdf", pdf});
    ok = r.available && r.exitCode == 0;
    const QJsonObject objects =
        QJsonDocument::fromJson(r.out).object().value("qpdf").toArray().at(1).toObject();
    for (const QJsonValue& object : objects) {
        const QJsonObject dict = object.toObject().value("value").toObject();
        for (const char* key : {"/FontFile", "/FontFile2", "/FontFile3"}) {
            if (dict.contains(key))
                out << dict.value(key).toString();
        }
    }
    return out;
}

} // namespace report_pdf
