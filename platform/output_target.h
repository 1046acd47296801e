#pragma once

#include <QString>
#include <QStringList>

// The file a job is about to write for the user (a workbook, a report, a
// picture), checked before any work against the table it is made from: an
// output never replaces its own table. Returns the refusal's text, or
// nothing when `output` may be written:
// - `output` is one of `tableFiles` (the table and its sort index) by
//   identity, whatever the path says: the same file after following links,
//   or another name of it (a hard link). A path that does not exist yet is
//   none of them.
// - `output` exists and is no regular file (a device, a pipe, a socket),
//   which writing would replace or block on. A folder is left to the writer,
//   which refuses it in its own words.
QString refusedOutput(const QString& output, const QStringList& tableFiles);
