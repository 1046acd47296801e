#include "components/pdf_document.h"

#include <QDateTime>
#include <QHash>
#include <QIODevice>

#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

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

// --- font faces ---

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

quint32 tag(const char (&name)[5])
{
    return quint32(uchar(name[0])) << 24 | quint32(uchar(name[1])) << 16 |
           quint32(uchar(name[2])) << 8 | uchar(name[3]);
}

// The tables a face's program needs in a PDF file: outlines, metrics and the
// few that describe the face. Glyph substitutions and positions are the
// layout's business and are done by the time a glyph is drawn.
const char* const kTrueTypeTables[] = {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cvt ",
                                       "fpgm", "prep", "OS/2", "name", "post", "cmap"};
const char* const kCffTables[] = {"CFF ", "head", "hhea", "maxp", "hmtx",
                                  "OS/2", "name", "post", "cmap"};

// A name as PDF may carry it: printable ASCII without delimiters.
QByteArray pdfName(const QByteArray& text)
{
    QByteArray clean;
    for (char c : text) {
        if (c > 0x20 && c < 0x7F && !QByteArray("()<>[]{}/%#").contains(c))
            clean += c;
    }
    return clean.isEmpty() ? QByteArray("Font") : clean;
}

struct HbBlob
{
    hb_blob_t* blob;
    explicit HbBlob(hb_blob_t* b) : blob(b) {}
    ~HbBlob() { hb_blob_destroy(blob); }
    HbBlob(const HbBlob&) = delete;
    HbBlob& operator=(const HbBlob&) = delete;
    QByteArray bytes() const
    {
        unsigned length = 0;
        const char* data = hb_blob_get_data(blob, &length);
        return QByteArray(data, qsizetype(length));
    }
};

// A font file of the named tables that the face has; HarfBuzz's face
// builder writes the table directory with its order, padding and checksums.
QByteArray fontFile(const QRawFont& raw, bool cff)
{
    hb_face_t* builder = hb_face_builder_create();
    const auto take = [&](const char* name) {
        const QByteArray data = raw.fontTable(name);
        if (data.isEmpty())
            return;
        hb_blob_t* blob = hb_blob_create(data.constData(), unsigned(data.size()),
                                         HB_MEMORY_MODE_DUPLICATE, nullptr, nullptr);
        hb_face_builder_add_table(builder, hb_tag_from_string(name, 4), blob);
        hb_blob_destroy(blob);
    };
    if (cff) {
        for (const char* name : kCffTables)
            take(name);
    } else {
        for (const char* name : kTrueTypeTables)
            take(name);
    }
    const HbBlob file(hb_face_reference_blob(builder));
    hb_face_destroy(builder);
    return file.bytes();
}

} // namespace

struct PdfDocument::Face
{
    QByteArray key;  // the face's header and names: the same face at any size
    int number = 0;  // in the order first used
    int program = 0; // the objects its sizes share: descriptor, program, text map
    int descriptor = 0;
    int unicode = 0;
    QByteArray baseName;
    QByteArray file; // the face's program as HarfBuzz reads it
    bool cff = false;
    bool embedded = true; // its licence lets it be embedded
    bool whole = false;   // its licence forbids subsetting
    hb_face_t* face = nullptr;
    quint32 glyphCount = 0;
    int unitsPerEm = 1000;
    enum Text : quint8
    {
        Unknown,
        Unknowable, // U+FFFD unless told later
        Told
    };
    std::vector<bool> used;
    std::vector<Text> state;
    std::vector<QString> texts;

