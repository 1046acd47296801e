#include "data/archive_decoding.h"
#include "data/measurement_schema.h"

#include "data/dbf_table.h"
#include "platform/app_error.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace {

std::uint8_t byteAt(const ArchiveImage& image, int i)
{
    if (i < 0 || i >= ArchiveImage::kSize)
        throw RangeError();
    return image.bytes[static_cast<std::size_t>(i)];
}

QString twoDigits(int value)
{
    return value < 10 ? QStringLiteral("0") + QString::number(value) : QString::number(value);
}

// Julian day number of 1 January of year 1 minus one: day numbers count from 1 there.
constexpr qint64 kDayZero = 1721425;

} // namespace

int bytes2word(const ArchiveImage& image, int i)
{
    // The high byte is checked first so that a word straddling the end fails
    // before anything is read.
    const int high = byteAt(image, i + 1);
    return byteAt(image, i) + 256 * high;
}

double bytes2temp(const ArchiveImage& image, int i)
{
    const int raw = bytes2word(image, i);
    // Integer rounding to tenths (halves away from zero), then one division
    // in double precision, so 2345 reads 23.5 and 65531 reads -0.1.
    if (raw >= 32768)
        return -(((65536 - raw) + 5) / 10) / 10.0;
    return ((raw + 5) / 10) / 10.0;
}

QString bytes2time(const ArchiveImage& image, int i)
{
    const int second = byteAt(image, i);
    const int minute = byteAt(image, i + 1);
    const int hour = byteAt(image, i + 2);
    return twoDigits(hour > 23 ? 0 : hour) + u':' + twoDigits(minute > 59 ? 0 : minute) + u':' +
           twoDigits(second > 59 ? 0 : second);
}

QString bytes2date(const ArchiveImage& image, int i)
{
    const int day = byteAt(image, i);
    const int month = byteAt(image, i + 1);
    const int year = 2000 + byteAt(image, i + 2);
    return twoDigits(day == 0 || day > 31 ? 1 : day) + u'.' +
           twoDigits(month == 0 || month > 12 ? 1 : month) + u'.' + QString::number(year);
}

std::int64_t str2sec(const QString& date, const QString& time, const RegionalSettings& rs)
{
    // The texts are always written day.month.year and hh:mm:ss (bytes2date,
    // bytes2time); reading them in another regional date order would refuse
    // every append on such a system, so only the decimal separator is taken over.
    RegionalSettings written = rs;
    written.dateOrder = RegionalSettings::DateOrder::DayMonthYear;
    written.dateSeparator = u'.';
    written.timeSeparator = u':';
    const QDateTime dt = textToDateTime(date + u' ' + time, written);
    const qint64 day = dt.date().toJulianDay() - kDayZero;
    return day * 86400 + dt.time().msecsSinceStartOfDay() / 1000;
}

QString temperatureText(double value, const RegionalSettings& rs)
{
    if (value == 0) // true for -0.0 as well
        return QStringLiteral("0") + rs.decimalSeparator + u'0';
    return temperatureFormat(value, rs);
}

int archiveRecordCount(const ArchiveImage& image)
{
    return bytes2word(image, 0);
}

void checkArchiveRecords(const ArchiveImage& image)
{
    const int count = archiveRecordCount(image);
    const qint64 needed = 2 + qint64(ArchiveImage::kRecordSize) * count;
    if (needed > ArchiveImage::kSize) // the last record would reach past offset 65535
        throw RangeError();
    if (needed > image.decodedLength) {
        const int whole =
            image.decodedLength < 2 ? 0 : (image.decodedLength - 2) / ArchiveImage::kRecordSize;
        throw AppError(QStringLiteral("Архив прибора неполон: заявлено записей %1, принято %2. "
                                      "Повторите прием данных.")
                           .arg(count)
                           .arg(whole));
    }
}

std::optional<int> flash2fln01(DbfTable& table, const ArchiveImage& image,
                               const RegionalSettings& rs, bool append)
{
    if (!table.isOpen())
        return std::nullopt;
    table.refresh();
    table.last();

    checkArchiveRecords(image);
    int count = archiveRecordCount(image);
    int position = 2;
    int skipped = 0;

    if (append) {
        // Only the leading run of records that are not newer than the last
        // row is left out; from the first newer record on, everything goes in.
        const std::int64_t last = table.isEmpty()
                                      ? 0
                                      : str2sec(table.text(MeasurementSchema::kDate),
                                                table.text(MeasurementSchema::kTime), rs);
        for (int walked = 0; walked < count; ++walked) {
            const std::int64_t t =
                str2sec(bytes2date(image, position + 8), bytes2time(image, position + 5), rs);
            if (t > last)
                break;
            position += ArchiveImage::kRecordSize;
        }
        skipped = (position - 2) / ArchiveImage::kRecordSize;
        count -= skipped;
    }

    const QString& fN = MeasurementSchema::kN;
    const QString& fMode = MeasurementSchema::kMode;
    const QString& fEnCh = MeasurementSchema::kEnCh;
    const QString& fT1 = MeasurementSchema::kT1;
    const QString& fT2 = MeasurementSchema::kT2;
    const QString& fTime = MeasurementSchema::kTime;
    const QString& fDate = MeasurementSchema::kDate;
    const QString& fComment = MeasurementSchema::kComment;

    qint64 n = skipped + 1;
    for (int r = 0; r < count; ++r, ++n, position += ArchiveImage::kRecordSize) {
        const std::uint8_t flags = byteAt(image, position);
        table.append();
        try {
            table.setInteger(fN, n);
            table.setText(fMode, (flags & 0x20) ? kModeObservation : kModeOperative);
            table.setInteger(fEnCh, flags & 0x03);
            table.setText(fT1, temperatureText(bytes2temp(image, position + 1), rs));
            table.setText(fT2, temperatureText(bytes2temp(image, position + 3), rs));
            table.setText(fTime, bytes2time(image, position + 5));
            table.setText(fDate, bytes2date(image, position + 8));
            table.setText(fComment, QString());
            table.post();
        } catch (...) {
            // The half-filled row is dropped; the rows posted before stay.
            table.cancel();
            throw;
        }
    }
    return count;
}
