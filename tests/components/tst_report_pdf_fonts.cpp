// The report's own PDF writer on machines whose fonts are not ours: a family
// with a regular face only (the painter makes its bold), a face with CFF
// outlines, faces whose licence forbids embedding. The process sees only the
// fonts of its own fontconfig file; each report is compared with the same
// report through Qt's writer.
#include "components/report_engine.h"
#include "tests/components/report_pdf_compare.h"
#include "tests/support/peers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using report_pdf::renderedPages;
using report_pdf::simpleReport;
using report_pdf::worstDifference;
using report_pdf::writeWithQt;

// The private font folder: Liberation Sans without its bold face, Cantarell
// (CFF outlines) without its bold face, and two DejaVu faces whose OS/2
// embedding bits say "restricted licence" and "bitmaps only".
const char kRegularOnly[] = "Liberation Sans";
const char kCff[] = "Cantarell";
const char kRestricted[] = "DejaVu Sans";
const char kBitmapOnly[] = "DejaVu Serif";

quint32 checksum(const QByteArray& table)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i < table.size(); i += 4) {
        quint32 word = 0;
        for (int k = 0; k < 4; ++k)
            word = word << 8 | (i + k < table.size() ? uchar(table[i + k]) : 0);
        sum += word;
    }
    return sum;
}

quint32 readU32(const QByteArray& b, qsizetype at)
{
    return quint32(uchar(b[at])) << 24 | quint32(uchar(b[at + 1])) << 16 |
           quint32(uchar(b[at + 2])) << 8 | uchar(b[at + 3]);
}

void putU32(QByteArray& b, qsizetype at, quint32 v)
{
    for (int k = 0; k < 4; ++k)
        b[at + k] = char(v >> (24 - 8 * k));
}

// A copy of a TrueType file whose OS/2 fsType is `fsType`, the table's
// checksum in the directory set to match.
bool copyWithFsType(const QString& from, const QString& to, quint16 fsType)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray font = in.readAll();
    const int tables = quint8(font[4]) << 8 | quint8(font[5]);
    for (int i = 0; i < tables; ++i) {
        const qsizetype record = 12 + 16 * i;
        if (font.mid(record, 4) != "OS/2")
            continue;
        const quint32 offset = readU32(font, record + 8), length = readU32(font, record + 12);
        font[offset + 8] = char(fsType >> 8);
        font[offset + 9] = char(fsType);
        putU32(font, record + 4, checksum(font.mid(offset, length)));
        QFile out(to);
        return out.open(QIODevice::WriteOnly) && out.write(font) == font.size();
    }
    return false;
}

QTemporaryDir* fontHome = nullptr;
QString fontSetupError;

// Writes the fontconfig file and its font folder; before any font is used.
void setUpFonts()
{
    fontHome = new QTemporaryDir;
    const QDir home(fontHome->path());
    home.mkpath("fonts");
    const QString fonts = home.filePath("fonts");
    const struct
    {
        const char* from;
        const char* to;
    } copies[] = {
        {"/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", "regular-only.ttf"},
        {"/usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf", "cff.otf"},
    };
    for (const auto& c : copies) {
        if (!QFile::copy(c.from, QDir(fonts).filePath(c.to)))
            fontSetupError += QStringLiteral("no %1; ").arg(c.from);
    }
    if (!copyWithFsType("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                        QDir(fonts).filePath("restricted.ttf"), 0x0002) ||
        !copyWithFsType("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
                        QDir(fonts).filePath("bitmap-only.ttf"), 0x0200))
        fontSetupError += QStringLiteral("no DejaVu fonts; ");
    QFile config(home.filePath("fonts.conf"));
    config.open(QIODevice::WriteOnly);
    config.write("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                 "<fontconfig>\n  <dir>" +
                 fonts.toUtf8() + "</dir>\n  <cachedir>" + home.filePath("cache").toUtf8() +
                 "</cachedir>\n</fontconfig>\n");
    config.close();
    qputenv("FONTCONFIG_FILE", home.filePath("fonts.conf").toLocal8Bit());
}

const QList<QStringList> kRows = {
    {"1", "-12,5", "Ёмкость ёлки, йогурт; Quick fox & (brackets)"},
    {"2", "14,0", "Очень длинное примечание, которое переносится на вторую строку ячейки"},
    {"3", "0,5", "Запись"}};

QString producer(const QString& pdf)
{
    const peers::Result info = peers::run("pdfinfo", {pdf});
    for (const QString& line : QString::fromUtf8(info.out).split(u'\n')) {
        if (line.startsWith("Producer:"))
            return line.mid(9).trimmed();
    }
    return {};
}

// The lines of pdffonts for `pdf` that name `family` (spaces taken out),
// without the heading.
QStringList fontLines(const QString& pdf, const QString& family)
{
    const peers::Result fonts = peers::run("pdffonts", {pdf});
    QStringList out;
    QString name = family;
    name.remove(u' ');
    for (const QString& line : QString::fromUtf8(fonts.out).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.contains(name))
            out << line;
    }
    return out;
}

} // namespace

