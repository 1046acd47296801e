#pragma once

#include "data/archive_image.h"
#include "data/statistics.h"
#include "platform/regional_settings.h"

#include <QString>

#include <optional>

class DbfTable;

// The document's messages, shown by the windows and printed by the command
// line in the same words.
namespace DocumentTexts {
inline const QString kArchiveEmpty = QStringLiteral("Архив прибора пуст!");
inline const QString kBrokenTable = QStringLiteral("База данных повреждена !");
inline const QString kAppendCaption = QStringLiteral("Дополнение");
// "Добавлено записей: N"
inline QString recordsAdded(int count)
{
    return QStringLiteral("Добавлено записей: ") + QString::number(count);
}
// The question before "Создать" replaces a file: "Файл t.db уже существует. Заменить его?"
inline QString replaceQuestion(const QString& fileName)
{
    return QStringLiteral("Файл %1 уже существует. Заменить его?").arg(fileName);
}
} // namespace DocumentTexts

// What the document commands change besides the table, and the regional
// settings they read its texts with.
struct DocumentState
{
    bool tableOpen = false; // a measurement table is open in the main window
    bool modified = false;  // the user may have unsaved changes
    TableStatistics statistics;
    ArchiveImage archive;
    RegionalSettings regional;
};

// The work behind the document commands (New, Open, Append, Save, Close) and
// the row operations, over the table component and the document's state
// above. It asks nothing and shows nothing: the main window asks the user
// and calls these steps in its own order, the command line calls the same
// steps without a window.
class MeasurementDocument
{
public:
    MeasurementDocument(DbfTable& table, DocumentState& state);

    DbfTable& table() { return m_table; }
    DocumentState& state() { return m_state; }

    // --- Create_DB ---
    // Both flags false and the table component closed.
    void beginCreate();
    // Whether the archive image holds no record ("Архив прибора пуст!").
    bool archiveEmpty() const;
    // Checks the archive image, then creates the table file at `path` (an
    // existing file is replaced), opens it and sets the open flag. An image
    // whose records reach past what the download decoded is refused before
    // the file is touched.
    void createTable(const QString& path);
    // Every archive record becomes a row, N from 1. Returns the rows added.
    int fillFromArchive();

    // --- Open_DB ---
    // Opens the table at `path` exclusively and sets the open flag. Returns
    // false, with the table component closed, when the file cannot be opened
    // as a table for any reason.
    bool openTable(const QString& path);

    // --- Append ---
    // Adds the archive records newer than the table's last row; nullopt when
    // the table component is not open.
    std::optional<int> appendFromArchive();

    // --- Save_DB ---
    // Closes and reopens the table so everything reaches the disk, keeping
    // the selected sort tag; clears the modified flag. Nothing happens
    // without an open table. (The window ends the grid's cell edit first.)
    void save();

    // --- Close_DB, steps after the question and the layout ---
    // Both flags false; closes the table and deletes its sort index file.
    void close();

    // --- statistics ---
    qint64 findMma();

    // --- row operations ---
    // After the grid marked the selected rows deleted: pack, close, reopen on
    // the first row, modified flag false.
    void packAndReopen();
    // Numbers the rows 1, 2, 3, ... in the order in which they are shown
    // (record order or the selected sort tag's), then closes and reopens the
    // table keeping the sort tag. The rows are taken in display order before
    // any number changes, so a table sorted by N itself is numbered in its
    // order as it was shown, each row exactly once.
    void renumber();

    // Title of the main window for an opened table: the file name without its
    // last extension, " - ", the application title.
    static QString titleFor(const QString& path);

private:
    void reopenKeepingSort();

    DbfTable& m_table;
    DocumentState& m_state;
};
