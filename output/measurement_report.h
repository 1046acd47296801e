#pragma once

#include "components/report_engine.h"

#include <QList>

#include <memory>

class DbfTable;

// The printed table report `frReport1`: its fixed template, and its data
// source `frDBDataSet1` over the table component `Dbf1`.
namespace MeasurementReport {

inline const QString kDataSet = QStringLiteral("Dbf1");

// The template: A4 landscape, title, column header, one row per record and a
// page footer with "Стр. k из n". The temperatures are read and printed with
// a decimal comma, as the program writes them, whatever the regional settings.
ReportTemplate reportTemplate();

// Every live record of the open table in its current browsing order (the
// sort tag's order when one is selected, else record order). The walk ends
// on the table's last record.
std::unique_ptr<ReportRowSource> tableRows(DbfTable& table);

// Prepares the report of the open table; the table's last record is current
// afterwards.
std::unique_ptr<PreparedReport> prepare(DbfTable& table);
// The report of the records with these numbers, in that order (a period's
// rows); the table's current record stays.
std::unique_ptr<PreparedReport> prepare(DbfTable& table, QList<quint32> records);

} // namespace MeasurementReport
