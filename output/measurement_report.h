#pragma once

#include "components/report_engine.h"

#include <memory>

class DbfTable;

// The printed table report `frReport1`: its fixed template, and its data
// source `frDBDataSet1` over the table component `Dbf1`.
namespace MeasurementReport {

inline const QString kDataSet = QStringLiteral("Dbf1");

// The template: A4 landscape, title, column header, one row per record and a
// page footer with "Стр. k из n". `decimalSeparator` is the one the
// temperature texts are stored and printed with (the regional one).
ReportTemplate reportTemplate(QChar decimalSeparator);

// Every live record of the open table in its current browsing order (the
// sort tag's order when one is selected, else record order). The walk ends
// on the table's last record.
std::unique_ptr<ReportRowSource> tableRows(DbfTable& table);

// Prepares the report of the open table; the table's last record is current
// afterwards.
std::unique_ptr<PreparedReport> prepare(DbfTable& table, QChar decimalSeparator);

} // namespace MeasurementReport
