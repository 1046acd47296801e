#include "data/dbf_table.h"

#include "data/measurement_schema.h"
#include "data/sort_index.h"

#include "platform/app_error.h"
#include "platform/code_page.h"
#include "platform/file_lock.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMetaMethod>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <vector>

namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr char kEof = 0x1A;
constexpr char kTerminator = 0x0D;
constexpr qint64 kCacheBytes = 256 * 1024;

const QString kInvalidFile = QStringLiteral("Invalid DBF file.");
const QString kFieldCount = QStringLiteral("Invalid field count: %d (must be between 1 and 4095).");
const QString kFieldNotFound = QStringLiteral("Field '%s' not found");
const QString kTypeMismatch =
    QStringLiteral("Type mismatch for field '%s', expecting: %s actual: %s");
const QString kReadOnly = QStringLiteral("Cannot modify a read-only dataset");
const QString kWriteError = QStringLiteral("Error while writing occurred. (Disk full?)");
const QString kIndexWriteError =
    QStringLiteral("Error while writing occurred; indexes probably corrupted. (Disk full?)");
const QString kReadError = QStringLiteral("Error while reading occurred.");
const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");
const QString kClosed = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString kOpenDataset = QStringLiteral("Cannot perform this operation on an open dataset");
const QString kEmpty = QStringLiteral("Cannot perform this operation on an empty dataset");

struct SchemaField
{
    const char* name;
    char type;
    int length;
};

// The measurement record, in file order.
constexpr SchemaField kSchema[] = {
    {"N", 'N', 4},    {"MODE", 'C', 11}, {"EN_CH", 'N', 4}, {"DATE", 'C', 10},
    {"TIME", 'C', 8}, {"T_1", 'C', 6},   {"T_2", 'C', 6},   {"COMMENT", 'C', 50},
};

bool isIntegerField(const char* name)
{
    return !std::strcmp(name, "N") || !std::strcmp(name, "EN_CH");
}

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

// The type names the failure texts use.
QString typeName(const DbfField& f)
{
    switch (f.kind) {
    case DbfField::Kind::SmallInt:
        return QStringLiteral("SmallInt");
    case DbfField::Kind::Integer:
        return f.type == '+' ? QStringLiteral("AutoInc") : QStringLiteral("Integer");
    case DbfField::Kind::LargeInt:
        return QStringLiteral("LargeInt");
    case DbfField::Kind::Float:
        return QStringLiteral("Float");
    case DbfField::Kind::Character:
        return QStringLiteral("String");
    case DbfField::Kind::Other:
        break;
    }
    switch (f.type) {
    case 'D':
        return QStringLiteral("Date");
    case 'L':
        return QStringLiteral("Boolean");
    case 'M':
        return QStringLiteral("Memo");
    case 'B':
        return QStringLiteral("Blob");
    case 'G':
        return QStringLiteral("Graphic");
    case '@':
    case 'T':
        return QStringLiteral("DateTime");
    case 'Y':
        return QStringLiteral("Currency");
    default:
        return QStringLiteral("Bytes");
    }
}

bool isIntegerKind(DbfField::Kind k)
{
    return k == DbfField::Kind::SmallInt || k == DbfField::Kind::Integer ||
           k == DbfField::Kind::LargeInt;
}

// Integer text as stored: blanks around, an optional sign that may be
// separated from the digits by blanks ("-  5"). Anything else reads as 0.
qint64 parseStoredInteger(const char* p, int n)
{
    int i = 0;
    while (i < n && p[i] == ' ')
        ++i;
    bool neg = false;
    if (i < n && (p[i] == '-' || p[i] == '+')) {
        neg = p[i] == '-';
        ++i;
        while (i < n && p[i] == ' ')
            ++i;
    }
    if (i >= n || p[i] < '0' || p[i] > '9')
        return 0;
    qint64 v = 0;
    for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
        if (v > (std::numeric_limits<qint64>::max() - 9) / 10)
            return 0;
        v = v * 10 + (p[i] - '0');
    }
    while (i < n && p[i] == ' ')
        ++i;
    if (i != n)
        return 0;
    return neg ? -v : v;
}

bool blank(const char* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i] != ' ')
            return false;
    return true;
}

} // namespace

struct DbfTable::Impl
{
    DbfTable* q;
    QString path;
    QFile file;
    bool open = false;
    bool readOnly = false;
    bool locked = false;
    Access access = Access::ReadWrite;
    State state = State::Inactive;

    QByteArray header = QByteArray(kHeaderSize, '\0');
    bool headerDirty = false;
    quint16 headerLength = 0;
    quint16 recordLength = 0;
    quint32 count = 0;
    QList<DbfField> fields;
    QHash<QString, int> fieldByName;
    std::unique_ptr<CodePageConverter> converter; // null: bytes shown as they are
    int codePage = 0;
    quint8 newLanguageDriver = DbfTable::systemLanguageDriver();

    // Block cache of consecutive records.
    QByteArray cache;
    quint32 cacheFirst = 0;
    quint32 cacheCount = 0;

    quint32 current = 0; // record number, 0 when none
    bool atEof = true;
    bool atBof = true;

    QByteArray buffer;   // edit or insert copy
    QByteArray oldImage; // the record as it was when editing began

    int disabled = 0;

    // Live records in the current order, built on first random access.
    bool orderBuilt = false;
    std::vector<quint32> order;

    // The production index (.mdx) while the table has one, and its selected
    // tag; null: record order.
    std::unique_ptr<SortIndex> sortIndex;
    SortTag* sorted = nullptr;
    // The order a read-only table browses in after sortForReading: a tag
    // built in memory only, never written to an index file.
    std::unique_ptr<SortTag> readingOrder;
    // The tag selected when this component last closed a table: a save
    // (close and open) keeps its sort. Only memory of this run; the index
    // file stores no selection, so a new run opens in record order.
    QString selectionAtClose;

    explicit Impl(DbfTable* owner) : q(owner) {}

