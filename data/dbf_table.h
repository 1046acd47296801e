#pragma once

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include "data/dbf_field.h"
#include "platform/regional_settings.h"

#include <memory>
#include <optional>

// The table layer behind the main window's `Dbf1`: one dBase IV table file of
// the measurement schema (or a foreign file carrying its eight fields), opened
// exclusively, browsed in record order or in the order of the sort tag.
//
// Rows are read and written one record at a time at their offsets; the table
// is never loaded into memory. The "current order" gives random access by
// position over the live records, which the grid uses.
//
// Every failure throws AppError with the texts the user sees.
class DbfTable : public QObject
{
    Q_OBJECT

public:
    enum class Access
    {
        ReadWrite,
        ReadOnly
    };
    enum class State
    {
        Inactive,
        Browse,
        Edit,
        Insert
    };

    explicit DbfTable(QObject* parent = nullptr);
    ~DbfTable() override;

    // --- settings (only while closed) ---
    void setTableFile(const QString& path);
    QString tableFile() const;
    QString indexFile() const; // the table's path with the extension replaced by .mdx
    // The language driver byte a new table gets. By default the one the
    // system's code page and locale select, unless that code page cannot hold
    // the program's Cyrillic texts: then 0xC9 (Windows-1251).
    void setNewTableLanguageDriver(quint8 id);
    quint8 newTableLanguageDriver() const;
    static quint8 systemLanguageDriver();
    // The same choice for a given ANSI code page and Windows locale.
    static quint8 languageDriverFor(int ansiCodePage, quint16 locale);

    // --- life cycle ---
    void create(); // the empty measurement table; leaves the table closed
    // Checks, changing nothing, what create() and open() for writing would
    // refuse (with their texts): something that is not a regular file, a
    // file this user may not write, a file another program holds open; for
    // open also a file that is not a table. A missing file passes the create
    // check. Only while closed.
    void checkCanCreate() const;
    void checkCanOpenForWriting();
    void open(Access access = Access::ReadWrite);
    void close();
    bool isOpen() const;
    bool isReadOnly() const;
    State state() const;

    DbfHeaderInfo header() const;
    quint32 recordCount() const; // physical, deleted-flagged ones included
    const QList<DbfField>& fields() const;
    int fieldIndex(const QString& name) const; // ignoring case, -1 when missing

    // --- browsing live records in the current order ---
    void first();
    void last();
    void next();
    void prior();
    bool eof() const;
    bool bof() const;
    bool isEmpty() const;
    quint32 recNo() const; // record number of the current record, 0 when none
    void goToRecord(quint32 recNo);

    // --- random access to the current order ---
    qint64 rowCount() const; // live records
    // The live records counted up to `limit` and no further: tells an empty
    // table or one of a single row from a longer one without the walk over
    // the whole table that rowCount() takes the first time.
    qint64 rowCountUpTo(qint64 limit) const;
    qint64 position() const; // of the current record, -1 when none
    void goToPosition(qint64 position);
    quint32 recordAt(qint64 position) const;
    qint64 positionOf(quint32 recNo) const; // -1 for a deleted or unknown record

    // --- field values of the current record (or of the edit/insert buffer) ---
    QVariant value(int field) const;          // null, qint64 (integer kinds), double, or QString
    QString text(const QString& field) const; // empty for null
    static QString textOf(const QVariant& value); // a decoded value as text() writes it
    std::optional<qint64> integer(const QString& field) const; // nullopt for null
    // A text field holding a regional number (T_1, T_2) read as a number
    // straight from the record bytes: the fast path for walking whole tables.
    // nullopt for null; a text that is no number throws the regional error.
    // Defined here so that the optional is built in the caller: returned from
    // the library, it goes through memory in a way that stalls the walk.
    std::optional<double> number(int field, const RegionalSettings& rs) const
    {
        double v;
        return readNumber(field, rs, v) ? std::optional<double>(v) : std::nullopt;
    }
    // The same where an empty field is no number either: it throws the
    // regional error as any other text that does not convert.
    double requiredNumber(int field, const RegionalSettings& rs) const
    {
        double v;
        return readNumber(field, rs, v) ? v : textToFloat(QString(), rs);
    }

    // --- changes ---
    void append(); // starts a new record (100 spaces); post writes it at the end
    void edit();   // re-reads the current record and keeps its old image
    void post();
    void cancel();
    void setText(const QString& field, const QString& text);
    void setInteger(const QString& field, std::optional<qint64> value);
    void deleteRecord(); // marks the current record deleted
    void pack();
    void refresh();

    // The displays are frozen between these: no signal is sent, and one
    // contentsChanged() follows the last enableControls().
    void disableControls();
    void enableControls();

    // --- sort tags in the production index file ---
    void addSortTag(const QString& tag, const QString& expression, bool descending);
    void removeSortTag(const QString& tag);
    void closeIndexFile(const QString& indexFileName);
    void selectSortTag(const QString& tag); // empty or unknown: record order
    QString selectedSortTag() const;
    // On a table opened read-only: browse in the order a sort tag with this
    // key expression (a field, VAL or CTOD of one) would give, built in
    // memory. Nothing is written, neither the table nor an index file.
    // Throws "Field '%s' not found" for an unknown field.
    void sortForReading(const QString& expression, bool descending);
    void regenerateIndexes();

Q_SIGNALS:
    void currentChanged();  // the current record moved
    void contentsChanged(); // rows or their order changed: views re-read
    void activeChanged(bool open);

protected:
    void connectNotify(const QMetaMethod& signal) override;
    void disconnectNotify(const QMetaMethod& signal) override;

private:
    bool readNumber(int field, const RegionalSettings& rs, double& v) const; // false: null

    // Records read without moving the current one: the means of
    // TableRowReader, through which every other reader goes. The live
    // records of the current order one after another (0: none); a copy of a
    // record; its bytes as the file holds them, valid until the next read
    // (null when there is none); and a field of such bytes: its raw bytes
    // (the table's code page, padded), its value, or a regional number as
    // number() reads it (false for null).
    friend class TableRowReader;
    quint32 firstInOrder() const; // 0: none
    quint32 nextInOrder(quint32 recNo) const;
    QByteArray recordBytes(quint32 recNo) const;
    const char* peekRecord(quint32 recNo) const;
    QByteArrayView fieldBytes(const char* record, int field) const;
    QVariant decodeAt(const char* record, int field) const;
    bool numberAt(const char* record, int field, const RegionalSettings& rs, double& v) const;

    struct Impl;
    std::unique_ptr<Impl> d;
};
