// The cache of texts laid out for drawing, and of the cells' fonts with
// their glyphs: what a report's pages repeat is measured once.

#include "components/report_text_cache.h"

using report_detail::FontGlyphs;
using report_detail::TextBlock;

namespace {

QFont cellFont(const ReportCell& cell, const QPaintDevice& device)
{
    // The painter maps units to pixels; a point size given for the device's
    // resolution would be scaled twice, so the size is set for the unit.
    QFont font(cell.fontFamily);
    font.setPointSizeF(cell.pointSize * ReportUnits::kPerInch / device.logicalDpiY());
    font.setBold(cell.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

} // namespace

const TextBlock& PreparedReport::TextCache::get(const QString& text, const ReportCell& cell,
                                                const QFont& font, const QPaintDevice& device,
                                                double width)
{
    Key key{&cell, text, device.logicalDpiY(), width};
    auto it = blocks.find(key);
    if (it == blocks.end()) {
        // Texts that change with every row: keep memory flat.
        if (blocks.size() >= kLimit || characters + text.size() > kTextLimit) {
            blocks.clear();
            characters = 0;
        }
        characters += text.size();
        it = blocks
                 .emplace(std::move(key),
                          std::make_unique<TextBlock>(text, font, device, cell, width))
                 .first;
    }
    return *it->second;
}

const PreparedReport::TextCache::CellFont&
PreparedReport::TextCache::cellFont(const ReportCell& cell, const QPaintDevice& device)
{
    const QPair<const ReportCell*, int> key(&cell, device.logicalDpiY());
    auto it = cellFonts.find(key);
    if (it == cellFonts.end()) {
        CellFont cf;
        cf.font = ::cellFont(cell, device);
        const QString name = cf.font.key() + u'@' + QString::number(device.logicalDpiY());
        for (const auto& f : std::as_const(fonts)) {
            if (f.first == name)
                cf.glyphs = f.second.get();
        }
        if (!cf.glyphs) {
            fonts.append({name, std::make_shared<FontGlyphs>(cf.font, device)});
            cf.glyphs = fonts.last().second.get();
        }
        it = cellFonts.insert(key, cf);
    }
    return *it;
}
