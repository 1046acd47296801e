#include "data/sort_key.h"

#include <QDate>
#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace {

// A byte string that sorts like the number the BCD key stands for when compared
// with memcmp: negatives first (exponent and digits inverted), then zero, then
// the positives by exponent and digits.
std::array<quint8, 12> comparableNumber(QByteArrayView bcd)
{
    std::array<quint8, 12> out{};
    if (bcd.size() < kNumericKeyLength)
        return out;
    const auto* b = reinterpret_cast<const quint8*>(bcd.data());
    const int digitCount = (b[1] >> 2) & 0x1F;
    const bool negative = b[1] & 0x80;
    if (digitCount == 0) {
        out[0] = 1;
        return out;
    }
    out[0] = negative ? 0 : 2;
    out[1] = negative ? quint8(255 - b[0]) : b[0];
    for (int i = 2; i < 12; ++i)
        out[i] = negative ? quint8(255 - b[i]) : b[i];
    return out;
}

} // namespace

namespace {

enum class NumberSyntax
{
    Field, // a numeric field: the whole text is the number, the point a point
    Val    // VAL: a comma is a point too, and reading stops at the first other character
};

// Writes the 12-byte BCD key of the number in `text` to `out`.
void writeNumericKey(QByteArrayView text, char* out, NumberSyntax syntax)
{
    std::memset(out, 0, kNumericKeyLength);
    out[0] = char(0x34);
    out[1] = char(0x01);

    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Significant digits only: at most 20 are kept, so fixed room suffices.
    char digits[20];
    int count = 0;    // significant digits kept
    int exponent = 0; // digits before the point, less leading zeros
    int trailing = 0; // zeros after the last non-zero digit (kept in integers)
    bool any = false, point = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if ((c == '.' || (c == ',' && syntax == NumberSyntax::Val)) && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        any = true;
        if (c == '0' && count == 0) {
            if (point)
                --exponent; // 0.05: a zero right after the point
            continue;
        }
        if (!point)
            ++exponent;
        if (count < 20)
            digits[count++] = c;
        trailing = c == '0' ? trailing + 1 : 0;
    }
    while (syntax == NumberSyntax::Field && i < n && text[i] == ' ')
        ++i;
    if ((syntax == NumberSyntax::Field && i != n) || !any || count == 0)
        return; // blank, not a number, or zero
    // Zeros at the end of the fraction are dropped; those of the integer part stay.
    const int fractionDigits = std::max(0, count - std::max(exponent, 0));
    count -= std::min(trailing, fractionDigits);
    exponent = std::clamp(exponent, -0x34, 0xFF - 0x34);

    out[0] = char(0x34 + exponent);
    out[1] = char((negative ? 0x80 : 0) | (count << 2) | 0x01);
    for (int d = 0; d < count; ++d) {
        const int nibble = digits[d] - '0';
        out[2 + d / 2] = char(quint8(out[2 + d / 2]) | (d % 2 == 0 ? nibble << 4 : nibble));
    }
}

// The Julian day number of a calendar date, 0 (the blank date) when there is none.
void writeDateKey(int year, int month, int day, char* out)
{
    const QDate date(year, month, day);
    const double julian = date.isValid() ? double(date.toJulianDay()) : 0.0;
    quint64 bits;
    static_assert(sizeof bits == sizeof julian);
    std::memcpy(&bits, &julian, sizeof bits);
    qToLittleEndian(bits, out);
}

double julianOf(QByteArrayView key)
{
    if (key.size() < kDateKeyLength)
        return 0.0;
    const quint64 bits = qFromLittleEndian<quint64>(key.data());
    double julian;
    std::memcpy(&julian, &bits, sizeof julian);
    return julian;
}

// CTOD: three runs of digits with one other character between them.
void writeTextDateKey(QByteArrayView text, char* out)
{
    int part[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    int p = 0;
    for (; i < n && p < 3; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (digits[p] < 4)
                part[p] = part[p] * 10 + (c - '0');
            ++digits[p];
        } else if (digits[p] > 0 && c != ' ' && p < 2) {
            ++p;
        } else {
            break;
        }
    }
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n || digits[0] == 0 || digits[1] == 0 || digits[2] == 0 || digits[0] > 4 ||
        digits[1] > 2 || digits[2] > 4) {
        writeDateKey(0, 0, 0, out);
        return;
    }
    if (digits[0] == 4)
        writeDateKey(part[0], part[1], part[2], out);
    else
        writeDateKey(part[2] < 100 && digits[2] <= 2 ? 1900 + part[2] : part[2], part[1], part[0],
                     out);
}

void writeStoredDateKey(QByteArrayView text, char* out)
{
    int v[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    qsizetype at = 0;
    for (int p = 0; p < 3; ++p)
        for (int k = 0; k < widths[p]; ++k, ++at) {
            if (at >= text.size() || text[at] < '0' || text[at] > '9') {
                writeDateKey(0, 0, 0, out);
                return;
            }
            v[p] = v[p] * 10 + (text[at] - '0');
        }
    writeDateKey(v[0], v[1], v[2], out);
}

} // namespace