class TestReportPdfFonts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!fontSetupError.isEmpty())
            QFAIL(qPrintable(fontSetupError));
        const peers::Result r = peers::run("pdftoppm", {"-v"});
        FLN_NEED_PEER(r, "pdftoppm (poppler-utils)");
    }

    // The same report through our writer and Qt's: the same pages and the
    // same text, a sound file. A family without a bold face gets its bold
    // from the painter; a CFF face stays on our writer; faces that may not
    // be embedded are not embedded by us.
    void looksAsThroughQtsWriter_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("bold");
        QTest::newRow("bold made by the painter") << kRegularOnly << true;
        QTest::newRow("CFF outlines") << kCff << false;
        QTest::newRow("licence: restricted") << kRestricted << false;
        QTest::newRow("licence: bitmaps only") << kBitmapOnly << false;
    }
    void looksAsThroughQtsWriter()
    {
        QFETCH(QString, family);
        QFETCH(bool, bold);
        QTemporaryDir dir;
        const auto report = simpleReport(family, bold, kRows);
        const QString ours = dir.filePath("ours.pdf"), qt = dir.filePath("qt.pdf");
        QVERIFY(writeReportPdf(*report, ours));
        writeWithQt(*report, qt);

        const QList<QByteArray> ourPages = renderedPages(ours, dir.filePath("o"));
        const QList<QByteArray> qtPages = renderedPages(qt, dir.filePath("q"));
        QCOMPARE(ourPages.size(), 1);
        QCOMPARE(qtPages.size(), 1);
        const int worst = worstDifference(ourPages[0], qtPages[0]);
        QVERIFY2(worst >= 0 && worst <= 48,
                 qPrintable(QStringLiteral("the page differs by %1 grey levels").arg(worst)));
        QVERIFY(report_pdf::inked(ourPages[0]) > 5000);

        const peers::Result ourText = peers::run("pdftotext", {"-layout", ours, "-"});
        const peers::Result qtText = peers::run("pdftotext", {"-layout", qt, "-"});
        QCOMPARE(ourText.exitCode, 0);
        QVERIFY2(ourText.out.contains("Ёмкость ёлки, йогурт; Quick fox & (brackets)"),
                 ourText.out.constData());
        QCOMPARE(report_pdf::normalisedLines(ourText.out), report_pdf::normalisedLines(qtText.out));
        const peers::Result check = peers::run("qpdf", {"--check", ours});
        FLN_NEED_PEER(check, "qpdf");
        QVERIFY2(check.exitCode == 0, check.out.constData());
    }

    // The painter's bold is really there: the page that asks for bold is
    // darker than the one that does not.
    void boldMadeByThePainterIsBold()
    {
        QTemporaryDir dir;
        qsizetype ink[2] = {};
        for (int bold = 0; bold < 2; ++bold) {
            const QString pdf = dir.filePath(QStringLiteral("b%1.pdf").arg(bold));
            QVERIFY(writeReportPdf(*simpleReport(kRegularOnly, bold, kRows), pdf));
            const QList<QByteArray> pages =
                renderedPages(pdf, dir.filePath(QStringLiteral("b%1").arg(bold)));
            QCOMPARE(pages.size(), 1);
            ink[bold] = report_pdf::inked(pages[0]);
        }
        QVERIFY2(ink[1] > ink[0] + 200,
                 qPrintable(QStringLiteral("ink: %1 regular, %2 bold").arg(ink[0]).arg(ink[1])));
    }

    // A CFF face is embedded by our writer as such (no fallback to Qt's).
    void cffFaceEmbeddedByUs()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath("cff.pdf");
        QVERIFY(writeReportPdf(*simpleReport(kCff, false, kRows), pdf));
        QCOMPARE(producer(pdf), QStringLiteral("ФЛН-РК2"));
        const QStringList lines = fontLines(pdf, kCff);
        QVERIFY(!lines.isEmpty());
        for (const QString& line : lines)
            QVERIFY2(line.contains(QRegularExpression("CID Type 0C( \\(OT\\))?\\s+Identity-H\\s+yes"
                                                      "\\s+yes\\s+yes")),
                     qPrintable(line));
    }

    // Faces whose licence forbids embedding are not embedded: our writer
    // draws their letters as outlines, with the text laid over them unseen
    // for search and copy. (Qt's writer, whatever it means to do, embeds
    // them on this platform.)
    void facesThatMayNotBeEmbedded_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("restricted") << kRestricted;
        QTest::newRow("bitmaps only") << kBitmapOnly;
    }
    void facesThatMayNotBeEmbedded()
    {
        QFETCH(QString, family);
        QTemporaryDir dir;
        const QString pdf = dir.filePath("rights.pdf");
        QVERIFY(writeReportPdf(*simpleReport(family, false, kRows), pdf));
        QCOMPARE(producer(pdf), QStringLiteral("ФЛН-РК2"));
        const QStringList lines = fontLines(pdf, family);
        QVERIFY(!lines.isEmpty());
        for (const QString& line : lines)
            QVERIFY2(line.contains(QRegularExpression("\\s+no\\s+no\\s+yes\\s+\\d+\\s+0$")),
                     qPrintable(line));
        bool read = false;
        QVERIFY(report_pdf::fontPrograms(pdf, read).isEmpty());
        QVERIFY(read);
    }
};

int main(int argc, char** argv)
{
    setUpFonts();
    QApplication app(argc, argv);
    TestReportPdfFonts test;
    const int failed = QTest::qExec(&test, argc, argv);
    delete fontHome;
    return failed;
}

#include "tst_report_pdf_fonts.moc"
