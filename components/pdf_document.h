#pragma once

// A PDF file written page by page: each page's content stream is packed and
// written as soon as the page is done, so memory stays flat however many
// pages there are. The text fonts are TrueType fonts embedded as subsets
// (only the glyphs used) with their Unicode map, so that the text can be
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

// A font that cannot be embedded here: not a TrueType outline font, or none
// at all.
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

    // The number of `font` at its pixel size, registered on first use; its
    // resource name is "F<number>". The glyphs named in content streams
    // must be told with useGlyph(). Throws PdfUnsupportedFont.
    int font(const QRawFont& font);
    // The advance of `glyph` that a PDF reader uses, in the font's pixels.
    double advance(int font, quint32 glyph);
    void useGlyph(int font, quint32 glyph);

    // Adds a page of `sizePoints` with `content`.
    void addPage(const QSize& sizePoints, QByteArrayView content);
    // Writes the fonts, the page tree and the file's index.
    void finish();

private:
    struct Font;
    int newObject();
    void beginObject(int number);
    void writeStream(int number, const QByteArray& dictionary, QByteArrayView data,
                     qint64 plainLength = -1);
    void write(const QByteArray& bytes);
    void writeFont(Font& font);

    QIODevice& m_out;
    QString m_creator;
    qint64 m_offset = 0;
    std::vector<qint64> m_objectOffsets; // by object number; 0: not written
    QList<int> m_pages;
    std::vector<std::unique_ptr<Font>> m_fonts;
    QByteArray m_packed; // reused for every stream
    libdeflate_compressor* m_compressor = nullptr;
};
