#include "components/prepared_report_file.h"

#include "components/report_layout.h"
#include "platform/app_error.h"
#include "platform/unseen_file.h"

#include <QDataStream>
#include <QDir>
#include <QFile>

#include <cmath>

namespace {

constexpr quint32 kMagic = 0x464C4E52; // "FLNR"
constexpr quint32 kVersion = 1;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

// The largest length a sane template holds, in units: about 5.5 m of paper.
constexpr double kLongest = 20000;

AppError notAReport(const QString& fileName)
{
    return AppError(QStringLiteral("Файл \"%1\" не является подготовленным отчетом.")
                        .arg(QDir::toNativeSeparators(fileName)));
}

bool within(double v, double low, double high)
{
    return std::isfinite(v) && v >= low && v <= high;
}

// A template that the engine can lay out and draw: finite lengths of a size
// paper can have, margins inside the page, every band of a positive height
// that fits between the top and bottom margins.
bool saneTemplate(const ReportTemplate& t)
{
    const ReportPageSetup& p = t.page;
    if (!within(p.width, 1, kLongest) || !within(p.height, 1, kLongest) ||
        !within(p.paperWidthMm, 1, 10000) || !within(p.paperHeightMm, 1, 10000))
        return false;
    for (double m : {p.marginLeft, p.marginTop, p.marginRight, p.marginBottom}) {
        if (!within(m, 0, kLongest))
            return false;
    }
    if (p.marginLeft + p.marginRight >= p.width)
        return false;
    const double printable = p.height - p.marginTop - p.marginBottom;
    if (printable <= 0)
        return false;
    for (const ReportBand& b : t.bands) {
        if (!within(b.height, 0, printable) || b.height <= 0)
            return false;
        for (const ReportCell& c : b.cells) {
            if (!within(c.x, -kLongest, kLongest) || !within(c.width, 0, kLongest) ||
                !within(c.pointSize, 0.1, 1000) || !within(c.frame.width, 0, 1000) ||
                !within(c.insetX, 0, kLongest) || !within(c.insetY, 0, kLongest) ||
                c.frame.sides > ReportFrame::All)
                return false;
        }
    }
    return true;
}

// The cells one page of a valid file may hold: hundreds of times a page of
// ours (a few dozen rows of eight cells), and a bound on the work that a
// page of tiny rows or of bands with a thousand cells asks for.
constexpr qint64 kPageCellLimit = 1 << 16;

qint64 cellsPerPage(const ReportTemplate& t, qint64 rows)
{
    const ReportPageLayout layout(t);
    qint64 cells = 0;
    for (ReportBand::Kind kind : {ReportBand::Kind::ReportTitle, ReportBand::Kind::PageHeader,
                                  ReportBand::Kind::PageFooter}) {
        if (const ReportBand* b = t.band(kind))
            cells += b->cells.size();
    }
    if (const ReportBand* data = t.band(ReportBand::Kind::MasterData)) {
        const qint64 perPage =
            std::min<qint64>(rows, std::max(layout.rowsOnFirstPage(), layout.rowsOnOtherPages()));
        cells += perPage * data->cells.size();
    }
    return cells;
}

// A list of texts as QDataStream writes a QStringList, read with its count
// checked against the bytes left first: every text takes at least the four
// bytes of its length.
bool readTexts(QDataStream& in, qint64 bytesLeft, QStringList& texts)
{
    texts.clear();
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || qint64(count) > (bytesLeft - 4) / 4)
        return false;
    texts.reserve(count);
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString s;
        in >> s;
        texts << s;
    }
    return in.status() == QDataStream::Ok;
}

