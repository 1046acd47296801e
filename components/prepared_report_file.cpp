#include "components/prepared_report_file.h"

#include "platform/app_error.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

constexpr quint32 kMagic = 0x464C4E52; // "FLNR"
constexpr quint32 kVersion = 1;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

AppError notAReport(const QString& fileName)
{
    return AppError(QStringLiteral("Файл \"%1\" не является подготовленным отчетом.")
                        .arg(QDir::toNativeSeparators(fileName)));
}

// Rows of a saved report, read by offset when a page needs them.
class FileRowSource : public ReportRowSource
{
public:
    FileRowSource(const QString& fileName) : m_file(fileName), m_stream(&m_file)
    {
        m_stream.setVersion(kStreamVersion);
        if (!m_file.open(QIODevice::ReadOnly))
            throw AppError(QStringLiteral("Cannot open file \"%1\". %2")
                               .arg(QDir::toNativeSeparators(fileName), m_file.errorString()));
        quint32 magic = 0, version = 0;
        m_stream >> magic >> version;
        if (magic != kMagic || version != kVersion)
            throw notAReport(fileName);
        m_stream >> m_template >> m_dataSet >> m_fields >> m_rows;
        const qint64 size = m_file.size();
        if (m_stream.status() != QDataStream::Ok || m_rows < 0 || m_rows > size / 8 || size < 8)
            throw notAReport(fileName);
        qint64 indexOffset = 0;
        m_file.seek(size - 8);
        m_stream >> indexOffset;
        if (indexOffset <= 0 || indexOffset + m_rows * 8 != size - 8)
            throw notAReport(fileName);
        m_file.seek(indexOffset);
        m_offsets.resize(m_rows);
        for (qint64 i = 0; i < m_rows; ++i) {
            m_stream >> m_offsets[i];
            if (m_offsets[i] <= 0 || m_offsets[i] >= indexOffset)
                throw notAReport(fileName);
        }
        if (m_stream.status() != QDataStream::Ok)
            throw notAReport(fileName);
        m_name = fileName;
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
        if (!m_file.seek(m_offsets[row]))
            throw notAReport(m_name);
        m_stream >> texts;
        if (m_stream.status() != QDataStream::Ok)
            throw notAReport(m_name);
        return texts;
    }

private:
    mutable QFile m_file;
    mutable QDataStream m_stream;
    QString m_name;
    ReportTemplate m_template;
    QString m_dataSet;
    QStringList m_fields;
    qint64 m_rows = 0;
    QList<qint64> m_offsets;
};

} // namespace

bool PreparedReportFile::save(const PreparedReport& report, const QString& fileName,
                              const std::function<bool(qint64, qint64)>& progress)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(QStringLiteral("Cannot create file \"%1\". %2")
                           .arg(QDir::toNativeSeparators(fileName), file.errorString()));
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
        if (progress && (i % 1000 == 999 || i + 1 == rows) && !progress(i + 1, rows)) {
            file.cancelWriting();
            return false;
        }
    }
    const qint64 indexOffset = file.pos();
    for (qint64 offset : offsets)
        out << offset;
    out << indexOffset;
    if (out.status() != QDataStream::Ok || !file.commit())
        throw AppError(QStringLiteral("Cannot write file \"%1\". %2")
                           .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    return true;
}

std::unique_ptr<PreparedReport> PreparedReportFile::open(const QString& fileName)
{
    auto source = std::make_unique<FileRowSource>(fileName);
    ReportTemplate t = source->takeTemplate();
    return std::make_unique<PreparedReport>(std::move(t), std::move(source));
}
