#pragma once

#include "platform/regional_settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

// The moment of a measurement record as its DATE and TIME texts give it.
struct RecordMoment
{
    QDate date;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The table's own texts read directly, without the general conversion: DATE
// of 10 characters in the settings' date order and separator ("dd.mm.yyyy"
// under the Russian ones), TIME "hh:mm" or "hh:mm:ss" with the settings'
// time separator. Any other text gives nothing: the caller then takes the
// general conversion (textToDateTime), which decides and reports.
std::optional<RecordMoment> readRecordMoment(const QString& date, const QString& time,
                                             const RegionalSettings& rs);

// A moment as the user writes it in an option, whatever the regional
// settings: ISO 8601 local time "2024-03-15T08:00" (a blank for the "T" too)
// or "15.03.2024 08:00", the seconds optional in both ("08:00:30"). Blanks
// around it do not count; any other text gives nothing.
std::optional<RecordMoment> readMomentText(const QString& text);

// Moments counted in whole seconds on one continuous scale, the Julian day
// × 86,400 plus the second of the day: the instrument's clock as DATE and
// TIME give it, with no time zone in between, so a length is always the
// difference of the texts. A moment as a date and time (no zone), and back.
QDateTime momentDateTime(qint64 moment);
qint64 momentOf(const QDate& date, const QTime& time);
qint64 momentOf(const RecordMoment& m);
// The day (Julian day number) a moment falls on.
qint64 momentDay(qint64 moment);

// The moments of rows read one after another, straight from the DATE and TIME
// bytes as the table file holds them (their digits and separators are ASCII
// there; trailing blanks and NULs are padding). A day's rows share its DATE
// text: it is read once. The fast path for walks over a million rows: the
// texts readRecordMoment reads give their moment, any other text (a
// separator that is not ASCII among them) nothing, and the caller then takes
// the general conversion.
class RecordMomentReader
{
public:
    explicit RecordMomentReader(const RegionalSettings& rs);
    std::optional<qint64> read(QByteArrayView date, QByteArrayView time);

private:
    std::optional<qint64> readDay(QByteArrayView date) const;
    std::optional<int> readSecondOfDay(QByteArrayView time) const;

    RegionalSettings::DateOrder m_order;
    char m_dateSeparator = 0, m_timeSeparator = 0; // 0: not ASCII
    QByteArray m_dayText;                          // the DATE text of the day read last
    qint64 m_dayStart = 0;
};
