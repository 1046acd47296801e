// "Файл → Протокол…" and the summary window's "Протокол…" and "Печать": the
// preview shows the protocol's pages, prints them through the printing
// service and saves the PDF with its attached files; the summary's print
// runs over as many readable pages as a year of days needs.
#include "app/summary_window.h"
#include "output/protocol_preview.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/peers.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

// Two readings a day, 1 °C apart, from 01.01.2024 over `days` days; T1
// leaves 2..8 on a few of them.
QList<TestRow> dailyRows(int days)
{
    QList<TestRow> rows;
    const QDate first(2024, 1, 1);
    for (int d = 0; d < days; ++d)
        for (int h : {6, 18}) {
            const double t1 = d % 50 == 7 ? 9.5 : 4 + (d % 5);
            rows.append(TestRow{.n = qint64(rows.size() % 9999 + 1),
                                .mode = QStringLiteral("Оперативный"),
                                .enCh = 3,
                                .date = first.addDays(d).toString("dd.MM.yyyy"),
                                .time = QStringLiteral("%1:00:00").arg(h, 2, 10, QChar('0')),
                                .t1 = QString::number(t1, 'f', 1).replace(u'.', u','),
                                .t2 = QStringLiteral("-18,0")});
        }
    return rows;
}

int pdfPages(const QString& pdf)
{
    const QRegularExpressionMatch m =
        QRegularExpression("Pages:\\s+(\\d+)")
            .match(QString::fromUtf8(peers::run("pdfinfo", {pdf}).out));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The smallest height of a word on the pages, in points, as pdftotext
// boxes the words (the font's ascent to its descent: about 1.1 × its size).
double smallestWordHeight(const QString& pdf)
{
    const QString html = QString::fromUtf8(peers::run("pdftotext", {"-bbox", pdf, "-"}).out);
    static const QRegularExpression word(
        "<word xMin=\"[-\\d.]+\" yMin=\"([-\\d.]+)\" xMax=\"[-\\d.]+\" yMax=\"([-\\d.]+)\">");
    double smallest = 1e9;
    for (const QRegularExpressionMatch& m : word.globalMatch(html))
        smallest = std::min(smallest, m.captured(2).toDouble() - m.captured(1).toDouble());
    return smallest;
}

QStringList attachedFiles(const QString& pdf)
{
    QStringList names;
    const QString list = QString::fromUtf8(peers::run("pdfdetach", {"-list", pdf}).out);
    for (const QString& line : list.split(u'\n'))
        if (const int colon = line.indexOf(QStringLiteral(": ")); colon > 0)
            names << line.mid(colon + 2).trimmed();
    names.sort();
    return names;
}

} // namespace

class TestProtocolWindow : public QObject
{
    Q_OBJECT

private slots:
    // The summary of a year prints as the protocol's layout does: several
    // pages of text no smaller than the body's 9 points (it used to be
    // squeezed onto one page, 1.5 points high).
    void yearOfSummaryPrintsReadably()
    {
        MainWindowFixture w;
        w.open(dailyRows(366));
        const QString pdfDir = w.dir.filePath("pdf");
        QVERIFY(QDir().mkpath(pdfDir));
        w.printing.setPdfDirectory(pdfDir);
        w.dialogs.queueModal([&](QDialog& d) {
            auto& s = static_cast<SummaryWindow&>(d);
            QTest::mouseClick(s.PrintButton, Qt::LeftButton);
            return 0;
        });
        w.form.SummaryItem->trigger();
        QVERIFY2(w.dialogs.messages().isEmpty(), qPrintable(w.dialogs.messages().value(0).text));
        const QString pdf = pdfDir + "/Сводка.pdf";
        QVERIFY(QFile::exists(pdf));
        FLN_NEED_PEER(peers::run("pdfinfo", {"-v"}), "poppler-utils");
        const int pages = pdfPages(pdf);
        QVERIFY2(pages >= 5, qPrintable(QString::number(pages))); // 366 days, ~60 a page
        const double smallest = smallestWordHeight(pdf);
        QVERIFY2(smallest >= 8 * 1.1, qPrintable(QString::number(smallest)));
        const QString text = QString::fromUtf8(peers::run("pdftotext", {"-layout", pdf, "-"}).out);
        QVERIFY2(text.contains("Сводка. Вся таблица: 732 записи"), qPrintable(text.left(1000)));
        // Every day, the last one on the last page; the days' heading on every page they run onto.
        QVERIFY(text.contains("31.12.2024"));
        QVERIFY(text.count("Страница ") == pages);
        QVERIFY2(text.count(QRegularExpression("Дата\\s+Записей")) >= pages - 1,
                 qPrintable(QString::number(text.count(QRegularExpression("Дата\\s+Записей")))));
    }

