#include "components/report_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// How many bands of `height` fit into `space`; lengths are whole or nearly
// whole units, so a tolerance keeps an exact fit from being lost to rounding.
int fitting(double space, double height)
{
    if (!(height > 0) || !std::isfinite(height) || !std::isfinite(space))
        return 0;
    const double n = std::floor(space / height + 1e-9);
    return n > 0 ? int(std::min(n, 1e9)) : 0;
}

} // namespace

ReportPageLayout::ReportPageLayout(const ReportTemplate& t) : m_template(t)
{
    m_title = t.band(ReportBand::Kind::ReportTitle);
    m_header = t.band(ReportBand::Kind::PageHeader);
    m_data = t.band(ReportBand::Kind::MasterData);
    m_footer = t.band(ReportBand::Kind::PageFooter);

    const ReportPageSetup& p = t.page;
    m_footerTop = p.height - p.marginBottom - (m_footer ? m_footer->height : 0);
    const double header = m_header ? m_header->height : 0;
    const double firstTop = p.marginTop + (m_title ? m_title->height : 0) + header;
    const double otherTop = p.marginTop + header;
    if (m_data && m_data->height > 0 && std::isfinite(m_data->height))
        m_firstRows = fitting(m_footerTop - firstTop, m_data->height);
    // A row band that cannot be measured still prints its rows, one a page:
    // a page count never divides by zero.
    if (m_data)
        m_otherRows = std::max(1, fitting(m_footerTop - otherTop, m_data->height));
}

int ReportPageLayout::pageCount(qint64 rows) const
{
    if (!m_data || rows <= m_firstRows)
        return 1;
    const qint64 rest = rows - m_firstRows;
    const qint64 pages = 1 + (rest + m_otherRows - 1) / m_otherRows;
    return int(std::min<qint64>(pages, std::numeric_limits<int>::max()));
}

ReportPageLayout::RowRange ReportPageLayout::rowsOfPage(qint64 rows, int page) const
{
    if (!m_data || page < 0 || page >= pageCount(rows))
        return {};
    if (page == 0)
        return {0, std::min<qint64>(rows, m_firstRows)};
    const qint64 first = m_firstRows + qint64(page - 1) * m_otherRows;
    return {first, std::min<qint64>(rows - first, m_otherRows)};
}

QList<ReportPageLayout::PlacedBand> ReportPageLayout::bandsOfPage(qint64 rows, int page) const
{
    QList<PlacedBand> bands;
    if (page < 0 || page >= pageCount(rows))
        return bands;
    double y = m_template.page.marginTop;
    if (page == 0 && m_title) {
        bands.append({m_title, y, -1});
        y += m_title->height;
    }
    if (m_header) {
        bands.append({m_header, y, -1});
        y += m_header->height;
    }
    const RowRange range = rowsOfPage(rows, page);
    for (qint64 i = 0; i < range.count; ++i) {
        bands.append({m_data, y, range.first + i});
        y += m_data->height;
    }
    if (m_footer)
        bands.append({m_footer, m_footerTop, -1});
    return bands;
}
