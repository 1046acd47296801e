#pragma once

#include "data/recording_summary.h"
#include "platform/number_text.h" // durationText

#include <QList>
#include <QString>
#include <QStringList>

// The summary as the user reads it: rows of Russian labels and values under
// the regional settings, shared by the window, its copy as tab-separated
// text, its printed page and `fln summary`; and as one JSON object for
// scripts (numbers with a decimal point, moments "2024-03-15T12:30:00").

// Rows of the figures: a label, then the value (recording) or the values of
// T1 and T2 (the channel rows, after a heading row ["", "T1, °C", "T2, °C"]).
QList<QStringList> summaryRows(const RecordingSummary& s, const RegionalSettings& rs);
// The per-day table, its heading row first.
QList<QStringList> dayRows(const RecordingSummary& s, const RegionalSettings& rs);

// The verdict of each channel on its limits, after a heading row: the
// channel, "в пределах", "вне пределов" or (no limit on either side)
// "границы не заданы", then the readings out, the time out, the excursions
// and the share of the time within ("—" without limits).
QList<QStringList> verdictRows(const RecordingSummary& s, const RegionalSettings& rs);
// A channel's limits in words: "от 2,00 до 8,00", "не ниже 2,00", "не выше
// 8,00" or "не заданы".
QString limitsText(const ChannelSummary& c, const RegionalSettings& rs);

// Rows as lines of columns padded to one width (the command line's text).
QString alignedText(const QList<QStringList>& rows);
// Rows as lines of tab-separated cells (for a spreadsheet).
QString tabSeparatedText(const QList<QStringList>& rows);

QString summaryJson(const RecordingSummary& s);

// A moment under the regional settings: "16.03.2024 00:01:00".
QString momentText(qint64 moment, const RegionalSettings& rs);
