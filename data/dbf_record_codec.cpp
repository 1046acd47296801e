#include "data/dbf_record_codec.h"

#include "platform/app_error.h"
#include "platform/code_page.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace {

bool isIntegerKind(DbfField::Kind k)
{
    return k == DbfField::Kind::SmallInt || k == DbfField::Kind::Integer ||
           k == DbfField::Kind::LargeInt;
}

// Integer text as stored: blanks around, an optional sign that may be
// separated from the digits by blanks ("-  5"). Anything else reads as 0.
qint64 parseStoredInteger(const char* p, int n)
{
    int i = 0;
    while (i < n && p[i] == ' ')
        ++i;
    bool neg = false;
    if (i < n && (p[i] == '-' || p[i] == '+')) {
        neg = p[i] == '-';
        ++i;
        while (i < n && p[i] == ' ')
            ++i;
    }
    if (i >= n || p[i] < '0' || p[i] > '9')
        return 0;
    qint64 v = 0;
    for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
        if (v > (std::numeric_limits<qint64>::max() - 9) / 10)
            return 0;
        v = v * 10 + (p[i] - '0');
    }
    while (i < n && p[i] == ' ')
        ++i;
    if (i != n)
        return 0;
    return neg ? -v : v;
}

bool blank(const char* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i] != ' ')
            return false;
    return true;
}

const QString kDoesNotFit = QStringLiteral("Value %s does not fit field '%s' of %d characters");

} // namespace

DbfRecordCodec::DbfRecordCodec() = default;
DbfRecordCodec::~DbfRecordCodec() = default;

bool DbfRecordCodec::setLanguageDriver(quint8 languageDriver)
{
    m_codePage = codePageOfLanguageDriver(languageDriver);
    if (m_codePage == 0)
        m_codePage = systemAnsiCodePage();
    m_converter = std::make_unique<CodePageConverter>(m_codePage);
    if (!m_converter->isValid())
        m_converter.reset();
    return canConvert();
}

void DbfRecordCodec::reset()
{
    m_converter.reset();
    m_codePage = 0;
}

QString DbfRecordCodec::decodeText(const char* p, int n) const
{
    return m_converter ? m_converter->toUnicode(QByteArrayView(p, n)) : QString::fromLatin1(p, n);
}

QVariant DbfRecordCodec::decode(const char* rec, const DbfField& f) const
{
    const char* p = rec + f.offset;
    int n = f.length;
    if (isIntegerKind(f.kind)) {
        if (blank(p, n))
            return {};
        const qint64 v = parseStoredInteger(p, n);
        if (f.kind == DbfField::Kind::SmallInt && (v < -32768 || v > 32767))
            throw RangeError();
        return QVariant::fromValue<qint64>(v);
    }
    if (f.kind == DbfField::Kind::Float) {
        if (blank(p, n))
            return {};
        bool ok = false;
        const double v = QByteArray(p, n).trimmed().toDouble(&ok);
        return ok ? v : 0.0;
    }
    // Text: trailing blanks (and the NUL padding of some writers) go,
    // leading blanks stay.
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
        --n;
    if (n == 0)
        return {};
    return decodeText(p, n);
}

