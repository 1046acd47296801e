#include "data/dbf_file.h"

#include "data/dbf_errors.h"

#include "platform/app_error.h"
#include "platform/code_page.h"
#include "platform/file_lock.h"

#include <QDate>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

using namespace DbfErrors;

namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr char kEof = 0x1A;
constexpr char kTerminator = 0x0D;
constexpr qint64 kCacheBytes = 256 * 1024;

const QString kHeldOpen = QStringLiteral("another program has it open");

quint16 le16(const char* p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}
quint32 le32(const char* p)
{
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
           quint32(quint8(p[3])) << 24;
}
void putLe16(char* p, quint16 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}
void putLe32(char* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

// The date of last update, bytes 1 to 3.
void putToday(char* header)
{
    const QDate today = QDate::currentDate();
    header[1] = char(std::clamp(today.year() - 1900, 0, 255));
    header[2] = char(today.month());
    header[3] = char(today.day());
}

bool acceptedVersion(quint8 v)
{
    const int low = v & 7;
    return (low >= 2 && low <= 5) || v == 0x30 || v == 0x31 || v == 0xF5 || v == 0xFB;
}

bool knownType(char t)
{
    return std::strchr("CNFLDMBGI+@OTY0", t) != nullptr && t != 0;
}

DbfField::Kind kindOf(char type, int length, int decimals)
{
    switch (type) {
    case 'N':
    case 'F':
        if (decimals > 0)
            return DbfField::Kind::Float;
        if (length <= 4)
            return DbfField::Kind::SmallInt;
        if (length <= 9)
            return DbfField::Kind::Integer;
        return DbfField::Kind::LargeInt;
    case 'I':
    case '+':
        return DbfField::Kind::Integer;
    case 'C':
        return DbfField::Kind::Character;
    case 'O':
        return DbfField::Kind::Float;
    default:
        return DbfField::Kind::Other;
    }
}

// Anything but a regular file is refused before it is opened: a named pipe
// would block the open for ever, a device would be read as a table.
void requireRegularFile(const QString& path, const QString& failure)
{
    const QFileInfo fi(path);
    if (fi.isDir())
        throw AppError::format(failure, {path, QStringLiteral("it is a folder")});
    if (!fi.isFile())
        throw AppError::format(failure, {path, QStringLiteral("not a regular file")});
}

// Opens `path` for writing and takes the write lock as create and open do,
// then lets both go again.
void probeWriting(const QString& path, const QString& failure)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        throw AppError::format(failure, {path, f.errorString()});
    if (!tryLockForWriting(f.handle()))
        throw AppError::format(failure, {path, kHeldOpen});
    unlockForWriting(f.handle());
}

void writeNewTable(QFile& f, const QString& path, std::span<const MeasurementSchema::Field> fields,
                   quint8 languageDriver)
{
    const int n = int(fields.size());
    const int hl = kHeaderSize + kDescriptorSize * n + 1;
    int rl = 1;
    for (const MeasurementSchema::Field& s : fields)
        rl += s.length;
    QByteArray bytes(hl + 1, '\0');
    char* h = bytes.data();
    h[0] = 0x03;
    const QDate today = QDate::currentDate();
    h[1] = char(today.year() - 1900);
    h[2] = char(today.month());
    h[3] = char(today.day());
    putLe32(h + 4, 0);
    putLe16(h + 8, quint16(hl));
    putLe16(h + 10, quint16(rl));
    h[29] = char(languageDriver);
    for (int i = 0; i < n; ++i) {
        char* d = h + kHeaderSize + kDescriptorSize * i;
        std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
        d[11] = fields[i].type;
        d[16] = char(fields[i].length);
    }
    h[hl - 1] = kTerminator;
    h[hl] = kEof;
    if (!f.resize(0) || f.write(bytes) != bytes.size() || !f.flush())
        throw AppError::format(kCannotCreate, {path, f.errorString()});
}

} // namespace

// --- files that are not open ---