    Face(const QRawFont& raw, QByteArray faceKey, int faceNumber)
        : key(std::move(faceKey)), number(faceNumber)
    {
        cff = !raw.fontTable("CFF ").isEmpty();
        if (!cff && (raw.fontTable("glyf").isEmpty() || raw.fontTable("loca").isEmpty()))
            throw PdfUnsupportedFont{}; // bitmaps, CFF2 variations, Type 1
        // Embedding rights: restricted-licence embedding (unless a less
        // restrictive bit is set too) and bitmap-only embedding forbid
        // embedding the outlines; no subsetting asks for the whole face.
        const quint32 fsType = readU16(raw.fontTable("OS/2"), 8);
        embedded = (fsType & 0x000F) != 0x0002 && !(fsType & 0x0200);
        whole = fsType & 0x0100;
        file = fontFile(raw, cff);
        hb_blob_t* blob = hb_blob_create(file.constData(), unsigned(file.size()),
                                         HB_MEMORY_MODE_READONLY, nullptr, nullptr);
        face = hb_face_create(blob, 0);
        hb_blob_destroy(blob);
        glyphCount = hb_face_get_glyph_count(face);
        unitsPerEm = int(hb_face_get_upem(face));
        if (glyphCount == 0 || unitsPerEm <= 0 || raw.fontTable("head").size() < 54) {
            release();
            throw PdfUnsupportedFont{};
        }
        used.assign(glyphCount, false);
        used[0] = true; // .notdef: every font has it first
        state.assign(glyphCount, Unknown);
        texts.resize(glyphCount);
    }
    ~Face() { release(); }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;
    void release()
    {
        hb_face_destroy(face);
        face = nullptr;
    }

    // The face's program with the glyphs used, glyph numbers kept: the
    // content streams name the face's own glyph numbers.
    QByteArray subset() const
    {
        if (whole)
            return file;
        hb_subset_input_t* input = hb_subset_input_create_or_fail();
        if (!input)
            throw std::bad_alloc();
        hb_set_t* glyphs = hb_subset_input_glyph_set(input);
        for (quint32 g = 0; g < glyphCount; ++g) {
            if (used[g])
                hb_set_add(glyphs, g);
        }
        // No hinting: the report's texts are laid out unhinted, and readers
        // draw them so; the instructions are half of a glyph's bytes.
        hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING);
        // A TrueType program inside a PDF file is reached by glyph number
        // alone; an OpenType one keeps the tables that make it whole.
        if (!cff) {
            hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
            for (const char* name : {"name", "post", "cmap", "OS/2"})
                hb_set_add(drop, hb_tag_from_string(name, 4));
        }
        hb_face_t* result = hb_subset_or_fail(face, input);
        hb_subset_input_destroy(input);
        if (!result)
            return file; // HarfBuzz cannot subset it: the face as it is
        const HbBlob blob(hb_face_reference_blob(result));
        hb_face_destroy(result);
        return blob.bytes();
    }

    QByteArray table(const char (&name)[5]) const
    {
        const HbBlob blob(hb_face_reference_table(face, tag(name)));
        return blob.bytes();
    }

    QByteArray postScriptName() const
    {
        char name[128];
        unsigned size = sizeof name;
        if (hb_ot_name_get_utf8(face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &size,
                                name) == 0)
            return pdfName({});
        return pdfName(QByteArray(name, qsizetype(size)));
    }
};

// A face at one pixel size, with the advances the painter places its glyphs by.
struct PdfDocument::Sized
{
    QRawFont raw;
    double pixelSize = 0;
    Face* face = nullptr;
    QByteArray resource;          // "/F<number>"
    std::vector<double> advances; // per glyph, in pixels; NaN until asked
    std::vector<bool> used;

