// `fln protocol` read back by outside programs: pdftotext finds the heading,
// the verdicts and the figures of `fln summary --json` of the same table and
// limits; pdfdetach finds the two attached files and they hold exactly what
// `fln summary --json` and `fln dump` print; qpdf finds the file sound and
// pdffonts every font embedded; the number of pages follows the days and the
// readings.
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const QString kOp = QStringLiteral("Оперативный");
const QString kObs = QStringLiteral("Наблюдения");

QString tenths(double v)
{
    return QString::number(v, 'f', 1).replace(u'.', u',');
}

// `count` readings `step` seconds apart from 15.03.2024 08:00; T1 a slow
// wave around 5 °C that leaves 2..8 now and then, T2 a wave around −18 °C.
// A comment now and then, one of them long enough to wrap.
QList<TestRow> recording(int count, int step)
{
    QList<TestRow> rows;
    QDateTime at(QDate(2024, 3, 15), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < count; ++i) {
        rows.append(TestRow{
            .n = i % 9999 + 1,
            .mode = i % 30 < 20 ? kOp : kObs,
            .enCh = 3,
            .date = at.toString("dd.MM.yyyy"),
            .time = at.toString("HH:mm:ss"),
            .t1 = tenths(std::round(45 * std::sin(i / 9.0)) / 10 + 5),
            .t2 = tenths(std::round(30 * std::cos(i / 5.0)) / 10 - 18),
            .comment = i == 7        ? QStringLiteral("дверь открыта при погрузке, коробки переставлены")
                       : i % 41 == 3 ? QStringLiteral("осмотр")
                                     : QString()});
        at = at.addSecs(step);
    }
    return rows;
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A number as the protocol prints it (decimal comma, a minus sign or a
// hyphen, blanks in groups).
double numberOf(QString text)
{
    text.replace(u'−', u'-').replace(u',', u'.').remove(u' ').remove(u'\u00A0');
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : std::nan("");
}

// The words of the line of pdftotext's layout that starts with `label`
// (after blanks), split where two or more blanks part them.
QStringList lineCells(const QString& text, const QString& label)
{
    for (const QString& line : text.split(u'\n')) {
        const QString t = line.trimmed();
        if (t.startsWith(label) &&
            (t.size() == label.size() || t[label.size()] == u' ' || t[label.size()] == u'('))
            return t.split(QRegularExpression("\\s{2,}"));
    }
    return {};
}

// "2024-03-15T08:00:00" as the protocol writes a moment.
QString momentText(const QString& iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toString("dd.MM.yyyy HH:mm:ss");
}

int pdfPages(const QString& pdf)
{
    const peers::Result info = peers::run("pdfinfo", {pdf});
    const QRegularExpressionMatch m =
        QRegularExpression("Pages:\\s+(\\d+)").match(QString::fromUtf8(info.out));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestProtocolCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString table(const QString& name, const QList<TestRow>& rows)
    {
        const QString path = m_dir.filePath(name + ".db");
        if (!QFile::exists(path))
            writeMeasurementTable(path, rows, 0xC9);
        return path;
    }
    QString fixture(const QString& name)
    {
        if (name == "shipment")
            return table(name, recording(300, 60)); // 5 hours, one day
        if (name == "week")
            return table(name, recording(300, 2016)); // a week, ~8 days
        if (name == "month")
            return table(name, recording(300, 10368)); // a month, ~37 days
        if (name == "one")
            return table(name, recording(1, 60));
        return {};
    }

    // Runs `fln protocol` and reads the PDF back as text.
    QString protocolText(const QString& path, const QStringList& options, const QString& pdf)
    {
        const FlnRun run =
            runFln(QStringList{"--locale", "ru_RU", "protocol", path, "-o", pdf} + options);
        if (run.code != 0)
            return "exit " + QString::number(run.code) + ": " + run.err;
        if (run.out.trimmed() != QFileInfo(pdf).absoluteFilePath())
            return "printed " + run.out;
        const peers::Result text = peers::run("pdftotext", {"-layout", pdf, "-"});
        if (!text.available)
            return {};
        return QString::fromUtf8(text.out);
    }

private slots:
    void initTestCase()
    {
        // The user's own stored limits never reach these runs.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
    }

    // The heading, the verdicts and the figures are those of `fln summary
    // --json` of the same table and limits.
    void textAgreesWithSummary_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QStringList>("limits");
        QTest::newRow("limits on both channels, T1 out")
            << "shipment"
            << QStringList{"--lower1", "2", "--upper1", "8", "--lower2", "-25", "--upper2", "-10"};
        QTest::newRow("no limits") << "week" << QStringList{};
        QTest::newRow("upper limit only, T2 within, other dh")
            << "month" << QStringList{"--upper1", "8,5", "--upper2", "0", "--dh", "60"};
        QTest::newRow("one reading") << "one" << QStringList{"--lower1", "6"};
    }
    void textAgreesWithSummary()
    {
        QFETCH(QString, fixture);
        QFETCH(QStringList, limits);
        const QString path = this->fixture(fixture);
        const QByteArray before = fileHash(path);
        const QString pdf = m_dir.filePath(fixture + "-text.pdf");
        const QString text = protocolText(path, limits, pdf);
        FLN_NEED_PEER(peers::run("pdftotext", {"-v"}), "poppler-utils");
        QVERIFY2(text.contains("Протокол"), qPrintable(text.left(2000)));
        QCOMPARE(fileHash(path), before); // reads only

        const FlnRun summary =
            runFln(QStringList{"--locale", "ru_RU", "summary", path, "--json"} + limits);
        QCOMPARE(summary.code, 0);
        const QJsonObject s = QJsonDocument::fromJson(summary.out.toUtf8()).object();
        QVERIFY(!s.isEmpty());

        // The heading.
        QCOMPARE(lineCells(text, "Таблица").value(1), QFileInfo(path).fileName());
        QCOMPARE(lineCells(text, "Папка").value(1), QDir::toNativeSeparators(m_dir.path()));
        QCOMPARE(lineCells(text, "Период").value(1),
                 momentText(s["first"].toString()) + " – " + momentText(s["last"].toString()));
        QCOMPARE(numberOf(lineCells(text, "Записей").value(1)), s["records"].toDouble());
        QCOMPARE(lineCells(text, "Пропуски").value(1).section(u' ', 0, 0),
                 s["gaps"].toObject()["count"].toInt() == 0
                     ? QString("нет")
                     : QString::number(s["gaps"].toObject()["count"].toInt()));
        QCOMPARE(lineCells(text, "Шаги часов назад").value(1),
                 s["clock_back"].toObject()["count"].toInt() == 0 ? QString("нет") : QString());
        QVERIFY(lineCells(text, "Программа").value(1).startsWith("ФЛН-РК2 1.0.0.16"));
        // Every page's head and foot.
        const int pages = pdfPages(pdf);
        QVERIFY(pages >= 1);
        for (int p = 1; p <= pages; ++p)
            QVERIFY2(text.contains(QStringLiteral("Страница %1 из %2").arg(p).arg(pages)),
                     qPrintable(QString::number(p)));
        QCOMPARE(text.count("Составлен "), pages);

        // The verdicts and figures per channel.
        const QJsonObject channels = s["channels"].toObject();
        for (int c = 0; c < 2; ++c) {
            const QString name = c ? "T2" : "T1";
            const QJsonObject ch = channels[name].toObject();
            const QStringList verdict = lineCells(text, name + ", °C");
            const bool limited = !ch["lower"].isNull() || !ch["upper"].isNull();
            const int out = ch["below"].toObject()["readings"].toInt() +
                            ch["above"].toObject()["readings"].toInt();
            QCOMPARE(verdict.value(1), !limited  ? QString("границы не заданы")
                                       : out > 0 ? QString("вне пределов")
                                                 : QString("в пределах"));
            if (limited) {
                QCOMPARE(numberOf(verdict.value(2)), double(out));
                QCOMPARE(numberOf(verdict.value(4)),
                         ch["below"].toObject()["excursions"].toDouble() +
                             ch["above"].toObject()["excursions"].toDouble());
                QCOMPARE(numberOf(verdict.value(5).remove('%')),
                         std::round(ch["within"].toObject()["share"].toDouble() * 1000) / 10);
            }
            const auto figure = [&](const QString& label) {
                return numberOf(lineCells(text, label).value(1 + c));
            };
            QCOMPARE(figure("Минимум"), ch["min"].toDouble());
            QCOMPARE(figure("Максимум"), ch["max"].toDouble());
            QCOMPARE(figure("Среднее"), ch["mean"].toDouble());
            QCOMPARE(figure("Стандартное отклонение"), ch["stdev"].toDouble());
            QCOMPARE(figure("MKT"), ch["mkt"].toDouble());
            QCOMPARE(lineCells(text, "Время минимума").value(1 + c),
                     momentText(ch["min_at"].toString()));
            QCOMPARE(lineCells(text, "Время максимума").value(1 + c),
                     momentText(ch["max_at"].toString()));
        }
        // Every day of the summary has its row.
        for (const QJsonValue& day : s["days"].toArray()) {
            const QString date = QDate::fromString(day.toObject()["date"].toString(), Qt::ISODate)
                                     .toString("dd.MM.yyyy");
            QVERIFY2(text.contains(QRegularExpression("\\n\\s*" + date + "\\s+\\d")),
                     qPrintable(date));
        }
        // The readings: each one out of its limits is marked, none other.
        int up = 0, down = 0;
        for (const QString& ch : {QString("T1"), QString("T2")}) {
            up += channels[ch].toObject()["above"].toObject()["readings"].toInt();
            down += channels[ch].toObject()["below"].toObject()["readings"].toInt();
        }
        QCOMPARE(int(text.count(u'↑')) - 1, up); // less the one of the legend
        QCOMPARE(int(text.count(u'↓')) - 1, down);
    }

    // The PDF carries summary.json and readings.csv; they hold what `fln
    // summary --json` and `fln dump` print of the same table. qpdf finds the
    // file sound, pdffonts every font embedded.
    void attachedFilesAndSoundness()
    {
        const QString path = fixture("shipment");
        const QStringList limits{"--lower1", "2", "--upper1", "8"};
        const QString pdf = m_dir.filePath("attached.pdf");
        const FlnRun run =
            runFln(QStringList{"--locale", "ru_RU", "protocol", path, "-o", pdf} + limits);
        QVERIFY2(run.code == 0, qPrintable(run.err));

        const peers::Result list = peers::run("pdfdetach", {"-list", pdf});
        FLN_NEED_PEER(list, "poppler-utils");
        QCOMPARE(list.exitCode, 0);
        const QString listed = QString::fromUtf8(list.out);
        QVERIFY2(listed.startsWith("2 embedded files"), qPrintable(listed));
        QVERIFY(listed.contains(": summary.json"));
        QVERIFY(listed.contains(": readings.csv"));
        const QString out = m_dir.filePath("detached");
        QVERIFY(QDir().mkpath(out));
        QCOMPARE(peers::run("pdfdetach", {"-saveall", "-o", out, pdf}).exitCode, 0);
        const auto contents = [&](const QString& name) {
            QFile f(out + "/" + name);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
        };
        const FlnRun summary =
            runFln(QStringList{"--locale", "ru_RU", "summary", path, "--json"} + limits);
        QCOMPARE(summary.code, 0);
        QCOMPARE(contents("summary.json"), summary.out.toUtf8());
        const FlnRun dump = runFln({"--locale", "ru_RU", "dump", path});
        QCOMPARE(dump.code, 0);
        QCOMPARE(contents("readings.csv"), dump.out.toUtf8());
        QCOMPARE(contents("readings.csv").count("\r\n"), 301); // the names and every row

        const peers::Result check = peers::run("qpdf", {"--check", pdf});
        FLN_NEED_PEER(check, "qpdf");
        QVERIFY2(check.exitCode == 0, check.out.constData());
        QVERIFY(check.out.contains("No syntax or stream encoding errors"));

        const peers::Result fonts = peers::run("pdffonts", {pdf});
        QCOMPARE(fonts.exitCode, 0);
        const QStringList lines = QString::fromUtf8(fonts.out).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 2);
        // The columns "emb sub uni" after the name, type and encoding.
        for (const QString& line : lines.mid(2))
            QVERIFY2(QRegularExpression("\\s(yes)\\s+(yes|no)\\s+(yes|no)\\s+\\d+\\s+\\d+\\s*$")
                         .match(line)
                         .hasMatch(),
                     qPrintable(line));
    }

    // --from and --to: the protocol of the period's rows, and the files it
    // carries are what `fln summary --json` and `fln dump` print of the same
    // period.
    void period()
    {
        const QString path = fixture("week");
        const QStringList options{"--from",           "2024-03-16T00:00", "--to",
                                  "18.03.2024 12:00", "--upper1",         "8"};
        const QString pdf = m_dir.filePath("period.pdf");
        const FlnRun run =
            runFln(QStringList{"--locale", "ru_RU", "protocol", path, "-o", pdf} + options);
        QVERIFY2(run.code == 0, qPrintable(run.err));
        const FlnRun summary =
            runFln(QStringList{"--locale", "ru_RU", "summary", path, "--json"} + options);
        QCOMPARE(summary.code, 0);
        const QJsonObject s = QJsonDocument::fromJson(summary.out.toUtf8()).object();
        QVERIFY(s["records"].toInt() > 0 && s["records"].toInt() < 300);
        QCOMPARE(s["first"].toString().left(10), QString("2024-03-16"));
        const FlnRun dump = runFln(
            {"--locale", "ru_RU", "dump", path, options[0], options[1], options[2], options[3]});
        QCOMPARE(dump.code, 0);

        const QString out = m_dir.filePath("period-files");
        QVERIFY(QDir().mkpath(out));
        const peers::Result saved = peers::run("pdfdetach", {"-saveall", "-o", out, pdf});
        FLN_NEED_PEER(saved, "poppler-utils");
        QCOMPARE(saved.exitCode, 0);
        const auto contents = [&](const QString& name) {
            QFile f(out + "/" + name);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
        };
        QCOMPARE(contents("summary.json"), summary.out.toUtf8());
        QCOMPARE(contents("readings.csv"), dump.out.toUtf8());

        const QString text = QString::fromUtf8(peers::run("pdftotext", {"-layout", pdf, "-"}).out);
        QCOMPARE(lineCells(text, "Период").value(1),
                 momentText(s["first"].toString()) + " – " + momentText(s["last"].toString()));
        QCOMPARE(numberOf(lineCells(text, "Записей").value(1)), s["records"].toDouble());
    }

    // More days make a longer day table, readings more pages; more than
    // 20 000 rows leave the readings out unless --readings asks for them.
    void pagesFollowDaysAndReadings()
    {
        FLN_NEED_PEER(peers::run("pdfinfo", {"-v"}), "poppler-utils");
        const auto pages = [&](const QString& fixture, const QStringList& options) {
            const QString pdf = m_dir.filePath(fixture + options.join("") + ".pdf");
            const FlnRun run = runFln(
                QStringList{"--locale", "ru_RU", "protocol", this->fixture(fixture), "-o", pdf} +
                options);
            return run.code == 0 ? pdfPages(pdf) : -run.code;
        };
        const int oneDay = pages("shipment", {"--no-readings"});
        const int week = pages("week", {"--no-readings"});
        const int month = pages("month", {"--no-readings"});
        QVERIFY2(oneDay >= 1 && oneDay <= week && week < month,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(oneDay).arg(week).arg(month)));
        const int withReadings = pages("shipment", {});
        QVERIFY2(withReadings > oneDay,
                 qPrintable(QStringLiteral("%1 %2").arg(withReadings).arg(oneDay)));
        QCOMPARE(pages("shipment", {"--readings"}), withReadings);

        const QString big = table("big", recording(20001, 30));
        const QString pdf = m_dir.filePath("big.pdf");
        const FlnRun run = runFln({"--locale", "ru_RU", "protocol", big, "-o", pdf}, 300000);
        QCOMPARE(run.code, 0);
        const QString text = QString::fromUtf8(peers::run("pdftotext", {"-layout", pdf, "-"}).out);
        QVERIFY(!text.contains("Момент"));
        QVERIFY2(lineCells(text, "Показания").value(1).startsWith("не приложены"),
                 qPrintable(text.left(3000)));
        const FlnRun all =
            runFln({"--locale", "ru_RU", "protocol", big, "-o", pdf, "--readings"}, 300000);
        QCOMPARE(all.code, 0);
        QVERIFY(pdfPages(pdf) > 20001 / (2 * 80));
    }

    // Usage errors exit 2 and name the options; the table itself, or a file
    // that is no PDF, is refused before any work.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("both readings switches")
            << QStringList{"-o", "X.pdf", "--readings", "--no-readings"} << 2
            << "--readings and --no-readings exclude each other";
        QTest::newRow("no -o") << QStringList{} << 2 << "-o";
        QTest::newRow("a limit that is no number")
            << QStringList{"-o", "X.pdf", "--lower1", "abc"} << 1 << "'abc'";
        QTest::newRow("lower above upper")
            << QStringList{"-o", "X.pdf", "--lower1", "9", "--upper1", "2"} << 1
            << "T1: нижняя граница";
        QTest::newRow("not a PDF name") << QStringList{"-o", "X.txt"} << 1 << "X.txt";
        QTest::newRow("the table itself") << QStringList{"-o", "TABLE"} << 1 << "";
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        const QString path = fixture("shipment");
        const QByteArray before = fileHash(path);
        for (QString& a : arguments) {
            if (a == "TABLE")
                a = path;
            else if (a.startsWith("X."))
                a = m_dir.filePath(a);
        }
        const FlnRun run = runFln(QStringList{"--locale", "ru_RU", "protocol", path} + arguments);
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(fileHash(path), before);
        QVERIFY(!QFile::exists(m_dir.filePath("X.pdf")));
        QVERIFY(!QFile::exists(m_dir.filePath("X.txt")));
    }
};

QTEST_GUILESS_MAIN(TestProtocolCli)
#include "tst_protocol_cli.moc"
