#include "platform/xlsx_spreadsheet.h"

#include "platform/app_error.h"
#include "platform/unseen_file.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <locale.h>
#include <unistd.h>
#include <utility>

namespace {

// The writer prints numbers with the C library, which follows the user's
// locale: under a Russian one 46022.5 would reach the file as "46022,5",
// which no reader takes. Each call into it runs under the C locale's numbers
// on this thread only, and the program's locale is back afterwards.
class CNumbers
{
public:
    CNumbers() : m_previous(uselocale(cLocale())) {}
    ~CNumbers() { uselocale(m_previous); }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    static locale_t cLocale()
    {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        return c;
    }
    locale_t m_previous;
};

// Excel's standard width, for a column that only gets a number format.
constexpr double kDefaultColumnWidth = 8.43;

QString notSupported(const QString& member)
{
    return QStringLiteral("Method '%1' not supported by automation object").arg(member);
}

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Writes the file: the rows kept aside are compressed into it, which takes
// seconds for a million rows. Where an event loop runs, it runs on meanwhile
// (the work goes to a thread of its own), so that the window stays alive.
// The writer's own account of a failure is a few English lines on standard
// error that name its internal paths (/proc/self/fd/N); the user gets our
// message instead. Its lines go nowhere while it closes the workbook.
class WriterQuiet
{
public:
    WriterQuiet() : m_null(std::fopen("/dev/null", "w"))
    {
        if (m_null)
            m_stderr = std::exchange(stderr, m_null);
    }
    ~WriterQuiet()
    {
        if (m_null) {
            stderr = m_stderr;
            std::fclose(m_null);
        }
    }
    WriterQuiet(const WriterQuiet&) = delete;
    WriterQuiet& operator=(const WriterQuiet&) = delete;

private:
    FILE* m_null = nullptr;
    FILE* m_stderr = nullptr;
};

// `error`: the system's errno of a failure (0: none known).
lxw_error closeWorkbook(lxw_workbook* wb, int& error)
{
    lxw_error closed = LXW_NO_ERROR;
    error = 0;
    const auto work = [wb, &closed, &error] {
        const CNumbers c;
        const WriterQuiet quiet;
        errno = 0;
        closed = workbook_close(wb);
        error = errno; // this thread's: the writer's last failed call
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return closed;
    }
    const std::unique_ptr<QThread> thread(QThread::create(work));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    return closed;
}

} // namespace

// The writer packs every part of the workbook with the zip library's default
// compression, which spends a third of a million-row export on the sheet's
// few hundred megabytes of repetitive XML. The fastest level packs them to
// about the same order of size in a fraction of the time. The writer has no
// setting for it, so its call into the zip library is taken here on the way
// (the program's own definition of the function comes first for the dynamic
// linker) and handed on to the library with that level.
#if defined(__GLIBC__)
extern "C" {
int zipOpenNewFileInZip4_64(void* file, const char* filename, const void* zipfi,
                            const void* extrafield_local, unsigned size_extrafield_local,
                            const void* extrafield_global, unsigned size_extrafield_global,
                            const char* comment, int method, int level, int raw, int windowBits,
                            int memLevel, int strategy, const char* password,
                            unsigned long crcForCrypting, unsigned long versionMadeBy,
                            unsigned long flagBase, int zip64)
{
    using Open = int (*)(void*, const char*, const void*, const void*, unsigned, const void*,
                         unsigned, const char*, int, int, int, int, int, int, const char*,
                         unsigned long, unsigned long, unsigned long, int);
    static const auto next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (!next)
        return -104; // ZIP_INTERNALERROR: the writer reports the save as failed
    constexpr int kDefaultLevel = -1, kFastestLevel = 1;
    if (level == kDefaultLevel)
        level = kFastestLevel;
    return next(file, filename, zipfi, extrafield_local, size_extrafield_local, extrafield_global,
                size_extrafield_global, comment, method, level, raw, windowBits, memLevel, strategy,
                password, crcForCrypting, versionMadeBy, flagBase, zip64);
}
}
#endif

XlsxSpreadsheet::XlsxSpreadsheet(Target target) : m_target(std::move(target)) {}

XlsxSpreadsheet::~XlsxSpreadsheet()
{
    discard();
}

QString XlsxSpreadsheet::documentsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    return folder;
}

