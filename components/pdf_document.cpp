#include "components/pdf_document.h"

#include <QDateTime>
#include <QHash>
#include <QIODevice>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <libdeflate.h>
#include <map>

// --- content streams ---

namespace {

// A number as PDF writes it: plain decimals (never an exponent), at most
// `decimals` of them, no trailing zeros. Most numbers of a page are whole.
template <typename Bytes>
void appendNumber(Bytes& out, double v, int decimals)
{
    if (!std::isfinite(v) || std::abs(v) >= 1e15)
        v = 0;
    char buf[64];
    char* end;
    if (v == std::trunc(v)) {
        end = std::to_chars(buf, buf + sizeof buf, qint64(v)).ptr;
    } else {
        auto [last, ec] =
            std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
        end = ec == std::errc() ? last : std::to_chars(buf, buf + sizeof buf, 0).ptr;
        if (std::find(buf, end, '.') != end) {
            while (end[-1] == '0')
                --end;
            if (end[-1] == '.')
                --end;
        }
        if (end - buf == 2 && buf[0] == '-' && buf[1] == '0')
            end = buf + 1, buf[0] = '0'; // a tiny negative number
    }
    out.append(buf, end - buf);
}

const char kHex[] = "0123456789ABCDEF";

template <typename Bytes>
void appendHex4(Bytes& out, quint32 v)
{
    const char digits[4] = {kHex[(v >> 12) & 15], kHex[(v >> 8) & 15], kHex[(v >> 4) & 15],
                            kHex[v & 15]};
    out.append(digits, 4);
}

} // namespace

PdfContent& PdfContent::number(double v, int decimals)
{
    appendNumber(m_bytes, v, decimals);
    m_bytes += ' ';
    return *this;
}

PdfContent& PdfContent::hexGlyph(quint32 glyph)
{
    appendHex4(m_bytes, glyph);
    return *this;
}

// --- TrueType tables ---

namespace {

quint32 readU16(const QByteArray& t, qsizetype at)
{
    if (at < 0 || at + 2 > t.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(t.constData()) + at;
    return quint32(p[0]) << 8 | p[1];
}

qint32 readS16(const QByteArray& t, qsizetype at)
{
    return qint16(quint16(readU16(t, at)));
}

quint32 readU32(const QByteArray& t, qsizetype at)
{
    return readU16(t, at) << 16 | readU16(t, at + 2);
}

void putU16(QByteArray& t, qsizetype at, quint32 v)
{
    if (at >= 0 && at + 2 <= t.size()) {
        t[at] = char(v >> 8);
        t[at + 1] = char(v);
    }
}

void putU32(QByteArray& t, qsizetype at, quint32 v)
{
    putU16(t, at, v >> 16);
    putU16(t, at + 2, v & 0xFFFF);
}

void appendU16(QByteArray& t, quint32 v)
{
    t += char(v >> 8);
    t += char(v);
}

void appendU32(QByteArray& t, quint32 v)
{
    appendU16(t, v >> 16);
    appendU16(t, v & 0xFFFF);
}

quint32 tableChecksum(const QByteArray& t)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i < t.size(); i += 4) {
        quint32 word = 0;
        for (int k = 0; k < 4; ++k)
            word = word << 8 | (i + k < t.size() ? uchar(t[i + k]) : 0);
        sum += word;
    }
    return sum;
}

