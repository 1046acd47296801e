#include "data/dbf_table.h"

#include "data/dbf_errors.h"
#include "data/dbf_file.h"
#include "data/dbf_order.h"
#include "data/dbf_pack.h"
#include "data/dbf_record_codec.h"
#include "data/measurement_schema.h"
#include "data/sort_index.h"

#include "platform/app_error.h"
#include "platform/code_page.h"
#include "platform/file_lock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>

#include <algorithm>
#include <cstring>

using namespace DbfErrors;

namespace {

bool isIntegerField(const char* name)
{
    return !std::strcmp(name, "N") || !std::strcmp(name, "EN_CH");
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

// The measurement record, bound by name: every field present with its kind.
void requireMeasurementFields(const DbfFile& file)
{
    for (const MeasurementSchema::Field& s : MeasurementSchema::kFields) {
        const DbfField& f = file.field(QString::fromLatin1(s.name));
        if (isIntegerField(s.name)) {
            if (f.kind != DbfField::Kind::SmallInt && f.kind != DbfField::Kind::Integer)
                throw AppError::format(kTypeMismatch,
                                       {f.name, QStringLiteral("SmallInt"), typeName(f)});
        } else if (f.kind != DbfField::Kind::Character) {
            throw AppError::format(kTypeMismatch, {f.name, QStringLiteral("String"), typeName(f)});
        }
    }
}

} // namespace

struct DbfTable::Impl
{
    DbfTable* q;
    QString path;
    bool open = false;
    Access access = Access::ReadWrite;
    State state = State::Inactive;
    quint8 newLanguageDriver = DbfTable::systemLanguageDriver();

    DbfFile file;
    DbfRecordCodec codec;
    DbfOrder order{file};

    quint32 current = 0; // record number, 0 when none
    bool atEof = true;
    bool atBof = true;

    QByteArray buffer; // edit or insert copy

    int disabled = 0;

    // The tag selected when this component last closed a table: a save
    // (close and open) keeps its sort. Only memory of this run; the index
    // file stores no selection, so a new run opens in record order.
    QString selectionAtClose;

    explicit Impl(DbfTable* owner) : q(owner) {}

    void openFile(Access wanted);
    void reset()
    {
        file.close();
        codec.reset();
        order.reset();
        order.dropIndex();
        open = false;
        state = State::Inactive;
        current = 0;
        atEof = atBof = true;
        buffer.clear();
    }
    void positionFirst()
    {
        current = order.first();
        atBof = true;
        atEof = current == 0;
    }

    // Open with byte 28 set: the index file's tags, built again from the
    // records, and the tag this component had selected at its last close. A
    // missing, damaged or foreign file only clears the flag (stored at the
    // next header rewrite).
    void indexOpen()
    {
        if (!file.hasProductionIndex())
            return;
        if (order.loadIndex(q->indexFile(), QFileInfo(path).completeBaseName()))
            order.selectTag(selectionAtClose);
        else
            file.setProductionIndexFlag(false);
    }
    // A pending edit or insert is posted before the tags change, so that no
    // typed value is lost and its key lands in the tags.
    void postPending()
    {
        if (state == State::Edit || state == State::Insert)
            q->post();
    }