    // --- raw I/O ---
    qint64 recordOffset(quint32 rec) const
    {
        return qint64(headerLength) + qint64(recordLength) * (qint64(rec) - 1);
    }
    bool readAt(qint64 offset, char* dst, qint64 n)
    {
        return readFileAt(file.handle(), offset, dst, n) == n;
    }
    bool writeAt(qint64 offset, const char* src, qint64 n)
    {
        return writeFileAt(file.handle(), offset, src, n) == n;
    }

    // --- header ---
    void setCount(quint32 n)
    {
        count = n;
        putLe32(header.data() + 4, n);
    }
    // Date of today, pending write, end-of-file byte after the counted records.
    bool headerRewrite()
    {
        const QDate today = QDate::currentDate();
        header[1] = char(std::clamp(today.year() - 1900, 0, 255));
        header[2] = char(today.month());
        header[3] = char(today.day());
        headerDirty = true;
        return writeAt(recordOffset(count + 1), &kEof, 1);
    }
    bool flushHeader()
    {
        if (!headerDirty)
            return true;
        if (!writeAt(0, header.constData(), kHeaderSize))
            return false;
        headerDirty = false;
        return true;
    }
    bool reReadHeader()
    {
        if (!flushHeader())
            return false;
        QByteArray h(kHeaderSize, '\0');
        if (!readAt(0, h.data(), kHeaderSize))
            return false;
        header = h;
        count = le32(header.constData() + 4);
        return true;
    }

    // --- records ---
    void dropCache() { cacheCount = 0; }
    const char* record(quint32 rec)
    {
        if (rec == 0 || rec > count)
            throw AppError(kReadError);
        if (rec >= cacheFirst && rec < cacheFirst + cacheCount)
            return cache.constData() + qint64(rec - cacheFirst) * recordLength;
        const quint32 perBlock = quint32(std::max<qint64>(1, kCacheBytes / recordLength));
        // Walking backwards keeps the record at the end of the block.
        quint32 first = rec;
        if (cacheCount && rec < cacheFirst)
            first = rec > perBlock ? rec - perBlock + 1 : 1;
        const quint32 n = std::min(perBlock, count - first + 1);
        cache.resize(qint64(n) * recordLength);
        cacheCount = 0;
        const qint64 got = readFileAt(file.handle(), recordOffset(first), cache.data(), cache.size());
        if (got < 0)
            throw AppError(kReadError);
        cacheFirst = first;
        cacheCount = quint32(got / recordLength);
        if (rec >= cacheFirst + cacheCount)
            throw AppError(kReadError); // the file was cut short behind our back
        return cache.constData() + qint64(rec - cacheFirst) * recordLength;
    }
    void updateCache(quint32 rec, const char* bytes)
    {
        if (rec >= cacheFirst && rec < cacheFirst + cacheCount)
            std::memcpy(cache.data() + qint64(rec - cacheFirst) * recordLength, bytes,
                        recordLength);
    }
    bool live(quint32 rec) { return record(rec)[0] != '*'; }

    // --- the current order ---
    // Record order of the live records, or the key order of the selected
    // sort tag.
    quint32 orderFirst()
    {
        if (sorted)
            return sorted->liveCount() ? sorted->liveAt(0) : 0;
        for (quint32 r = 1; r <= count; ++r)
            if (live(r))
                return r;
        return 0;
    }
    quint32 orderLast()
    {
        if (sorted)
            return sorted->liveCount() ? sorted->liveAt(sorted->liveCount() - 1) : 0;
        for (quint32 r = count; r >= 1; --r)
            if (live(r))
                return r;
        return 0;
    }
    quint32 orderNext(quint32 rec)
    {
        if (sorted)
            return sortedStep(rec, +1);
        for (quint32 r = rec + 1; r <= count; ++r)
            if (live(r))
                return r;
        return 0;
    }
    quint32 orderPrior(quint32 rec)
    {
        if (sorted)
            return sortedStep(rec, -1);
        for (quint32 r = rec - 1; r >= 1 && r < rec; --r)
            if (live(r))
                return r;
        return 0;
    }
    const std::vector<quint32>& orderRows()
    {
        if (sorted)
            return sorted->live();
        if (!orderBuilt) {
            order.clear();
            for (quint32 r = orderFirst(); r; r = orderNext(r))
                order.push_back(r);
            orderBuilt = true;
        }
        return order;
    }
    qint64 orderPositionOf(quint32 rec)
    {
        if (sorted)
            return sorted->livePositionOf(rec);
        const auto& rows = orderRows();
        const auto it = std::lower_bound(rows.begin(), rows.end(), rec);
        return it != rows.end() && *it == rec ? qint64(it - rows.begin()) : -1;
    }
    void orderAppended(quint32 rec)
    {
        if (orderBuilt)
            order.push_back(rec);
    }
    void orderRemoved(quint32 rec)
    {
        if (!orderBuilt)
            return;
        const auto it = std::lower_bound(order.begin(), order.end(), rec);
        if (it != order.end() && *it == rec)
            order.erase(it);
    }
    void orderReset()
    {
        orderBuilt = false;
        order.clear();
    }