void DbfFile::create(const QString& path, std::span<const MeasurementSchema::Field> fields,
                     quint8 languageDriver)
{
    if (QFileInfo::exists(path))
        requireRegularFile(path, kCannotCreate);
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        throw AppError::format(kCannotCreate, {path, f.errorString()});
    if (!tryLockForWriting(f.handle())) {
        // Someone else's open table: not ours to empty or delete.
        f.close();
        throw AppError::format(kCannotCreate, {path, kHeldOpen});
    }
    try {
        writeNewTable(f, path, fields, languageDriver);
    } catch (const AppError&) {
        unlockForWriting(f.handle());
        f.close();
        QFile::remove(path);
        throw;
    }
    unlockForWriting(f.handle());
    f.close();
}

void DbfFile::checkCanCreate(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    requireRegularFile(path, kCannotCreate);
    probeWriting(path, kCannotCreate);
}

void DbfFile::checkCanOpenForWriting(const QString& path)
{
    probeWriting(path, kCannotOpen);
}

// --- life cycle ---

void DbfFile::open(const QString& path, bool writable)
{
    m_file.setFileName(path);
    if (!QFileInfo::exists(path))
        throw AppError::format(QStringLiteral("Table does not exist: %s"), {path});
    requireRegularFile(path, kCannotOpen);
    const QIODevice::OpenMode mode =
        (writable ? QIODevice::ReadWrite : QIODevice::ReadOnly) | QIODevice::Unbuffered;
    if (!m_file.open(mode))
        throw AppError::format(kCannotOpen, {path, m_file.errorString()});
    if (writable) {
        if (!tryLockForWriting(m_file.handle()))
            throw AppError::format(kCannotOpen, {path, kHeldOpen});
        m_locked = true;
    }
    m_readOnly = !writable;

    m_fileLength = m_file.size();
    if (m_fileLength < kHeaderSize || !readAt(0, m_header.data(), kHeaderSize))
        throw AppError(kInvalidFile);
    const quint8 version = quint8(m_header[0]);
    if (!acceptedVersion(version))
        throw AppError(kInvalidFile);
    m_headerLength = le16(m_header.constData() + 8);
    m_recordLength = le16(m_header.constData() + 10);
    if (m_headerLength == 0 || m_recordLength == 0)
        throw AppError(QString()); // abandoned without a message

    // Descriptors, up to the terminator.
    const int maxDescriptors = (m_headerLength - kHeaderSize) / kDescriptorSize;
    if (maxDescriptors > 4095)
        throw AppError::format(kFieldCount, {QString::number(maxDescriptors)});
    if (maxDescriptors < 1)
        throw AppError::format(kFieldCount, {QStringLiteral("0")});
    if (m_headerLength > m_fileLength)
        throw AppError(kInvalidFile);
    QByteArray area(m_headerLength - kHeaderSize, '\0');
    if (!readAt(kHeaderSize, area.data(), area.size()))
        throw AppError(kInvalidFile);
    int offset = 1;
    for (int i = 0; i < maxDescriptors; ++i) {
        const char* d = area.constData() + i * kDescriptorSize;
        int nameLength = 0;
        while (nameLength < 11 && d[nameLength] != 0)
            ++nameLength;
        DbfField f;
        f.name = QString::fromLatin1(d, nameLength).toUpper();
        f.type = QChar::fromLatin1(d[11]).toUpper().toLatin1();
        f.length = quint8(d[16]);
        f.decimals = quint8(d[17]);
        if (f.name.isEmpty() || !knownType(f.type))
            throw AppError(kInvalidFile);
        f.offset = offset;
        f.kind = kindOf(f.type, f.length, f.decimals);
        offset += f.length;
        // A descriptor that reaches past the record would read other records' bytes.
        if (offset > m_recordLength)
            throw AppError(kInvalidFile);
        m_fields << f;
        const int next = (i + 1) * kDescriptorSize;
        if (next < area.size() && area[next] == kTerminator)
            break;
    }
    for (int i = 0; i < m_fields.size(); ++i) {
        QString name = m_fields[i].name;
        for (int n = 2; m_fieldByName.contains(name); ++n)
            name = m_fields[i].name + QString::number(n);
        m_fields[i].name = name;
        m_fieldByName.insert(name, i);
    }

    bool hasMemo = false;
    for (const DbfField& f : m_fields)
        hasMemo = hasMemo || f.type == 'M';
    if ((version & 0x80) && !hasMemo)
        m_header[0] = char(version & 0x7F);

    m_count = le32(m_header.constData() + 4);
}

