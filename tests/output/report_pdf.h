#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "tests/support/helper_check.h"

// What the outside PDF readers say about a printed table report.
struct ReportPdfRow
{
    int n;
    QString t1; // as printed
    QString t2;
};

// Checks `file` with pdfinfo (A4 landscape, `pages` pages), pdffonts (every
// font embedded, Arial as Liberation Sans), qpdf --check and pdftotext
// -layout (title on the first page, the column headings and "Стр. k из n"
// on every page, the rows in this order with these temperatures). Fails the
// running test on a difference; skips (fails in CI) without the readers. A
// test calls it through FLN_CHECK.
void checkReportPdf(const QString& file, int pages, const QList<ReportPdfRow>& rows);

// The pages' texts as pdftotext -layout gives them.
QStringList reportPdfPages(const QString& file);