QByteArray numericKey(QByteArrayView text)
{
    QByteArray key(kNumericKeyLength, Qt::Uninitialized);
    writeNumericKey(text, key.data(), NumberSyntax::Field);
    return key;
}

QByteArray valueKey(QByteArrayView text)
{
    QByteArray key(kNumericKeyLength, Qt::Uninitialized);
    writeNumericKey(text, key.data(), NumberSyntax::Val);
    return key;
}

QByteArray dateKey(QByteArrayView text)
{
    QByteArray key(kDateKeyLength, Qt::Uninitialized);
    writeTextDateKey(text, key.data());
    return key;
}

QByteArray storedDateKey(QByteArrayView text)
{
    QByteArray key(kDateKeyLength, Qt::Uninitialized);
    writeStoredDateKey(text, key.data());
    return key;
}

QByteArray recordKey(QByteArrayView record, int offset, int length, SortKeyType type)
{
    QByteArrayView field;
    if (offset >= 0 && length >= 0 && offset + length <= record.size())
        field = record.sliced(offset, length);
    if (type == SortKeyType::Numeric)
        return numericKey(field);
    if (type == SortKeyType::Date)
        return storedDateKey(field);
    QByteArray key(field.data(), field.size());
    if (key.size() < length)
        key.append(length - key.size(), ' ');
    return key;
}

void SortKeyExpression::keyOf(QByteArrayView record, char* out) const
{
    QByteArrayView value;
    if (field.offset >= 0 && field.length >= 0 && field.offset + field.length <= record.size())
        value = record.sliced(field.offset, field.length);
    const bool numericField = field.type == 'N' || field.type == 'F';
    switch (type) {
    case SortKeyType::Numeric:
        writeNumericKey(value, out, numericField ? NumberSyntax::Field : NumberSyntax::Val);
        return;
    case SortKeyType::Date:
        if (field.type == 'D')
            writeStoredDateKey(value, out);
        else
            writeTextDateKey(value, out);
        return;
    case SortKeyType::Character:
        std::memcpy(out, value.data(), size_t(value.size()));
        std::memset(out + value.size(), ' ', size_t(keyLength - value.size()));
        return;
    }
}