void DbfFile::close()
{
    if (m_locked)
        unlockForWriting(m_file.handle());
    m_locked = false;
    m_file.close();
    m_readOnly = false;
    m_fields.clear();
    m_fieldByName.clear();
    m_count = 0;
    m_headerLength = m_recordLength = 0;
    m_headerDirty = false;
    dropCache();
}

bool DbfFile::finish()
{
    bool ok = headerRewrite();
    ok = flushHeader() && ok;
    return m_file.flush() && ok;
}

// --- header ---

DbfHeaderInfo DbfFile::headerInfo(bool open) const
{
    DbfHeaderInfo h;
    const char* p = m_header.constData();
    h.version = quint8(p[0]);
    const int low = h.version & 7;
    h.level = low == 3 ? (p[29] ? 4 : 3) : low == 4 ? 7 : low;
    if (h.version == 0x30 || h.version == 0x31 || h.version == 0xF5 || h.version == 0xFB)
        h.level = 0;
    h.year = 1900 + quint8(p[1]);
    h.month = quint8(p[2]);
    h.day = quint8(p[3]);
    h.recordCount = open ? m_count : le32(p + 4);
    h.headerLength = le16(p + 8);
    h.recordLength = le16(p + 10);
    h.productionIndexFlag = quint8(p[28]);
    h.languageDriver = quint8(p[29]);
    h.codePage = codePageOfLanguageDriver(h.languageDriver);
    return h;
}

void DbfFile::setProductionIndexFlag(bool on)
{
    m_header[28] = on ? 1 : 0;
    m_headerDirty = true;
}

void DbfFile::setCount(quint32 n)
{
    m_count = n;
    putLe32(m_header.data() + 4, n);
}

void DbfFile::stampToday()
{
    putToday(m_header.data());
    m_headerDirty = true;
}

bool DbfFile::headerRewrite()
{
    stampToday();
    return writeAt(recordOffset(m_count + 1), &kEof, 1);
}

bool DbfFile::flushHeader()
{
    if (!m_headerDirty)
        return true;
    if (!writeAt(0, m_header.constData(), kHeaderSize))
        return false;
    m_headerDirty = false;
    return true;
}

bool DbfFile::reReadHeader()
{
    if (!flushHeader())
        return false;
    QByteArray h(kHeaderSize, '\0');
    if (!readAt(0, h.data(), kHeaderSize))
        return false;
    m_header = h;
    m_count = le32(m_header.constData() + 4);
    return true;
}

void DbfFile::reconcileCount()
{
    const quint32 physical = m_fileLength > m_headerLength
                                 ? quint32((m_fileLength - m_headerLength) / m_recordLength)
                                 : 0;
    if (physical != m_count) {
        setCount(physical);
        if (!m_readOnly && !headerRewrite())
            throw AppError(kWriteError);
    }
}

// --- fields ---

const DbfField& DbfFile::field(const QString& name) const
{
    const auto it = m_fieldByName.constFind(name.toUpper());
    if (it == m_fieldByName.cend())
        throw AppError::format(kFieldNotFound, {name});
    return m_fields[*it];
}

// --- records ---

bool DbfFile::readAt(qint64 offset, char* dst, qint64 n)
{
    return readFileAt(m_file.handle(), offset, dst, n) == n;
}

bool DbfFile::writeAt(qint64 offset, const char* src, qint64 n)
{
    return writeFileAt(m_file.handle(), offset, src, n) == n;
}