    double advance(quint32 glyph)
    {
        if (glyph >= advances.size())
            return 0;
        double& a = advances[glyph];
        if (std::isnan(a))
            a = raw.advancesForGlyphIndexes({glyph}, QRawFont::UseDesignMetrics).value(0).x();
        return a;
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
    for (size_t i = 0; i < m_sizes.size(); ++i) {
        if (m_sizes[i].pixelSize == size && m_sizes[i].raw == font)
            return int(i);
    }
    const QByteArray head = font.fontTable("head"), os2 = font.fontTable("OS/2");
    // The painter draws a bold or slanted face that the family does not
    // have by thickening or slanting the one it has (the face's style as
    // FreeType tells it: the OS/2 selection bits, else the header's).
    const quint32 selection = readU16(os2, 62), macStyle = readU16(head, 44);
    const bool bold = os2.size() >= 64 ? (selection & 0x20) : (macStyle & 1);
    const bool italic = os2.size() >= 64 ? (selection & 0x201) : (macStyle & 2);
    if ((font.weight() >= QFont::Bold && !bold) || (font.style() != QFont::StyleNormal && !italic))
        throw PdfUnsupportedFont{};
    // Another size of a face already here shares its program. The header
    // (with its checksum of the whole file and its dates) and the names
    // tell faces apart.
    const QByteArray key = head + font.fontTable("name");
    Face* face = nullptr;
    for (const auto& f : m_faces) {
        if (f->key == key)
            face = f.get();
    }
    if (!face) {
        m_faces.push_back(std::make_unique<Face>(font, key, int(m_faces.size())));
        face = m_faces.back().get();
    }
    m_sizes.push_back(Sized{font, size, face, "/F" + QByteArray::number(qsizetype(m_sizes.size())),
                            std::vector<double>(face->glyphCount, std::nan("")),
                            std::vector<bool>(face->glyphCount, false)});
    return int(m_sizes.size()) - 1;
}

QByteArrayView PdfDocument::resource(int font) const
{
    return m_sizes[size_t(font)].resource;
}

double PdfDocument::advance(int font, quint32 glyph)
{
    return m_sizes[size_t(font)].advance(glyph);
}

void PdfDocument::useGlyph(int font, quint32 glyph, QStringView text)
{
    Sized& sized = m_sizes[size_t(font)];
    Face& f = *sized.face;
    if (glyph >= f.glyphCount)
        return;
    sized.used[glyph] = true;
    f.used[glyph] = true;
    if (!text.isNull() && f.state[glyph] != Face::Told) {
        f.state[glyph] = Face::Told;
        f.texts[glyph] = text.toString();
    }
}

bool PdfDocument::embedded(int font) const
{
    return m_sizes[size_t(font)].face->embedded;
}

bool PdfDocument::knowsText(int font, quint32 glyph) const
{
    const Face& f = *m_sizes[size_t(font)].face;
    return glyph >= f.glyphCount || f.state[glyph] != Face::Unknown;
}

void PdfDocument::giveUpUnknownTexts(int font)
{
    Face& f = *m_sizes[size_t(font)].face;
    for (quint32 g = 0; g < f.glyphCount; ++g) {
        if (f.used[g] && f.state[g] == Face::Unknown)
            f.state[g] = Face::Unknowable;
    }
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

void PdfDocument::writeFont(Face& f)
{
    f.descriptor = newObject();
    f.program = f.embedded ? newObject() : 0;
    f.unicode = newObject();
    const double perMille = 1000.0 / f.unitsPerEm;

    // A subset's name starts with six capitals of its own.
    QByteArray usedBits;
    for (bool u : f.used)
        usedBits += u ? '1' : '0';
    size_t hash = qHash(usedBits, size_t(f.number));
    QByteArray tag;
    for (int i = 0; i < 6; ++i, hash /= 26)
        tag += char('A' + hash % 26);
    f.baseName = (f.whole || !f.embedded ? QByteArray() : tag + '+') + f.postScriptName();

    const QByteArray head = f.table("head"), hhea = f.table("hhea"), os2 = f.table("OS/2"),
                     post = f.table("post");
    const auto scaled = [&](qint32 v) {
        QByteArray out;
        appendNumber(out, v * perMille, 0);
        return out;
    };
    const qint32 italic = readS16(post, 4); // the whole degrees of a 16.16 number
    const qint32 ascent = readS16(hhea, 4);
    const qint32 capHeight = readU16(os2, 0) >= 2 && os2.size() >= 90 ? readS16(os2, 88) : ascent;
    beginObject(f.descriptor);
    write("<< /Type /FontDescriptor /FontName /" + f.baseName + " /Flags " +
          QByteArray(italic != 0 ? "68" : "4") + " /FontBBox [" + scaled(readS16(head, 36)) + ' ' +
          scaled(readS16(head, 38)) + ' ' + scaled(readS16(head, 40)) + ' ' +
          scaled(readS16(head, 42)) + "] /ItalicAngle " + QByteArray::number(italic) + " /Ascent " +
          scaled(ascent) + " /Descent " + scaled(readS16(hhea, 6)) + " /CapHeight " +
          scaled(capHeight) + " /StemV 80" +
          (f.embedded ? QByteArray(f.cff ? " /FontFile3 " : " /FontFile2 ") +
                            QByteArray::number(f.program) + " 0 R"
                      : QByteArray()) +
          " >>\nendobj\n");
    if (f.embedded) {
        const QByteArray program = f.subset();
        if (f.cff) {
            m_openType = true;
            writeStream(f.program, "/Subtype /OpenType", program);
        } else {
            writeStream(f.program, QByteArray(), program, program.size());
        }
    }

    // The characters each glyph was drawn for; U+FFFD for a glyph whose
    // characters are not known (such as the second glyph of a cluster).
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    QByteArray block;
    int n = 0;
    const auto flush = [&] {
        if (n > 0)
            cmap += QByteArray::number(n) + " beginbfchar\n" + block + "endbfchar\n";
        block.clear();
        n = 0;
    };
    for (quint32 g = 0; g < f.glyphCount; ++g) {
        if (!f.used[g] || (g == 0 && f.state[g] != Face::Told))
            continue;
        QStringView text = f.texts[g];
        if (f.state[g] != Face::Told || text.isEmpty())
            text = u"\uFFFD";
        text = text.left(256); // what one entry may hold (512 bytes)
        block += '<';
        appendHex4(block, g);
        block += "> <";
        for (QChar c : text)
            appendHex4(block, c.unicode());
        block += ">\n";
        if (++n == 100)
            flush();
    }
    flush();
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    writeStream(f.unicode, QByteArray(), cmap);
}

// A size of a face: its own widths (as the painter places the glyphs at that
// size), the face's program and text map.
void PdfDocument::writeSize(Sized& s)
{
    const Face& f = *s.face;
    const int type0 = newObject(), cid = newObject();
    QByteArray widths;
    for (quint32 g = 0; g < f.glyphCount; ++g) {
        if (!s.used[g])
            continue;
        widths += QByteArray::number(g) + " [";
        appendNumber(widths, s.advance(g) * 1000.0 / s.pixelSize, 6);
        widths += "] ";
    }
    beginObject(type0);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /" + f.baseName +
          " /Encoding /Identity-H /DescendantFonts [" + QByteArray::number(cid) +
          " 0 R] /ToUnicode " + QByteArray::number(f.unicode) + " 0 R >>\nendobj\n");
    beginObject(cid);
    // A CFF face's glyphs are chosen by glyph number: its character
    // identifiers are the glyph numbers when it is not CID-keyed, and the
    // subset keeps them.
    write("<< /Type /Font /Subtype " + QByteArray(f.cff ? "/CIDFontType0" : "/CIDFontType2") +
          " /BaseFont /" + f.baseName +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
          " /FontDescriptor " +
          QByteArray::number(f.descriptor) + " 0 R /DW 0 /W [" + widths + ']' +
          QByteArray(f.cff ? "" : " /CIDToGIDMap /Identity") + " >>\nendobj\n");
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
    for (const auto& f : m_faces)
        writeFont(*f);
    QByteArray fonts;
    for (Sized& s : m_sizes) {
        fonts += s.resource + ' ' + QByteArray::number(qsizetype(m_objectOffsets.size())) + " 0 R ";
        writeSize(s);
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
    // An OpenType font program is PDF 1.6; the file's header says 1.4,
    // the catalogue says more where it must.
    write("<< /Type /Catalog /Pages 2 0 R" + QByteArray(m_openType ? " /Version /1.6" : "") +
          " >>\nendobj\n");
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
