#pragma once

#include <QDateTime>
#include <QString>

// The user's regional settings that the program's number and date texts
// follow. Taken from the system locale at start; `--locale NAME` and tests
// set them explicitly (tests pin the Russian settings).
struct RegionalSettings
{
    enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

    QChar decimalSeparator = u',';
    DateOrder dateOrder = DateOrder::DayMonthYear;
    QChar dateSeparator = u'.';
    QChar timeSeparator = u':';
    // Between groups of three digits in long whole numbers ("1 000 000");
    // never a plain space, which would let a number break across lines.
    QChar groupSeparator = u'\u00A0';

    static RegionalSettings russian();
    static RegionalSettings fromLocale(const QLocale& locale);
    static RegionalSettings fromSystem();
    // A locale name such as "ru_RU" or "en_US"; an unknown name throws AppError.
    static RegionalSettings fromName(const QString& name);

    bool operator==(const RegionalSettings&) const = default;
};

// The conversions the program calls "regional". Each failure throws AppError
// with the exact text given.

// "'%s' is not a valid floating point value"; leading and trailing blanks allowed.
double textToFloat(const QString& text, const RegionalSettings& rs);

// "'%s' is not a valid date and time". Date, one space, time; the date in the
// settings' order and separator, the time h:m[:s] with the time separator.
QDateTime textToDateTime(const QString& text, const RegionalSettings& rs);

// General floating-point format with at most 15 significant digits, the
// regional decimal separator, no trailing zeros, no exponent for ordinary values.
QString floatToText(double value, const RegionalSettings& rs);

// printf "%4.1f" with the regional decimal separator.
QString temperatureFormat(double value, const RegionalSettings& rs);

// A whole number with its thousands grouped: "1 000 000", "-12 345", "999".
QString groupedInteger(qint64 value, const RegionalSettings& rs);