// Rows of a saved report, read by offset when a page needs them.
class FileRowSource : public ReportRowSource
{
public:
    FileRowSource(std::unique_ptr<QIODevice> device, const QString& name)
        : m_device(std::move(device)), m_stream(m_device.get()), m_name(name)
    {
        m_stream.setVersion(kStreamVersion);
        const qint64 size = m_device->size();
        quint32 magic = 0, version = 0;
        m_stream >> magic >> version;
        if (magic != kMagic || version != kVersion)
            throw notAReport(m_name);
        m_stream >> m_template >> m_dataSet;
        if (m_stream.status() != QDataStream::Ok || !saneTemplate(m_template) ||
            !readTexts(m_stream, size - m_device->pos(), m_fields))
            throw notAReport(m_name);
        m_stream >> m_rows;
        const qint64 rowsStart = m_device->pos();
        // The index's offset closes the file, after one offset per row.
        if (m_stream.status() != QDataStream::Ok || m_rows < 0 || size - rowsStart < 8 ||
            m_rows > (size - rowsStart - 8) / 8 ||
            cellsPerPage(m_template, m_rows) > kPageCellLimit)
            throw notAReport(m_name);
        qint64 indexOffset = 0;
        if (!m_device->seek(size - 8))
            throw notAReport(m_name);
        m_stream >> indexOffset;
        if (m_stream.status() != QDataStream::Ok || indexOffset < rowsStart ||
            indexOffset > size - 8 || (size - 8 - indexOffset) / 8 != m_rows ||
            (size - 8 - indexOffset) % 8 != 0)
            throw notAReport(m_name);
        m_end = indexOffset;
        if (!m_device->seek(indexOffset))
            throw notAReport(m_name);
        m_offsets.resize(m_rows);
        for (qint64 i = 0; i < m_rows; ++i) {
            m_stream >> m_offsets[i];
            // Every row takes at least the four bytes of its count, and rows
            // follow one another: no two rows share their bytes, so reading
            // every row costs no more than reading the file.
            const qint64 after = i > 0 ? m_offsets[i - 1] + 4 : rowsStart;
            if (m_offsets[i] < after || m_offsets[i] > indexOffset - 4)
                throw notAReport(m_name);
        }
        if (m_stream.status() != QDataStream::Ok)
            throw notAReport(m_name);
    }

    ReportTemplate takeTemplate() { return std::move(m_template); }

    QString dataSetName() const override { return m_dataSet; }
    QStringList fieldNames() const override { return m_fields; }
    qint64 begin() override { return m_rows; }
    QStringList rowTexts(qint64 row) const override
    {
        if (row < 0 || row >= m_rows)
            return {};
        QStringList texts;
        m_stream.resetStatus();
        // A row ends where the next one begins.
        const qint64 stop = row + 1 < m_rows ? m_offsets[row + 1] : m_end;
        if (!m_device->seek(m_offsets[row]) || !readTexts(m_stream, stop - m_offsets[row], texts) ||
            m_device->pos() > stop)
            throw notAReport(m_name);
        return texts;
    }

private:
    std::unique_ptr<QIODevice> m_device;
    mutable QDataStream m_stream;
    QString m_name;
    ReportTemplate m_template;
    QString m_dataSet;
    QStringList m_fields;
    qint64 m_rows = 0;
    qint64 m_end = 0; // where the rows end and the index begins
    QList<qint64> m_offsets;
};

} // namespace

bool PreparedReportFile::save(const PreparedReport& report, const QString& fileName,
                              const std::function<bool(qint64, qint64)>& progress)
{
    OutputFile file(fileName);
    QDataStream out(&file);
    out.setVersion(kStreamVersion);
    const ReportRowSource& source = report.source();
    const qint64 rows = report.rowCount();
    out << kMagic << kVersion << report.reportTemplate() << source.dataSetName()
        << source.fieldNames() << rows;
    QList<qint64> offsets;
    offsets.reserve(rows);
    for (qint64 i = 0; i < rows; ++i) {
        offsets << file.pos();
        out << source.rowTexts(i);
        if (file.failed())
            break; // a full disk takes no more rows; commit() says why
        if (progress && (i % 1000 == 999 || i + 1 == rows) && !progress(i + 1, rows))
            return false; // the unfinished file goes with `file`
    }
    const qint64 indexOffset = file.pos();
    for (qint64 offset : offsets)
        out << offset;
    out << indexOffset;
    file.commit();
    return true;
}

std::unique_ptr<PreparedReport> PreparedReportFile::open(const QString& fileName)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file \"%1\". %2")
                           .arg(QDir::toNativeSeparators(fileName), file->errorString()));
    return open(std::move(file), fileName);
}

std::unique_ptr<PreparedReport> PreparedReportFile::open(std::unique_ptr<QIODevice> device,
                                                         const QString& name)
{
    auto source = std::make_unique<FileRowSource>(std::move(device), name);
    ReportTemplate t = source->takeTemplate();
    return std::make_unique<PreparedReport>(std::move(t), std::move(source));
}
