#pragma once

#include "platform/regional_settings.h"

#include <QDateTime>
#include <QString>

#include <functional>

// One selected grid row as the grid captured it: the texts of its bookmark
// fields "T_1;T_2;DATE;TIME" at the moment the row entered the selection.
// Charts and the selection statistics read these, never the table.
struct CapturedRow
{
    QString t1;
    QString t2;
    QString date;
    QString time;
};

// Entry k of a number of captured rows, in the selection's order.
using CapturedRowAt = std::function<CapturedRow(qsizetype)>;

// A captured row turned into numbers: the moment of the measurement (local
// time, milliseconds since the epoch, as charts place it) and the two
// temperatures (an empty text counts as 0).
struct CapturedMeasurement
{
    qint64 msecs = 0;
    double t1 = 0;
    double t2 = 0;
};

// The one conversion of captured rows under the regional settings. DATE and
// TIME joined by a blank convert as textToDateTime does, T_1 and T_2 as
// textToFloat does; a text that does not convert throws the same AppError
// ("'%s' is not a valid date and time", "'%s' is not a valid floating point
// value"). The table's own texts take a fast path, and the local time of a
// date and hour is remembered from one row to the next, so a million rows
// convert in well under a second.
class CapturedRowConverter
{
public:
    explicit CapturedRowConverter(const RegionalSettings& rs) : m_rs(rs) {}

    CapturedMeasurement convert(const CapturedRow& row);
    qint64 moment(const QString& date, const QString& time);
    // textToFloat, with a quick path for the table's own texts.
    double number(const QString& text) const;
    // A temperature of a chart point: the empty text is 0.
    double temperature(const QString& text) const { return text.isEmpty() ? 0 : number(text); }

private:
    qint64 localMsecs(const QDate& date, int hour, int minute, int second, int msec);

    RegionalSettings m_rs;
    qint64 m_cachedDay = -1; // Julian day of the cached hour
    int m_cachedHour = -1;
    qint64 m_cachedHourMsecs = 0;
};

CapturedMeasurement convertCapturedRow(const CapturedRow& row, const RegionalSettings& rs);
