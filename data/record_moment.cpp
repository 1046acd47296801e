#include "data/record_moment.h"

namespace {

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
bool readTime(const Text& time, const RegionalSettings& rs, RecordMoment& m)
{
    const char16_t separator = rs.timeSeparator.unicode();
    if ((time.size() != 5 && time.size() != 8) || at(time, 2) != separator ||
        (time.size() == 8 && at(time, 5) != separator))
        return false;
    m.hour = digits(time, 0, 2);
    m.minute = digits(time, 3, 2);
    m.second = time.size() == 8 ? digits(time, 6, 2) : 0;
    return m.hour >= 0 && m.hour <= 23 && m.minute >= 0 && m.minute <= 59 && m.second >= 0 &&
           m.second <= 59;
}

template <typename Text>
std::optional<RecordMoment> read(const Text& date, const Text& time, const RegionalSettings& rs)
{
    const char16_t dateSeparator = rs.dateSeparator.unicode();
    RecordMoment m;
    if (date.size() != 10 || !readTime(time, rs, m))
        return std::nullopt;
    int a = -1, b = -1, c = -1;
    if (rs.dateOrder == RegionalSettings::DateOrder::YearMonthDay) {
        if (at(date, 4) == dateSeparator && at(date, 7) == dateSeparator)
            a = digits(date, 0, 4), b = digits(date, 5, 2), c = digits(date, 8, 2);
    } else if (at(date, 2) == dateSeparator && at(date, 5) == dateSeparator) {
        a = digits(date, 0, 2), b = digits(date, 3, 2), c = digits(date, 6, 4);
    }
    if (a < 0 || b < 0 || c < 0)
        return std::nullopt;
    switch (rs.dateOrder) {
    case RegionalSettings::DateOrder::DayMonthYear:
        m.date = QDate(c, b, a);
        break;
    case RegionalSettings::DateOrder::MonthDayYear:
        m.date = QDate(c, a, b);
        break;
    case RegionalSettings::DateOrder::YearMonthDay:
        m.date = QDate(a, b, c);
        break;
    }
    if (!m.date.isValid())
        return std::nullopt;
    return m;
}

} // namespace

std::optional<RecordMoment> readRecordMoment(const QString& date, const QString& time,
                                             const RegionalSettings& rs)
{
    return read(date, time, rs);
}

std::optional<RecordMoment> readRecordMoment(QByteArrayView date, QByteArrayView time,
                                             const RegionalSettings& rs)
{
    return read(date, time, rs);
}

std::optional<int> readSecondOfDay(QByteArrayView time, const RegionalSettings& rs)
{
    RecordMoment m;
    if (!readTime(time, rs, m))
        return std::nullopt;
    return (m.hour * 60 + m.minute) * 60 + m.second;
}
