#pragma once

#include "components/report_engine.h"

#include <QIODevice>

#include <functional>
#include <memory>

// A prepared report kept in a file of ours: the template and the rows' texts,
// so the preview opens it again without the table it came from. Rows are
// read from the file when their page is drawn, like those of a table.
//
// Layout (QDataStream, big-endian): magic "FLNR", format version, template,
// data set name, field names, row count, the rows as text lists, an index of
// each row's offset, and last the index's offset.
namespace PreparedReportFile {

inline const QString kExtension = QStringLiteral(".flnr");

// Throws AppError ("Не удалось записать файл X: <reason>") when the file
// cannot be written; returns false when `progress` cancelled. Either way an
// older file of that name stays as it was and nothing else is left.
bool save(const PreparedReport& report, const QString& fileName,
          const std::function<bool(qint64 done, qint64 total)>& progress = {});

// Throws AppError for a file that is not a prepared report of ours: every
// count, offset and length is checked against the file's size and the
// template against sane geometry before anything is allocated or drawn.
std::unique_ptr<PreparedReport> open(const QString& fileName);
// The same from `device`, open for reading and seekable; `name` names it in
// messages.
std::unique_ptr<PreparedReport> open(std::unique_ptr<QIODevice> device, const QString& name);

} // namespace PreparedReportFile