std::optional<SortKeyExpression> parseKeyExpression(const QString& text,
                                                    const QList<DbfField>& fields)
{
    QString name = text.simplified().toUpper();
    name.remove(u' ');
    SortKeyExpression e;
    for (const auto& [prefix, function] :
         {std::pair{QStringLiteral("VAL("), SortKeyExpression::Function::Val},
          std::pair{QStringLiteral("CTOD("), SortKeyExpression::Function::Ctod}}) {
        if (name.startsWith(prefix) && name.endsWith(u')')) {
            e.function = function;
            name = name.mid(prefix.size(), name.size() - prefix.size() - 1);
            break;
        }
    }
    const auto field = std::find_if(fields.begin(), fields.end(), [&](const DbfField& f) {
        return f.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (name.isEmpty() || field == fields.end())
        return std::nullopt;
    e.field = *field;
    const bool numeric = field->type == 'N' || field->type == 'F';
    switch (e.function) {
    case SortKeyExpression::Function::None:
        e.text = field->name.toUpper();
        e.type = numeric ? SortKeyType::Numeric : SortKeyType::Character;
        break;
    case SortKeyExpression::Function::Val:
        if (!numeric && field->type != 'C')
            return std::nullopt;
        e.text = QStringLiteral("VAL(%1)").arg(field->name.toUpper());
        e.type = SortKeyType::Numeric;
        break;
    case SortKeyExpression::Function::Ctod:
        if (field->type != 'C' && field->type != 'D')
            return std::nullopt;
        e.text = QStringLiteral("CTOD(%1)").arg(field->name.toUpper());
        e.type = SortKeyType::Date;
        break;
    }
    e.keyLength = e.type == SortKeyType::Numeric ? kNumericKeyLength
                  : e.type == SortKeyType::Date  ? kDateKeyLength
                                                 : field->length;
    return e;
}

std::optional<QLocale> collationLocale(quint8 languageDriver)
{
    switch (languageDriver) {
    case 0x00:
        return std::nullopt;
    case 0x26: // Russian OEM
    case 0x65: // Russian MS-DOS
    case 0x96: // Russian Macintosh
    case 0xC9: // Russian Windows (locale 0x0419)
        return QLocale(QLocale::Russian, QLocale::Russia);
    case 0x03:
        return QLocale(QLocale::English, QLocale::UnitedKingdom);
    case 0x01:
    case 0x1B:
    case 0x37:
        return QLocale(QLocale::English, QLocale::UnitedStates);
    default:
        // A language we keep no row for: the language-neutral collation.
        return QLocale::c();
    }
}

QByteArray codePageName(quint8 languageDriver)
{
    switch (languageDriver) {
    case 0x01:
    case 0x1B:
        return "IBM437";
    case 0x02:
    case 0x37:
        return "IBM850";
    case 0x64:
        return "IBM852";
    case 0x66:
        return "IBM865";
    case 0x26:
    case 0x65:
        return "IBM866";
    case 0x96:
        return "x-mac-cyrillic";
    case 0x03:
    case 0x57:
    case 0x58:
    case 0x59:
        return "windows-1252";
    case 0xC8:
        return "windows-1250";
    case 0xC9:
        return "windows-1251";
    case 0xCA:
        return "windows-1254";
    case 0xCB:
        return "windows-1253";
    case 0xCC:
        return "windows-1257";
    default:
        return {};
    }
}

SortKeyOrder::SortKeyOrder(SortKeyType type, quint8 languageDriver) : m_type(type)
{
    if (type != SortKeyType::Character)
        return;
    const auto locale = collationLocale(languageDriver);
    if (!locale)
        return;
    const QByteArray codec = codePageName(languageDriver);
    m_decoder = codec.isEmpty() ? QStringDecoder(QStringDecoder::Latin1)
                                : QStringDecoder(codec.constData());
    if (!m_decoder.isValid())
        m_decoder = QStringDecoder(QStringDecoder::Latin1);
    m_collator = QCollator(*locale);
    m_byteOrder = false;
}

QString SortKeyOrder::decode(QByteArrayView key) const
{
    m_decoder.resetState();
    return m_decoder.decode(key);
}

int SortKeyOrder::compare(QByteArrayView a, QByteArrayView b) const
{
    if (m_type == SortKeyType::Numeric) {
        const auto x = comparableNumber(a), y = comparableNumber(b);
        return std::memcmp(x.data(), y.data(), x.size());
    }
    if (m_type == SortKeyType::Date) {
        const double x = julianOf(a), y = julianOf(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (m_byteOrder) {
        const int c = std::memcmp(a.data(), b.data(), size_t(std::min(a.size(), b.size())));
        return c != 0 ? c : int(a.size() - b.size());
    }
    return m_collator.compare(decode(a), decode(b));
}

std::vector<quint32> SortKeyOrder::ranks(const char* keys, int keyLength, size_t count) const
{
    // Distinct keys, by their bytes.
    std::unordered_map<std::string_view, quint32> ids;
    std::vector<std::string_view> distinct;
    std::vector<quint32> idOf(count);
    ids.reserve(std::min<size_t>(count, 1 << 16));
    for (size_t i = 0; i < count; ++i) {
        const std::string_view k(keys + i * size_t(keyLength), size_t(keyLength));
        auto [it, added] = ids.try_emplace(k, quint32(distinct.size()));
        if (added)
            distinct.push_back(k);
        idOf[i] = it->second;
    }

    // Order the distinct keys once, with a comparable form computed once each.
    std::vector<quint32> order(distinct.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<quint32> rankOfId(distinct.size());
    auto assign = [&](auto equal) {
        quint32 rank = 0;
        for (size_t i = 0; i < order.size(); ++i) {
            if (i > 0 && !equal(order[i - 1], order[i]))
                ++rank;
            rankOfId[order[i]] = rank;
        }
    };
    if (m_type == SortKeyType::Numeric) {
        std::vector<std::array<quint8, 12>> forms(distinct.size());
        for (size_t i = 0; i < distinct.size(); ++i)
            forms[i] = comparableNumber(QByteArrayView(distinct[i].data(), distinct[i].size()));
        std::sort(order.begin(), order.end(),
                  [&](quint32 a, quint32 b) { return forms[a] < forms[b]; });
        assign([&](quint32 a, quint32 b) { return forms[a] == forms[b]; });
    } else if (m_type == SortKeyType::Date) {
        std::vector<double> forms(distinct.size());
        for (size_t i = 0; i < distinct.size(); ++i)
            forms[i] = julianOf(QByteArrayView(distinct[i].data(), distinct[i].size()));
        std::sort(order.begin(), order.end(),
                  [&](quint32 a, quint32 b) { return forms[a] < forms[b]; });
        assign([&](quint32 a, quint32 b) { return forms[a] == forms[b]; });
    } else if (m_byteOrder) {
        std::sort(order.begin(), order.end(),
                  [&](quint32 a, quint32 b) { return distinct[a] < distinct[b]; });
        assign([&](quint32 a, quint32 b) { return distinct[a] == distinct[b]; });
    } else {
        std::vector<QCollatorSortKey> forms;
        forms.reserve(distinct.size());
        for (const auto& k : distinct)
            forms.push_back(m_collator.sortKey(decode(QByteArrayView(k.data(), k.size()))));
        std::sort(order.begin(), order.end(),
                  [&](quint32 a, quint32 b) { return forms[a].compare(forms[b]) < 0; });
        assign([&](quint32 a, quint32 b) { return forms[a].compare(forms[b]) == 0; });
    }

    for (auto& id : idOf)
        id = rankOfId[id];
    return idOf;
}
