#pragma once

#include <QChar>
#include <QString>

// The texts of numbers and lengths of time that the windows, the chart, the
// summary and the command line show. The general format with at most 15
// significant digits is floatToText (regional_settings.h).

// A number as QString::number writes it in `format` ('f': `precision`
// decimals; 'g': at most `precision` significant digits), with the decimal
// separator given in place of the point. Never the C library's locale.
QString decimalText(double value, char format, int precision, QChar separator);

// A length of time in whole seconds: "00:08:00", from a day on
// "2 сут 03:04:05"; "—" for a negative one, which is no length.
QString durationText(qint64 seconds);
