#include "platform/regional_settings.h"

#include "platform/app_error.h"
#include "platform/number_text.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {

QChar firstNonLetter(const QString& format, QChar fallback)
{
    for (QChar c : format)
        if (!c.isLetter() && c != u'\'')
            return c;
    return fallback;
}

QString floatPattern()
{
    return QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$");
}

} // namespace

RegionalSettings RegionalSettings::russian()
{
    return RegionalSettings{u',', DateOrder::DayMonthYear, u'.', u':', u'\u00A0'};
}

RegionalSettings RegionalSettings::fromLocale(const QLocale& locale)
{
    RegionalSettings rs;
    const QString dp = locale.decimalPoint();
    rs.decimalSeparator = dp.isEmpty() ? u'.' : dp[0];
    const QString df = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype d = df.indexOf(u'd'), m = df.indexOf(u'M'), y = df.indexOf(u'y');
    if (y >= 0 && y < m && y < d)
        rs.dateOrder = DateOrder::YearMonthDay;
    else if (m >= 0 && d >= 0 && m < d)
        rs.dateOrder = DateOrder::MonthDayYear;
    else
        rs.dateOrder = DateOrder::DayMonthYear;
    rs.dateSeparator = firstNonLetter(df, u'.');
    rs.timeSeparator = firstNonLetter(locale.timeFormat(QLocale::ShortFormat), u':');
    const QString gs = locale.groupSeparator();
    if (!gs.isEmpty() && gs[0] != u' ')
        rs.groupSeparator = gs[0];
    return rs;
}

RegionalSettings RegionalSettings::fromSystem()
{
    return fromLocale(QLocale::system());
}

RegionalSettings RegionalSettings::fromName(const QString& name)
{
    const QLocale locale(name);
    const bool asksForC = name == u"C" || name == u"POSIX";
    if (name.isEmpty() || (locale.language() == QLocale::C && !asksForC))
        throw AppError::format(QStringLiteral("Unknown locale: '%s'"), {name});
    return fromLocale(locale);
}

double textToFloat(const QString& text, const RegionalSettings& rs)
{
    const QString t = text.trimmed();
    QString s = t;
    if (rs.decimalSeparator != u'.') {
        // With a comma as separator a point is no separator at all.
        if (s.contains(u'.'))
            throw AppError::format(QStringLiteral("'%s' is not a valid floating point value"),
                                   {text});
        s.replace(rs.decimalSeparator, u'.');
    }
    static const QRegularExpression re(floatPattern());
    bool ok = re.match(s).hasMatch();
    const double v = ok ? QLocale::c().toDouble(s, &ok) : 0;
    if (!ok || !std::isfinite(v))
        throw AppError::format(QStringLiteral("'%s' is not a valid floating point value"), {text});
    return v;
}

QDateTime textToDateTime(const QString& text, const RegionalSettings& rs)
{
    const auto fail = [&] {
        return AppError::format(QStringLiteral("'%s' is not a valid date and time"), {text});
    };
    const QString t = text.trimmed();
    const QString ds = QRegularExpression::escape(QString(rs.dateSeparator));
    const QString ts = QRegularExpression::escape(QString(rs.timeSeparator));
    const QRegularExpression re(QStringLiteral("^(\\d{1,4})%1(\\d{1,4})%1(\\d{1,4})"
                                               "(?:\\s+(\\d{1,2})%2(\\d{1,2})(?:%2(\\d{1,2}))?)?$")
                                    .arg(ds, ts));
    const auto m = re.match(t);
    if (!m.hasMatch())
        throw fail();
    const int a = m.captured(1).toInt(), b = m.captured(2).toInt(), c = m.captured(3).toInt();
    int day = 0, month = 0, year = 0;
    int yearDigits = 0;
    switch (rs.dateOrder) {
    case RegionalSettings::DateOrder::DayMonthYear:
        day = a, month = b, year = c, yearDigits = int(m.captured(3).size());
        break;
    case RegionalSettings::DateOrder::MonthDayYear:
        month = a, day = b, year = c, yearDigits = int(m.captured(3).size());
        break;
    case RegionalSettings::DateOrder::YearMonthDay:
        year = a, month = b, day = c, yearDigits = int(m.captured(1).size());
        break;
    }
    if (yearDigits <= 2)
        year += QDate::currentDate().year() / 100 * 100;
    const QDate date(year, month, day);
    const int h = m.captured(4).toInt(), mi = m.captured(5).toInt(), s = m.captured(6).toInt();
    const QTime time(h, mi, s);
    if (!date.isValid() || !time.isValid())
        throw fail();
    return QDateTime(date, time);
}

QString floatToText(double value, const RegionalSettings& rs)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    // 15 significant digits, then the shortest of fixed and scientific as the
    // general format chooses: fixed while the exponent is below 15 and the
    // value not below 0.00001.
    // QString::number never follows the C library's locale.
    QString mant = QString::number(value, 'e', 14);
    const qsizetype ePos = mant.indexOf(u'e');
    const int exp = mant.mid(ePos + 1).toInt();
    const bool neg = mant.startsWith(u'-');
    QString digits = mant.left(ePos).remove(u'-').remove(u'.');
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    QString out;
    if (exp < 15 && std::fabs(value) >= 0.00001) {
        if (exp < 0) {
            out = QStringLiteral("0") + rs.decimalSeparator + QString(-exp - 1, u'0') + digits;
        } else if (digits.size() <= exp + 1) {
            out = digits + QString(exp + 1 - digits.size(), u'0');
        } else {
            out = digits.left(exp + 1) + rs.decimalSeparator + digits.mid(exp + 1);
        }
    } else {
        out = digits.left(1);
        if (digits.size() > 1)
            out += rs.decimalSeparator + digits.mid(1);
        out += u'E' + QString::number(exp);
    }
    return neg ? u'-' + out : out;
}

QString temperatureFormat(double value, const RegionalSettings& rs)
{
    return decimalText(value, 'f', 1, rs.decimalSeparator).rightJustified(4, u' ');
}

QString groupedInteger(qint64 value, const RegionalSettings& rs)
{
    // Through the unsigned magnitude: the most negative value has no positive twin.
    const quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    const QString digits = QString::number(magnitude);
    QString out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    if (value < 0)
        out += u'-';
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += rs.groupSeparator;
        out += digits[i];
    }
    return out;
}
