#pragma once

#include "data/dbf_field.h"
#include "data/measurement_schema.h"
#include "data/sort_index.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QString>

#include <span>

// One dBase table file while it is open: the header as it is kept in memory
// until it is written back, the field descriptors, and a block cache of
// consecutive records read at their offsets. It knows bytes only; the
// record codec turns them into values, the table layer decides what they mean.
//
// Failures throw AppError with the table layer's texts, or report false where
// the caller goes on with its other steps first.
class DbfFile
{
public:
    // --- files that are not open ---
    // Writes an empty table of these fields; a file there is emptied first.
    // Refuses a file that is not a regular one or that another program holds.
    static void create(const QString& path, std::span<const MeasurementSchema::Field> fields,
                       quint8 languageDriver);
    // What create() would refuse, changing nothing; a missing file passes.
    static void checkCanCreate(const QString& path);
    // Whether open() for writing would get the file and its write lock.
    static void checkCanOpenForWriting(const QString& path);

    // --- life cycle ---
    // Reads the header and the descriptors; for writing also takes the write
    // lock. After a failure close() lets everything go again.
    void open(const QString& path, bool writable);
    // Releases the lock and the file. The header bytes stay for header().
    void close();
    // Writes what is pending (today's date, the end-of-file byte, the header)
    // and flushes. Every step is tried even when one before it failed.
    bool finish();

    bool isReadOnly() const { return m_readOnly; }
    void makeReadOnly() { m_readOnly = true; }

    // --- header ---
    DbfHeaderInfo headerInfo(bool open) const;
    quint8 languageDriver() const { return quint8(m_header[29]); }
    bool hasProductionIndex() const { return m_header[28] != 0; }
    void setProductionIndexFlag(bool on); // stored at the next header write
    // Date of today, pending header write, end-of-file byte after the counted records.
    bool headerRewrite();
    // The file length wins over the header's count; on a writable file the
    // corrected count is written back.
    void reconcileCount();
    quint32 count() const { return m_count; }
    quint16 recordLength() const { return m_recordLength; }

    // --- fields ---
    const QList<DbfField>& fields() const { return m_fields; }
    int fieldIndex(const QString& name) const { return m_fieldByName.value(name.toUpper(), -1); }
    const DbfField& field(const QString& name) const; // throws "Field '%s' not found"

    // --- records ---
    // The bytes of record `rec` (1-based), valid until the next record read.
    const char* record(quint32 rec)
    {
        if (rec != 0 && rec <= m_count && rec >= m_cacheFirst && rec < m_cacheFirst + m_cacheCount)
            return m_cache.constData() + qint64(rec - m_cacheFirst) * m_recordLength;
        return loadBlock(rec);
    }
    bool live(quint32 rec) { return record(rec)[0] != '*'; }
    void dropCache() { m_cacheCount = 0; }
    // The record as it is on disk now, not as the cache remembers it.
    QByteArray readRecord(quint32 rec);
    void writeRecord(quint32 rec, const QByteArray& bytes);
    void markDeleted(quint32 rec);
    // Writes the record after the last one, with the header read again from
    // the file first; returns its number. A failed write leaves no part of it.
    quint32 appendRecord(const QByteArray& bytes);
    RecordReader recordReader();
    // The same header and fields with the live records in file order, into
    // `out` (open for writing); false when a read or write failed.
    bool writePackedCopy(QIODevice& out);

private:
    const char* loadBlock(quint32 rec);
    qint64 recordOffset(quint32 rec) const
    {
        return qint64(m_headerLength) + qint64(m_recordLength) * (qint64(rec) - 1);
    }
    bool readAt(qint64 offset, char* dst, qint64 n);
    bool writeAt(qint64 offset, const char* src, qint64 n);
    void updateCache(quint32 rec, const char* bytes);
    void setCount(quint32 n);
    void stampToday();
    bool flushHeader();
    bool reReadHeader();

    QFile m_file;
    qint64 m_fileLength = 0; // as found at open
    bool m_readOnly = false;
    bool m_locked = false;

    QByteArray m_header = QByteArray(32, '\0');
    bool m_headerDirty = false;
    quint16 m_headerLength = 0;
    quint16 m_recordLength = 0;
    quint32 m_count = 0;
    QList<DbfField> m_fields;
    QHash<QString, int> m_fieldByName;

    // Block cache of consecutive records.
    QByteArray m_cache;
    quint32 m_cacheFirst = 0;
    quint32 m_cacheCount = 0;
};