QString XlsxSpreadsheet::fileNumberFormat(const QString& localFormat)
{
    // A Russian Excel shows format codes in its own letters; the file keeps
    // the English ones (M stands for month or minute by its place, in both).
    QString out = localFormat;
    for (QChar& c : out) {
        switch (c.toUpper().unicode()) {
        case u'Д':
            c = u'D';
            break;
        case u'М':
            c = u'M';
            break;
        case u'Г':
            c = u'Y';
            break;
        case u'Ч':
            c = u'H';
            break;
        case u'С':
            c = u'S';
            break;
        default:
            break;
        }
    }
    return out;
}

void XlsxSpreadsheet::setVisible(bool visible)
{
    // A file has no window: the workbook is shown when its copy is saved.
    m_visible = visible;
}

void XlsxSpreadsheet::addWorkbook(int templateKind)
{
    if (templateKind != kOneWorksheetTemplate)
        throw AppError(notSupported(QStringLiteral("Add")));
    if (m_hasWorkbook)
        throw AppError(QStringLiteral("Книга уже создана"));
    m_hasWorkbook = true;
}

void XlsxSpreadsheet::setWorksheetName(int workbook, int worksheet, const QString& name)
{
    requireWorkbook();
    if (workbook != 1 || worksheet != 1)
        throw RangeError();
    if (m_workbook)
        throw AppError(notSupported(QStringLiteral("Name")));
    // The limits of a sheet name in every spreadsheet program.
    static const QString kForbidden = QStringLiteral("[]:*?/\\");
    if (name.isEmpty() || name.size() > 31 ||
        std::any_of(name.begin(), name.end(), [](QChar c) { return kForbidden.contains(c); }))
        throw AppError(QStringLiteral("Недопустимое имя листа: '%1'").arg(name));
    m_sheetName = name;
}

QString XlsxSpreadsheet::worksheetName(int workbook, int worksheet)
{
    requireWorkbook();
    if (workbook != 1 || worksheet != 1)
        throw RangeError();
    return m_sheetName;
}

void XlsxSpreadsheet::setColumnWidth(const QString& sheet, int column, int width)
{
    requireSheet(sheet);
    if (column < 1 || column > LXW_COL_MAX || width < 0 || width > 255)
        throw RangeError();
    if (m_workbook)
        throw AppError(notSupported(QStringLiteral("ColumnWidth")));
    m_columns[column].width = width;
}

void XlsxSpreadsheet::setColumnNumberFormat(const QString& sheet, int column, const QString& format)
{
    requireSheet(sheet);
    if (column < 1 || column > LXW_COL_MAX)
        throw RangeError();
    if (m_workbook)
        throw AppError(notSupported(QStringLiteral("NumberFormat")));
    m_columns[column].numberFormat = fileNumberFormat(format);
}

void XlsxSpreadsheet::setRowFontBold(const QString& sheet, int row, bool bold)
{
    requireSheet(sheet);
    if (row < 1 || row > int(LXW_ROW_MAX))
        throw RangeError();
    if (m_workbook)
        throw AppError(notSupported(QStringLiteral("Bold")));
    m_rowFonts[row].bold = bold;
    m_lastFontRow = std::max(m_lastFontRow, row);
}

void XlsxSpreadsheet::setRowFontColor(const QString& sheet, int row, int color)
{
    requireSheet(sheet);
    if (row < 1 || row > int(LXW_ROW_MAX) || color < 0 || color > 0xFFFFFF)
        throw RangeError();
    if (m_workbook)
        throw AppError(notSupported(QStringLiteral("Color")));
    // Blue-green-red to red-green-blue.
    const int r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    m_rowFonts[row].color = (r << 16) | (g << 8) | b;
    m_lastFontRow = std::max(m_lastFontRow, row);
}

void XlsxSpreadsheet::setRowFontSize(const QString& sheet, int row, int points)
{
    requireSheet(sheet);
    if (row < 1 || row > int(LXW_ROW_MAX) || points < 1 || points > 409)
        throw RangeError();
    if (m_workbook)
        throw AppError(notSupported(QStringLiteral("Size")));
    m_rowFonts[row].size = points;
    m_lastFontRow = std::max(m_lastFontRow, row);
}

void XlsxSpreadsheet::writeNumber(const QString& sheet, int row, int column, double value)
{
    lxw_worksheet* ws = sheetForCells(sheet, row, column);
    const CNumbers c;
    check(worksheet_write_number(ws, lxw_row_t(row - 1), lxw_col_t(column - 1), value,
                                 formatFor(row, column)),
          "Cells");
}

void XlsxSpreadsheet::setCellInteger(const QString& sheet, int row, int column, qint32 value)
{
    writeNumber(sheet, row, column, value);
}

