// The manual page fln(1), English and Russian, and the bash completion: the
// page names every command and option of `fln --help` with the same usage,
// and man renders it cleanly; the completion offers them.
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
        entries
            << line.mid(2).split(QRegularExpression(QStringLiteral("\\s{2,}"))).first().trimmed();
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

// The options an entry names: "--sort", "-o" of "chart TABLE -o OUT.png ...".
QStringList optionsOf(const QString& entry)
{
    QStringList options;
    static const QRegularExpression option(QStringLiteral("(?:^|[\\s\\[|,])(--?[a-z][a-z0-9-]*)"));
    for (const QRegularExpressionMatch& m : option.globalMatch(entry))
        options << m.captured(1);
    return options;
}

// What the completion offers for the words typed so far, the last one being
// completed. bash-completion's helpers do here only what it asks of them:
// the words in, no file names out.
QStringList completions(const QStringList& words)
{
    const QString script =
        QStringLiteral("_init_completion() { words=(\"${COMP_WORDS[@]}\"); cword=$COMP_CWORD;"
                       " cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]}; }\n"
                       "_filedir() { :; }\n"
                       "source \"$1\" || exit 3\n"
                       "shift\n"
                       "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1))\n"
                       "_fln\n"
                       "printf '%s\\n' \"${COMPREPLY[@]}\"\n");
    const peers::Result r = peers::run(
        QStringLiteral("bash"), QStringList{QStringLiteral("-c"), script, QStringLiteral("bash"),
                                            QStringLiteral(FLN_BASH_COMPLETION)} +
                                    words);
    if (!r.available || r.exitCode != 0 || !r.err.isEmpty())
        return {QStringLiteral("bash failed: ") + QString::fromUtf8(r.err)};
    QStringList offered = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    offered.sort();
    return offered;
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
        for (const char* expected :
             {"info FILE [--json]", "download [--append] FILE", "sim [options]", "--port1 DEVICE",
              "--print-to-pdf DIR", "-h, --help"})
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
        const QRegularExpression sameLine(
            QStringLiteral("\\b%1\\b[^\\n]*\\b%2\\b").arg(limit.captured(1), limit.captured(2)));
        QVERIFY2(pageText(f.readAll()).contains(sameLine), qPrintable(limit.captured(0)));
    }

    // After `fln` the completion offers the commands of `fln --help` and no
    // other word; before a command the global options; after one its options.
    void completionOffersWhatHelpNames_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("exactly");
        QStringList commands, global;
        for (const QString& entry : std::as_const(m_entries)) {
            if (entry.startsWith(u'-')) {
                global << optionsOf(entry);
                continue;
            }
            const QString command = entry.section(u' ', 0, 0);
            commands << command;
            QTest::addRow("%s", qPrintable(command))
                << QStringList{QStringLiteral("fln"), command, QStringLiteral("-")}
                << optionsOf(entry) << false;
        }
        commands.sort();
        commands.removeDuplicates(); // a command of two usage lines (export, export --csv)
        global.sort();
        QTest::newRow("commands") << QStringList{QStringLiteral("fln"), QString()} << commands
                                  << true;
        QTest::newRow("global options")
            << QStringList{QStringLiteral("fln"), QStringLiteral("-")} << global << true;
    }
    void completionOffersWhatHelpNames()
    {
        QFETCH(QStringList, words);
        QFETCH(QStringList, expected);
        QFETCH(bool, exactly);
        const QStringList offered = completions(words);
        if (exactly) {
            QCOMPARE(offered, expected);
            return;
        }
        for (const QString& option : std::as_const(expected))
            QVERIFY2(offered.contains(option),
                     qPrintable(option + QStringLiteral(" not in: ") + offered.join(u' ')));
    }

    void manRendersWithoutWarnings_data() { pages_data(); }
    void manRendersWithoutWarnings()
    {
        QFETCH(QString, page);
        qputenv("MANWIDTH", "80");
        const peers::Result r = peers::run(
            QStringLiteral("man"), {QStringLiteral("--warnings"), QStringLiteral("-l"), page});
        FLN_NEED_PEER(r, "man (man-db)");
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QString::fromUtf8(r.err), QString());
        QVERIFY(QString::fromUtf8(r.out).contains(QLatin1String("FLN_PORT2")));
    }
};

QTEST_GUILESS_MAIN(TestManualPage)
#include "tst_manual_page.moc"
