#pragma once

#include "platform/regional_settings.h"

#include <QString>

// The form of a Russian noun (or of a word agreeing with it) after the count
// `n`: `one` after 1, 21, 101, …; `few` after 2–4, 22–24, …; `many` after 0,
// 5–20, 25–30, 111, … ("запись", "записи", "записей").
const QString& russianPlural(qint64 n, const QString& one, const QString& few, const QString& many);

// A count with its digits in groups of three, as Russian writes them:
// "1 000 000" (the groups joined by no-break spaces, so a line never breaks
// inside a number).
QString groupedCount(qint64 n);

// The count grouped as the regional settings say (groupedInteger), a space,
// the noun in its form: "432 записи", "1 000 000 записей".
QString countText(qint64 n, const RegionalSettings& rs, const QString& one, const QString& few,
                  const QString& many);
