#pragma once

#include "platform/unseen_file.h"

#include <QString>

#include <memory>

class DbfFile;

// Packing a table: the same header and fields with only its live records, in
// file order. The packed copy is written unseen in the table's folder and
// takes the table's name only when it is whole and on the disk, in one step:
// a failure, a full disk or a kill leaves the old table as it was, and no
// other file beside it.
class DbfPack
{
public:
    // Writes the packed copy of `file`, the table at `tablePath`. Throws the
    // table layer's write error; nothing has changed then.
    DbfPack(DbfFile& file, const QString& tablePath);
    DbfPack(const DbfPack&) = delete;
    DbfPack& operator=(const DbfPack&) = delete;
    ~DbfPack(); // an unfinished copy goes

    // Puts the packed copy in the table's place. Throws the write error, and
    // the table stays as it was.
    void replaceTable();

private:
    std::unique_ptr<OutputFile> m_out;
};
