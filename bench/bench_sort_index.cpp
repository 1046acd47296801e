// Adding the sort tag on a table of a million rows, side by side with GNU
// sort of the same keys extracted to a text file: N (numeric keys; sort -n),
// T_1 and DATE as texts in Russian collation (sort under ru_RU.UTF-8), and
// the keys the grid sorts the measurement columns by since temperatures sort
// by value and dates by the calendar: VAL(T_1) (sort -n under ru_RU.UTF-8,
// whose decimal point is the comma) and CTOD(DATE) (sort by year, month and
// day fields). Each time is the best of three. Prints both times and their
// ratio.
//
//   bench_sort_index [ROWS]   (default 1000000)
#include "data/dbf_table.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray cell(const QByteArray& text, int width, bool right)
{
    return right ? text.rightJustified(width, ' ', true) : text.leftJustified(width, ' ', true);
}

// The table written straight to the file: an empty table made by the table
// layer, then the records, the count and the end-of-file byte.
void makeTable(const QString& path, int rows, QFile& nKeys, QFile& tKeys, QFile& dKeys)
{
    DbfTable t;
    t.setNewTableLanguageDriver(0xC9);
    t.setTableFile(path);
    t.create();
    t.open();
    const QList<DbfField> fields = t.fields();
    const int recordLength = t.header().recordLength;
    const int headerLength = t.header().headerLength;
    t.close();

    auto field = [&](const char* name) {
        for (const DbfField& f : fields)
            if (f.name == QLatin1String(name))
                return f;
        return DbfField{};
    };
    const DbfField n = field("N"), t1 = field("T_1"), t2 = field("T_2"), mode = field("MODE"),
                   date = field("DATE"), time = field("TIME");

    QFile f(path);
    f.open(QIODevice::ReadWrite);
    f.resize(headerLength);
    f.seek(headerLength);
    QRandomGenerator rng(20261209);
    QByteArray chunk;
    QByteArray nText, tText, dText;
    for (int i = 1; i <= rows; ++i) {
        QByteArray r(recordLength, ' ');
        const QByteArray nv = QByteArray::number(i % 10000);
        const int tenths = int(rng.bounded(-500, 1500));
        QByteArray tv = QByteArray::number(std::abs(tenths) / 10) + ',' +
                        QByteArray::number(std::abs(tenths) % 10);
        if (tenths < 0)
            tv.prepend('-');
        r.replace(n.offset, n.length, cell(nv, n.length, true));
        r.replace(t1.offset, t1.length, cell(tv, t1.length, false));
        r.replace(t2.offset, t2.length, cell(tv, t2.length, false));
        r.replace(mode.offset, mode.length,
                  cell("\xce\xef\xe5\xf0\xe0\xf2\xe8\xe2\xed\xfb\xe9", mode.length, false));
        // A reading every ten minutes from 2020 on: dates across months and years.
        const QDate day = QDate(2020, 1, 1).addDays(i / 144);
        const QByteArray dv = day.toString("dd.MM.yyyy").toLatin1();
        r.replace(date.offset, date.length, dv);
        r.replace(time.offset, time.length, "12:00:00");
        chunk += r;
        nText += nv + '\n';
        tText += cell(tv, t1.length, false) + '\n';
        dText += dv + '\n';
        if (chunk.size() > (1 << 20)) {
            f.write(chunk);
            nKeys.write(nText);
            tKeys.write(tText);
            dKeys.write(dText);
            chunk.clear();
            nText.clear();
            tText.clear();
            dText.clear();
        }
    }
    chunk += '\x1a';
    f.write(chunk);
    nKeys.write(nText);
    tKeys.write(tText);
    dKeys.write(dText);
    const quint32 count = quint32(rows);
    f.seek(4);
    f.write(reinterpret_cast<const char*>(&count), 4); // little-endian machine
    f.close();
}

double timeAddTag(const QString& path, const char* expression)
{
    DbfTable t;
    t.setTableFile(path);
    t.open();
    QElapsedTimer timer;
    timer.start();
    t.addSortTag("tab1", expression, false);
    t.selectSortTag("tab1");
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (t.selectedSortTag().isEmpty())
        std::fprintf(stderr, "the tag on %s was not added\n", expression);
    t.selectSortTag({});
    t.removeSortTag("tab1");
    t.close();
    return ms;
}

double timeSort(const QStringList& args, const QStringList& env)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : env)
        e.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(e);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    p.start("sort", args);
    p.waitForFinished(-1);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (p.exitCode() != 0)
        std::fprintf(stderr, "sort failed: %s\n", p.readAllStandardError().constData());
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString table = dir.filePath("bench.db");
    QFile nKeys(dir.filePath("n.txt")), tKeys(dir.filePath("t1.txt")), dKeys(dir.filePath("d.txt"));
    nKeys.open(QIODevice::WriteOnly);
    tKeys.open(QIODevice::WriteOnly);
    dKeys.open(QIODevice::WriteOnly);
    makeTable(table, rows, nKeys, tKeys, dKeys);
    nKeys.close();
    tKeys.close();
    dKeys.close();

    // GNU sort needs the Russian locale; build it here when the system lacks it.
    const QString locales = dir.filePath("locale");
    QDir().mkpath(locales);
    QProcess::execute("localedef", {"-i", "ru_RU", "-f", "UTF-8", locales + "/ru_RU.UTF-8"});
    const QStringList russian{"LOCPATH=" + locales, "LC_ALL=ru_RU.UTF-8"};

    std::printf("rows: %d\n", rows);
    struct Case
    {
        const char* expression;
        QStringList sortArgs;
        QStringList env;
    } cases[] = {
        {"N", {"-s", "-n", nKeys.fileName()}, {"LC_ALL=C"}},
        {"T_1", {"-s", tKeys.fileName()}, russian},
        {"VAL(T_1)", {"-s", "-n", tKeys.fileName()}, russian},
        {"DATE", {"-s", dKeys.fileName()}, russian},
        {"CTOD(DATE)", {"-s", "-t.", "-k3,3n", "-k2,2n", "-k1,1n", dKeys.fileName()}, {"LC_ALL=C"}},
    };
    for (const Case& c : cases) {
        double ours = 1e300, theirs = 1e300;
        for (int run = 0; run < 3; ++run) {
            ours = std::min(ours, timeAddTag(table, c.expression));
            theirs = std::min(theirs, timeSort(c.sortArgs, c.env));
        }
        std::printf("%-10s add sort tag %8.1f ms   GNU sort %8.1f ms   ratio %.2f\n", c.expression,
                    ours, theirs, ours / theirs);
    }
    return 0;
}