    // "Файл → Протокол…": the preview of the whole table; "Печать" prints
    // every page through the printing service, "Сохранить в PDF…" writes
    // the PDF with summary.json and readings.csv where the user says, never
    // over the table.
    void fileMenuProtocol()
    {
        MainWindowFixture w;
        w.open(dailyRows(3));
        const QString pdfDir = w.dir.filePath("pdf");
        QVERIFY(QDir().mkpath(pdfDir));
        w.printing.setPdfDirectory(pdfDir);
        const QString saved = w.path("out/protocol.pdf");
        QVERIFY(QDir().mkpath(w.path("out")));
        const QString table = w.path("rows.db");
        QVERIFY(w.form.ProtocolItem);
        QCOMPARE(w.form.ProtocolItem->text(), QStringLiteral("Про&токол…"));
        QVERIFY(w.form.N1->actions().contains(w.form.ProtocolItem));
        int pagesShown = 0;
        w.dialogs.queueModal([&](QDialog& d) {
            auto& p = static_cast<ProtocolPreview&>(d);
            [&] {
                QCOMPARE(p.windowTitle(), QStringLiteral("Протокол"));
                pagesShown = p.findChild<QLabel*>("ProtocolStatus")->text().section(' ', 1).toInt();
                p.findChild<QPushButton*>("PrintButton")->click();
                w.dialogs.queueSaveFile(table); // refused: the table itself
                p.findChild<QPushButton*>("SaveButton")->click();
                QCOMPARE(w.dialogs.messages().size(), 1);
                QVERIFY2(w.dialogs.messages().first().text.contains("rows.db"),
                         qPrintable(w.dialogs.messages().first().text));
                w.dialogs.queueSaveFile(saved);
                p.findChild<QPushButton*>("SaveButton")->click();
                const auto asked = w.dialogs.calls(ScriptedDialogService::Kind::SaveFile);
                QCOMPARE(asked.last().request.fileName, QStringLiteral("Протокол rows.pdf"));
            }();
            return 0;
        });
        w.form.ProtocolItem->trigger();
        QVERIFY(pagesShown >= 2);
        QCOMPARE(w.form.OutputStatus->text(),
                 "Протокол сохранен: " + QDir::toNativeSeparators(saved));
        const QString printed = pdfDir + "/Протокол rows.pdf";
        QVERIFY(QFile::exists(printed));
        QVERIFY(QFile::exists(saved));
        FLN_NEED_PEER(peers::run("pdfinfo", {"-v"}), "poppler-utils");
        QCOMPARE(pdfPages(printed), pagesShown);
        QCOMPARE(pdfPages(saved), pagesShown);
        QCOMPARE(attachedFiles(saved), (QStringList{"readings.csv", "summary.json"}));
        const QString text =
            QString::fromUtf8(peers::run("pdftotext", {"-layout", printed, "-"}).out);
        QVERIFY2(text.contains("Протокол") && text.contains("03.01.2024 18:00:00"),
                 qPrintable(text.left(1500)));
    }

    // The summary window's "Протокол…": the protocol of the window's rows
    // (the selection) with the window's limits.
    void summaryWindowProtocol()
    {
        MainWindowFixture w;
        w.open(dailyRows(10));
        w.form.DBGridPro1->selectRange(2, 5); // 02.01 06:00 … 03.01 18:00
        const QString saved = w.path("selection.pdf");
        w.dialogs.queueModal([&](QDialog& d) {
            auto& s = static_cast<SummaryWindow&>(d);
            s.Upper1->setText("6");
            s.Upper1->editingFinished();
            w.dialogs.queueModal([&](QDialog& preview) {
                w.dialogs.queueSaveFile(saved);
                preview.findChild<QPushButton*>("SaveButton")->click();
                return 0;
            });
            QTest::mouseClick(s.ProtocolButton, Qt::LeftButton);
            return 0;
        });
        w.form.SummaryItem->trigger();
        QVERIFY2(w.dialogs.messages().isEmpty(), qPrintable(w.dialogs.messages().value(0).text));
        QVERIFY(QFile::exists(saved));
        const peers::Result text = peers::run("pdftotext", {"-layout", saved, "-"});
        FLN_NEED_PEER(text, "poppler-utils");
        const QString page = QString::fromUtf8(text.out);
        QVERIFY2(page.contains(QRegularExpression(
                     "Период\\s+02\\.01\\.2024 06:00:00 – 03\\.01\\.2024 18:00:00")),
                 qPrintable(page.left(1500)));
        QVERIFY2(page.contains(QRegularExpression("Записей\\s+4\\n")), qPrintable(page.left(1500)));
        QVERIFY2(page.contains(QRegularExpression("Границы T1, °C\\s+не выше 6,00")),
                 qPrintable(page.left(1500)));
    }
};

QTEST_MAIN(TestProtocolWindow)
#include "tst_protocol_window.moc"
