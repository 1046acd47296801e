#include "data/captured_row.h"

#include "data/record_moment.h"

qint64 CapturedRowConverter::localMsecs(const QDate& date, int hour, int minute, int second,
                                        int msec)
{
    // Within one hour of one day the offset to UTC does not change (zones
    // shift by whole or half hours at hour boundaries), so the local-time
    // lookup runs once per hour of data instead of once per row.
    if (date.toJulianDay() != m_cachedDay || hour != m_cachedHour) {
        const QDateTime start(date, QTime(hour, 0));
        if (start.time().hour() != hour) // the hour does not exist (clocks go forward)
            return QDateTime(date, QTime(hour, minute, second, msec)).toMSecsSinceEpoch();
        m_cachedDay = date.toJulianDay();
        m_cachedHour = hour;
        m_cachedHourMsecs = start.toMSecsSinceEpoch();
    }
    return m_cachedHourMsecs + (qint64(minute) * 60 + second) * 1000 + msec;
}

qint64 CapturedRowConverter::moment(const QString& date, const QString& time)
{
    if (const std::optional<RecordMoment> m = readRecordMoment(date, time, m_rs))
        return localMsecs(m->date, m->hour, m->minute, m->second, 0);
    const QDateTime dt = textToDateTime(date + u' ' + time, m_rs); // throws
    return localMsecs(dt.date(), dt.time().hour(), dt.time().minute(), dt.time().second(),
                      dt.time().msec());
}

double CapturedRowConverter::number(const QString& text) const
{
    // The table's own texts: an optional minus, digits, the separator and
    // one digit. Tenths as a whole number divided by ten give the double
    // nearest to the text, as the general conversion does.
    const qsizetype n = text.size();
    if (n >= 3 && n <= 8 && text[n - 2] == m_rs.decimalSeparator) {
        const bool negative = text[0] == u'-';
        const qsizetype from = negative ? 1 : 0;
        qint64 tenths = 0;
        bool ok = n - 2 > from;
        for (qsizetype i = from; ok && i < n; ++i) {
            if (i == n - 2)
                continue;
            const char16_t c = text[i].unicode();
            ok = c >= u'0' && c <= u'9';
            tenths = tenths * 10 + (c - u'0');
        }
        if (ok)
            return (negative ? -double(tenths) : double(tenths)) / 10.0;
    }
    return textToFloat(text, m_rs); // throws
}

CapturedMeasurement CapturedRowConverter::convert(const CapturedRow& row)
{
    // The date first, then T_1 and T_2: the first text that does not convert
    // is the one reported.
    CapturedMeasurement m;
    m.msecs = moment(row.date, row.time);
    m.t1 = temperature(row.t1);
    m.t2 = temperature(row.t2);
    return m;
}

CapturedMeasurement convertCapturedRow(const CapturedRow& row, const RegionalSettings& rs)
{
    CapturedRowConverter converter(rs);
    return converter.convert(row);
}
