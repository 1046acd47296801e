// The manual page fln(1), English and Russian: it names every command and
// option of `fln --help` with the same usage, and man renders it cleanly.
#include "tests/support/fln_process.h"
#include "tests/support/peers.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

namespace {

// The usage part of the lines of `fln --help` under "Commands:" and
// "Global options:": "dump FILE [--sort FIELD ...]", "--port1 DEVICE",
// "-h, --help". A description follows two or more spaces, or a line of its own.
QStringList usageEntries(const QString& help)
{
    QStringList entries;
    bool inList = false;
    for (const QString& line : help.split(u'\n')) {
        if (line == u"Commands:" || line == u"Global options:") {
            inList = true;
            continue;
        }
        if (line.isEmpty())
            inList = false;
        if (!inList || !line.startsWith(QLatin1String("  ")) || line.at(2).isSpace())
            continue;
        entries << line.mid(2).split(QRegularExpression(QStringLiteral("\\s{2,}"))).first().trimmed();
    }
    return entries;
}

// The page's source as the reader sees its words: font changes dropped,
// "\-" a hyphen, unbreakable spaces plain ones.
QString pageText(const QByteArray& roff)
{
    QString text = QString::fromUtf8(roff);
    text.remove(QRegularExpression(QStringLiteral("\\\\f(\\[[A-Z]*\\]|\\([A-Z]{2}|[BIRP])")));
    text.replace(QLatin1String("\\-"), QLatin1String("-"));
    text.replace(QLatin1String("\\ "), QLatin1String(" "));
    text.remove(QLatin1String("\\&"));
    return text;
}

} // namespace

class TestManualPage : public QObject
{
    Q_OBJECT

    QStringList m_entries;
    QString m_help;

private slots:
    void initTestCase()
    {
        const FlnRun r = runFln({QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        m_help = r.out;
        m_entries = usageEntries(r.out);
        // The parse found the lists: the commands that every build has, and the options.
        for (const char* expected : {"info FILE [--json]", "download [--append] FILE", "sim [options]",
                                     "--port1 DEVICE", "--print-to-pdf DIR", "-h, --help"})
            QVERIFY2(m_entries.contains(QLatin1String(expected)), expected);
    }

    void pages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("English") << QStringLiteral(FLN_SOURCE_DIR "/man/fln.1");
        QTest::newRow("Russian") << QStringLiteral(FLN_SOURCE_DIR "/man/ru/fln.1");
    }

    void pageNamesEveryCommandAndOption_data() { pages_data(); }
    void pageNamesEveryCommandAndOption()
    {
        QFETCH(QString, page);
        QFile f(page);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(page));
        const QString text = pageText(f.readAll());
        QStringList missing;
        for (const QString& entry : std::as_const(m_entries))
            if (!text.contains(entry))
                missing << entry;
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(" | "))));
    }

    // A limit that `fln --help` states (a picture's side: "16 to 10000
    // pixels") is the page's: both numbers on one line, in either language.
    void pageStatesTheLimits_data() { pages_data(); }
    void pageStatesTheLimits()
    {
        QFETCH(QString, page);
        const QRegularExpressionMatch limit =
            QRegularExpression(QStringLiteral("(\\d+) to (\\d+) pixels")).match(m_help);
        QVERIFY2(limit.hasMatch(), qPrintable(m_help));
        QFile f(page);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(page));
        const QRegularExpression sameLine(QStringLiteral("\\b%1\\b[^\\n]*\\b%2\\b")
                                              .arg(limit.captured(1), limit.captured(2)));
        QVERIFY2(pageText(f.readAll()).contains(sameLine), qPrintable(limit.captured(0)));
    }

    void manRendersWithoutWarnings_data() { pages_data(); }
    void manRendersWithoutWarnings()
    {
        QFETCH(QString, page);
        qputenv("MANWIDTH", "80");
        const peers::Result r =
            peers::run(QStringLiteral("man"), {QStringLiteral("--warnings"), QStringLiteral("-l"), page});
        FLN_NEED_PEER(r, "man (man-db)");
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QString::fromUtf8(r.err), QString());
        QVERIFY(QString::fromUtf8(r.out).contains(QLatin1String("FLN_PORT2")));
    }
};

QTEST_GUILESS_MAIN(TestManualPage)
#include "tst_manual_page.moc"
