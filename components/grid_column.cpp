#include "components/grid_column.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace {

struct NamedColor
{
    const char* name;
    TColor value;
};

constexpr TColor sys(int index)
{
    return TColor(0x80000000u | unsigned(index));
}

// The colour names in the order the layout writer prefers them; aliases
// (clLtGray, clDkGray) are read but never written.
constexpr std::array kColors{
    NamedColor{"clBlack", 0x000000},
    NamedColor{"clMaroon", 0x000080},
    NamedColor{"clGreen", 0x008000},
    NamedColor{"clOlive", 0x008080},
    NamedColor{"clNavy", 0x800000},
    NamedColor{"clPurple", 0x800080},
    NamedColor{"clTeal", 0x808000},
    NamedColor{"clGray", 0x808080},
    NamedColor{"clSilver", 0xC0C0C0},
    NamedColor{"clRed", 0x0000FF},
    NamedColor{"clLime", 0x00FF00},
    NamedColor{"clYellow", 0x00FFFF},
    NamedColor{"clBlue", 0xFF0000},
    NamedColor{"clFuchsia", 0xFF00FF},
    NamedColor{"clAqua", 0xFFFF00},
    NamedColor{"clWhite", 0xFFFFFF},
    NamedColor{"clMoneyGreen", 0xC0DCC0},
    NamedColor{"clSkyBlue", 0xF0CAA6},
    NamedColor{"clCream", 0xF0FBFF},
    NamedColor{"clMedGray", 0xA4A0A0},
    NamedColor{"clActiveBorder", sys(10)},
    NamedColor{"clActiveCaption", sys(2)},
    NamedColor{"clAppWorkSpace", sys(12)},
    NamedColor{"clBackground", sys(1)},
    NamedColor{"clBtnFace", sys(15)},
    NamedColor{"clBtnHighlight", sys(20)},
    NamedColor{"clBtnShadow", sys(16)},
    NamedColor{"clBtnText", sys(18)},
    NamedColor{"clCaptionText", sys(9)},
    NamedColor{"clDefault", 0x20000000},
    NamedColor{"clGradientActiveCaption", sys(27)},
    NamedColor{"clGradientInactiveCaption", sys(28)},
    NamedColor{"clGrayText", sys(17)},
    NamedColor{"clHighlight", sys(13)},
    NamedColor{"clHighlightText", sys(14)},
    NamedColor{"clHotLight", sys(26)},
    NamedColor{"clInactiveBorder", sys(11)},
    NamedColor{"clInactiveCaption", sys(3)},
    NamedColor{"clInactiveCaptionText", sys(19)},
    NamedColor{"clInfoBk", sys(24)},
    NamedColor{"clInfoText", sys(23)},
    NamedColor{"clMenu", sys(4)},
    NamedColor{"clMenuBar", sys(30)},
    NamedColor{"clMenuHighlight", sys(29)},
    NamedColor{"clMenuText", sys(7)},
    NamedColor{"clNone", 0x1FFFFFFF},
    NamedColor{"clScrollBar", sys(0)},
    NamedColor{"cl3DDkShadow", sys(21)},
    NamedColor{"cl3DLight", sys(22)},
    NamedColor{"clWindow", sys(5)},
    NamedColor{"clWindowFrame", sys(6)},
    NamedColor{"clWindowText", sys(8)},
    NamedColor{"clLtGray", 0xC0C0C0},
    NamedColor{"clDkGray", 0x808080},
};
constexpr int kAliasCount = 2;

QColor systemColor(int index)
{
    const QPalette pal = QGuiApplication::palette();
    switch (index) {
    case 5:
        return pal.color(QPalette::Base);
    case 6:
    case 21:
        return pal.color(QPalette::Shadow);
    case 7:
    case 8:
    case 23:
        return pal.color(QPalette::Text);
    case 13:
    case 29:
        return pal.color(QPalette::Highlight);
    case 14:
        return pal.color(QPalette::HighlightedText);
    case 15:
    case 4:
    case 30:
        return pal.color(QPalette::Button);
    case 16:
        return pal.color(QPalette::Dark);
    case 17:
        return pal.color(QPalette::PlaceholderText);
    case 18:
        return pal.color(QPalette::ButtonText);
    case 20:
    case 22:
        return pal.color(QPalette::Light);
    case 24:
        return pal.color(QPalette::ToolTipBase);
    case 26:
        return pal.color(QPalette::Link);
    default:
        return pal.color(QPalette::Window);
    }
}

} // namespace

QString colorToIdent(TColor color)
{
    for (std::size_t i = 0; i + kAliasCount < kColors.size(); ++i)
        if (kColors[i].value == color)
            return QString::fromLatin1(kColors[i].name);
    return {};
}

std::optional<TColor> identToColor(const QString& name)
{
    for (const auto& c : kColors)
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return c.value;
    return std::nullopt;
}

QColor toQColor(TColor color)
{
    if (color == DelphiColors::clNone || color == DelphiColors::clDefault)
        return {};
    const auto u = quint32(color);
    if (u & 0x80000000u)
        return systemColor(int(u & 0xFF));
    return QColor(int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF));
}

TColor fromQColor(const QColor& color)
{
    if (!color.isValid())
        return DelphiColors::clNone;
    return TColor(color.red() | (color.green() << 8) | (color.blue() << 16));
}

QString titleStateIdent(TitleState state)
{
    switch (state) {
    case TitleState::tsSortedUp:
        return QStringLiteral("tsSortedUp");
    case TitleState::tsSortedDown:
        return QStringLiteral("tsSortedDown");
    case TitleState::tsSortedNone:
        break;
    }
    return QStringLiteral("tsSortedNone");
}

QString footerStateIdent(FooterState state)
{
    switch (state) {
    case FooterState::fsAverage:
        return QStringLiteral("fsAverage");
    case FooterState::fsCount:
        return QStringLiteral("fsCount");
    case FooterState::fsMax:
        return QStringLiteral("fsMax");
    case FooterState::fsMin:
        return QStringLiteral("fsMin");
    case FooterState::fsSum:
        return QStringLiteral("fsSum");
    case FooterState::fsNone:
        break;
    }
    return QStringLiteral("fsNone");
}

QString alignmentIdent(ColumnAlignment alignment)
{
    switch (alignment) {
    case ColumnAlignment::talLeftJustify:
        return QStringLiteral("talLeftJustify");
    case ColumnAlignment::talRightJustify:
        return QStringLiteral("talRightJustify");
    case ColumnAlignment::talCenter:
        return QStringLiteral("talCenter");
    case ColumnAlignment::talDefault:
        break;
    }
    return QStringLiteral("talDefault");
}

int findColumn(const GridColumnList& columns, const QString& fieldName)
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void copyColumnProperties(const GridColumn& from, GridColumn& to)
{
    to.width = from.width;
    to.layoutLevel = from.layoutLevel;
    to.layoutIndex = from.layoutIndex;
    to.titleState = from.titleState;
    to.footerState = from.footerState;
    to.optionsVisual = from.optionsVisual;
    to.color = from.color;
    to.alignment = from.alignment;
    to.font = from.font;
    to.fieldName = from.fieldName;
}
