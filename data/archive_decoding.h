#pragma once

#include "data/archive_image.h"
#include "platform/regional_settings.h"

#include <QString>

#include <cstdint>
#include <optional>

class DbfTable;

// Names of the two record modes, indexed by bit 5 of a record's flags.
inline const QString kModeOperative = QStringLiteral("Оперативный");
inline const QString kModeObservation = QStringLiteral("Наблюдения");

// Reading the archive image at a byte offset. Every offset that reaches past
// the image is a RangeError, as the wire decoding's range checks are.

// Little-endian unsigned 16-bit value at i.
int bytes2word(const ArchiveImage& image, int i);
// Temperature at i in degrees Celsius, to the nearest tenth, halves away from zero.
double bytes2temp(const ArchiveImage& image, int i);
// "hh:mm:ss" from the bytes second, minute, hour at i; impossible parts read "00".
QString bytes2time(const ArchiveImage& image, int i);
// "dd.mm.yyyy" from the bytes day, month, year - 2000 at i; impossible day or month read "01".
QString bytes2date(const ArchiveImage& image, int i);

// The date and time texts as a count of seconds (1 January of year 1 is day
// 1); only comparisons use it. A text that is no valid date and time throws
// "'%s' is not a valid date and time".
std::int64_t str2sec(const QString& date, const QString& time, const RegionalSettings& rs);

// The T_1 / T_2 text of a temperature: "0,0" for zero (negative zero
// included), otherwise "%4.1f" with the regional decimal separator.
QString temperatureText(double value, const RegionalSettings& rs);

// Record count at offset 0 of the image.
int archiveRecordCount(const ArchiveImage& image);

// Refuses an image whose record count is beyond what the image can hold
// (RangeError) or beyond the bytes the last download actually decoded
// (AppError): such records would be read from what an earlier download left
// in the image.
void checkArchiveRecords(const ArchiveImage& image);

// Turns the archive image into rows of the open table: every record for a
// new table, or, when `append` is set, every record from the first one that
// is newer than the table's last row on. N is the record's 1-based place in
// the archive. Returns the number of rows added, or nullopt when the table is
// not open (nothing is done then). The image is checked before any row is
// written; an error of the table engine leaves the rows posted before it.
std::optional<int> flash2fln01(DbfTable& table, const ArchiveImage& image,
                               const RegionalSettings& rs, bool append);
