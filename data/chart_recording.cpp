#include "data/chart_recording.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/table_row_reader.h"
#include "platform/app_error.h"

#include <QFileInfo>

#include <exception>

ChartPoints tableChartPoints(const DbfTable& table, CurveChoice choice, const RegionalSettings& rs,
                             const std::optional<QList<quint32>>& records)
{
    TableRowReader reader(table);
    const int t1 = table.fieldIndex(MeasurementSchema::kT1);
    const int t2 = table.fieldIndex(MeasurementSchema::kT2);
    const int date = table.fieldIndex(MeasurementSchema::kDate);
    const int time = table.fieldIndex(MeasurementSchema::kTime);
    for (const auto& [field, name] :
         {std::pair{t1, MeasurementSchema::kT1}, std::pair{t2, MeasurementSchema::kT2},
          std::pair{date, MeasurementSchema::kDate}, std::pair{time, MeasurementSchema::kTime}})
        if (field < 0)
            throw AppError::format(QStringLiteral("Field '%s' not found"), {name});
    const qint64 rows = records ? records->size() : reader.rowCount();
    return buildChartPoints(
        qsizetype(rows),
        [&](qsizetype k) {
            if (records)
                reader.viewRecord(records->at(k));
            else
                reader.view(k);
            return CapturedRow{reader.text(t1), reader.text(t2), reader.text(date),
                               reader.text(time)};
        },
        choice, rs);
}

ChartRecording readChartRecording(const QString& file, CurveChoice choice,
                                  const RegionalSettings& rs, const std::optional<Period>& period)
{
    ChartRecording recording;
    recording.name = QFileInfo(file).fileName();
    try {
        DbfTable table;
        table.setTableFile(file);
        table.open(DbfTable::Access::ReadOnly);
        recording.points = tableChartPoints(
            table, choice, rs,
            period ? std::optional(periodRecords(table, *period, rs)) : std::nullopt);
    } catch (const std::exception& e) {
        const auto* app = dynamic_cast<const AppError*>(&e);
        QString reason = app ? app->text() : QString::fromLocal8Bit(e.what());
        if (reason.isEmpty())
            reason = QStringLiteral("таблица не открывается");
        throw AppError(
            QStringLiteral("Не удалось прочитать запись %1: %2").arg(recording.name, reason));
    }
    return recording;
}

std::optional<double> firstMoment(const ChartPoints& points)
{
    std::optional<double> first;
    for (const QList<QPointF>* curve : {&points.t1, &points.t2})
        if (!curve->isEmpty() && (!first || curve->front().x() < *first))
            first = curve->front().x();
    return first;
}

void shiftPoints(ChartPoints& points, double dx)
{
    for (QList<QPointF>* curve : {&points.t1, &points.t2})
        for (QPointF& p : *curve)
            p.rx() += dx;
}