// The PostScript name of the font (name 6), as a PDF name may carry it.
QByteArray postScriptName(const QByteArray& names)
{
    QByteArray out;
    const quint32 count = readU16(names, 2), strings = readU16(names, 4);
    for (quint32 i = 0; i < count && out.isEmpty(); ++i) {
        const qsizetype rec = 6 + 12 * qsizetype(i);
        const quint32 platform = readU16(names, rec), id = readU16(names, rec + 6);
        const quint32 length = readU16(names, rec + 8), offset = readU16(names, rec + 10);
        if (id != 6 || strings + offset + length > quint32(names.size()))
            continue;
        const QByteArray raw = names.mid(strings + offset, length);
        if (platform == 3 || platform == 0) {
            for (qsizetype k = 0; k + 1 < raw.size(); k += 2)
                out += raw[k + 1];
        } else if (platform == 1) {
            out = raw;
        }
    }
    QByteArray clean;
    for (char c : std::as_const(out)) {
        if (c > 0x20 && c < 0x7F && !QByteArray("()<>[]{}/%#").contains(c))
            clean += c;
    }
    return clean.isEmpty() ? QByteArray("Font") : clean;
}

} // namespace

struct PdfDocument::Font
{
    QByteArray name; // the resource name
    QRawFont raw;
    double pixelSize = 0;
    int unitsPerEm = 1000;
    quint32 glyphCount = 0;
    QByteArray head, hhea, maxp, hmtx, loca, glyf, cvt, fpgm, prep, names, post;
    std::vector<double> advances; // per glyph, in pixels; NaN until asked
    std::vector<bool> used;

    explicit Font(const QRawFont& font, QByteArray resource)
        : name(std::move(resource)), raw(font), pixelSize(font.pixelSize())
    {
        head = raw.fontTable("head");
        hhea = raw.fontTable("hhea");
        maxp = raw.fontTable("maxp");
        hmtx = raw.fontTable("hmtx");
        loca = raw.fontTable("loca");
        glyf = raw.fontTable("glyf");
        cvt = raw.fontTable("cvt ");
        fpgm = raw.fontTable("fpgm");
        prep = raw.fontTable("prep");
        names = raw.fontTable("name");
        post = raw.fontTable("post");
        glyphCount = readU16(maxp, 4);
        unitsPerEm = int(readU16(head, 18));
        if (head.size() < 54 || hhea.size() < 36 || glyf.isEmpty() || loca.isEmpty() ||
            glyphCount == 0 || unitsPerEm == 0 || pixelSize <= 0)
            throw PdfUnsupportedFont{};
        advances.assign(glyphCount, std::nan(""));
        used.assign(glyphCount, false);
        used[0] = true; // .notdef: every font has it first
    }

    double advance(quint32 glyph)
    {
        if (glyph >= glyphCount)
            return 0;
        double& a = advances[glyph];
        if (std::isnan(a))
            a = raw.advancesForGlyphIndexes({glyph}, QRawFont::UseDesignMetrics).value(0).x();
        return a;
    }

    // Where glyph `g` lies in glyf.
    std::pair<quint32, quint32> glyphRange(quint32 g) const
    {
        const bool longOffsets = readS16(head, 50) == 1;
        quint32 from = longOffsets ? readU32(loca, 4 * g) : 2 * readU16(loca, 2 * g);
        quint32 to = longOffsets ? readU32(loca, 4 * (g + 1)) : 2 * readU16(loca, 2 * (g + 1));
        to = std::min<quint32>(to, quint32(glyf.size()));
        return {std::min(from, to), to};
    }

    // The glyphs kept: those used and the parts of composite ones.
    std::vector<bool> keptGlyphs() const
    {
        std::vector<bool> kept = used;
        std::vector<quint32> todo;
        for (quint32 g = 0; g < glyphCount; ++g) {
            if (used[g])
                todo.push_back(g);
        }
        while (!todo.empty()) {
            const quint32 g = todo.back();
            todo.pop_back();
            const auto [from, to] = glyphRange(g);
            if (to - from < 10 || readS16(glyf, from) >= 0)
                continue;
            qsizetype at = from + 10;
            for (;;) {
                if (at + 4 > qsizetype(to))
                    break;
                const quint32 flags = readU16(glyf, at), part = readU16(glyf, at + 2);
                if (part < glyphCount && !kept[part]) {
                    kept[part] = true;
                    todo.push_back(part);
                }
                at += 4 + ((flags & 0x1) ? 4 : 2);
                if (flags & 0x8)
                    at += 2;
                else if (flags & 0x40)
                    at += 4;
                else if (flags & 0x80)
                    at += 8;
                if (!(flags & 0x20))
                    break;
            }
        }
        return kept;
    }

