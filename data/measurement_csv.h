#pragma once

#include "platform/regional_settings.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class DbfTable;
class QIODevice;

// The readings of a measurement table as a CSV file that spreadsheet
// programs and analysis tools read: RFC 4180 (a field holding the separator,
// a quote or a line break is quoted, its quotes doubled), UTF-8 with a
// byte-order mark, CRLF line ends, one header row.
namespace MeasurementCsv {

// The columns. The last one repeats DATE and TIME as one ISO 8601 moment
// ("2026-12-01T10:00:00"), which every tool reads as a date and time
// whatever its own regional settings; DATE in the user's order is
// ambiguous to them ("01.02.2026").
inline const QStringList kHeaders = {QStringLiteral("N"),          QStringLiteral("Дата"),
                                     QStringLiteral("Время"),      QStringLiteral("Режим"),
                                     QStringLiteral("T1, °C"),     QStringLiteral("T2, °C"),
                                     QStringLiteral("Примечание"), QStringLiteral("Момент")};

// The field separator and the decimal point of the numbers.
struct Format
{
    QChar separator = u';';
    QChar decimalPoint = u',';

    // The users' choice: a decimal comma takes ";" as the separator, as
    // spreadsheet programs on such systems expect, a decimal point ",".
    static Format forDecimalPoint(QChar decimalPoint);
};

// The refusal of a --separator value ("tab" or one character that is not a
// letter, a digit, a quote, a line break or a blank), or nothing: `separator`
// holds it then.
QString readSeparator(const QString& text, QChar& separator);
// The refusal of a --decimal-point value ("." or ","), or nothing.
QString readDecimalPoint(const QString& text, QChar& decimalPoint);

// Told how many rows are written now and then, and once at the end;
// returning false stops the writing.
using Progress = std::function<bool(qint64 written, qint64 total)>;

// The records of the table in its browsing order (the selected sort tag's
// order, else record order), for a writer of all of its rows.
QList<quint32> browsingOrder(const DbfTable& table);
// These records (a selection, in the order it was made) in the table's
// browsing order; records the table does not hold are left out.
QList<quint32> inBrowsingOrder(const DbfTable& table, const QList<quint32>& records);

// Writes the header and the rows of `records` (record numbers, in the order
// they are to appear) of `table` to `out`, the temperatures read under `rs`
// (the table's texts) and written with the format's decimal point. An empty
// temperature is an empty field; a text that is no number throws the
// regional error, as the workbook export does. Moments that do not read
// leave the ISO field empty; DATE and TIME are written as they are. The
// table's current record does not move. Returns false when `progress`
// stopped it. A device that refuses a write ends the writing; the device
// tells why (OutputFile::commit).
bool write(QIODevice& out, const DbfTable& table, const QList<quint32>& records,
           const RegionalSettings& rs, const Format& format, const Progress& progress = {});

} // namespace MeasurementCsv