    // --- the sort index ---
    quint32 sortedStep(quint32 rec, int step)
    {
        const qint64 at = sorted->livePositionOf(rec);
        const qint64 to = at + step;
        return at >= 0 && to >= 0 && to < sorted->liveCount() ? sorted->liveAt(to) : 0;
    }
    RecordReader recordReader()
    {
        return [this](quint32 first, quint32 n) {
            QByteArray bytes(qint64(n) * recordLength, '\0');
            if (!readAt(recordOffset(first), bytes.data(), bytes.size()))
                throw AppError(kReadError);
            return bytes;
        };
    }
    QString selectedTagName() const { return sorted ? sorted->name() : QString(); }
    void selectTag(const QString& name)
    {
        if (readingOrder && !name.isEmpty() &&
            name.compare(readingOrder->name(), Qt::CaseInsensitive) == 0)
            sorted = readingOrder.get();
        else
            sorted = sortIndex && !name.isEmpty() ? sortIndex->tag(name) : nullptr;
        orderReset();
    }
    void setIndexFlag(bool on)
    {
        header[28] = on ? 1 : 0;
        headerDirty = true;
    }
    // Open with byte 28 set: the index file's tags, built again from the
    // records, and the tag this component had selected at its last close. A
    // missing, damaged or foreign file only clears the flag (stored at the
    // next header rewrite).
    void indexOpen()
    {
        if (header[28] == 0)
            return;
        const QString indexPath = q->indexFile();
        if (QFileInfo::exists(indexPath)) {
            auto index = std::make_unique<SortIndex>(indexPath, QFileInfo(path).completeBaseName(),
                                                     quint8(header[29]), fields);
            try {
                index->load(recordReader(), count);
                if (!index->isEmpty()) {
                    sortIndex = std::move(index);
                    selectTag(selectionAtClose);
                    return;
                }
            } catch (const AppError&) {
            }
        }
        setIndexFlag(false);
    }
    // The index file is written when a tag is added or removed and here, at
    // close and before pack; in between the tags live in memory.
    bool indexSave()
    {
        if (!sortIndex || readOnly)
            return true;
        try {
            sortIndex->save();
            return true;
        } catch (const AppError&) {
            return false;
        }
    }
    // A pending edit or insert is posted before the tags change, so that no
    // typed value is lost and its key lands in the tags.
    void postPending()
    {
        if (state == State::Edit || state == State::Insert)
            q->post();
    }
    void indexReset()
    {
        sorted = nullptr;
        sortIndex.reset();
        readingOrder.reset();
    }

    // --- signals ---
    // Whether anything listens to currentChanged(): a walk through a whole
    // table moves a million times, and an emission nobody hears is a good part
    // of each step. Qt reports every connection; after a disconnection the
    // answer is asked again at the next move, because connectNotify and
    // disconnectNotify must not call back into the object.
    enum Listeners
    {
        Unknown,
        Some,
        None
    };
    std::atomic<int> currentListeners{Unknown};
    void currentMoved()
    {
        if (disabled)
            return;
        int l = currentListeners.load(std::memory_order_relaxed);
        if (l == Unknown) {
            l = q->isSignalConnected(QMetaMethod::fromSignal(&DbfTable::currentChanged)) ? Some
                                                                                         : None;
            // A connection made meanwhile has already said Some: keep it.
            int expected = Unknown;
            currentListeners.compare_exchange_strong(expected, l, std::memory_order_relaxed);
        }
        if (l == Some)
            emit q->currentChanged();
    }
    void contentsMoved()
    {
        if (!disabled)
            emit q->contentsChanged();
    }

    // --- checks ---
    void requireOpen() const
    {
        if (!open)
            throw AppError(kClosed);
    }
    void requireWritable() const
    {
        requireOpen();
        if (readOnly)
            throw AppError(kReadOnly);
    }
    const DbfField& field(const QString& name) const
    {
        const auto it = fieldByName.constFind(name.toUpper());
        if (it == fieldByName.cend())
            throw AppError::format(kFieldNotFound, {name});
        return fields[*it];
    }
    // The bytes the field values come from: the edit copy, else the current record.
    const char* valueSource()
    {
        if (state == State::Edit || state == State::Insert)
            return buffer.constData();
        if (!open || current == 0)
            return nullptr;
        return record(current);
    }
    char* editBuffer()
    {
        requireWritable();
        if (state != State::Edit && state != State::Insert)
            throw AppError(kNotEditing);
        return buffer.data();
    }

    QString decodeText(const char* p, int n) const
    {
        return converter ? converter->toUnicode(QByteArrayView(p, n)) : QString::fromLatin1(p, n);
    }

    QVariant decodeField(const char* rec, const DbfField& f) const
    {
        const char* p = rec + f.offset;
        int n = f.length;
        if (isIntegerKind(f.kind)) {
            if (blank(p, n))
                return {};
            const qint64 v = parseStoredInteger(p, n);
            if (f.kind == DbfField::Kind::SmallInt && (v < -32768 || v > 32767))
                throw RangeError();
            return QVariant::fromValue<qint64>(v);
        }
        if (f.kind == DbfField::Kind::Float) {
            if (blank(p, n))
                return {};
            bool ok = false;
            const double v = QByteArray(p, n).trimmed().toDouble(&ok);
            return ok ? v : 0.0;
        }
        // Text: trailing blanks (and the NUL padding of some writers) go,
        // leading blanks stay.
        while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
            --n;
        if (n == 0)
            return {};
        return decodeText(p, n);
    }

    void encodeInteger(char* rec, const DbfField& f, std::optional<qint64> v)
    {
        char* p = rec + f.offset;
        std::memset(p, ' ', f.length);
        if (!v)
            return;
        QByteArray text;
        if (f.kind == DbfField::Kind::Float) {
            text = QByteArray::number(double(*v), 'f', f.decimals);
            if (text.size() > f.length)
                throw AppError::format(
                    QStringLiteral("Value %s does not fit field '%s' of %d characters"),
                    {QString::number(*v), f.name, QString::number(f.length)});
            std::memcpy(p + f.length - text.size(), text.constData(), text.size());
            return;
        }
        if (f.kind == DbfField::Kind::Character || f.kind == DbfField::Kind::Other) {
            encodeText(rec, f, QString::number(*v));
            return;
        }
        const bool neg = *v < 0;
        const quint64 mag = neg ? quint64(0) - quint64(*v) : quint64(*v);
        const QByteArray digits = QByteArray::number(mag);
        // Never store a different number: a value wider than the field is refused.
        if (digits.size() + (neg ? 1 : 0) > f.length)
            throw AppError::format(
                QStringLiteral("Value %s does not fit field '%s' of %d characters"),
                {QString::number(*v), f.name, QString::number(f.length)});
        // Right-aligned with the sign next to the digits ("  -5"). The form
        // with the sign in the first byte ("-  5") reads back here too, but
        // other dBase readers take it for 0 or fail on it.
        std::memcpy(p + f.length - digits.size(), digits.constData(), digits.size());
        if (neg)
            p[f.length - digits.size() - 1] = '-';
    }