    // The font file with the glyphs that are not kept left empty; glyph
    // numbers stay the font's own.
    QByteArray subsetFile() const
    {
        const std::vector<bool> kept = keptGlyphs();
        QByteArray newGlyf, newLoca;
        for (quint32 g = 0; g < glyphCount; ++g) {
            appendU32(newLoca, quint32(newGlyf.size()));
            if (!kept[g])
                continue;
            const auto [from, to] = glyphRange(g);
            newGlyf += glyf.mid(from, to - from);
            while (newGlyf.size() % 4)
                newGlyf += '\0';
        }
        appendU32(newLoca, quint32(newGlyf.size()));
        QByteArray newHead = head;
        putU32(newHead, 8, 0);  // checkSumAdjustment, set below
        putU16(newHead, 50, 1); // long offsets in loca

        std::map<QByteArray, const QByteArray*> tables{
            {"head", &newHead}, {"hhea", &hhea},    {"maxp", &maxp},
            {"hmtx", &hmtx},    {"loca", &newLoca}, {"glyf", &newGlyf},
            {"cvt ", &cvt},     {"fpgm", &fpgm},    {"prep", &prep}};
        for (auto it = tables.begin(); it != tables.end();) {
            if (it->second->isEmpty())
                it = tables.erase(it);
            else
                ++it;
        }
        const quint32 count = quint32(tables.size());
        quint32 power = 1, log = 0;
        while (power * 2 <= count) {
            power *= 2;
            ++log;
        }
        QByteArray file;
        appendU32(file, 0x00010000);
        appendU16(file, count);
        appendU16(file, power * 16);
        appendU16(file, log);
        appendU16(file, count * 16 - power * 16);
        quint32 offset = 12 + 16 * count;
        qsizetype headOffset = 0;
        for (const auto& [tag, data] : tables) {
            file += tag;
            appendU32(file, tableChecksum(*data));
            appendU32(file, offset);
            appendU32(file, quint32(data->size()));
            if (tag == "head")
                headOffset = offset;
            offset += (quint32(data->size()) + 3) & ~3u;
        }
        for (const auto& [tag, data] : tables) {
            file += *data;
            while (file.size() % 4)
                file += '\0';
        }
        putU32(file, headOffset + 8, 0xB1B0AFBA - tableChecksum(file));
        return file;
    }

    // The Unicode character of each used glyph that has one.
    std::map<quint32, char32_t> unicodeOfGlyphs() const
    {
        QString chars;
        chars.reserve(0xFFFF);
        for (char32_t c = 0x20; c < 0xFFFE; ++c) {
            if (c < 0xD800 || c > 0xDFFF)
                chars += QChar(char16_t(c));
        }
        std::vector<quint32> glyphs(chars.size());
        int count = int(glyphs.size());
        std::map<quint32, char32_t> out;
        if (!raw.glyphIndexesForChars(chars.constData(), int(chars.size()), glyphs.data(), &count))
            return out;
        for (int i = 0; i < count && i < chars.size(); ++i) {
            const quint32 g = glyphs[i];
            if (g != 0 && g < glyphCount && used[g] && !out.count(g))
                out[g] = chars[i].unicode();
        }
        return out;
    }
};

// --- the document ---

