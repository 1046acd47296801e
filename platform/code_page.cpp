#include "platform/code_page.h"

#include <QHash>
#include <QLocale>

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <iterator>

namespace {

// Byte, code page, locale. Locales follow the language each row is named
// after (Russian rows 0x0419); 0x57 "ANSI" carries none.
const QList<LanguageDriver> kDrivers = {
    {0x01, 437, 0x0409},   {0x02, 850, 0x0409},   {0x03, 1252, 0x0809}, {0x04, 10000, 0x0409},
    {0x08, 865, 0x0406},   {0x09, 437, 0x0413},   {0x0A, 850, 0x0413},  {0x0B, 437, 0x040B},
    {0x0D, 437, 0x040C},   {0x0E, 850, 0x040C},   {0x0F, 437, 0x0407},  {0x10, 850, 0x0407},
    {0x11, 437, 0x0410},   {0x12, 850, 0x0410},   {0x13, 932, 0x0411},  {0x14, 850, 0x0C0A},
    {0x15, 437, 0x041D},   {0x16, 850, 0x041D},   {0x17, 865, 0x0414},  {0x18, 437, 0x0C0A},
    {0x19, 437, 0x0809},   {0x1A, 850, 0x0809},   {0x1B, 437, 0x0409},  {0x1C, 863, 0x0C0C},
    {0x1D, 850, 0x040C},   {0x1F, 852, 0x0405},   {0x22, 852, 0x040E},  {0x23, 852, 0x0415},
    {0x24, 860, 0x0816},   {0x25, 850, 0x0816},   {0x26, 866, 0x0419},  {0x37, 850, 0x0409},
    {0x40, 852, 0x0418},   {0x4D, 936, 0x0804},   {0x4E, 949, 0x0412},  {0x4F, 950, 0x0404},
    {0x50, 874, 0x041E},   {0x57, 1252, 0},       {0x58, 1252, 0x040C}, {0x59, 1252, 0x0C0A},
    {0x64, 852, 0x0405},   {0x65, 866, 0x0419},   {0x66, 865, 0x0414},  {0x67, 861, 0x040F},
    {0x68, 895, 0x0405},   {0x69, 620, 0x0415},   {0x6A, 737, 0x0408},  {0x6B, 857, 0x041F},
    {0x6C, 863, 0x0C0C},   {0x78, 950, 0x0404},   {0x79, 949, 0x0412},  {0x7A, 936, 0x0804},
    {0x7B, 932, 0x0411},   {0x7C, 874, 0x041E},   {0x7D, 1255, 0x040D}, {0x7E, 1256, 0x0401},
    {0x86, 737, 0x0408},   {0x87, 852, 0x0424},   {0x88, 857, 0x041F},  {0x96, 10007, 0x0419},
    {0x97, 10029, 0x0405}, {0x98, 10006, 0x0408}, {0xC8, 1250, 0x0405}, {0xC9, 1251, 0x0419},
    {0xCA, 1254, 0x041F},  {0xCB, 1253, 0x0408},  {0xCC, 1257, 0x0425}, {0xFF, 65001, 0},
};

QByteArray codecName(int codePage)
{
    if (codePage == 65001)
        return "UTF-8";
    if (codePage == 932)
        return "Shift_JIS";
    if (codePage == 936)
        return "GBK";
    if (codePage == 950)
        return "Big5";
    if (codePage == 949 || codePage == 874 || codePage >= 1250)
        return "windows-" + QByteArray::number(codePage);
    return "IBM" + QByteArray::number(codePage);
}

bool isDbaseRange(quint8 id)
{
    return id >= 0x05 && id <= 0x5D;
}

quint8 pickHighest(const QList<LanguageDriver>& rows)
{
    quint8 dbase = 0, fox = 0;
    for (const LanguageDriver& r : rows) {
        if (isDbaseRange(r.id))
            dbase = std::max(dbase, r.id);
        else
            fox = std::max(fox, r.id);
    }
    return dbase ? dbase : fox;
}

} // namespace

const QList<LanguageDriver>& languageDrivers()
{
    return kDrivers;
}

std::optional<LanguageDriver> findLanguageDriver(quint8 id)
{
    for (const LanguageDriver& r : kDrivers)
        if (r.id == id)
            return r;
    return std::nullopt;
}

int codePageOfLanguageDriver(quint8 id)
{
    const auto row = findLanguageDriver(id);
    return row ? row->codePage : 0;
}

quint8 selectLanguageDriver(int ansiCodePage, quint16 locale)
{
    QList<LanguageDriver> both, byLocale;
    for (const LanguageDriver& r : kDrivers) {
        if (r.locale != locale)
            continue;
        byLocale << r;
        if (r.codePage == ansiCodePage)
            both << r;
    }
    if (!both.isEmpty())
        return pickHighest(both);
    return pickHighest(byLocale);
}