    void encodeText(char* rec, const DbfField& f, const QString& text)
    {
        char* p = rec + f.offset;
        if (isIntegerKind(f.kind) || f.kind == DbfField::Kind::Float) {
            const QString t = text.trimmed();
            if (t.isEmpty()) {
                encodeInteger(rec, f, std::nullopt);
                return;
            }
            if (f.kind == DbfField::Kind::Float) {
                bool ok = false;
                const double d = t.toDouble(&ok);
                if (!ok)
                    throw AppError::format(
                        QStringLiteral("'%s' is not a valid floating point value"), {text});
                const QByteArray b = QByteArray::number(d, 'f', f.decimals);
                if (b.size() > f.length)
                    throw AppError::format(
                        QStringLiteral("Value %s does not fit field '%s' of %d characters"),
                        {t, f.name, QString::number(f.length)});
                std::memset(p, ' ', f.length);
                std::memcpy(p + f.length - b.size(), b.constData(), b.size());
                return;
            }
            bool ok = false;
            const qint64 v = t.toLongLong(&ok);
            if (!ok)
                throw AppError::format(QStringLiteral("'%s' is not a valid integer value"), {text});
            encodeInteger(rec, f, v);
            return;
        }
        std::optional<QByteArray> bytes =
            converter ? converter->fromUnicode(text) : std::optional<QByteArray>(text.toLatin1());
        if (!bytes)
            throw AppError::format(
                QStringLiteral("The text '%s' cannot be stored in field '%s': code page %d has "
                               "no characters for it"),
                {text, f.name, QString::number(codePage)});
        // A longer text is cut to the field length, at a character boundary.
        QString cut = text;
        while (bytes->size() > f.length && !cut.isEmpty()) {
            cut.chop(1);
            if (!cut.isEmpty() && cut.back().isLowSurrogate())
                cut.chop(1);
            bytes = converter ? converter->fromUnicode(cut) : cut.toLatin1();
        }
        std::memset(p, ' ', f.length);
        std::memcpy(p, bytes->constData(), std::min<qsizetype>(bytes->size(), f.length));
    }

    void reset()
    {
        if (locked)
            unlockForWriting(file.handle());
        locked = false;
        file.close();
        open = false;
        readOnly = false;
        state = State::Inactive;
        fields.clear();
        fieldByName.clear();
        converter.reset();
        codePage = 0;
        count = 0;
        headerLength = recordLength = 0;
        headerDirty = false;
        current = 0;
        atEof = atBof = true;
        buffer.clear();
        oldImage.clear();
        dropCache();
        orderReset();
        indexReset();
    }

    void openFile(Access wanted);
    void positionFirst()
    {
        current = orderFirst();
        atBof = true;
        atEof = current == 0;
    }
    void writeNewTable(QFile& f, quint8 languageDriver);
};

// --- open ---

namespace {

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

const QString kCannotOpen = QStringLiteral("Cannot open table %s: %s");
const QString kCannotCreate = QStringLiteral("Cannot create table %s: %s");
const QString kHeldOpen = QStringLiteral("another program has it open");

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

} // namespace

void DbfTable::Impl::openFile(Access wanted)
{
    file.setFileName(path);
    if (!QFileInfo::exists(path))
        throw AppError::format(QStringLiteral("Table does not exist: %s"), {path});
    requireRegularFile(path, kCannotOpen);
    const QIODevice::OpenMode mode =
        (wanted == Access::ReadOnly ? QIODevice::ReadOnly : QIODevice::ReadWrite) |
        QIODevice::Unbuffered;
    if (!file.open(mode))
        throw AppError::format(kCannotOpen, {path, file.errorString()});
    access = wanted;
    if (wanted == Access::ReadWrite) {
        if (!tryLockForWriting(file.handle()))
            throw AppError::format(kCannotOpen, {path, kHeldOpen});
        locked = true;
    }
    readOnly = wanted == Access::ReadOnly;

    const qint64 fileLength = file.size();
    if (fileLength < kHeaderSize || !readAt(0, header.data(), kHeaderSize))
        throw AppError(kInvalidFile);
    const quint8 version = quint8(header[0]);
    if (!acceptedVersion(version))
        throw AppError(kInvalidFile);
    headerLength = le16(header.constData() + 8);
    recordLength = le16(header.constData() + 10);
    if (headerLength == 0 || recordLength == 0)
        throw AppError(QString()); // abandoned without a message

    // Descriptors, up to the terminator.
    const int maxDescriptors = (headerLength - kHeaderSize) / kDescriptorSize;
    if (maxDescriptors > 4095)
        throw AppError::format(kFieldCount, {QString::number(maxDescriptors)});
    if (maxDescriptors < 1)
        throw AppError::format(kFieldCount, {QStringLiteral("0")});
    if (headerLength > fileLength)
        throw AppError(kInvalidFile);
    QByteArray area(headerLength - kHeaderSize, '\0');
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
        if (offset > recordLength)
            throw AppError(kInvalidFile);
        fields << f;
        const int next = (i + 1) * kDescriptorSize;
        if (next < area.size() && area[next] == kTerminator)
            break;
    }
    for (int i = 0; i < fields.size(); ++i) {
        QString name = fields[i].name;
        for (int n = 2; fieldByName.contains(name); ++n)
            name = fields[i].name + QString::number(n);
        fields[i].name = name;
        fieldByName.insert(name, i);
    }

    bool hasMemo = false;
    for (const DbfField& f : fields)
        hasMemo = hasMemo || f.type == 'M';
    if ((version & 0x80) && !hasMemo)
        header[0] = char(version & 0x7F);

    // Bind the measurement record by name.
    for (const SchemaField& s : kSchema) {
        const auto it = fieldByName.constFind(QString::fromLatin1(s.name));
        if (it == fieldByName.cend())
            throw AppError::format(kFieldNotFound, {QString::fromLatin1(s.name)});
        const DbfField& f = fields[*it];
        if (isIntegerField(s.name)) {
            if (f.kind != DbfField::Kind::SmallInt && f.kind != DbfField::Kind::Integer)
                throw AppError::format(kTypeMismatch,
                                       {f.name, QStringLiteral("SmallInt"), typeName(f)});
        } else if (f.kind != DbfField::Kind::Character) {
            throw AppError::format(kTypeMismatch, {f.name, QStringLiteral("String"), typeName(f)});
        }
    }

    // Texts: through the code page the language driver byte names; a code
    // page this system lacks makes the table read-only.
    codePage = codePageOfLanguageDriver(quint8(header[29]));
    if (codePage == 0)
        codePage = systemAnsiCodePage();
    converter = std::make_unique<CodePageConverter>(codePage);
    if (!converter->isValid()) {
        converter.reset();
        readOnly = true;
    }

    // The file length wins over the header's count.
    count = le32(header.constData() + 4);
    const quint32 physical =
        fileLength > headerLength ? quint32((fileLength - headerLength) / recordLength) : 0;
    if (physical != count) {
        setCount(physical);
        if (!readOnly && !headerRewrite())
            throw AppError(kWriteError);
    }

    // Production index flag (byte 28) and the tag selected at the last close.
    indexOpen();

    open = true;
    state = State::Browse;
    positionFirst();
}

