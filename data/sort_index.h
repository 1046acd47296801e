#pragma once

#include "data/dbf_field.h"
#include "data/mdx_file.h"
#include "data/sort_key.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Reads the images of records first .. first + count - 1 (deletion flag
// included) into one buffer, record after record.
using RecordReader = std::function<QByteArray(quint32 first, quint32 count)>;

// One tag in memory: every record's key and the records in the tag's order,
// all of them (as the file holds them) and the live ones (as browsing shows
// them), each with random access by position. Equal keys stay in record
// order in both directions.
class SortTag
{
public:
    SortTag(const QString& name, const SortKeyExpression& key, bool descending,
            quint8 languageDriver);

    const QString& name() const { return m_name; } // upper case
    const QString& expression() const { return m_expression; }
    bool descending() const { return m_descending; }
    SortKeyType keyType() const { return m_order.type(); }
    int keyLength() const { return m_keyLength; }

    // Builds the tag from all records of the table (deleted ones included).
    void build(const RecordReader& read, quint32 recordCount);

    void insert(quint32 recNo, QByteArrayView record); // a new record
    void update(quint32 recNo, QByteArrayView record); // a posted record, new image
    void remove(quint32 recNo);                        // a deleted record

    qint64 liveCount() const { return qint64(m_live.size()); }
    quint32 liveAt(qint64 position) const { return m_live[size_t(position)]; }
    qint64 livePositionOf(quint32 recNo) const; // -1 when not a live record of the tag
    const std::vector<quint32>& live() const { return m_live; }
    const std::vector<quint32>& entries() const { return m_all; }

    MdxTag toMdx() const;

private:
    QByteArray keyOf(QByteArrayView record) const;
    QByteArrayView storedKey(quint32 recNo) const;
    bool before(quint32 a, quint32 b) const; // a sorts before b in the tag
    void place(std::vector<quint32>& list, quint32 recNo);
    static void erase(std::vector<quint32>& list, qint64 at);
    qint64 find(const std::vector<quint32>& list, quint32 recNo) const;

    enum : quint8
    {
        kNoKey,
        kLive,
        kDeletedRecord
    };

    QString m_name;
    QString m_expression;
    SortKeyExpression m_key;
    int m_keyLength;
    bool m_descending;
    SortKeyOrder m_order;
    QByteArray m_keys;           // by record number - 1, m_keyLength bytes each
    std::vector<quint8> m_state; // by record number - 1
    std::vector<quint32> m_all;
    std::vector<quint32> m_live;
    mutable qint64 m_hint = 0; // position of the last record looked up
};

// The production index of an open table: the .mdx file beside it and its
// tags, kept in memory and current with every change of the table, written
// to the file when a tag is added or removed and when the table is flushed or
// closed.
class SortIndex
{
public:
    SortIndex(const QString& path, const QString& tableName, quint8 languageDriver,
              QList<DbfField> fields);
    ~SortIndex();

    const QString& path() const { return m_path; }

    // Opens the existing file: its tags are built again from the records, so
    // that they agree with the table whatever the file held. Throws AppError
    // on a damaged or foreign file or a tag on a field the table lacks.
    void load(const RecordReader& read, quint32 recordCount);

    // Adds (or replaces) a tag and writes the file. False when the tag breaks
    // a limit or cannot be written: the tag is dropped again, and a file
    // created for it is deleted.
    bool addTag(const QString& name, const QString& expression, bool descending,
                const RecordReader& read, quint32 recordCount);
    // True when the tag existed. The file is rewritten, or deleted when no tag is left.
    bool removeTag(const QString& name);
    void regenerate(const RecordReader& read, quint32 recordCount);

    bool isEmpty() const { return m_tags.empty(); }
    SortTag* tag(const QString& name) const; // ignoring case; null when missing

    void append(quint32 recNo, QByteArrayView record);
    void post(quint32 recNo, QByteArrayView record);
    void remove(quint32 recNo);

    void save() const; // throws AppError
    void deleteFile() const;

private:
    QString m_path;
    QString m_tableName;
    quint8 m_languageDriver;
    QList<DbfField> m_fields;
    std::vector<std::unique_ptr<SortTag>> m_tags;
};
