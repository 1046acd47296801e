#pragma once

// A PDF file written page by page: each page's content stream is packed and
// written as soon as the page is done, so memory stays flat however many
// pages there are. Each font face (TrueType or CFF outlines) is embedded once
// whatever its sizes, as a subset of the glyphs used (HarfBuzz's subsetter,
// glyph numbers kept), unless its licence forbids it, with a map from its
// glyphs to the characters they were drawn for, so that the text can be
// searched and copied. Vector pages only: frames and text.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QRawFont>
#include <QSize>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QIODevice;
struct libdeflate_compressor;

// A font that this writer cannot draw as the painter does: none at all,
// outlines other than TrueType or CFF, or a face the painter makes bold or
// slanted itself (the family has no such face).
struct PdfUnsupportedFont
{
};

// A page's content stream, built operator by operator; its coordinates are
// those of the page as the stream's own "cm" operators set them up.
class PdfContent
{
public:
    QByteArrayView bytes() const
    {
        return QByteArrayView(m_bytes.data(), qsizetype(m_bytes.size()));
    }
    void clear() { m_bytes.clear(); } // keeps the room for the next page

    // An operator or a literal piece.
    template <qsizetype N>
    PdfContent& op(const char (&text)[N])
    {
        m_bytes.append(text, N - 1);
        return *this;
    }
    PdfContent& op(QByteArrayView text)
    {
        m_bytes.append(text.data(), size_t(text.size()));
        return *this;
    }
    // Followed by a space; plain decimals, at most `decimals` of them.
    PdfContent& number(double v, int decimals = 4);
    PdfContent& hexGlyph(quint32 glyph);

private:
    std::string m_bytes; // appends cost less than a QByteArray's
};

class PdfDocument
{
public:
    // Writes the file's header to `out`; nothing else is written until
    // the first page is added.
    PdfDocument(QIODevice& out, const QString& creator);
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // The number of `font` at its pixel size, registered on first use. The
    // glyphs named in content streams must be told with useGlyph(). Throws
    // PdfUnsupportedFont.
    int font(const QRawFont& font);
    // The font's resource name, as "/F<number>". All sizes of a face
    // share one font program.
    QByteArrayView resource(int font) const;
    // The advance of `glyph` as the painter places glyphs, in the font's
    // pixels.
    double advance(int font, quint32 glyph);
    // `glyph` is drawn for the characters `text` (a whole cluster; null:
    // not known here). The first characters told for a glyph are its text.
    void useGlyph(int font, quint32 glyph, QStringView text = {});
    // Whether the font's face is embedded. One whose licence forbids it is
    // named only: its glyphs must be drawn as outlines, and text in it is
    // for search and copy alone (rendering mode 3).
    bool embedded(int font) const;
    // Whether the text of `glyph` is settled: told, or marked unknowable.
    bool knowsText(int font, quint32 glyph) const;
    // The glyphs of `font` drawn so far whose text is not known get none:
    // U+FFFD unless later told.
    void giveUpUnknownTexts(int font);

    // Adds a page of `sizePoints` with `content`.
    void addPage(const QSize& sizePoints, QByteArrayView content);
    // Writes the fonts, the page tree and the file's index.
    void finish();

private:
    struct Face;
    struct Sized;
    int newObject();
    void beginObject(int number);
    void writeStream(int number, const QByteArray& dictionary, QByteArrayView data,
                     qint64 plainLength = -1);
    void write(const QByteArray& bytes);
    void writeFont(Face& face);
    void writeSize(Sized& size);

    QIODevice& m_out;
    QString m_creator;
    qint64 m_offset = 0;
    std::vector<qint64> m_objectOffsets; // by object number; 0: not written
    QList<int> m_pages;
    std::vector<std::unique_ptr<Face>> m_faces;
    std::vector<Sized> m_sizes; // by font number
    bool m_openType = false;    // a face's program is an OpenType file (PDF 1.6)
    QByteArray m_packed;        // reused for every stream
    libdeflate_compressor* m_compressor = nullptr;
};
