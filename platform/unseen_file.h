#pragma once

#include <QString>

// A new file that nobody sees until it is complete. On Linux it is an unnamed
// file in the target folder (O_TMPFILE), given its name only by publish(), so
// that neither a failure nor a kill can leave a part-written file behind.
// Where the file system has no unnamed files, a hidden ".fln-XXXXXX" file in
// the folder stands in; it is removed on failure and on SIGINT, SIGTERM and
// SIGHUP (only SIGKILL can leave it).
class UnseenFile
{
public:
    // Throws AppError when the folder takes no new file.
    explicit UnseenFile(const QString& folder);
    ~UnseenFile(); // the file goes unless it was published
    UnseenFile(const UnseenFile&) = delete;
    UnseenFile& operator=(const UnseenFile&) = delete;

    // A path under which the file can be opened while it is being written.
    const QString& path() const { return m_path; }

    // Gives the file the name `target` in one step, replacing a file of that
    // name. Throws AppError with the system's reason.
    void publish(const QString& target);
    // Gives the file the name `target` only while no file has that name:
    // false when one has, and nothing changed. Throws AppError for any other
    // failure.
    bool publishNew(const QString& target);

    // Writes `bytes` as the file `target`: all of it or, on any failure
    // (every write and the final sync to the disk checked), nothing, and an
    // older file of that name untouched. Throws AppError
    // "Не удалось записать файл X: <the system's reason>".
    static void writeWhole(const QString& target, const QByteArray& bytes);

private:
    void discard();

    int m_fd = -1;
    QString m_path;
    QString m_namedPath; // the stand-in's name; empty for an unnamed file
    bool m_published = false;
};
