#include "components/report_template.h"

#include <QDataStream>

const ReportBand* ReportTemplate::band(ReportBand::Kind kind) const
{
    for (const ReportBand& b : bands) {
        if (b.kind == kind)
            return &b;
    }
    return nullptr;
}

namespace {

void write(QDataStream& out, const ReportCell& c)
{
    out << c.x << c.width << c.text << c.fontFamily << c.pointSize << c.bold << quint8(c.hAlign)
        << quint8(c.vAlign) << c.frame.sides << c.frame.width << c.wordWrap << c.insetX << c.insetY
        << quint8(c.format) << qint32(c.decimals) << c.decimalSeparator << c.growLeft;
}

void read(QDataStream& in, ReportCell& c)
{
    quint8 h = 0, v = 0, f = 0;
    qint32 decimals = 0;
    in >> c.x >> c.width >> c.text >> c.fontFamily >> c.pointSize >> c.bold >> h >> v >>
        c.frame.sides >> c.frame.width >> c.wordWrap >> c.insetX >> c.insetY >> f >> decimals >>
        c.decimalSeparator >> c.growLeft;
    if (h > quint8(ReportCell::HAlign::Right) || v > quint8(ReportCell::VAlign::Bottom) ||
        f > quint8(ReportCell::Format::Number) || decimals < 0 || decimals > 15) {
        in.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    c.hAlign = ReportCell::HAlign(h);
    c.vAlign = ReportCell::VAlign(v);
    c.format = ReportCell::Format(f);
    c.decimals = decimals;
}

} // namespace

QDataStream& operator<<(QDataStream& out, const ReportTemplate& t)
{
    const ReportPageSetup& p = t.page;
    out << p.width << p.height << p.marginLeft << p.marginTop << p.marginRight << p.marginBottom
        << p.landscape << p.paperWidthMm << p.paperHeightMm;
    out << qint32(t.bands.size());
    for (const ReportBand& b : t.bands) {
        out << quint8(b.kind) << b.height << qint32(b.cells.size());
        for (const ReportCell& c : b.cells)
            write(out, c);
    }
    return out;
}

QDataStream& operator>>(QDataStream& in, ReportTemplate& t)
{
    t = {};
    ReportPageSetup& p = t.page;
    in >> p.width >> p.height >> p.marginLeft >> p.marginTop >> p.marginRight >> p.marginBottom >>
        p.landscape >> p.paperWidthMm >> p.paperHeightMm;
    qint32 bands = 0;
    in >> bands;
    if (bands < 0 || bands > 64) {
        in.setStatus(QDataStream::ReadCorruptData);
        return in;
    }
    for (qint32 i = 0; i < bands && in.status() == QDataStream::Ok; ++i) {
        ReportBand b;
        quint8 kind = 0;
        qint32 cells = 0;
        in >> kind >> b.height >> cells;
        if (kind > quint8(ReportBand::Kind::PageFooter) || cells < 0 || cells > 1024) {
            in.setStatus(QDataStream::ReadCorruptData);
            return in;
        }
        b.kind = ReportBand::Kind(kind);
        for (qint32 j = 0; j < cells && in.status() == QDataStream::Ok; ++j) {
            ReportCell c;
            read(in, c);
            b.cells << c;
        }
        t.bands << b;
    }
    return in;
}
