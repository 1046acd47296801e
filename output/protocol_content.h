#pragma once

#include "output/protocol_document.h"

#include <QList>

class DbfTable;
struct SummaryOptions;

// What a protocol shows of a table, gathered from its rows: the summary (the
// one that `fln summary` and the summary window give), the chart's points,
// the readings, and the files the PDF carries.

// Whether the readings go into the protocol: up to kProtocolReadingsLimit
// rows unless asked otherwise.
enum class ProtocolReadings
{
    Auto,
    On,
    Off
};
inline constexpr qint64 kProtocolReadingsLimit = 20000;

// The rows of the open table in its browsing order, or, given `records`,
// the rows with these record numbers in that order. A text that does not
// convert throws the regional error, as the summary does. The program's
// name and version are the caller's to fill in.
ProtocolContent collectProtocol(const DbfTable& table, const QList<quint32>* records,
                                const SummaryOptions& options, ProtocolReadings readings,
                                const RegionalSettings& rs);

// The files the protocol's PDF carries: "summary.json", exactly what
// `fln summary --json` prints for the same rows and limits, and
// "readings.csv", the rows as `fln dump` prints them.
QList<PdfAttachment> protocolAttachments(const DbfTable& table, const QList<quint32>* records,
                                         const ProtocolContent& content);
