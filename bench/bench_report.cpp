// The printed report on large tables, against LibreOffice printing the same
// rows to PDF. Prints each figure and the ratios.
//
//   bench_report [--rows N] [--big N] [--dir FOLDER] [--skip-peer] [--other FLN]
//
// --other: another build of the program (e.g. before a change), timed on the
// same tables in the same run.
//
// 1. N rows (100,000) to PDF: `fln report` against `soffice --headless
//    --convert-to pdf` of the same rows as CSV (both as child processes,
//    wall time and peak memory of each).
// 2. BIG rows (1,000,000) to PDF with `fln report`: time, peak memory, pages.
// 3. The preview of BIG rows: prepare and first painted page, then a jump
//    to the middle page, in this process.
#include "bench/child_run.h"
#include "bench/measurement_rows.h"
#include "components/report_engine.h"
#include "components/report_preview.h"
#include "output/measurement_report.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>

namespace {

int pdfPages(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(60000);
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// The rows as the report prints them, for LibreOffice.
void writeCsv(const QString& table, const QString& csv)
{
    DbfTable t;
    t.setTableFile(table);
    t.open(DbfTable::Access::ReadOnly);
    QFile out(csv);
    out.open(QIODevice::WriteOnly);
    QByteArray chunk = "N,Дата,Время,Режим,t1 C,t2 C,Примечание\n";
    for (t.first(); !t.eof(); t.next()) {
        chunk += t.text(QStringLiteral("N")).toUtf8() + ',' +
                 t.text(QStringLiteral("DATE")).toUtf8() + ',' +
                 t.text(QStringLiteral("TIME")).toUtf8() + ',' +
                 t.text(QStringLiteral("MODE")).toUtf8() + ",\"" +
                 formatReportNumber(t.text(QStringLiteral("T_1")), 1, u',').toUtf8() + "\",\"" +
                 formatReportNumber(t.text(QStringLiteral("T_2")), 1, u',').toUtf8() + "\"," +
                 t.text(QStringLiteral("COMMENT")).toUtf8() + '\n';
        if (chunk.size() > (1 << 20)) {
            out.write(chunk);
            chunk.clear();
        }
    }
    out.write(chunk);
}

qint64 arg(const QStringList& args, const char* name, qint64 fallback)
{
    const qsizetype i = args.indexOf(QString::fromLatin1(name));
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toLongLong() : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 rows = arg(args, "--rows", 100000);
    const qint64 big = arg(args, "--big", 1000000);
    const bool skipPeer = args.contains(QStringLiteral("--skip-peer"));
    const qsizetype dirIndex = args.indexOf(QStringLiteral("--dir"));
    QTemporaryDir tmp(dirIndex > 0
                          ? args.value(dirIndex + 1) + QStringLiteral("/bench_report_XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/bench_report_XXXXXX"));
    const QDir dir(tmp.path());
    const QString fln = QStringLiteral(FLN_EXECUTABLE);
    const qsizetype otherIndex = args.indexOf(QStringLiteral("--other"));
    const QString other = otherIndex > 0 ? args.value(otherIndex + 1) : QString();
    std::printf("bench_report: %s\n", qPrintable(fln));
    const auto report = [&](const QString& program, const QString& table, const QString& pdf) {
        return runChild(program, {QStringLiteral("--locale"), QStringLiteral("ru_RU"),
                                  QStringLiteral("report"), table, QStringLiteral("-o"), pdf});
    };

    // 1. N rows: ours against LibreOffice.
    const QString small = dir.filePath(QStringLiteral("rows.db"));
    makeMeasurementTable(small, rows);
    const QString ourPdf = dir.filePath(QStringLiteral("ours.pdf"));
    const ChildRun ours = report(fln, small, ourPdf);
    std::printf("%lld rows to PDF, fln report:  %8.2f s wall %8.2f s processor  peak %6ld MiB  "
                "%d pages (exit %d)\n",
                rows, ours.seconds, ours.cpuSeconds, ours.peakKiB / 1024, pdfPages(ourPdf),
                ours.code);
    ChildRun theirs;
    if (!other.isEmpty()) {
        const QString otherPdf = dir.filePath(QStringLiteral("other.pdf"));
        theirs = report(other, small, otherPdf);
        std::printf("%lld rows to PDF, other fln:   %8.2f s wall %8.2f s processor  peak %6ld MiB  "
                    "%d pages (exit %d)\n",
                    rows, theirs.seconds, theirs.cpuSeconds, theirs.peakKiB / 1024,
                    pdfPages(otherPdf), theirs.code);
    }
    if (!skipPeer) {
        const QString csv = dir.filePath(QStringLiteral("rows.csv"));
        writeCsv(small, csv);
        const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("lo"))).toString();
        {
            // LibreOffice sets up its profile on the first start: not part of
            // the conversion, so a small file goes first.
            const QString warm = dir.filePath(QStringLiteral("warm.csv"));
            QFile f(warm);
            f.open(QIODevice::WriteOnly);
            f.write("N,T\n1,\"5,0\"\n");
            f.close();
            runChild(QStringLiteral("soffice"),
                     {QStringLiteral("-env:UserInstallation=") + profile,
                      QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                      QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), warm});
        }
        const ChildRun lo = runChild(
            QStringLiteral("soffice"),
            {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
             QStringLiteral("--infilter=CSV:44,34,76,1"), QStringLiteral("--convert-to"),
             QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), csv});
        const QString loPdf = dir.filePath(QStringLiteral("rows.pdf"));
        if (lo.code != 0 || !QFileInfo::exists(loPdf)) {
            std::printf("LibreOffice: not available or failed (exit %d): no ratio\n", lo.code);
        } else {
            std::printf("%lld rows to PDF, LibreOffice: %8.2f s wall %8.2f s processor  peak %6ld "
                        "MiB  %d pages\n",
                        rows, lo.seconds, lo.cpuSeconds, lo.peakKiB / 1024, pdfPages(loPdf));
            std::printf("ratio LibreOffice / fln report: %.1f (wall), %.1f (processor)\n",
                        lo.seconds / ours.seconds, lo.cpuSeconds / ours.cpuSeconds);
            if (!other.isEmpty())
                std::printf("ratio LibreOffice / other fln:  %.1f (wall), %.1f (processor)\n",
                            lo.seconds / theirs.seconds, lo.cpuSeconds / theirs.cpuSeconds);
        }
    }
    QFile::remove(small);

    // 2. BIG rows to PDF.
    const QString large = dir.filePath(QStringLiteral("big.db"));
    makeMeasurementTable(large, big);
    const QString bigPdf = dir.filePath(QStringLiteral("big.pdf"));
    for (const QString& program : {fln, other}) {
        if (program.isEmpty())
            continue;
        const ChildRun bigRun = report(program, large, bigPdf);
        std::printf("%lld rows to PDF, %s:  %8.2f s wall %8.2f s processor  peak %6ld MiB  "
                    "%d pages  %lld MiB file (exit %d)\n",
                    big, program == fln ? "fln report" : "other fln ", bigRun.seconds,
                    bigRun.cpuSeconds, bigRun.peakKiB / 1024, pdfPages(bigPdf),
                    QFileInfo(bigPdf).size() >> 20, bigRun.code);
        QFile::remove(bigPdf);
    }

    // 3. The preview of BIG rows.
    DbfTable table;
    table.setTableFile(large);
    QElapsedTimer timer;
    timer.start();
    table.open(DbfTable::Access::ReadOnly);
    const double openMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    auto prepared = MeasurementReport::prepare(table);
    ReportPreview preview(*prepared, {});
    preview.resize(1200, 900);
    preview.show();
    preview.pageView()->viewport()->grab(); // paints the first page
    const double firstPaintMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    preview.pageView()->showPage(prepared->pageCount() / 2);
    preview.pageView()->viewport()->grab();
    const double jumpMs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("preview of %lld rows (%d pages): table open %.0f ms; prepare to first painted "
                "page %.0f ms; jump to page %d and paint %.0f ms\n",
                big, prepared->pageCount(), openMs, firstPaintMs, prepared->pageCount() / 2 + 1,
                jumpMs);
    return 0;
}