void DbfTable::Impl::writeNewTable(QFile& f, quint8 languageDriver)
{
    constexpr int n = int(std::size(kSchema));
    const int hl = kHeaderSize + kDescriptorSize * n + 1;
    int rl = 1;
    for (const SchemaField& s : kSchema)
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
        std::memcpy(d, kSchema[i].name, std::strlen(kSchema[i].name));
        d[11] = kSchema[i].type;
        d[16] = char(kSchema[i].length);
    }
    h[hl - 1] = kTerminator;
    h[hl] = kEof;
    if (!f.resize(0) || f.write(bytes) != bytes.size() || !f.flush())
        throw AppError::format(QStringLiteral("Cannot create table %s: %s"),
                               {path, f.errorString()});
}

// --- DbfTable ---

DbfTable::DbfTable(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

void DbfTable::connectNotify(const QMetaMethod& signal)
{
    if (d && signal == QMetaMethod::fromSignal(&DbfTable::currentChanged))
        d->currentListeners.store(Impl::Some, std::memory_order_relaxed);
}

void DbfTable::disconnectNotify(const QMetaMethod& signal)
{
    // An invalid method: everything was disconnected at once.
    if (d && (!signal.isValid() || signal == QMetaMethod::fromSignal(&DbfTable::currentChanged)))
        d->currentListeners.store(Impl::Unknown, std::memory_order_relaxed);
}

DbfTable::~DbfTable()
{
    try {
        close();
    } catch (const AppError&) {
        // Nothing more can be done for the file while the program goes down.
    }
}

void DbfTable::setTableFile(const QString& path)
{
    if (d->open)
        throw AppError(kOpenDataset);
    // The remembered selection belongs to the table closed last.
    if (path != d->path)
        d->selectionAtClose.clear();
    d->path = path;
}

QString DbfTable::tableFile() const
{
    return d->path;
}

QString DbfTable::indexFile() const
{
    const QFileInfo fi(d->path);
    const QString base = fi.completeBaseName();
    return fi.dir().filePath(base + QStringLiteral(".mdx"));
}

void DbfTable::setNewTableLanguageDriver(quint8 id)
{
    d->newLanguageDriver = id;
}
quint8 DbfTable::newTableLanguageDriver() const
{
    return d->newLanguageDriver;
}

quint8 DbfTable::systemLanguageDriver()
{
    return languageDriverFor(systemAnsiCodePage(), systemLocaleId());
}

quint8 DbfTable::languageDriverFor(int ansiCodePage, quint16 locale)
{
    quint8 id = selectLanguageDriver(ansiCodePage, locale);
    // A locale without a row of its own (uk_UA, be_BY, bg_BG under 1251)
    // would give byte 0, and outside readers would guess the code page: the
    // row of the code page itself names it.
    if (id == 0)
        for (const LanguageDriver& r : languageDrivers())
            if (r.codePage == ansiCodePage)
                id = std::max(id, r.id);
    int cp = codePageOfLanguageDriver(id);
    if (cp == 0)
        cp = ansiCodePage;
    // The program's own texts are Cyrillic; a table that cannot hold them
    // would lose every mode name.
    if (!CodePageConverter(cp).fromUnicode(u"ОперативныйНаблюдения"))
        return 0xC9;
    return id;
}

void DbfTable::create()
{
    if (d->open)
        throw AppError(kOpenDataset);
    if (QFileInfo::exists(d->path))
        requireRegularFile(d->path, kCannotCreate);
    QFile f(d->path);
    if (!f.open(QIODevice::ReadWrite))
        throw AppError::format(kCannotCreate, {d->path, f.errorString()});
    if (!tryLockForWriting(f.handle())) {
        // Someone else's open table: not ours to empty or delete.
        f.close();
        throw AppError::format(kCannotCreate, {d->path, kHeldOpen});
    }
    try {
        d->writeNewTable(f, d->newLanguageDriver);
    } catch (const AppError&) {
        unlockForWriting(f.handle());
        f.close();
        QFile::remove(d->path);
        throw;
    }
    unlockForWriting(f.handle());
    f.close();
}

void DbfTable::checkCanCreate() const
{
    if (d->open)
        throw AppError(kOpenDataset);
    if (!QFileInfo::exists(d->path))
        return;
    requireRegularFile(d->path, kCannotCreate);
    probeWriting(d->path, kCannotCreate);
}

void DbfTable::checkCanOpenForWriting()
{
    if (d->open)
        throw AppError(kOpenDataset);
    // Read-only, so that nothing is written: it checks the file is a table.
    open(Access::ReadOnly);
    const bool readOnly = d->readOnly && d->converter == nullptr;
    close();
    if (readOnly)
        throw AppError(kReadOnly);
    probeWriting(d->path, kCannotOpen);
}

void DbfTable::open(Access access)
{
    if (d->open)
        return;
    try {
        d->openFile(access);
    } catch (...) {
        d->reset();
        throw;
    }
    emit activeChanged(true);
    d->contentsMoved();
    d->currentMoved();
}

void DbfTable::close()
{
    if (!d->open)
        return;
    d->buffer.clear();
    d->state = State::Browse;
    // Every step is tried even when one before it failed: a tag file that
    // cannot be written must not cost the header its record count.
    bool indexOk = true;
    bool ok = true;
    d->selectionAtClose = d->sorted != d->readingOrder.get() ? d->selectedTagName() : QString();
    if (!d->readOnly) {
        indexOk = d->indexSave();
        ok = d->headerRewrite();
        ok = d->flushHeader() && ok;
        ok = d->file.flush() && ok;
    }
    d->reset();
    emit activeChanged(false);
    d->contentsMoved();
    if (!indexOk)
        throw AppError(kIndexWriteError);
    if (!ok)
        throw AppError(kWriteError);
}

bool DbfTable::isOpen() const
{
    return d->open;
}
bool DbfTable::isReadOnly() const
{
    return d->readOnly;
}
DbfTable::State DbfTable::state() const
{
    return d->state;
}

DbfHeaderInfo DbfTable::header() const
{
    DbfHeaderInfo h;
    const char* p = d->header.constData();
    h.version = quint8(p[0]);
    const int low = h.version & 7;
    h.level = low == 3 ? (p[29] ? 4 : 3) : low == 4 ? 7 : low;
    if (h.version == 0x30 || h.version == 0x31 || h.version == 0xF5 || h.version == 0xFB)
        h.level = 0;
    h.year = 1900 + quint8(p[1]);
    h.month = quint8(p[2]);
    h.day = quint8(p[3]);
    h.recordCount = d->open ? d->count : le32(p + 4);
    h.headerLength = le16(p + 8);
    h.recordLength = le16(p + 10);
    h.productionIndexFlag = quint8(p[28]);
    h.languageDriver = quint8(p[29]);
    h.codePage = codePageOfLanguageDriver(h.languageDriver);
    return h;
}

quint32 DbfTable::recordCount() const
{
    return d->count;
}
const QList<DbfField>& DbfTable::fields() const
{
    return d->fields;
}

int DbfTable::fieldIndex(const QString& name) const
{
    return d->fieldByName.value(name.toUpper(), -1);
}

// --- browsing ---

void DbfTable::first()
{
    d->requireOpen();
    d->positionFirst();
    d->currentMoved();
}

void DbfTable::last()
{
    d->requireOpen();
    d->current = d->orderLast();
    d->atEof = true;
    d->atBof = d->current == 0;
    d->currentMoved();
}

void DbfTable::next()
{
    d->requireOpen();
    const quint32 n = d->current ? d->orderNext(d->current) : 0;
    if (n == 0) {
        d->atEof = true;
        return;
    }
    d->current = n;
    d->atBof = d->atEof = false;
    d->currentMoved();
}

void DbfTable::prior()
{
    d->requireOpen();
    const quint32 p = d->current ? d->orderPrior(d->current) : 0;
    if (p == 0) {
        d->atBof = true;
        return;
    }
    d->current = p;
    d->atBof = d->atEof = false;
    d->currentMoved();
}

bool DbfTable::eof() const
{
    return d->atEof;
}
bool DbfTable::bof() const
{
    return d->atBof;
}
bool DbfTable::isEmpty() const
{
    return !d->open || d->current == 0;
}
quint32 DbfTable::recNo() const
{
    return d->current;
}

void DbfTable::goToRecord(quint32 recNo)
{
    d->requireOpen();
    if (recNo == 0 || recNo > d->count || !d->live(recNo))
        throw AppError::format(QStringLiteral("Record %d not found"), {QString::number(recNo)});
    d->current = recNo;
    d->atBof = d->atEof = false;
    d->currentMoved();
}

qint64 DbfTable::rowCount() const
{
    return d->open ? qint64(d->orderRows().size()) : 0;
}

qint64 DbfTable::position() const
{
    return d->open && d->current ? d->orderPositionOf(d->current) : -1;
}

void DbfTable::goToPosition(qint64 position)
{
    goToRecord(recordAt(position));
}

quint32 DbfTable::recordAt(qint64 position) const
{
    if (!d->open)
        return 0;
    const auto& rows = d->orderRows();
    return position >= 0 && position < qint64(rows.size()) ? rows[size_t(position)] : 0;
}

qint64 DbfTable::positionOf(quint32 recNo) const
{
    return d->open ? d->orderPositionOf(recNo) : -1;
}

// --- values ---

QVariant DbfTable::value(int field) const
{
    const char* src = d->valueSource();
    if (!src || field < 0 || field >= d->fields.size())
        return {};
    return d->decodeField(src, d->fields[field]);
}

QString DbfTable::text(const QString& field) const
{
    const DbfField& f = d->field(field);
    const char* src = d->valueSource();
    if (!src)
        return {};
    const QVariant v = d->decodeField(src, f);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    return v.toString();
}

std::optional<qint64> DbfTable::integer(const QString& field) const
{
    const DbfField& f = d->field(field);
    const char* src = d->valueSource();
    if (!src)
        return std::nullopt;
    const QVariant v = d->decodeField(src, f);
    if (v.isNull())
        return std::nullopt;
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            throw AppError::format(QStringLiteral("'%s' is not a valid integer value"),
                                   {v.toString()});
        return n;
    }
    return v.toLongLong();
}

