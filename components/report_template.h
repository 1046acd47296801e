#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class QDataStream;

// A banded report template as plain data: the page, its bands and their text
// cells. Every length is in report units of 1/91.6256 inch (93/1.015 units
// an inch), measured on the paper from its top-left corner.
namespace ReportUnits {
inline constexpr double kPerInch = 93.0 / 1.015;
inline constexpr double kPerPoint = kPerInch / 72.0;
inline constexpr double toMillimetres(double units)
{
    return units * 25.4 / kPerInch;
}
} // namespace ReportUnits

struct ReportFrame
{
    enum Side : quint8
    {
        None = 0,
        Left = 1,
        Top = 2,
        Right = 4,
        Bottom = 8,
        All = 15
    };
    quint8 sides = None;
    double width = 1.0; // units; solid black
    bool operator==(const ReportFrame&) const = default;
};

// One text cell. It fills the height of its band; its text is laid out
// inside the insets, wrapped at word boundaries and cut at the cell's edge.
// The text may hold expressions in square brackets: [DataSet."FIELD"] for a
// field of the current row, [PAGE#] and [TOTALPAGES].
struct ReportCell
{
    enum class HAlign : quint8
    {
        Left,
        Center,
        Right
    };
    enum class VAlign : quint8
    {
        Top,
        Middle,
        Bottom
    };
    enum class Format : quint8
    {
        Text,  // the value as it comes
        Number // the value read as a number and printed with `decimals` decimals
    };

    double x = 0;
    double width = 0;
    QString text;
    QString fontFamily = QStringLiteral("Arial");
    double pointSize = 10;
    bool bold = false;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    ReportFrame frame;
    bool wordWrap = true;
    double insetX = 2;
    double insetY = 1;
    Format format = Format::Text;
    int decimals = 1;              // Number: the pattern "0.0" has one
    QChar decimalSeparator = u','; // Number: read and written with it
    // The cell keeps its right edge where it is and widens to the left when
    // its text is wider than the cell.
    bool growLeft = false;

    bool operator==(const ReportCell&) const = default;
};

struct ReportBand
{
    enum class Kind : quint8
    {
        ReportTitle, // once, at the top of the first page
        PageHeader,  // at the top of every page (below the title on the first)
        MasterData,  // once per row of the data source
        PageFooter   // at the bottom of every page
    };

    Kind kind = Kind::MasterData;
    double height = 0;
    QList<ReportCell> cells;

    bool operator==(const ReportBand&) const = default;
};

struct ReportPageSetup
{
    // The paper in units, as laid out (landscape: the long side across).
    double width = 0;
    double height = 0;
    double marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;
    bool landscape = false;
    // The paper's physical size, portrait, in millimetres (A4: 210 × 297).
    double paperWidthMm = 210, paperHeightMm = 297;

    bool operator==(const ReportPageSetup&) const = default;
};

struct ReportTemplate
{
    ReportPageSetup page;
    QList<ReportBand> bands;

    // The first band of a kind, or nullptr.
    const ReportBand* band(ReportBand::Kind kind) const;

    bool operator==(const ReportTemplate&) const = default;
};

QDataStream& operator<<(QDataStream& out, const ReportTemplate& t);
QDataStream& operator>>(QDataStream& in, ReportTemplate& t);
