// Adding the sort tag on a table of a million rows, for N (numeric keys) and
// T_1 (character keys in Russian collation), side by side with GNU sort of
// the same keys extracted to a text file (sort -n for N; sort under the
// ru_RU.UTF-8 locale for T_1). Prints both times and their ratio.
//
//   bench_sort_index [ROWS]   (default 1000000)
#include "data/dbf_table.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QByteArray cell(const QByteArray& text, int width, bool right)
{
    return right ? text.rightJustified(width, ' ', true) : text.leftJustified(width, ' ', true);
}

// The table written straight to the file: an empty table made by the table
// layer, then the records, the count and the end-of-file byte.
void makeTable(const QString& path, int rows, QFile& nKeys, QFile& tKeys)
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
    QByteArray nText, tText;
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
        r.replace(date.offset, date.length, "01.02.2024");
        r.replace(time.offset, time.length, "12:00:00");
        chunk += r;
        nText += nv + '\n';
        tText += cell(tv, t1.length, false) + '\n';
        if (chunk.size() > (1 << 20)) {
            f.write(chunk);
            nKeys.write(nText);
            tKeys.write(tText);
            chunk.clear();
            nText.clear();
            tText.clear();
        }
    }
    chunk += '\x1a';
    f.write(chunk);
    nKeys.write(nText);
    tKeys.write(tText);
    const quint32 count = quint32(rows);
    f.seek(4);
    f.write(reinterpret_cast<const char*>(&count), 4); // little-endian machine
    f.close();
}

double timeAddTag(const QString& path, const char* fieldName)
{
    DbfTable t;
    t.setTableFile(path);
    t.open();
    QElapsedTimer timer;
    timer.start();
    t.addSortTag("tab1", fieldName, false);
    t.selectSortTag("tab1");
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (t.selectedSortTag().isEmpty())
        std::fprintf(stderr, "the tag on %s was not added\n", fieldName);
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
    QFile nKeys(dir.filePath("n.txt")), tKeys(dir.filePath("t1.txt"));
    nKeys.open(QIODevice::WriteOnly);
    tKeys.open(QIODevice::WriteOnly);
    makeTable(table, rows, nKeys, tKeys);
    nKeys.close();
    tKeys.close();

    // GNU sort needs the Russian locale; build it here when the system lacks it.
    const QString locales = dir.filePath("locale");
    QDir().mkpath(locales);
    QProcess::execute("localedef", {"-i", "ru_RU", "-f", "UTF-8", locales + "/ru_RU.UTF-8"});
    const QStringList russian{"LOCPATH=" + locales, "LC_ALL=ru_RU.UTF-8"};

    std::printf("rows: %d\n", rows);
    struct Case
    {
        const char* field;
        QStringList sortArgs;
        QStringList env;
    } cases[] = {
        {"N", {"-n", nKeys.fileName()}, {"LC_ALL=C"}},
        {"T_1", {tKeys.fileName()}, russian},
    };
    for (const Case& c : cases) {
        const double ours = timeAddTag(table, c.field);
        const double theirs = timeSort(c.sortArgs, c.env);
        std::printf("%-4s add sort tag %8.1f ms   GNU sort %8.1f ms   ratio %.2f\n", c.field, ours,
                    theirs, ours / theirs);
    }
    return 0;
}
