#pragma once

#include "platform/regional_settings.h"

#include <QByteArrayView>
#include <QDate>
#include <QString>

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
// general conversion (textToDateTime), which decides and reports. This is
// the fast path for walks over a million rows.
std::optional<RecordMoment> readRecordMoment(const QString& date, const QString& time,
                                             const RegionalSettings& rs);
// The same over the texts' bytes as the table file holds them (their
// digits and separators are ASCII there); a separator that is not ASCII
// gives nothing.
std::optional<RecordMoment> readRecordMoment(QByteArrayView date, QByteArrayView time,
                                             const RegionalSettings& rs);
// The TIME bytes alone as seconds since midnight, for walks in which the
// DATE repeats from row to row.
std::optional<int> readSecondOfDay(QByteArrayView time, const RegionalSettings& rs);
