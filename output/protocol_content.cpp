#include "output/protocol_content.h"

#include "data/captured_row.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/recording_summary_text.h"
#include "data/table_csv.h"
#include "data/table_row_reader.h"
#include "platform/regional_settings.h"

namespace {

// -1 below the lower limit, 1 above the upper one; a reading equal to a
// limit is within, as the summary counts it.
qint8 sideOf(const TableRowReader& row, int field, const ChannelSummary& c,
             const RegionalSettings& rs)
{
    double v = 0;
    if (field < 0 || !row.number(field, rs, v))
        return 0;
    if (c.lower && v < *c.lower)
        return -1;
    if (c.upper && v > *c.upper)
        return 1;
    return 0;
}

} // namespace

ProtocolContent collectProtocol(const DbfTable& table, const QList<quint32>* records,
                                const SummaryOptions& options, ProtocolReadings readings,
                                const RegionalSettings& rs)
{
    ProtocolContent c;
    c.tableFile = table.tableFile();
    c.summary = records ? summarizeRecords(table, *records, options, rs)
                        : summarizeTable(table, options, rs);
    c.made = QDateTime::currentDateTime();

    const int t1 = table.fieldIndex(MeasurementSchema::kT1);
    const int t2 = table.fieldIndex(MeasurementSchema::kT2);
    const int date = table.fieldIndex(MeasurementSchema::kDate);
    const int time = table.fieldIndex(MeasurementSchema::kTime);
    const int mode = table.fieldIndex(MeasurementSchema::kMode);
    const int comment = table.fieldIndex(MeasurementSchema::kComment);

    TableRowReader reader(table);
    const qint64 rows = records ? records->size() : reader.rowCount();
    const auto readRow = [&](qsizetype k) {
        return records ? reader.viewRecord((*records)[k]) : reader.read(k);
    };
    // The chart's points as the chart window converts them.
    c.chart = buildChartPoints(
        qsizetype(rows),
        [&](qsizetype k) {
            readRow(k);
            return CapturedRow{reader.text(t1), reader.text(t2), reader.text(date),
                               reader.text(time)};
        },
        {true, true}, rs);

    c.withReadings = readings == ProtocolReadings::On ||
                     (readings == ProtocolReadings::Auto && rows <= kProtocolReadingsLimit);
    if (readings == ProtocolReadings::Off)
        c.readingsNote = QStringLiteral("не приложены");
    else if (!c.withReadings)
        c.readingsNote =
            QStringLiteral("не приложены: записей %1, больше %2")
                .arg(groupedInteger(rows, rs), groupedInteger(kProtocolReadingsLimit, rs));
    if (!c.withReadings)
        return c;
    c.readings.reserve(qsizetype(rows));
    const auto take = [&] {
        ProtocolReading r;
        r.moment = reader.text(date) + u' ' + reader.text(time);
        r.t1 = reader.text(t1);
        r.t2 = reader.text(t2);
        r.mode = mode >= 0 ? reader.text(mode) : QString();
        r.comment = comment >= 0 ? reader.text(comment) : QString();
        r.side1 = sideOf(reader, t1, c.summary.channels[0], rs);
        r.side2 = sideOf(reader, t2, c.summary.channels[1], rs);
        c.readings.append(std::move(r));
    };
    if (records) {
        for (quint32 recNo : *records)
            if (reader.viewRecord(recNo))
                take();
    } else {
        for (bool row = reader.viewFirst(); row; row = reader.viewNext())
            take();
    }
    return c;
}

QList<PdfAttachment> protocolAttachments(const DbfTable& table, const QList<quint32>* records,
                                         const ProtocolContent& content)
{
    QString csv;
    writeTableCsv(table, records, [&csv](const QString& piece) { csv += piece; });
    return {{QStringLiteral("summary.json"), summaryJson(content.summary).toUtf8(),
             QStringLiteral("application/json")},
            {QStringLiteral("readings.csv"), csv.toUtf8(), QStringLiteral("text/csv")}};
}
