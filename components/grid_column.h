#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A colour as the stored layout writes it: 0x00BBGGRR for an RGB colour,
// 0x800000nn for the system colour nn, and the two specials clNone (use the
// grid's own colour) and clDefault.
using TColor = qint32;

namespace DelphiColors {
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;
inline constexpr TColor clWindow = TColor(0x80000005);
inline constexpr TColor clWindowText = TColor(0x80000008);
inline constexpr TColor clHighlight = TColor(0x8000000D);
inline constexpr TColor clHighlightText = TColor(0x8000000E);
} // namespace DelphiColors

// The colour's name (clYellow, clBtnFace, ...), empty when it has none.
QString colorToIdent(TColor color);
// The colour of a name, ignoring case; nullopt for an unknown name.
std::optional<TColor> identToColor(const QString& name);
// An RGB value for painting; system colours map to the application palette.
// clNone and clDefault give an invalid QColor (the grid's own colour).
QColor toQColor(TColor color);
TColor fromQColor(const QColor& color);

enum class TitleState
{
    tsSortedNone,
    tsSortedUp,
    tsSortedDown
};
enum class FooterState
{
    fsAverage,
    fsCount,
    fsMax,
    fsMin,
    fsSum,
    fsNone
};
enum class ColumnAlignment
{
    talDefault,
    talLeftJustify,
    talRightJustify,
    talCenter
};

QString titleStateIdent(TitleState state);
QString footerStateIdent(FooterState state);
QString alignmentIdent(ColumnAlignment alignment);

// A column's own font, stored as the lines "Font.Charset" ... "Font.Style".
struct GridFont
{
    QString charset = QStringLiteral("DEFAULT_CHARSET");
    TColor color = DelphiColors::clWindowText;
    int height = -11; // negative: character height in pixels
    QString name = QStringLiteral("MS Sans Serif");
    QStringList style; // fsBold, fsItalic, fsUnderline, fsStrikeOut

    bool operator==(const GridFont&) const = default;
};

// One column of the grid, bound to a table field by name.
struct GridColumn
{
    static constexpr int kDefaultWidth = 45;

    QString fieldName;
    QString caption;
    ColumnAlignment captionAlignment = ColumnAlignment::talDefault;
    int width = kDefaultWidth;
    int layoutLevel = 0;
    int layoutIndex = 0;
    TitleState titleState = TitleState::tsSortedNone;
    bool titleStatesAllowed = true;
    FooterState footerState = FooterState::fsNone;
    QString footerText;
    QStringList optionsVisual;
    TColor color = DelphiColors::clNone;
    ColumnAlignment alignment = ColumnAlignment::talDefault;
    std::optional<GridFont> font;
    bool readOnly = false;

    bool operator==(const GridColumn&) const = default;
};

using GridColumnList = QList<GridColumn>;

// Index of the first column bound to `fieldName`, ignoring case; -1 if none.
int findColumn(const GridColumnList& columns, const QString& fieldName);

// Copies what the stored layout carries: width, layout level and index, title
// and footer state, visual options, colour, alignment, font and field name.
// Caption, footer text and the read-only flag stay as they are.
void copyColumnProperties(const GridColumn& from, GridColumn& to);