bool DbfRecordCodec::readNumber(const char* rec, const DbfField& f, const RegionalSettings& rs,
                                double& v) const
{
    // One pass from the left: blanks, a sign, digits, one separator, digits,
    // then nothing but blanks (and the NUL padding of some writers). Exact,
    // since both the digits (up to 15) and the power of ten are exact doubles.
    // Anything else takes the general conversion, which decides.
    const char* s = rec + f.offset;
    const char* const end = s + f.length;
    while (s < end && *s == ' ')
        ++s;
    const char sep = rs.decimalSeparator.unicode() < 0x80 ? char(rs.decimalSeparator.unicode()) : 0;
    const char* q = s;
    const bool neg = q < end && *q == '-';
    q += q < end && (*q == '-' || *q == '+');
    const char* const digitsFrom = q;
    quint64 mantissa = 0; // unsigned: a long text wraps harmlessly before it is refused
    for (unsigned d; q < end && (d = unsigned(*q) - '0') < 10; ++q)
        mantissa = mantissa * 10 + d;
    qsizetype digits = q - digitsFrom, fraction = 0;
    if (sep && q < end && *q == sep) {
        const char* const fractionFrom = ++q;
        for (unsigned d; q < end && (d = unsigned(*q) - '0') < 10; ++q)
            mantissa = mantissa * 10 + d;
        fraction = q - fractionFrom;
        digits += fraction;
    }
    const char* t = q;
    while (t < end && (*t == ' ' || *t == '\0'))
        ++t;
    if (t == end) {
        if (q == s)
            return false; // blank
        if (digits > 0 && digits <= 15) {
            static constexpr double kPow10[] = {1,   1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
            // The sign goes in as a bit: a branch on it mispredicts row by row
            // where readings cross zero. The quotient is never negative, so
            // setting the bit is negation (of a zero too: "-0" stays -0).
            v = std::bit_cast<double>(
                std::bit_cast<quint64>(double(qint64(mantissa)) / kPow10[fraction]) | quint64(neg)
                                                                                          << 63);
            return true;
        }
    }
    const char* e = end;
    while (e > s && (e[-1] == ' ' || e[-1] == '\0'))
        --e;
    v = textToFloat(decodeText(s, int(e - s)), rs);
    return true;
}

void DbfRecordCodec::encodeInteger(char* rec, const DbfField& f, std::optional<qint64> v) const
{
    char* p = rec + f.offset;
    std::memset(p, ' ', f.length);
    if (!v)
        return;
    QByteArray text;
    if (f.kind == DbfField::Kind::Float) {
        text = QByteArray::number(double(*v), 'f', f.decimals);
        if (text.size() > f.length)
            throw AppError::format(kDoesNotFit,
                                   {QString::number(*v), f.name, QString::number(f.length)});
        std::memcpy(p + f.length - text.size(), text.constData(), text.size());
        return;
    }
    if (f.kind == DbfField::Kind::Character || f.kind == DbfField::Kind::Other) {
        encodeText(rec, f, QString::number(*v));
        return;
    }
    const bool neg = *v < 0;
    const quint64 mag = neg ? quint64(0) - quint64(*v) : quint64(*v);
    const QByteArray digits = QByteArray::number(mag);
    // Never store a different number: a value wider than the field is refused.
    if (digits.size() + (neg ? 1 : 0) > f.length)
        throw AppError::format(kDoesNotFit,
                               {QString::number(*v), f.name, QString::number(f.length)});
    // Right-aligned with the sign next to the digits ("  -5"). The form
    // with the sign in the first byte ("-  5") reads back here too, but
    // other dBase readers take it for 0 or fail on it.
    std::memcpy(p + f.length - digits.size(), digits.constData(), digits.size());
    if (neg)
        p[f.length - digits.size() - 1] = '-';
}

void DbfRecordCodec::encodeText(char* rec, const DbfField& f, const QString& text) const
{
    char* p = rec + f.offset;
    if (isIntegerKind(f.kind) || f.kind == DbfField::Kind::Float) {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            encodeInteger(rec, f, std::nullopt);
            return;
        }
        if (f.kind == DbfField::Kind::Float) {
            bool ok = false;
            const double d = t.toDouble(&ok);
            if (!ok)
                throw AppError::format(QStringLiteral("'%s' is not a valid floating point value"),
                                       {text});
            const QByteArray b = QByteArray::number(d, 'f', f.decimals);
            if (b.size() > f.length)
                throw AppError::format(kDoesNotFit, {t, f.name, QString::number(f.length)});
            std::memset(p, ' ', f.length);
            std::memcpy(p + f.length - b.size(), b.constData(), b.size());
            return;
        }
        bool ok = false;
        const qint64 v = t.toLongLong(&ok);
        if (!ok)
            throw AppError::format(QStringLiteral("'%s' is not a valid integer value"), {text});
        encodeInteger(rec, f, v);
        return;
    }
    std::optional<QByteArray> bytes =
        m_converter ? m_converter->fromUnicode(text) : std::optional<QByteArray>(text.toLatin1());
    if (!bytes)
        throw AppError::format(
            QStringLiteral("The text '%s' cannot be stored in field '%s': code page %d has "
                           "no characters for it"),
            {text, f.name, QString::number(m_codePage)});
    // A longer text is cut to the field length, at a character boundary.
    QString cut = text;
    while (bytes->size() > f.length && !cut.isEmpty()) {
        cut.chop(1);
        if (!cut.isEmpty() && cut.back().isLowSurrogate())
            cut.chop(1);
        bytes = m_converter ? m_converter->fromUnicode(cut) : cut.toLatin1();
    }
    std::memset(p, ' ', f.length);
    std::memcpy(p, bytes->constData(), std::min<qsizetype>(bytes->size(), f.length));
}