PdfDocument::PdfDocument(QIODevice& out, const QString& creator)
    : m_out(out), m_creator(creator), m_objectOffsets(5, 0)
{
    // Objects 1 to 4 are written last: the catalogue, the page tree, the
    // resources every page shares and the document's information.
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

PdfDocument::~PdfDocument()
{
    if (m_compressor)
        libdeflate_free_compressor(m_compressor);
}

int PdfDocument::newObject()
{
    m_objectOffsets.push_back(0);
    return int(m_objectOffsets.size()) - 1;
}

void PdfDocument::write(const QByteArray& bytes)
{
    m_out.write(bytes);
    m_offset += bytes.size();
}

void PdfDocument::beginObject(int number)
{
    m_objectOffsets[number] = m_offset;
    write(QByteArray::number(number) + " 0 obj\n");
}

void PdfDocument::writeStream(int number, const QByteArray& dictionary, QByteArrayView data,
                              qint64 plainLength)
{
    // The fastest level: a long report's pages are mostly text that packs
    // well anyway, and packing is most of the work left.
    if (!m_compressor)
        m_compressor = libdeflate_alloc_compressor(1);
    size_t packed = 0;
    if (m_compressor) {
        m_packed.resize(
            qsizetype(libdeflate_zlib_compress_bound(m_compressor, size_t(data.size()))));
        packed = libdeflate_zlib_compress(m_compressor, data.constData(), size_t(data.size()),
                                          m_packed.data(), size_t(m_packed.size()));
    }
    if (packed == 0)
        throw std::bad_alloc(); // no memory for the compressor; the bound always fits
    beginObject(number);
    QByteArray head =
        "<< " + dictionary + " /Filter /FlateDecode /Length " + QByteArray::number(quint64(packed));
    if (plainLength >= 0)
        head += " /Length1 " + QByteArray::number(plainLength);
    write(head + " >>\nstream\n");
    m_out.write(m_packed.constData(), qint64(packed));
    m_offset += qint64(packed);
    write("\nendstream\nendobj\n");
}

int PdfDocument::font(const QRawFont& font)
{
    // No font at all: the letters of a script that no installed font has,
    // which only a painter can show (as boxes).
    if (!font.isValid())
        throw PdfUnsupportedFont{};
    const double size = font.pixelSize();
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i]->pixelSize == size && m_fonts[i]->raw == font)
            return int(i);
    }
    m_fonts.push_back(
        std::make_unique<Font>(font, "F" + QByteArray::number(qsizetype(m_fonts.size()))));
    return int(m_fonts.size()) - 1;
}

double PdfDocument::advance(int font, quint32 glyph)
{
    return m_fonts[size_t(font)]->advance(glyph);
}

void PdfDocument::useGlyph(int font, quint32 glyph)
{
    Font& f = *m_fonts[size_t(font)];
    if (glyph < f.glyphCount)
        f.used[glyph] = true;
}

void PdfDocument::addPage(const QSize& sizePoints, QByteArrayView content)
{
    const int contents = newObject();
    writeStream(contents, QByteArray(), content);
    const int page = newObject();
    beginObject(page);
    write("<< /Type /Page /Parent 2 0 R /Resources 3 0 R /MediaBox [0 0 " +
          QByteArray::number(sizePoints.width()) + ' ' + QByteArray::number(sizePoints.height()) +
          "] /Contents " + QByteArray::number(contents) + " 0 R >>\nendobj\n");
    m_pages << page;
}