int systemAnsiCodePage()
{
    switch (QLocale::system().language()) {
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Belarusian:
    case QLocale::Bulgarian:
    case QLocale::Serbian:
    case QLocale::Macedonian:
        return 1251;
    case QLocale::Polish:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Hungarian:
    case QLocale::Slovenian:
    case QLocale::Croatian:
    case QLocale::Romanian:
        return 1250;
    case QLocale::Greek:
        return 1253;
    case QLocale::Turkish:
        return 1254;
    default:
        return 1252;
    }
}

quint16 systemLocaleId()
{
    const QLocale l = QLocale::system();
    switch (l.language()) {
    case QLocale::Russian:
        return 0x0419;
    case QLocale::Ukrainian:
        return 0x0422;
    case QLocale::Belarusian:
        return 0x0423;
    case QLocale::German:
        return 0x0407;
    case QLocale::French:
        return l.territory() == QLocale::Canada ? 0x0C0C : 0x040C;
    case QLocale::Polish:
        return 0x0415;
    case QLocale::Czech:
        return 0x0405;
    case QLocale::Greek:
        return 0x0408;
    case QLocale::Turkish:
        return 0x041F;
    case QLocale::English:
        return l.territory() == QLocale::UnitedKingdom ? 0x0809 : 0x0409;
    default:
        return 0x0409;
    }
}

struct CodePageConverter::Codecs
{
    QStringDecoder decoder;
    QStringEncoder encoder;
    // Single-byte code pages convert through their 256-entry table, taken
    // once from the converter: exact, and fast enough to walk a whole table.
    bool singleByte = false;
    char16_t toUnicode[256] = {};
    QHash<char16_t, char> fromUnicode;
};

CodePageConverter::CodePageConverter(int codePage) : m_codePage(codePage)
{
    const QByteArray name = codecName(codePage);
    m_codecs = std::make_unique<Codecs>();
    m_codecs->decoder = QStringDecoder(name.constData());
    m_codecs->encoder = QStringEncoder(name.constData());
    static const int kMultiByte[] = {932, 936, 949, 950, 65001};
    if (!isValid() ||
        std::find(std::begin(kMultiByte), std::end(kMultiByte), codePage) != std::end(kMultiByte))
        return;
    for (int b = 0; b < 256; ++b) {
        m_codecs->decoder.resetState();
        const char byte = char(b);
        const QString u = m_codecs->decoder.decode(QByteArrayView(&byte, 1));
        if (m_codecs->decoder.hasError() || u.size() != 1)
            return; // not a single-byte code page after all: ICU does it all
        m_codecs->toUnicode[b] = u[0].unicode();
        if (b >= 0x80 && !m_codecs->fromUnicode.contains(u[0].unicode()))
            m_codecs->fromUnicode.insert(u[0].unicode(), byte);
    }
    m_codecs->singleByte = true;
}

CodePageConverter::~CodePageConverter() = default;

bool CodePageConverter::isValid() const
{
    return m_codecs->decoder.isValid() && m_codecs->encoder.isValid();
}

static bool isAscii(const char* p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
}

QString CodePageConverter::toUnicode(QByteArrayView bytes) const
{
    if (isAscii(bytes.data(), bytes.size()))
        return QString::fromLatin1(bytes.data(), bytes.size());
    if (!isValid())
        return QString::fromLatin1(bytes.data(), bytes.size());
    if (m_codecs->singleByte) {
        QString out(bytes.size(), Qt::Uninitialized);
        char16_t* o = reinterpret_cast<char16_t*>(out.data());
        for (qsizetype i = 0; i < bytes.size(); ++i)
            o[i] = m_codecs->toUnicode[quint8(bytes[i])];
        return out;
    }
    // A fresh state per call: one field's bytes never affect the next.
    m_codecs->decoder.resetState();
    return m_codecs->decoder.decode(bytes);
}

std::optional<QByteArray> CodePageConverter::fromUnicode(QStringView text) const
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLatin1();
    if (!isValid())
        return std::nullopt;
    if (m_codecs->singleByte) {
        QByteArray out(text.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c < 0x80) {
                out[i] = char(c);
                continue;
            }
            const auto it = m_codecs->fromUnicode.constFind(c);
            if (it == m_codecs->fromUnicode.cend())
                return std::nullopt;
            out[i] = *it;
        }
        return out;
    }
    QStringEncoder& e = m_codecs->encoder;
    e.resetState();
    QByteArray out = e.encode(text);
    if (e.hasError())
        return std::nullopt;
    // Some converters put a substitute byte in silently (IBM850 writes 0x7F
    // for a Cyrillic letter): only a text that comes back unchanged is kept.
    if (toUnicode(out) != text)
        return std::nullopt;
    return out;
}

bool isCodePageInstalled(int codePage)
{
    return codePage != 0 && CodePageConverter(codePage).isValid();
}