void XlsxSpreadsheet::setCellDate(const QString& sheet, int row, int column, double date)
{
    // An automation date is the sheet's own date number from March 1900 on,
    // which is all the instrument can have recorded.
    writeNumber(sheet, row, column, date);
}

void XlsxSpreadsheet::setCellNumber(const QString& sheet, int row, int column, double value)
{
    writeNumber(sheet, row, column, value);
}

void XlsxSpreadsheet::setCellText(const QString& sheet, int row, int column, const QString& text)
{
    // An empty text leaves the cell empty, as a spreadsheet program stores it.
    lxw_worksheet* ws = sheetForCells(sheet, row, column);
    if (text.isEmpty())
        return;
    const QByteArray utf8 = text.toUtf8();
    const CNumbers c;
    check(worksheet_write_string(ws, lxw_row_t(row - 1), lxw_col_t(column - 1), utf8.constData(),
                                 formatFor(row, column)),
          "Cells");
}

void XlsxSpreadsheet::saveCopyAs(const QString& fileName)
{
    requireWorkbook();
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName.contains(QChar(0)))
        throw AppError(QStringLiteral("Недопустимое имя файла: '%1'").arg(fileName));
    if (!m_savedFile.isEmpty())
        throw AppError(
            QStringLiteral("Копия книги уже сохранена: %1").arg(nativePath(m_savedFile)));
    if (!m_workbook)
        startWriting();

    // Closing writes the whole file, still unseen.
    lxw_workbook* wb = m_workbook;
    m_workbook = nullptr;
    m_worksheet = nullptr;
    m_formats.clear();
    m_columnFormats.clear();
    int error = 0;
    const lxw_error closed = closeWorkbook(wb, error);
    if (closed != LXW_NO_ERROR) {
        m_file.reset();
        // The file the user asked for, with the system's reason.
        const QString target = !m_target.file.isEmpty()
                                   ? QFileInfo(m_target.file).absoluteFilePath()
                                   : QDir(m_target.folder).absoluteFilePath(fileName + u".xlsx");
        if (error != 0)
            throw writeFailure(nativePath(target), error);
        throw writeFailure(nativePath(target), QStringLiteral("книга записана не полностью"));
    }

    QString target;
    const std::unique_ptr<UnseenFile> file = std::move(m_file);
    if (!m_target.file.isEmpty()) {
        target = QFileInfo(m_target.file).absoluteFilePath();
        file->publish(target);
    } else {
        // The first free name: an earlier copy is never replaced.
        const QDir folder(m_target.folder);
        const QString name = m_target.name.isEmpty() ? fileName : m_target.name;
        for (int k = 1;; ++k) {
            target =
                folder.absoluteFilePath(k == 1 ? name + QStringLiteral(".xlsx")
                                               : QStringLiteral("%1 (%2).xlsx").arg(name).arg(k));
            if (file->publishNew(target))
                break;
            if (k == 10000)
                throw AppError(QStringLiteral("Не удается записать файл %1: %2")
                                   .arg(nativePath(target), QStringLiteral("имя занято")));
        }
    }
    m_savedFile = target;
    if (m_target.saved)
        m_target.saved(target);
}

void XlsxSpreadsheet::quit()
{
    if (m_quit)
        return;
    m_quit = true;
    discard();
    if (!m_visible || !m_target.open || m_savedFile.isEmpty())
        return;
    const bool opened =
        m_target.opener ? m_target.opener(m_savedFile) : openWithDesktop(m_savedFile);
    if (!opened && m_target.notOpened)
        m_target.notOpened(m_savedFile);
}