void PdfDocument::writeFont(Font& f)
{
    const int type0 = newObject(), cid = newObject(), descriptor = newObject(), file = newObject(),
              unicode = newObject();
    const double perMille = 1000.0 / f.unitsPerEm;

    // A subset's name starts with six capitals of its own.
    QByteArray usedBits;
    for (bool u : f.used)
        usedBits += u ? '1' : '0';
    size_t hash = qHash(usedBits, size_t(f.name.mid(1).toInt()));
    QByteArray tag;
    for (int i = 0; i < 6; ++i, hash /= 26)
        tag += char('A' + hash % 26);
    const QByteArray baseName = tag + '+' + postScriptName(f.names);

    QByteArray widths;
    for (quint32 g = 0; g < f.glyphCount; ++g) {
        if (!f.used[g])
            continue;
        widths += QByteArray::number(g) + " [";
        appendNumber(widths, f.advance(g) * 1000.0 / f.pixelSize, 6);
        widths += "] ";
    }

    beginObject(type0);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /" + baseName +
          " /Encoding /Identity-H /DescendantFonts [" + QByteArray::number(cid) +
          " 0 R] /ToUnicode " + QByteArray::number(unicode) + " 0 R >>\nendobj\n");
    beginObject(cid);
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + baseName +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
          " /FontDescriptor " +
          QByteArray::number(descriptor) + " 0 R /DW 0 /W [" + widths +
          "] /CIDToGIDMap /Identity >>\nendobj\n");

    const auto scaled = [&](qint32 v) {
        QByteArray out;
        appendNumber(out, v * perMille, 0);
        return out;
    };
    const qint32 italic = readS16(f.post, 4); // the whole degrees of a 16.16 number
    beginObject(descriptor);
    write("<< /Type /FontDescriptor /FontName /" + baseName + " /Flags " +
          QByteArray(italic != 0 ? "68" : "4") + " /FontBBox [" + scaled(readS16(f.head, 36)) +
          ' ' + scaled(readS16(f.head, 38)) + ' ' + scaled(readS16(f.head, 40)) + ' ' +
          scaled(readS16(f.head, 42)) + "] /ItalicAngle " + QByteArray::number(italic) +
          " /Ascent " + scaled(readS16(f.hhea, 4)) + " /Descent " + scaled(readS16(f.hhea, 6)) +
          " /CapHeight " + scaled(readS16(f.hhea, 4)) + " /StemV 80 /FontFile2 " +
          QByteArray::number(file) + " 0 R >>\nendobj\n");
    const QByteArray fontFile = f.subsetFile();
    writeStream(file, QByteArray(), fontFile, fontFile.size());

    const std::map<quint32, char32_t> chars = f.unicodeOfGlyphs();
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    auto it = chars.begin();
    while (it != chars.end()) {
        QByteArray block;
        int n = 0;
        for (; it != chars.end() && n < 100; ++it, ++n) {
            block += '<';
            appendHex4(block, it->first);
            block += "> <";
            appendHex4(block, it->second);
            block += ">\n";
        }
        cmap += QByteArray::number(n) + " beginbfchar\n" + block + "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    writeStream(unicode, QByteArray(), cmap);
}

namespace {

// A text string of the document information: UTF-16 with its byte order mark.
QByteArray infoText(const QString& text)
{
    QByteArray out = "<FEFF";
    for (QChar c : text)
        appendHex4(out, c.unicode());
    return out + '>';
}

} // namespace

void PdfDocument::finish()
{
    QByteArray fonts;
    for (const auto& f : m_fonts) {
        const int first = int(m_objectOffsets.size());
        writeFont(*f);
        fonts += '/' + f->name + ' ' + QByteArray::number(first) + " 0 R ";
    }
    beginObject(3);
    write("<< /ProcSet [/PDF /Text] /Font << " + fonts + ">> >>\nendobj\n");

    QByteArray kids;
    for (int p : std::as_const(m_pages))
        kids += QByteArray::number(p) + " 0 R ";
    beginObject(2);
    write("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(m_pages.size()) +
          " >>\nendobj\n");
    beginObject(1);
    write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    beginObject(4);
    write("<< /Creator " + infoText(m_creator) + " /Producer " + infoText(m_creator) +
          " /CreationDate (D:" + now.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
          "Z) >>\nendobj\n");

    const qint64 xref = m_offset;
    QByteArray index = "xref\n0 " + QByteArray::number(qsizetype(m_objectOffsets.size())) +
                       "\n0000000000 65535 f \n";
    char line[32];
    for (size_t n = 1; n < m_objectOffsets.size(); ++n) {
        std::snprintf(line, sizeof line, "%010lld 00000 n \n", (long long)m_objectOffsets[n]);
        index += line;
    }
    index += "trailer\n<< /Size " + QByteArray::number(qsizetype(m_objectOffsets.size())) +
             " /Root 1 0 R /Info 4 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    write(index);
}
