#include "output/measurement_report.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/table_row_reader.h"

namespace {

using HAlign = ReportCell::HAlign;
using VAlign = ReportCell::VAlign;

ReportCell cell(double x, double width, const QString& text, double pointSize, bool bold, HAlign h,
                VAlign v, quint8 frame)
{
    ReportCell c;
    c.x = x;
    c.width = width;
    c.text = text;
    c.fontFamily = QStringLiteral("Arial");
    c.pointSize = pointSize;
    c.bold = bold;
    c.hAlign = h;
    c.vAlign = v;
    c.frame.sides = frame;
    c.frame.width = 1;
    c.wordWrap = true;
    c.insetX = 2;
    c.insetY = 1;
    return c;
}

QString field(const QString& name)
{
    return QStringLiteral("[Dbf1.\"") + name + QStringLiteral("\"]");
}

class TableRows : public ReportRowSource
{
public:
    explicit TableRows(DbfTable& table) : m_table(table), m_rows(table)
    {
        for (const DbfField& f : table.fields())
            m_fields << f.name;
    }
    QString dataSetName() const override { return MeasurementReport::kDataSet; }
    QStringList fieldNames() const override { return m_fields; }
    qint64 begin() override
    {
        m_table.first();
        return m_table.rowCount();
    }
    void end() override { m_table.last(); }
    QStringList rowTexts(qint64 row) const override
    {
        m_rows.read(row);
        return m_rows.texts();
    }

private:
    DbfTable& m_table;
    mutable TableRowReader m_rows;
    QStringList m_fields;
};

// Records given by their numbers: the table's cursor is not moved.
class RecordRows : public ReportRowSource
{
public:
    RecordRows(const DbfTable& table, QList<quint32> records)
        : m_rows(table), m_records(std::move(records))
    {
        for (const DbfField& f : table.fields())
            m_fields << f.name;
    }
    QString dataSetName() const override { return MeasurementReport::kDataSet; }
    QStringList fieldNames() const override { return m_fields; }
    qint64 begin() override { return m_records.size(); }
    void end() override {}
    QStringList rowTexts(qint64 row) const override
    {
        if (row < 0 || row >= m_records.size() || !m_rows.viewRecord(m_records[row]))
            return {};
        return m_rows.texts();
    }

private:
    mutable TableRowReader m_rows;
    QList<quint32> m_records;
    QStringList m_fields;
};

} // namespace

ReportTemplate MeasurementReport::reportTemplate()
{
    namespace S = MeasurementSchema;
    constexpr quint8 all = ReportFrame::All;
    constexpr quint8 tlb = ReportFrame::Top | ReportFrame::Left | ReportFrame::Bottom;
    constexpr quint8 tbr = ReportFrame::Top | ReportFrame::Bottom | ReportFrame::Right;

    ReportTemplate t;
    t.page.width = 1071;
    t.page.height = 758;
    t.page.marginLeft = 25;
    t.page.marginTop = 72;
    t.page.marginRight = 25;
    t.page.marginBottom = 25;
    t.page.landscape = true;
    t.page.paperWidthMm = 210;
    t.page.paperHeightMm = 297;

    ReportBand title{ReportBand::Kind::ReportTitle, 64, {}};
    title.cells << cell(25, 234, QStringLiteral("ФЛН-РК2.03"), 14, true, HAlign::Left, VAlign::Top,
                        ReportFrame::None);

    ReportBand header{ReportBand::Kind::PageHeader, 60, {}};
    auto heading = [&](double x, double w, const QString& text) {
        header.cells << cell(x, w, text, 12, true, HAlign::Center, VAlign::Middle, all);
    };
    heading(25, 61, QStringLiteral("N"));
    heading(86, 88, QStringLiteral("Дата"));
    heading(174, 72, QStringLiteral("Время"));
    heading(246, 121, QStringLiteral("Режим"));
    header.cells << cell(367, 20, QStringLiteral("t"), 14, true, HAlign::Right, VAlign::Middle, tlb)
                 << cell(387, 52, QStringLiteral("1, C"), 12, true, HAlign::Left, VAlign::Middle,
                         tbr)
                 << cell(439, 20, QStringLiteral("t"), 14, true, HAlign::Right, VAlign::Middle, tlb)
                 << cell(459, 52, QStringLiteral("2, C"), 12, true, HAlign::Left, VAlign::Middle,
                         tbr);
    heading(511, 165, QStringLiteral("Примечание"));

    ReportBand row{ReportBand::Kind::MasterData, 40, {}};
    auto value = [&](double x, double w, const QString& name, bool number) {
        ReportCell c = cell(x, w, field(name), 10, false, HAlign::Center, VAlign::Middle, all);
        if (number) {
            c.format = ReportCell::Format::Number;
            c.decimals = 1; // "0.0"
            c.decimalSeparator = u',';
        }
        row.cells << c;
    };
    value(25, 61, S::kN, false);
    value(86, 88, S::kDate, false);
    value(174, 72, S::kTime, false);
    value(246, 121, S::kMode, false);
    value(367, 72, S::kT1, true);
    value(439, 72, S::kT2, true);
    value(511, 165, S::kComment, false);

    ReportBand footer{ReportBand::Kind::PageFooter, 20, {}};
    ReportCell pages = cell(844, 202, QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]"), 10, false,
                            HAlign::Right, VAlign::Middle, ReportFrame::None);
    pages.growLeft = true;
    footer.cells << pages;

    t.bands << title << header << row << footer;
    return t;
}

std::unique_ptr<ReportRowSource> MeasurementReport::tableRows(DbfTable& table)
{
    return std::make_unique<TableRows>(table);
}

std::unique_ptr<PreparedReport> MeasurementReport::prepare(DbfTable& table)
{
    return std::make_unique<PreparedReport>(reportTemplate(), tableRows(table));
}

std::unique_ptr<PreparedReport> MeasurementReport::prepare(DbfTable& table, QList<quint32> records)
{
    return std::make_unique<PreparedReport>(
        reportTemplate(), std::make_unique<RecordRows>(table, std::move(records)));
}