bool DbfTable::readNumber(int field, const RegionalSettings& rs, double& v) const
{
    const char* src = d->valueSource();
    if (!src || field < 0 || field >= d->fields.size())
        return false;
    const DbfField& f = d->fields[field];
    const char* p = src + f.offset;
    int b = 0, e = f.length;
    while (b < e && p[b] == ' ')
        ++b;
    while (e > b && (p[e - 1] == ' ' || p[e - 1] == '\0'))
        --e;
    if (b == e)
        return false;
    // Plain decimal text: sign, up to 15 digits, one separator. Exact, since
    // both the digits and the power of ten are exact doubles.
    const char sep = rs.decimalSeparator.unicode() < 0x80 ? char(rs.decimalSeparator.unicode()) : 0;
    int i = b;
    bool neg = false;
    if (p[i] == '-' || p[i] == '+')
        neg = p[i++] == '-';
    qint64 mantissa = 0;
    int digits = 0, fraction = 0;
    bool seenSep = false, plain = i < e;
    for (; i < e && plain; ++i) {
        const char c = p[i];
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            ++digits;
            fraction += seenSep;
        } else if (c == sep && sep && !seenSep) {
            seenSep = true;
        } else {
            plain = false;
        }
    }
    if (plain && digits > 0 && digits <= 15) {
        static constexpr double kPow10[] = {1,   1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        // The sign goes in as a bit: a branch on it mispredicts row by row
        // where readings cross zero. The quotient is never negative, so
        // setting the bit is negation (of a zero too: "-0" stays -0).
        v = std::bit_cast<double>(std::bit_cast<quint64>(double(mantissa) / kPow10[fraction]) |
                                  quint64(neg) << 63);
        return true;
    }
    v = textToFloat(d->decodeText(p + b, e - b), rs);
    return true;
}

