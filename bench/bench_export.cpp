// The workbook export of a 1,000,000-row measurement table against GDAL's
// `ogr2ogr -f XLSX` of the same table and against Python's xlsxwriter in its
// constant-memory mode writing the same rows (read with dbfread, converted as
// the export converts them). Each runs as a process of its own; the benchmark
// prints wall time and peak memory of each and the ratios. Then the CSV
// export of the same table beside the workbook export and `fln dump`.
//
//   bench_export [--rows N] [--dir FOLDER] [--table FILE.dbf]
// (--table: keep the big table there and reuse it on the next run)
#include "bench/child_run.h"
#include "bench/measurement_rows.h"
#include "data/dbf_table.h"
#include "output/workbook_export.h"
#include "platform/app_error.h"
#include "platform/xlsx_spreadsheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const char* const kPython = R"(import sys, datetime, dbfread, xlsxwriter
wb = xlsxwriter.Workbook(sys.argv[2], {'constant_memory': True})
ws = wb.add_worksheet('ФЛН-РК2')
date = wb.add_format({'num_format': 'DD/MM/YYYY H:MM'})
ws.set_column(0, 0, 20); ws.set_column(1, 1, 20, date); ws.set_column(2, 5, 20)
ws.set_row(0, None, wb.add_format({'bold': True, 'font_size': 14, 'font_color': '#0000FF'}))
bold = wb.add_format({'bold': True})
ws.set_row(1, None, bold)
for c, h in enumerate(['N', 'Дата', 'Режим', 'T1, C', 'T2, C', 'Примечание']):
    ws.write_string(1, c, h, bold)
r = 2
for rec in dbfread.DBF(sys.argv[1], encoding='cp1251'):
    ws.write_number(r, 0, int(rec['N']))
    t = rec['TIME']
    ws.write_datetime(r, 1, datetime.datetime.strptime(rec['DATE'] + ' ' + t[:5], '%d.%m.%Y %H:%M'), date)
    ws.write_string(r, 2, rec['MODE'])
    ws.write_number(r, 3, float(rec['T_1'].strip().replace(',', '.')))
    ws.write_number(r, 4, float(rec['T_2'].strip().replace(',', '.')))
    if rec['COMMENT']:
        ws.write_string(r, 5, rec['COMMENT'])
    r += 1
wb.close()
)";

int exportOne(const QString& table, const QString& out)
{
    try {
        DbfTable t;
        t.setTableFile(table);
        t.open(DbfTable::Access::ReadOnly);
        const SpreadsheetFactory create = [&] {
            return std::unique_ptr<SpreadsheetApplication>(
                new XlsxSpreadsheet({QString(), out, false, {}}));
        };
        exportWorkbook(t, create, RegionalSettings::russian());
        return 0;
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", e.text().toUtf8().constData());
        return 1;
    }
}

