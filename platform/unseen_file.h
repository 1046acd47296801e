#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

class AppError;

// A new file that nobody sees until it is complete. On Linux it is an unnamed
// file in the target folder (O_TMPFILE), given its name only by publish(), so
// that neither a failure nor a kill can leave a part-written file behind.
// Where the file system has no unnamed files, a hidden ".fln-XXXXXX" file in
// the folder stands in; it is removed on failure and on SIGINT, SIGTERM and
// SIGHUP (only SIGKILL can leave it).
class UnseenFile
{
public:
    // Throws AppError when the folder takes no new file; with `target`, the
    // error names the file that was to be written.
    explicit UnseenFile(const QString& folder, const QString& target = {});
    ~UnseenFile(); // the file goes unless it was published
    UnseenFile(const UnseenFile&) = delete;
    UnseenFile& operator=(const UnseenFile&) = delete;

    // A path under which the file can be opened while it is being written.
    const QString& path() const { return m_path; }
    // The open descriptor, for writing and for sync().
    int descriptor() const { return m_fd; }

    // Puts what was written on the disk: a write that the system took but
    // could not store (EIO, or ENOSPC found late) fails here, before the
    // file has a name. Throws AppError naming `target`.
    void sync(const QString& target);

    // Gives the file the name `target` in one step, replacing a file of that
    // name. Throws AppError with the system's reason.
    void publish(const QString& target);
    // Gives the file the name `target` only while no file has that name:
    // false when one has, and nothing changed. Throws AppError for any other
    // failure.
    bool publishNew(const QString& target);

private:
    void discard();

    int m_fd = -1;
    QString m_path;
    QString m_namedPath; // the stand-in's name; empty for an unnamed file
    bool m_published = false;
};

// "Не удалось записать файл X: <the system's reason>": the one message for
// a file written for the user that could not be written.
AppError writeFailure(const QString& fileName, const QString& reason);
AppError writeFailure(const QString& fileName, int error); // an errno value

// A file written for the user through QIODevice (QDataStream, QPdfWriter,
// ...): an UnseenFile in the target's folder, every write checked, given its
// name only by commit(). A failure, a cancel (destroyed without commit), a
// signal or a kill leaves the older file of that name untouched, or nothing.
// Small writes are gathered, so a writer of many small pieces costs few
// system calls.
class OutputFile : public QIODevice
{
public:
    // Opened for writing. Throws AppError (see writeFailure) when the
    // folder takes no new file.
    explicit OutputFile(const QString& target);
    ~OutputFile() override;

    const QString& target() const { return m_target; }
    // Whether a write failed; later writes fail at once, and commit() throws
    // with the first failure's reason.
    bool failed() const { return m_error != 0; }
    // Writes out what is gathered, puts it on the disk and gives the file
    // its name, replacing an older file of that name in one step. Throws
    // AppError with the system's reason; the older file stays then.
    void commit();

    bool isSequential() const override { return false; }
    bool seek(qint64 pos) override;
    qint64 size() const override;
    // A writer that closes its device leaves the file for commit().
    void close() override;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool writeOut();

    QString m_target;
    UnseenFile m_file;
    QByteArray m_buffer;
    qint64 m_end = 0; // bytes on the file, where the buffer starts
    int m_error = 0;  // the first failure's errno
};
