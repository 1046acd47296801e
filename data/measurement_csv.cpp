#include "data/measurement_csv.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/record_moment.h"
#include "data/table_row_reader.h"
#include "platform/app_error.h"
#include "platform/number_text.h"

#include <QDate>
#include <QIODevice>
#include <QSet>
#include <QTime>

namespace MeasurementCsv {

namespace {

// Rows between two progress reports, and characters gathered before they
// go to the device.
constexpr qint64 kProgressStep = 4096;
constexpr qsizetype kChunk = 1 << 16;
constexpr qint64 kDaySeconds = 86400;

int requireField(const DbfTable& table, const QString& name)
{
    const int i = table.fieldIndex(name);
    if (i < 0)
        throw AppError::format(QStringLiteral("Field '%s' not found"), {name});
    return i;
}

class Writer
{
public:
    Writer(QIODevice& out, const Format& format) : m_out(out), m_format(format)
    {
        m_chunk.reserve(kChunk + 1024);
    }

    bool failed() const { return m_failed; }

    void field(const QString& text, bool first = false)
    {
        if (!first)
            m_chunk += m_format.separator;
        if (!needsQuotes(text)) {
            m_chunk += text;
            return;
        }
        m_chunk += u'"';
        for (const QChar c : text) {
            if (c == u'"')
                m_chunk += u'"';
            m_chunk += c;
        }
        m_chunk += u'"';
    }
    // A field known to hold no separator, quote or line break.
    void plain(QStringView text)
    {
        m_chunk += m_format.separator;
        m_chunk += text;
    }
    void endRow()
    {
        m_chunk += QLatin1String("\r\n");
        if (m_chunk.size() > kChunk)
            flush();
    }
    void flush()
    {
        if (!m_failed && !m_chunk.isEmpty()) {
            const QByteArray bytes = m_chunk.toUtf8();
            m_failed = m_out.write(bytes) != bytes.size();
        }
        m_chunk.clear();
    }
    void bom() { m_failed = m_out.write("\xEF\xBB\xBF", 3) != 3; }

private:
    bool needsQuotes(QStringView text) const
    {
        for (const QChar c : text)
            if (c == m_format.separator || c == u'"' || c == u'\n' || c == u'\r')
                return true;
        return false;
    }