QByteArray DbfTable::recordBytes(quint32 recNo) const
{
    if (!d->open || recNo == 0 || recNo > d->count)
        return {};
    return QByteArray(d->record(recNo), d->recordLength);
}

QVariant DbfTable::decode(const QByteArray& record, int field) const
{
    if (field < 0 || field >= d->fields.size() || record.size() < d->recordLength)
        return {};
    return d->decodeField(record.constData(), d->fields[field]);
}

// --- changes ---

void DbfTable::append()
{
    d->requireWritable();
    if (d->state == State::Edit || d->state == State::Insert)
        cancel();
    d->buffer = QByteArray(d->recordLength, ' ');
    d->state = State::Insert;
}

void DbfTable::edit()
{
    d->requireWritable();
    if (d->state == State::Edit || d->state == State::Insert)
        return;
    if (!d->current)
        throw AppError(kEmpty);
    // The record as it is on disk now, not as the cache remembers it.
    QByteArray rec(d->recordLength, '\0');
    if (!d->readAt(d->recordOffset(d->current), rec.data(), rec.size()))
        throw AppError(kReadError);
    d->updateCache(d->current, rec.constData());
    d->buffer = rec;
    d->oldImage = rec;
    d->state = State::Edit;
}

void DbfTable::post()
{
    d->requireWritable();
    if (d->state == State::Edit) {
        if (!d->writeAt(d->recordOffset(d->current), d->buffer.constData(), d->recordLength))
            throw AppError(kWriteError);
        d->updateCache(d->current, d->buffer.constData());
        // The tag's key moves from the old image to the new one when it changed.
        if (d->sortIndex)
            d->sortIndex->post(d->current, d->buffer);
        d->state = State::Browse;
        d->buffer.clear();
        d->oldImage.clear();
        d->contentsMoved();
        return;
    }
    if (d->state != State::Insert)
        throw AppError(kNotEditing);

    // The header is read again from the file before every append.
    if (!d->reReadHeader())
        throw AppError(kWriteError);
    const quint32 slot = d->count + 1;
    d->setCount(slot);
    d->headerDirty = true;
    const QDate today = QDate::currentDate();
    d->header[1] = char(std::clamp(today.year() - 1900, 0, 255));
    d->header[2] = char(today.month());
    d->header[3] = char(today.day());
    // The record and the end-of-file byte after it, in one write.
    QByteArray bytes = d->buffer;
    bytes.append(kEof);
    if (!d->writeAt(d->recordOffset(slot), bytes.constData(), bytes.size())) {
        // Whatever part of the record reached the disk goes again: a whole
        // record without its end byte would be counted by the next open.
        d->file.resize(d->recordOffset(slot));
        d->setCount(slot - 1);
        d->headerRewrite();
        d->flushHeader();
        throw AppError(kWriteError);
    }
    if (d->sortIndex)
        d->sortIndex->append(slot, d->buffer);
    d->orderAppended(slot);
    d->current = slot;
    d->atBof = d->atEof = false;
    d->state = State::Browse;
    d->buffer.clear();
    d->contentsMoved();
    d->currentMoved();
}

void DbfTable::cancel()
{
    if (d->state != State::Edit && d->state != State::Insert)
        return;
    d->state = State::Browse;
    d->buffer.clear();
    d->oldImage.clear();
}

void DbfTable::setText(const QString& field, const QString& text)
{
    const DbfField& f = d->field(field);
    d->encodeText(d->editBuffer(), f, text);
}

void DbfTable::setInteger(const QString& field, std::optional<qint64> value)
{
    const DbfField& f = d->field(field);
    d->encodeInteger(d->editBuffer(), f, value);
}

void DbfTable::deleteRecord()
{
    d->requireWritable();
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    const quint32 rec = d->current;
    if (!rec)
        throw AppError(kEmpty);
    const char flag = '*';
    if (!d->writeAt(d->recordOffset(rec), &flag, 1))
        throw AppError(kWriteError);
    QByteArray image(d->record(rec), d->recordLength);
    image[0] = flag;
    d->updateCache(rec, image.constData());
    quint32 nextRec = d->orderNext(rec);
    if (!nextRec)
        nextRec = d->orderPrior(rec);
    d->orderRemoved(rec);
    if (d->sortIndex)
        d->sortIndex->remove(rec);
    d->current = nextRec;
    d->atBof = d->atEof = nextRec == 0;
    d->contentsMoved();
    d->currentMoved();
}