void report(const char* name, const ChildRun& r, const ChildRun& ours)
{
    if (!r.ok()) {
        std::printf("%-28s failed or missing\n", name);
        return;
    }
    std::printf("%-28s %9.0f ms %9.0f ms cpu %7.1f MB peak   ours is %.2fx faster (cpu %.2fx)\n",
                name, r.seconds * 1e3, r.cpuSeconds * 1e3, r.peakKiB / 1024.0,
                r.seconds / ours.seconds, r.cpuSeconds / ours.cpuSeconds);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // The export itself, run by the benchmark as a process of its own.
    if (args.size() == 4 && args[1] == u"--export")
        return exportOne(args[2], args[3]);

    const BenchTableOptions options = parseBenchTableOptions(args);
    QTemporaryDir temp((options.dir.isEmpty() ? QDir::tempPath() : options.dir) +
                       QStringLiteral("/bench_export_XXXXXX"));
    const QString big =
        options.keep.isEmpty() ? temp.filePath(QStringLiteral("big.dbf")) : options.keep;
    if (!QFile::exists(big)) {
        QElapsedTimer build;
        build.start();
        makeMeasurementTable(big, options.rows);
        std::printf("built %lld rows in %.0f ms\n", options.rows, build.nsecsElapsed() / 1e6);
    }

    const QString oursOut = temp.filePath(QStringLiteral("ours.xlsx"));
    const ChildRun ours = runChild(QCoreApplication::applicationFilePath(),
                                   {QStringLiteral("--export"), big, oursOut});
    if (!ours.ok()) {
        std::printf("our export failed\n");
        return 1;
    }
    std::printf("%-28s %9.0f ms %9.0f ms cpu %7.1f MB peak   %lld bytes\n", "ours (libxlsxwriter)",
                ours.seconds * 1e3, ours.cpuSeconds * 1e3, ours.peakKiB / 1024.0,
                QFileInfo(oursOut).size());

    const QString ogr = QStandardPaths::findExecutable(QStringLiteral("ogr2ogr"));
    ChildRun gdal;
    if (!ogr.isEmpty())
        gdal = runChild(ogr, {QStringLiteral("-f"), QStringLiteral("XLSX"),
                              temp.filePath(QStringLiteral("gdal.xlsx")), big});
    report("ogr2ogr -f XLSX", gdal, ours);

    // The whole program, as a user runs it: start-up and progress bar included.
    const ChildRun fln =
        runChild(QStringLiteral(FLN_EXECUTABLE),
                 {QStringLiteral("--locale"), QStringLiteral("ru_RU"), QStringLiteral("export"),
                  big, QStringLiteral("-o"), temp.filePath(QStringLiteral("fln.xlsx"))});
    if (fln.ok()) {
        std::printf("%-28s %9.0f ms %9.0f ms cpu %7.1f MB peak\n", "fln export", fln.seconds * 1e3,
                    fln.cpuSeconds * 1e3, fln.peakKiB / 1024.0);
        report("ogr2ogr against fln export", gdal, fln);
    } else {
        std::printf("fln export failed\n");
    }

    // CSV: `fln export --csv` beside the workbook and `fln dump` (to a file,
    // as a user keeps it), all of them the whole program.
    const ChildRun csv = runChild(QStringLiteral(FLN_EXECUTABLE),
                                  {QStringLiteral("--locale"), QStringLiteral("ru_RU"),
                                   QStringLiteral("export"), big, QStringLiteral("--csv"),
                                   QStringLiteral("-o"), temp.filePath(QStringLiteral("fln.csv"))});
    const ChildRun dump =
        runChild(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec \"$0\" dump \"$1\" > \"$2\""),
                  QStringLiteral(FLN_EXECUTABLE), big, temp.filePath(QStringLiteral("dump.csv"))});
    if (csv.ok() && dump.ok() && fln.ok()) {
        std::printf("%-28s %9.0f ms %9.0f ms cpu %7.1f MB peak   %lld bytes\n", "fln export --csv",
                    csv.seconds * 1e3, csv.cpuSeconds * 1e3, csv.peakKiB / 1024.0,
                    QFileInfo(temp.filePath(QStringLiteral("fln.csv"))).size());
        std::printf("%-28s %9.0f ms %9.0f ms cpu %7.1f MB peak\n", "fln dump > file",
                    dump.seconds * 1e3, dump.cpuSeconds * 1e3, dump.peakKiB / 1024.0);
        std::printf("CSV: workbook / csv %.1fx (cpu %.1fx; target at least 5x), csv / dump %.2fx "
                    "(cpu %.2fx; target at most 3x)\n",
                    fln.seconds / csv.seconds, fln.cpuSeconds / csv.cpuSeconds,
                    csv.seconds / dump.seconds, csv.cpuSeconds / dump.cpuSeconds);
    } else {
        std::printf("fln export --csv or fln dump failed\n");
    }

    const ChildRun python = runChild(QStringLiteral("/usr/bin/python3"),
                                     {QStringLiteral("-c"), QString::fromUtf8(kPython), big,
                                      temp.filePath(QStringLiteral("python.xlsx"))});
    report("python3-xlsxwriter", python, ours);
    return 0;
}