bool XlsxSpreadsheet::openWithDesktop(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void XlsxSpreadsheet::requireWorkbook() const
{
    if (!m_hasWorkbook || m_quit)
        throw RangeError();
}

void XlsxSpreadsheet::requireSheet(const QString& sheet) const
{
    requireWorkbook();
    if (sheet != m_sheetName)
        throw RangeError();
}

lxw_worksheet* XlsxSpreadsheet::sheetForCells(const QString& sheet, int row, int column)
{
    if (!m_worksheet) {
        requireSheet(sheet);
        if (!m_savedFile.isEmpty())
            throw AppError(notSupported(QStringLiteral("Cells")));
        startWriting();
    } else if (sheet != m_sheetName) {
        throw RangeError();
    }
    if (row < 1 || row > int(LXW_ROW_MAX) || column < 1 || column > LXW_COL_MAX)
        throw RangeError();
    // Rows leave memory once the next one begins.
    if (row < m_row)
        throw AppError(QStringLiteral("Строка %1 записана раньше строки %2").arg(m_row).arg(row));
    m_row = row;
    return m_worksheet;
}

void XlsxSpreadsheet::startWriting()
{
    const QString folder =
        m_target.file.isEmpty() ? m_target.folder : QFileInfo(m_target.file).absolutePath();
    m_file = std::make_unique<UnseenFile>(folder);
    const CNumbers c;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    const QByteArray path = QFile::encodeName(m_file->path());
    m_workbook = workbook_new_opt(path.constData(), &options);
    if (!m_workbook) {
        m_file.reset();
        throw AppError(QStringLiteral("Не удается создать книгу"));
    }
    const QByteArray name = m_sheetName.toUtf8();
    m_worksheet = workbook_add_worksheet(m_workbook, name.constData());
    if (!m_worksheet) {
        discard();
        throw AppError(QStringLiteral("Недопустимое имя листа: '%1'").arg(m_sheetName));
    }

    int lastColumn = 0;
    for (auto it = m_columns.cbegin(); it != m_columns.cend(); ++it) {
        lxw_format* f =
            it->numberFormat.isEmpty() ? nullptr : makeFormat(it->numberFormat, nullptr);
        check(worksheet_set_column(m_worksheet, lxw_col_t(it.key() - 1), lxw_col_t(it.key() - 1),
                                   it->width ? double(*it->width) : kDefaultColumnWidth, f),
              "Columns");
        lastColumn = it.key();
    }
    m_columnFormats.assign(size_t(lastColumn) + 1, nullptr);
    for (auto it = m_columns.cbegin(); it != m_columns.cend(); ++it)
        if (!it->numberFormat.isEmpty())
            m_columnFormats[size_t(it.key())] = makeFormat(it->numberFormat, nullptr);
    for (auto it = m_rowFonts.cbegin(); it != m_rowFonts.cend(); ++it)
        check(worksheet_set_row(m_worksheet, lxw_row_t(it.key() - 1), LXW_DEF_ROW_HEIGHT,
                                makeFormat(QString(), &it.value())),
              "Rows");
}

lxw_format* XlsxSpreadsheet::formatFor(int row, int column)
{
    if (row > m_lastFontRow) // the data rows
        return size_t(column) < m_columnFormats.size() ? m_columnFormats[size_t(column)] : nullptr;
    // A cell of a row with a font of its own takes that font and its column's
    // number format.
    const auto font = m_rowFonts.constFind(row);
    const QString numberFormat = m_columns.value(column).numberFormat;
    return makeFormat(numberFormat, font == m_rowFonts.cend() ? nullptr : &font.value());
}

lxw_format* XlsxSpreadsheet::makeFormat(const QString& numberFormat, const RowFont* font)
{
    if (numberFormat.isEmpty() && !font)
        return nullptr;
    const QString key = numberFormat + u'\x1f' +
                        (font ? QStringLiteral("%1/%2/%3")
                                    .arg(font->bold)
                                    .arg(font->color.value_or(-1))
                                    .arg(font->size.value_or(-1))
                              : QString());
    if (lxw_format* f = m_formats.value(key))
        return f;
    lxw_format* f = workbook_add_format(m_workbook);
    if (!f)
        throw AppError(QStringLiteral("Не удается создать формат"));
    if (!numberFormat.isEmpty())
        format_set_num_format(f, numberFormat.toUtf8().constData());
    if (font) {
        if (font->bold)
            format_set_bold(f);
        if (font->color)
            format_set_font_color(f, lxw_color_t(*font->color));
        if (font->size)
            format_set_font_size(f, *font->size);
    }
    m_formats.insert(key, f);
    return f;
}

void XlsxSpreadsheet::check(int error, const char* what)
{
    if (error != LXW_NO_ERROR)
        throw AppError(QStringLiteral("%1: %2").arg(
            QString::fromLatin1(what), QString::fromUtf8(lxw_strerror(lxw_error(error)))));
}

void XlsxSpreadsheet::discard()
{
    if (m_workbook) {
        const CNumbers c;
        // The rows written so far wait in a temporary file that freeing the
        // workbook leaves open (and so on the disk) until the program ends.
        if (m_worksheet && m_worksheet->optimize_tmpfile) {
            std::fclose(m_worksheet->optimize_tmpfile);
            m_worksheet->optimize_tmpfile = nullptr;
        }
        lxw_workbook_free(m_workbook);
        m_workbook = nullptr;
        m_worksheet = nullptr;
        m_formats.clear();
        m_columnFormats.clear();
    }
    m_file.reset();
}