    QIODevice& m_out;
    Format m_format;
    QString m_chunk;
    bool m_failed = false;
};

// "2026-12-01T10:00:00"; a day's rows share its date text.
class IsoMomentText
{
public:
    QStringView text(qint64 moment)
    {
        const qint64 day = momentDay(moment);
        if (day != m_day || m_text.isEmpty()) {
            m_day = day;
            m_text = QDate::fromJulianDay(day).toString(Qt::ISODate) + QStringLiteral("T00:00:00");
        }
        const int s = int(moment - day * kDaySeconds);
        QChar* p = m_text.data() + m_text.size() - 8;
        const auto two = [&p](int v) {
            *p++ = QChar(u'0' + v / 10);
            *p++ = QChar(u'0' + v % 10);
        };
        two(s / 3600);
        ++p;
        two(s / 60 % 60);
        ++p;
        two(s % 60);
        return m_text;
    }

private:
    qint64 m_day = 0;
    QString m_text;
};

} // namespace

Format Format::forDecimalPoint(QChar decimalPoint)
{
    return Format{decimalPoint == u',' ? u';' : u',', decimalPoint};
}

QString readSeparator(const QString& text, QChar& separator)
{
    if (text.compare(QStringLiteral("tab"), Qt::CaseInsensitive) == 0 || text == u"\t") {
        separator = u'\t';
        return {};
    }
    const QString refusal = QStringLiteral(
        "--separator takes one character (such as ';' or ','), or 'tab'; not a letter, a "
        "digit, a quote, a blank or a line break");
    if (text.size() != 1)
        return refusal;
    const QChar c = text.front();
    if (c.isLetterOrNumber() || c == u'"' || c.isSpace() || c.category() == QChar::Other_Control)
        return refusal;
    separator = c;
    return {};
}

QString readDecimalPoint(const QString& text, QChar& decimalPoint)
{
    if (text != u"." && text != u",")
        return QStringLiteral("--decimal-point takes '.' or ','");
    decimalPoint = text.front();
    return {};
}

QList<quint32> browsingOrder(const DbfTable& table)
{
    QList<quint32> records;
    records.reserve(qsizetype(table.rowCount()));
    TableRowReader rows(table);
    for (bool row = rows.viewFirst(); row; row = rows.viewNext())
        records.append(rows.recNo());
    return records;
}

QList<quint32> inBrowsingOrder(const DbfTable& table, const QList<quint32>& records)
{
    const QSet<quint32> wanted(records.cbegin(), records.cend());
    QList<quint32> ordered;
    ordered.reserve(wanted.size());
    TableRowReader rows(table);
    for (bool row = rows.viewFirst(); row && ordered.size() < wanted.size(); row = rows.viewNext())
        if (wanted.contains(rows.recNo()))
            ordered.append(rows.recNo());
    return ordered;
}

bool write(QIODevice& out, const DbfTable& table, const QList<quint32>& records,
           const RegionalSettings& rs, const Format& format, const Progress& progress)
{
    namespace S = MeasurementSchema;
    // A number would need quotes, and spreadsheet programs would read it as text.
    if (format.separator == format.decimalPoint)
        throw AppError::format(QStringLiteral("The separator '%s' is the decimal point too"),
                               {QString(format.separator)});
    const int n = requireField(table, S::kN), date = requireField(table, S::kDate),
              time = requireField(table, S::kTime), mode = requireField(table, S::kMode),
              t1 = requireField(table, S::kT1), t2 = requireField(table, S::kT2),
              comment = requireField(table, S::kComment);

    Writer w(out, format);
    w.bom();
    for (qsizetype i = 0; i < kHeaders.size(); ++i)
        w.field(kHeaders[i], i == 0);
    w.endRow();

    TableRowReader rows(table);
    RecordMomentReader moments(rs);
    // The program writes DATE and TIME as day.month.year and hh:mm:ss
    // whatever the regional settings; texts typed under them read first.
    RegionalSettings written = rs;
    written.dateOrder = RegionalSettings::DateOrder::DayMonthYear;
    written.dateSeparator = u'.';
    written.timeSeparator = u':';
    RecordMomentReader writtenMoments(written);
    IsoMomentText iso;
    const qint64 total = records.size();
    const auto temperature = [&](int field) {
        double v = 0;
        if (!rows.number(field, rs, v))
            return QString(); // an empty field
        return decimalText(v, 'g', 15, format.decimalPoint);
    };
    for (qint64 i = 0; i < total && !w.failed(); ++i) {
        if (progress && i % kProgressStep == 0 && i > 0 && !progress(i, total))
            return false;
        if (!rows.viewRecord(records[qsizetype(i)]))
            continue; // gone since it was listed
        const QVariant number = rows.value(n);
        w.field(number.isNull() ? QString() : QString::number(number.toLongLong()), true);
        const QString dateText = rows.text(date), timeText = rows.text(time);
        w.field(dateText);
        w.field(timeText);
        w.field(rows.text(mode));
        // Numbers never hold the separator: a decimal point that is the
        // separator too is refused before the writing starts.
        w.plain(temperature(t1));
        w.plain(temperature(t2));
        w.field(rows.text(comment));
        const QByteArrayView dateBytes = rows.fieldBytes(date), timeBytes = rows.fieldBytes(time);
        std::optional<qint64> at = moments.read(dateBytes, timeBytes);
        if (!at && written != rs)
            at = writtenMoments.read(dateBytes, timeBytes);
        if (!at) {
            // Texts beyond the bytes' fast path, such as a separator that is
            // not ASCII.
            if (const std::optional<RecordMoment> m =
                    readRecordMoment(dateText.trimmed(), timeText.trimmed(), rs))
                at = momentOf(m->date, QTime(m->hour, m->minute, m->second));
        }
        if (at)
            w.plain(iso.text(*at));
        else
            w.plain(QStringView());
        w.endRow();
    }
    w.flush();
    if (progress && !w.failed() && !progress(total, total))
        return false;
    return true;
}

} // namespace MeasurementCsv
