#pragma once

#include "components/report_template.h"

#include <QList>

// Where the bands of a template land on each page. Data rows have a fixed
// height, so the stacking is arithmetic on the row count: any page's layout
// is known without reading a single row, and a report of a million rows is
// laid out as fast as one of ten.
//
// Stacking: the title (first page only) and the page header from the top
// margin down; then as many data rows as fit above the page footer, which
// sits on the bottom margin; a row never spans two pages. A page always
// takes at least one row when the first page takes none, so a band taller
// than the page cannot make the report endless.
class ReportPageLayout
{
public:
    struct PlacedBand
    {
        const ReportBand* band = nullptr;
        double y = 0;    // top of the band in units
        qint64 row = -1; // the data row a master data band prints, else -1
    };
    struct RowRange
    {
        qint64 first = 0;
        qint64 count = 0;
    };

    explicit ReportPageLayout(const ReportTemplate& t);

    int rowsOnFirstPage() const { return m_firstRows; }
    int rowsOnOtherPages() const { return m_otherRows; }
    double footerTop() const { return m_footerTop; }

    // At least one page, even without rows.
    int pageCount(qint64 rows) const;
    // The rows of page `page` (0-based) of a report of `rows` rows.
    RowRange rowsOfPage(qint64 rows, int page) const;
    QList<PlacedBand> bandsOfPage(qint64 rows, int page) const;

private:
    const ReportTemplate& m_template;
    const ReportBand* m_title = nullptr;
    const ReportBand* m_header = nullptr;
    const ReportBand* m_data = nullptr;
    const ReportBand* m_footer = nullptr;
    double m_footerTop = 0;
    int m_firstRows = 0;
    int m_otherRows = 0;
};
