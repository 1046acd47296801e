#include "data/record_moment.h"

#include <cstring>

namespace {

constexpr qint64 kDaySeconds = 86400;

char16_t at(const QString& s, qsizetype i)
{
    return s[i].unicode();
}

char16_t at(QByteArrayView s, qsizetype i)
{
    return uchar(s[i]);
}

// Exactly `count` decimal digits at `pos`; -1 when one is not a digit.
template <typename Text>
int digits(const Text& s, qsizetype pos, int count)
{
    if (pos + count > s.size())
        return -1;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = at(s, pos + i);
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// "hh:mm" or "hh:mm:ss" as hours, minutes and seconds; false for any other text.
template <typename Text>
bool readTime(const Text& time, char16_t separator, RecordMoment& m)
{
    if ((time.size() != 5 && time.size() != 8) || at(time, 2) != separator ||
        (time.size() == 8 && at(time, 5) != separator))
        return false;
    m.hour = digits(time, 0, 2);
    m.minute = digits(time, 3, 2);
    m.second = time.size() == 8 ? digits(time, 6, 2) : 0;
    return m.hour >= 0 && m.hour <= 23 && m.minute >= 0 && m.minute <= 59 && m.second >= 0 &&
           m.second <= 59;
}

// A date of 10 characters in the settings' order; invalid for any other text.
template <typename Text>
QDate readDate(const Text& date, RegionalSettings::DateOrder order, char16_t separator)
{
    if (date.size() != 10)
        return {};
    int a = -1, b = -1, c = -1;
    if (order == RegionalSettings::DateOrder::YearMonthDay) {
        if (at(date, 4) == separator && at(date, 7) == separator)
            a = digits(date, 0, 4), b = digits(date, 5, 2), c = digits(date, 8, 2);
    } else if (at(date, 2) == separator && at(date, 5) == separator) {
        a = digits(date, 0, 2), b = digits(date, 3, 2), c = digits(date, 6, 4);
    }
    if (a < 0 || b < 0 || c < 0)
        return {};
    switch (order) {
    case RegionalSettings::DateOrder::DayMonthYear:
        return QDate(c, b, a);
    case RegionalSettings::DateOrder::MonthDayYear:
        return QDate(c, a, b);
    case RegionalSettings::DateOrder::YearMonthDay:
        return QDate(a, b, c);
    }
    return {};
}

char asciiOrNothing(QChar c)
{
    return c.unicode() > 0 && c.unicode() < 0x80 ? char(c.unicode()) : 0;
}

QByteArrayView withoutPadding(QByteArrayView text)
{
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\0'))
        text.chop(1);
    return text;
}

} // namespace

std::optional<RecordMoment> readRecordMoment(const QString& date, const QString& time,
                                             const RegionalSettings& rs)
{
    RecordMoment m;
    if (!readTime(time, rs.timeSeparator.unicode(), m))
        return std::nullopt;
    m.date = readDate(date, rs.dateOrder, rs.dateSeparator.unicode());
    if (!m.date.isValid())
        return std::nullopt;
    return m;
}

std::optional<RecordMoment> readMomentText(const QString& given)
{
    const QString text = given.trimmed();
    if (text.size() < 16)
        return std::nullopt;
    const QString date = text.left(10);
    const QChar between = text[10];
    RecordMoment m;
    if (!readTime(text.mid(11), u':', m))
        return std::nullopt;
    if (date[4] == u'-' && (between == u'T' || between == u' '))
        m.date = readDate(date, RegionalSettings::DateOrder::YearMonthDay, u'-');
    else if (date[2] == u'.' && between == u' ')
        m.date = readDate(date, RegionalSettings::DateOrder::DayMonthYear, u'.');
    if (!m.date.isValid())
        return std::nullopt;
    return m;
}

QDateTime momentDateTime(qint64 moment)
{
    const qint64 day = momentDay(moment);
    const qint64 second = moment - day * kDaySeconds;
    // No zone: the instrument's clock, with no hour of it skipped or doubled.
    return QDateTime(QDate::fromJulianDay(day), QTime(0, 0).addSecs(int(second)), Qt::UTC);
}

qint64 momentOf(const QDate& date, const QTime& time)
{
    return date.toJulianDay() * kDaySeconds + time.msecsSinceStartOfDay() / 1000;
}

qint64 momentOf(const RecordMoment& m)
{
    return m.date.toJulianDay() * kDaySeconds + (m.hour * 60 + m.minute) * 60 + m.second;
}

qint64 momentDay(qint64 moment)
{
    return moment >= 0 ? moment / kDaySeconds : (moment - kDaySeconds + 1) / kDaySeconds;
}

RecordMomentReader::RecordMomentReader(const RegionalSettings& rs)
    : m_order(rs.dateOrder), m_dateSeparator(asciiOrNothing(rs.dateSeparator)),
      m_timeSeparator(asciiOrNothing(rs.timeSeparator))
{
}

std::optional<qint64> RecordMomentReader::read(QByteArrayView date, QByteArrayView time)
{
    if (!m_dateSeparator || !m_timeSeparator)
        return std::nullopt;
    date = withoutPadding(date);
    const std::optional<int> second = readSecondOfDay(withoutPadding(time));
    if (!second)
        return std::nullopt;
    // Rows of one day follow one another: their DATE is compared, not read.
    if (m_dayText.isEmpty() || date.size() != m_dayText.size() ||
        std::memcmp(date.data(), m_dayText.constData(), size_t(date.size())) != 0) {
        const std::optional<qint64> start = readDay(date);
        if (!start)
            return std::nullopt;
        m_dayText = date.toByteArray();
        m_dayStart = *start;
    }
    return m_dayStart + *second;
}

std::optional<qint64> RecordMomentReader::readDay(QByteArrayView date) const
{
    const QDate d = readDate(date, m_order, char16_t(uchar(m_dateSeparator)));
    if (!d.isValid())
        return std::nullopt;
    return d.toJulianDay() * kDaySeconds;
}

std::optional<int> RecordMomentReader::readSecondOfDay(QByteArrayView time) const
{
    // readTime's rules, on bytes, in the walk over every row.
    const qsizetype n = time.size();
    if (n != 5 && n != 8)
        return std::nullopt;
    const char* p = time.data();
    const auto digit = [p](int i) { return unsigned(uchar(p[i])) - unsigned('0'); };
    const unsigned h1 = digit(0), h2 = digit(1), m1 = digit(3), m2 = digit(4);
    if (p[2] != m_timeSeparator || h1 > 9 || h2 > 9 || m1 > 9 || m2 > 9)
        return std::nullopt;
    unsigned second = 0;
    if (n == 8) {
        const unsigned s1 = digit(6), s2 = digit(7);
        if (p[5] != m_timeSeparator || s1 > 9 || s2 > 9)
            return std::nullopt;
        second = s1 * 10 + s2;
    }
    const unsigned hour = h1 * 10 + h2, minute = m1 * 10 + m2;
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return int((hour * 60 + minute) * 60 + second);
}
