#include "tests/support/measurement_table.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"

void writeMeasurementTable(const QString& path, const QList<TestRow>& rows,
                           std::optional<quint8> languageDriver)
{
    writeMeasurementTable(
        path, rows.size(), [&rows](qint64 i) { return rows[i]; }, languageDriver);
}

void writeMeasurementTable(const QString& path, qint64 count,
                           const std::function<TestRow(qint64)>& row,
                           std::optional<quint8> languageDriver)
{
    namespace S = MeasurementSchema;
    DbfTable t;
    if (languageDriver)
        t.setNewTableLanguageDriver(*languageDriver);
    t.setTableFile(path);
    t.create();
    t.open();
    t.disableControls();
    const auto text = [&t](const QString& field, const QString& value) {
        if (!value.isEmpty())
            t.setText(field, value);
    };
    for (qint64 i = 0; i < count; ++i) {
        const TestRow r = row(i);
        t.append();
        if (r.n)
            t.setInteger(S::kN, *r.n);
        text(S::kMode, r.mode);
        if (r.enCh)
            t.setInteger(S::kEnCh, *r.enCh);
        text(S::kDate, r.date);
        text(S::kTime, r.time);
        text(S::kT1, r.t1);
        text(S::kT2, r.t2);
        text(S::kComment, r.comment);
        t.post();
        if (r.deleted)
            t.deleteRecord();
    }
    t.enableControls();
    t.close();
}

QList<TestRow> minuteRows(const QStringList& t1, const QStringList& t2)
{
    QList<TestRow> rows;
    for (int i = 0; i < t1.size(); ++i)
        rows.append({.n = i + 1,
                     .mode = QStringLiteral("Оперативный"),
                     .enCh = 3,
                     .date = QStringLiteral("01.12.2026"),
                     .time = QStringLiteral("10:%1:00").arg(i, 2, 10, QChar(u'0')),
                     .t1 = t1[i],
                     .t2 = t2.value(i, QStringLiteral("0,0"))});
    return rows;
}
