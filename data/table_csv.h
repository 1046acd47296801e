#pragma once

#include <QList>
#include <QString>

#include <functional>

class DbfTable;

// The live rows of a table as CSV (RFC 4180): the field names, then one line
// per row with every field's text, lines ended by CR LF, a field quoted only
// when it holds a comma, a quote or a line break. `fln dump` prints it and
// the protocol carries it as its readings.csv.

// One field as CSV writes it.
QString csvField(const QString& text);

// The rows of the open table in its browsing order, or, given `records`,
// the rows with these record numbers in that order. The text comes in
// pieces of some tens of kilobytes to `out`.
void writeTableCsv(const DbfTable& table, const QList<quint32>* records,
                   const std::function<void(const QString& piece)>& out);