const char* DbfFile::loadBlock(quint32 rec)
{
    if (rec == 0 || rec > m_count)
        throw AppError(kReadError);
    if (rec >= m_cacheFirst && rec < m_cacheFirst + m_cacheCount)
        return m_cache.constData() + qint64(rec - m_cacheFirst) * m_recordLength;
    const quint32 perBlock = quint32(std::max<qint64>(1, kCacheBytes / m_recordLength));
    // Walking backwards keeps the record at the end of the block.
    quint32 first = rec;
    if (m_cacheCount && rec < m_cacheFirst)
        first = rec > perBlock ? rec - perBlock + 1 : 1;
    const quint32 n = std::min(perBlock, m_count - first + 1);
    m_cache.resize(qint64(n) * m_recordLength);
    m_cacheCount = 0;
    const qint64 got =
        readFileAt(m_file.handle(), recordOffset(first), m_cache.data(), m_cache.size());
    if (got < 0)
        throw AppError(kReadError);
    m_cacheFirst = first;
    m_cacheCount = quint32(got / m_recordLength);
    if (rec >= m_cacheFirst + m_cacheCount)
        throw AppError(kReadError); // the file was cut short behind our back
    return m_cache.constData() + qint64(rec - m_cacheFirst) * m_recordLength;
}

void DbfFile::updateCache(quint32 rec, const char* bytes)
{
    if (rec >= m_cacheFirst && rec < m_cacheFirst + m_cacheCount)
        std::memcpy(m_cache.data() + qint64(rec - m_cacheFirst) * m_recordLength, bytes,
                    m_recordLength);
}

QByteArray DbfFile::readRecord(quint32 rec)
{
    QByteArray bytes(m_recordLength, '\0');
    if (!readAt(recordOffset(rec), bytes.data(), bytes.size()))
        throw AppError(kReadError);
    updateCache(rec, bytes.constData());
    return bytes;
}

void DbfFile::writeRecord(quint32 rec, const QByteArray& bytes)
{
    if (!writeAt(recordOffset(rec), bytes.constData(), m_recordLength))
        throw AppError(kWriteError);
    updateCache(rec, bytes.constData());
}

void DbfFile::markDeleted(quint32 rec)
{
    const char flag = '*';
    if (!writeAt(recordOffset(rec), &flag, 1))
        throw AppError(kWriteError);
    QByteArray image(record(rec), m_recordLength);
    image[0] = flag;
    updateCache(rec, image.constData());
}

quint32 DbfFile::appendRecord(const QByteArray& bytes)
{
    // The header is read again from the file before every append.
    if (!reReadHeader())
        throw AppError(kWriteError);
    const quint32 slot = m_count + 1;
    setCount(slot);
    stampToday();
    // The record and the end-of-file byte after it, in one write.
    QByteArray out = bytes;
    out.append(kEof);
    if (!writeAt(recordOffset(slot), out.constData(), out.size())) {
        // Whatever part of the record reached the disk goes again: a whole
        // record without its end byte would be counted by the next open.
        m_file.resize(recordOffset(slot));
        setCount(slot - 1);
        headerRewrite();
        flushHeader();
        throw AppError(kWriteError);
    }
    return slot;
}

RecordReader DbfFile::recordReader()
{
    return [this](quint32 first, quint32 n) {
        QByteArray bytes(qint64(n) * m_recordLength, '\0');
        if (!readAt(recordOffset(first), bytes.data(), bytes.size()))
            throw AppError(kReadError);
        return bytes;
    };
}

bool DbfFile::writePackedCopy(QIODevice& out)
{
    QByteArray head(m_headerLength, '\0');
    if (!flushHeader() || !readAt(0, head.data(), head.size()))
        return false;
    if (out.write(head) != head.size())
        return false;
    quint32 copied = 0;
    const quint32 perChunk = quint32(std::max<qint64>(1, (1 << 20) / m_recordLength));
    QByteArray chunk;
    for (quint32 r = 1; r <= m_count; r += perChunk) {
        const quint32 n = std::min(perChunk, m_count - r + 1);
        chunk.resize(qint64(n) * m_recordLength);
        if (!readAt(recordOffset(r), chunk.data(), chunk.size()))
            return false;
        QByteArray packed;
        packed.reserve(chunk.size());
        for (quint32 i = 0; i < n; ++i) {
            const char* rec = chunk.constData() + qint64(i) * m_recordLength;
            if (rec[0] != '*') {
                packed.append(rec, m_recordLength);
                ++copied;
            }
        }
        if (out.write(packed) != packed.size())
            return false;
    }
    putToday(head.data());
    putLe32(head.data() + 4, copied);
    return out.write(&kEof, 1) == 1 && out.seek(0) &&
           out.write(head.constData(), kHeaderSize) == kHeaderSize;
}