    // --- signals ---
    // Whether anything listens to currentChanged(): a walk through a whole
    // table moves a million times, and an emission nobody hears costs about
    // as many instructions as the step itself. Qt reports every connection;
    // after a disconnection the answer is asked again at the next move,
    // because connectNotify and disconnectNotify must not call back into the
    // object. Everything runs on the one GUI thread, so a plain member does.
    enum class Listeners
    {
        Unknown,
        Some,
        None
    };
    Listeners currentListeners = Listeners::Unknown;
    void currentMoved()
    {
        if (disabled)
            return;
        if (currentListeners == Listeners::Unknown)
            currentListeners =
                q->isSignalConnected(QMetaMethod::fromSignal(&DbfTable::currentChanged))
                    ? Listeners::Some
                    : Listeners::None;
        if (currentListeners == Listeners::Some)
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
        if (file.isReadOnly())
            throw AppError(kReadOnly);
    }
    // The bytes the field values come from: the edit copy, else the current record.
    const char* valueSource()
    {
        if (state == State::Edit || state == State::Insert)
            return buffer.constData();
        if (!open || current == 0)
            return nullptr;
        return file.record(current);
    }
    char* editBuffer()
    {
        requireWritable();
        if (state != State::Edit && state != State::Insert)
            throw AppError(kNotEditing);
        return buffer.data();
    }
};

void DbfTable::Impl::openFile(Access wanted)
{
    file.open(path, wanted == Access::ReadWrite);
    access = wanted;
    requireMeasurementFields(file);
    // Texts: through the code page the language driver byte names; a code
    // page this system lacks makes the table read-only.
    if (!codec.setLanguageDriver(file.languageDriver()))
        file.makeReadOnly();
    file.reconcileCount();
    // Production index flag (byte 28) and the tag selected at the last close.
    indexOpen();

    open = true;
    state = State::Browse;
    positionFirst();
}

// --- DbfTable ---

DbfTable::DbfTable(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

void DbfTable::connectNotify(const QMetaMethod& signal)
{
    if (d && signal == QMetaMethod::fromSignal(&DbfTable::currentChanged))
        d->currentListeners = Impl::Listeners::Some;
}

void DbfTable::disconnectNotify(const QMetaMethod& signal)
{
    // An invalid method: everything was disconnected at once.
    if (d && (!signal.isValid() || signal == QMetaMethod::fromSignal(&DbfTable::currentChanged)))
        d->currentListeners = Impl::Listeners::Unknown;
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
    DbfFile::create(d->path, MeasurementSchema::kFields, d->newLanguageDriver);
}

void DbfTable::checkCanCreate() const
{
    if (d->open)
        throw AppError(kOpenDataset);
    DbfFile::checkCanCreate(d->path);
}

void DbfTable::checkCanOpenForWriting()
{
    if (d->open)
        throw AppError(kOpenDataset);
    // Read-only, so that nothing is written: it checks the file is a table.
    open(Access::ReadOnly);
    const bool readOnly = d->file.isReadOnly() && !d->codec.canConvert();
    close();
    if (readOnly)
        throw AppError(kReadOnly);
    DbfFile::checkCanOpenForWriting(d->path);
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
    d->selectionAtClose = d->order.readingOrderSelected() ? QString() : d->order.selectedTagName();
    if (!d->file.isReadOnly()) {
        indexOk = d->order.saveIndex();
        ok = d->file.finish();
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
    return d->file.isReadOnly();
}
DbfTable::State DbfTable::state() const
{
    return d->state;
}

DbfHeaderInfo DbfTable::header() const
{
    return d->file.headerInfo(d->open);
}

quint32 DbfTable::recordCount() const
{
    return d->file.count();
}
const QList<DbfField>& DbfTable::fields() const
{
    return d->file.fields();
}

int DbfTable::fieldIndex(const QString& name) const
{
    return d->file.fieldIndex(name);
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
    d->current = d->order.last();
    d->atEof = true;
    d->atBof = d->current == 0;
    d->currentMoved();
}

void DbfTable::next()
{
    d->requireOpen();
    const quint32 n = d->current ? d->order.next(d->current) : 0;
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
    const quint32 p = d->current ? d->order.prior(d->current) : 0;
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
    if (recNo == 0 || recNo > d->file.count() || !d->file.live(recNo))
        throw AppError::format(QStringLiteral("Record %d not found"), {QString::number(recNo)});
    d->current = recNo;
    d->atBof = d->atEof = false;
    d->currentMoved();
}

qint64 DbfTable::rowCount() const
{
    return d->open ? qint64(d->order.rows().size()) : 0;
}

qint64 DbfTable::rowCountUpTo(qint64 limit) const
{
    if (!d->open)
        return 0;
    qint64 n = 0;
    for (quint32 r = d->order.first(); r && n < limit; r = d->order.next(r))
        ++n;
    return n;
}

qint64 DbfTable::position() const
{
    return d->open && d->current ? d->order.positionOf(d->current) : -1;
}

void DbfTable::goToPosition(qint64 position)
{
    goToRecord(recordAt(position));
}

quint32 DbfTable::recordAt(qint64 position) const
{
    if (!d->open)
        return 0;
    const auto& rows = d->order.rows();
    return position >= 0 && position < qint64(rows.size()) ? rows[size_t(position)] : 0;
}

qint64 DbfTable::positionOf(quint32 recNo) const
{
    return d->open ? d->order.positionOf(recNo) : -1;
}

// --- values ---

QVariant DbfTable::value(int field) const
{
    const char* src = d->valueSource();
    if (!src || field < 0 || field >= d->file.fields().size())
        return {};
    return d->codec.decode(src, d->file.fields()[field]);
}

QString DbfTable::text(const QString& field) const
{
    const DbfField& f = d->file.field(field);
    const char* src = d->valueSource();
    if (!src)
        return {};
    return textOf(d->codec.decode(src, f));
}

QString DbfTable::textOf(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return value.toString();
}

std::optional<qint64> DbfTable::integer(const QString& field) const
{
    const DbfField& f = d->file.field(field);
    const char* src = d->valueSource();
    if (!src)
        return std::nullopt;
    const QVariant v = d->codec.decode(src, f);
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
    if (!src || field < 0 || field >= d->file.fields().size())
        return false;
    return d->codec.readNumber(src, d->file.fields()[field], rs, v);
}

QByteArray DbfTable::recordBytes(quint32 recNo) const
{
    if (!d->open || recNo == 0 || recNo > d->file.count())
        return {};
    return QByteArray(d->file.record(recNo), d->file.recordLength());
}

quint32 DbfTable::firstInOrder() const
{
    return d->open ? d->order.first() : 0;
}

quint32 DbfTable::nextInOrder(quint32 recNo) const
{
    return d->open && recNo ? d->order.next(recNo) : 0;
}

const char* DbfTable::peekRecord(quint32 recNo) const
{
    if (!d->open || recNo == 0 || recNo > d->file.count())
        return nullptr;
    return d->file.record(recNo);
}

QByteArrayView DbfTable::fieldBytes(const char* record, int field) const
{
    if (!record || field < 0 || field >= d->file.fields().size())
        return {};
    const DbfField& f = d->file.fields()[field];
    return QByteArrayView(record + f.offset, f.length);
}

QVariant DbfTable::decodeAt(const char* record, int field) const
{
    if (!record || field < 0 || field >= d->file.fields().size())
        return {};
    return d->codec.decode(record, d->file.fields()[field]);
}

bool DbfTable::numberAt(const char* record, int field, const RegionalSettings& rs, double& v) const
{
    if (!record || field < 0 || field >= d->file.fields().size())
        return false;
    return d->codec.readNumber(record, d->file.fields()[field], rs, v);
}

// --- changes ---

void DbfTable::append()
{
    d->requireWritable();
    if (d->state == State::Edit || d->state == State::Insert)
        cancel();
    d->buffer = QByteArray(d->file.recordLength(), ' ');
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
    d->buffer = d->file.readRecord(d->current);
    d->state = State::Edit;
}

void DbfTable::post()
{
    d->requireWritable();
    if (d->state == State::Edit) {
        d->file.writeRecord(d->current, d->buffer);
        // The tag's key moves from the old image to the new one when it changed.
        if (d->order.index())
            d->order.index()->post(d->current, d->buffer);
        d->state = State::Browse;
        d->buffer.clear();
        d->contentsMoved();
        return;
    }
    if (d->state != State::Insert)
        throw AppError(kNotEditing);

    const quint32 slot = d->file.appendRecord(d->buffer);
    if (d->order.index())
        d->order.index()->append(slot, d->buffer);
    d->order.appended(slot);
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
}

void DbfTable::setText(const QString& field, const QString& text)
{
    const DbfField& f = d->file.field(field);
    d->codec.encodeText(d->editBuffer(), f, text);
}

void DbfTable::setInteger(const QString& field, std::optional<qint64> value)
{
    const DbfField& f = d->file.field(field);
    d->codec.encodeInteger(d->editBuffer(), f, value);
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
    d->file.markDeleted(rec);
    quint32 nextRec = d->order.next(rec);
    if (!nextRec)
        nextRec = d->order.prior(rec);
    d->order.removed(rec);
    if (d->order.index())
        d->order.index()->remove(rec);
    d->current = nextRec;
    d->atBof = d->atEof = nextRec == 0;
    d->contentsMoved();
    d->currentMoved();
}

void DbfTable::pack()
{
    d->requireWritable();
    cancel();
    DbfPack packed(d->file, d->path);
    // The index file keeps the tags, this component the selection; opening
    // the packed table builds the tags again from its records.
    if (!d->order.saveIndex())
        throw AppError(kWriteError);
    d->selectionAtClose = d->order.selectedTagName();
    packed.replaceTable();
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
    d->file.dropCache();
    d->order.reset();
    if (d->current && (d->current > d->file.count() || !d->file.live(d->current)))
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
    const QString selected = d->order.selectedTagName();
    d->order.unselectTag(); // the tag may be replaced
    SortIndex& index = d->order.makeIndex(indexFile(), QFileInfo(d->path).completeBaseName());
    // A tag that cannot be added or built is dropped again without an error.
    const bool added =
        index.addTag(tag, expression, descending, d->file.recordReader(), d->file.count());
    if (index.isEmpty()) {
        d->order.dropIndex();
        if (d->file.hasProductionIndex()) {
            d->file.setProductionIndexFlag(false);
            if (!d->file.headerRewrite())
                throw AppError(kWriteError);
        }
    } else if (added) {
        d->file.setProductionIndexFlag(true);
        if (!d->file.headerRewrite())
            throw AppError(kWriteError);
    }
    d->order.selectTag(selected);
    d->contentsMoved();
}

void DbfTable::removeSortTag(const QString& tag)
{
    d->requireWritable();
    if (!d->order.index())
        return;
    d->postPending();
    QString selected = d->order.selectedTagName();
    if (selected.compare(tag, Qt::CaseInsensitive) == 0)
        selected.clear();
    d->order.unselectTag();
    if (!d->order.index()->removeTag(tag)) {
        d->order.selectTag(selected);
        return;
    }
    if (d->order.index()->isEmpty()) {
        d->order.dropIndex();
        d->file.setProductionIndexFlag(false);
        if (!d->file.headerRewrite())
            throw AppError(kWriteError);
    }
    d->order.selectTag(selected);
    d->contentsMoved();
}

// The production index is the only index file a table has here, and it
// stays open as long as the table.
void DbfTable::closeIndexFile(const QString&) {}

void DbfTable::selectSortTag(const QString& tag)
{
    d->requireOpen();
    d->order.selectTag(tag);
    // The current record stays current; a deleted one gives way to the first.
    if (d->current && (d->current > d->file.count() || !d->file.live(d->current)))
        d->positionFirst();
    d->contentsMoved();
    d->currentMoved();
}

QString DbfTable::selectedSortTag() const
{
    return d->order.selectedTagName();
}

void DbfTable::sortForReading(const QString& expression, bool descending)
{
    d->requireOpen();
    // The order is not kept current with changes, so only a table that
    // cannot change may browse in it.
    if (!d->file.isReadOnly())
        throw AppError(QStringLiteral("A reading order needs a table opened read-only"));
    const auto key = parseKeyExpression(expression, d->file.fields());
    if (!key) {
        // The usual error for a field the table lacks.
        QString name = expression.trimmed();
        if (name.endsWith(u')') && name.contains(u'('))
            name = name.section(u'(', 1).chopped(1).trimmed();
        d->file.field(name);
        throw AppError(QStringLiteral("Index expression not valid: %1").arg(expression));
    }
    auto order = std::make_unique<SortTag>(MeasurementSchema::kSortTag, *key, descending,
                                           d->file.languageDriver());
    order->build(d->file.recordReader(), d->file.count());
    d->order.selectReadingOrder(std::move(order));
    d->positionFirst();
    d->contentsMoved();
    d->currentMoved();
}

void DbfTable::regenerateIndexes()
{
    d->requireWritable();
    if (!d->order.index())
        return;
    d->postPending();
    d->order.index()->regenerate(d->file.recordReader(), d->file.count());
    d->order.reset();
    if (!d->order.saveIndex())
        throw AppError(kWriteError);
    d->contentsMoved();
}