void DbfTable::pack()
{
    d->requireWritable();
    cancel();
    const QFileInfo fi(d->path);
    const QString suffix = fi.suffix().isEmpty() ? QString() : u'.' + fi.suffix();
    const QString base = fi.dir().filePath(fi.completeBaseName());
    QString tempPath;
    for (int n = 1;; ++n) {
        tempPath = base + u'_' + QString::number(n) + suffix;
        if (!QFileInfo::exists(tempPath))
            break;
    }
    QFile temp(tempPath);
    const auto fail = [&]() {
        temp.close();
        QFile::remove(tempPath);
        return AppError(kWriteError);
    };
    if (!temp.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw fail();

    // Same header and field list; the live records in file order.
    QByteArray head(d->headerLength, '\0');
    if (!d->flushHeader() || !d->readAt(0, head.data(), head.size()))
        throw fail();
    if (temp.write(head) != head.size())
        throw fail();
    quint32 copied = 0;
    const quint32 perChunk = quint32(std::max<qint64>(1, (1 << 20) / d->recordLength));
    QByteArray chunk;
    for (quint32 r = 1; r <= d->count; r += perChunk) {
        const quint32 n = std::min(perChunk, d->count - r + 1);
        chunk.resize(qint64(n) * d->recordLength);
        if (!d->readAt(d->recordOffset(r), chunk.data(), chunk.size()))
            throw fail();
        QByteArray out;
        out.reserve(chunk.size());
        for (quint32 i = 0; i < n; ++i) {
            const char* rec = chunk.constData() + qint64(i) * d->recordLength;
            if (rec[0] != '*') {
                out.append(rec, d->recordLength);
                ++copied;
            }
        }
        if (temp.write(out) != out.size())
            throw fail();
    }
    const QDate today = QDate::currentDate();
    head[1] = char(std::clamp(today.year() - 1900, 0, 255));
    head[2] = char(today.month());
    head[3] = char(today.day());
    putLe32(head.data() + 4, copied);
    if (temp.write(&kEof, 1) != 1 || !temp.seek(0) ||
        temp.write(head.constData(), kHeaderSize) != kHeaderSize || !temp.flush())
        throw fail();
    temp.close();
    // The index file keeps the tags, this component the selection; opening
    // the packed table builds the tags again from its records.
    if (!d->indexSave())
        throw fail();
    d->selectionAtClose = d->selectedTagName();

    // The packed file takes the table's place in one step, so an interruption
    // leaves either the old table or the new one, never neither.
    if (!replaceFile(QFile::encodeName(tempPath).constData(),
                     QFile::encodeName(d->path).constData()))
        throw fail();
    const Access access = d->access;
    d->reset();
    try {
        d->openFile(access);
    } catch (...) {
        d->reset();
        emit activeChanged(false);
        throw;
    }
    d->contentsMoved();
    d->currentMoved();
}

void DbfTable::refresh()
{
    d->requireOpen();
    d->dropCache();
    d->orderReset();
    if (d->current && (d->current > d->count || !d->live(d->current)))
        d->positionFirst();
    d->contentsMoved();
}

void DbfTable::disableControls()
{
    ++d->disabled;
}

void DbfTable::enableControls()
{
    if (d->disabled > 0 && --d->disabled == 0)
        emit contentsChanged();
}

// --- sort tags ---

void DbfTable::addSortTag(const QString& tag, const QString& expression, bool descending)
{
    d->requireWritable();
    d->postPending();
    const QString selected = d->selectedTagName();
    d->sorted = nullptr; // the tag may be replaced
    if (!d->sortIndex)
        d->sortIndex = std::make_unique<SortIndex>(
            indexFile(), QFileInfo(d->path).completeBaseName(), quint8(d->header[29]), d->fields);
    // A tag that cannot be added or built is dropped again without an error.
    const bool added =
        d->sortIndex->addTag(tag, expression, descending, d->recordReader(), d->count);
    if (d->sortIndex->isEmpty()) {
        d->indexReset();
        if (d->header[28]) {
            d->setIndexFlag(false);
            if (!d->headerRewrite())
                throw AppError(kWriteError);
        }
    } else if (added) {
        d->setIndexFlag(true);
        if (!d->headerRewrite())
            throw AppError(kWriteError);
    }
    d->selectTag(selected);
    d->contentsMoved();
}

void DbfTable::removeSortTag(const QString& tag)
{
    d->requireWritable();
    if (!d->sortIndex)
        return;
    d->postPending();
    QString selected = d->selectedTagName();
    if (selected.compare(tag, Qt::CaseInsensitive) == 0)
        selected.clear();
    d->sorted = nullptr;
    if (!d->sortIndex->removeTag(tag)) {
        d->selectTag(selected);
        return;
    }
    if (d->sortIndex->isEmpty()) {
        d->indexReset();
        d->setIndexFlag(false);
        if (!d->headerRewrite())
            throw AppError(kWriteError);
    }
    d->selectTag(selected);
    d->contentsMoved();
}

// The production index is the only index file a table has here, and it
// stays open as long as the table.
void DbfTable::closeIndexFile(const QString&) {}

void DbfTable::selectSortTag(const QString& tag)
{
    d->requireOpen();
    d->selectTag(tag);
    // The current record stays current; a deleted one gives way to the first.
    if (d->current && (d->current > d->count || !d->live(d->current)))
        d->positionFirst();
    d->contentsMoved();
    d->currentMoved();
}

QString DbfTable::selectedSortTag() const { return d->selectedTagName(); }

void DbfTable::sortForReading(const QString& field, bool descending)
{
    d->requireOpen();
    // The order is not kept current with changes, so only a table that
    // cannot change may browse in it.
    if (!d->readOnly)
        throw AppError(QStringLiteral("A reading order needs a table opened read-only"));
    const DbfField& f = d->field(field);
    auto order = std::make_unique<SortTag>(MeasurementSchema::kSortTag, f, descending,
                                           quint8(d->header[29]));
    order->build(d->recordReader(), d->count);
    d->readingOrder = std::move(order);
    d->selectTag(d->readingOrder->name());
    d->positionFirst();
    d->contentsMoved();
    d->currentMoved();
}

void DbfTable::regenerateIndexes()
{
    d->requireWritable();
    if (!d->sortIndex)
        return;
    d->postPending();
    d->sortIndex->regenerate(d->recordReader(), d->count);
    d->orderReset();
    if (!d->indexSave())
        throw AppError(kWriteError);
    d->contentsMoved();
}
