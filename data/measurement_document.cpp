#include "data/measurement_document.h"
#include "data/measurement_schema.h"

#include "data/archive_decoding.h"
#include "data/dbf_table.h"
#include "data/statistics.h"
#include "platform/app_error.h"
#include "platform/app_title.h"

#include <QFile>
#include <QFileInfo>

#include <exception>
#include <vector>

MeasurementDocument::MeasurementDocument(DbfTable& table, DocumentState& state)
    : m_table(table), m_state(state)
{
}

void MeasurementDocument::beginCreate()
{
    m_state.tableOpen = false;
    m_state.modified = false;
    if (m_table.isOpen())
        m_table.close();
}

bool MeasurementDocument::archiveEmpty() const
{
    return archiveRecordCount(m_state.archive) == 0;
}

void MeasurementDocument::createTable(const QString& path)
{
    checkArchiveRecords(m_state.archive);
    m_table.setTableFile(path);
    m_table.create();
    m_table.open();
    m_state.tableOpen = true;
}

int MeasurementDocument::fillFromArchive()
{
    return flash2fln01(m_table, m_state.archive, m_state.regional, false).value_or(0);
}

bool MeasurementDocument::openTable(const QString& path)
{
    if (m_table.isOpen()) // left open by a command that ended in an error
        m_table.close();
    try {
        m_table.setTableFile(path);
        m_table.open();
    } catch (const std::exception&) {
        // Whatever the table layer says, the user is told the file is broken.
        if (m_table.isOpen())
            m_table.close();
        return false;
    }
    m_state.tableOpen = true;
    return true;
}

std::optional<int> MeasurementDocument::appendFromArchive()
{
    return flash2fln01(m_table, m_state.archive, m_state.regional, true);
}

void MeasurementDocument::reopenKeepingSort()
{
    const QString tag = m_table.selectedSortTag();
    // A close that could not write everything (a full disk) has still
    // closed the file: the table opens again, so the window goes on showing
    // it, and the failure is reported after that.
    std::exception_ptr closeFailure;
    try {
        m_table.close();
    } catch (const AppError&) {
        closeFailure = std::current_exception();
    }
    m_table.open();
    if (!tag.isEmpty())
        m_table.selectSortTag(tag);
    if (closeFailure)
        std::rethrow_exception(closeFailure);
}

void MeasurementDocument::save()
{
    if (!m_state.tableOpen)
        return;
    if (m_table.isOpen())
        reopenKeepingSort();
    m_state.modified = false;
}

void MeasurementDocument::close()
{
    m_state.tableOpen = false;
    m_state.modified = false;
    if (m_table.isOpen()) {
        const QString index = m_table.indexFile();
        m_table.close();
        QFile::remove(index); // a missing file is no error
    }
}

qint64 MeasurementDocument::findMma()
{
    return find_mma(m_table, m_state.statistics, m_state.regional);
}

void MeasurementDocument::packAndReopen()
{
    if (!m_table.isOpen())
        return;
    m_table.pack();
    reopenKeepingSort();
    m_table.first();
    m_state.modified = false;
}

void MeasurementDocument::renumber()
{
    if (!m_state.tableOpen)
        return;
    if (m_table.isOpen()) {
        // Record numbers in display order first: numbering while walking a
        // table sorted by N would move each edited row within the order.
        const qint64 n = m_table.rowCount();
        std::vector<quint32> order;
        order.reserve(static_cast<std::size_t>(n));
        for (qint64 p = 0; p < n; ++p)
            order.push_back(m_table.recordAt(p));

        const QString& fN = MeasurementSchema::kN;
        m_table.disableControls();
        try {
            qint64 i = 1;
            for (quint32 rec : order) {
                m_table.goToRecord(rec);
                m_table.edit();
                m_table.setInteger(fN, i++);
                m_table.post();
            }
        } catch (...) {
            if (m_table.state() != DbfTable::State::Browse && m_table.isOpen())
                m_table.cancel();
            m_table.enableControls();
            throw;
        }
        m_table.enableControls();
        m_table.first();
        reopenKeepingSort(); // every number reaches the disk
    }
}

QString MeasurementDocument::titleFor(const QString& path)
{
    // Only the last extension goes: "a.b.db" is titled "a.b".
    return QFileInfo(path).completeBaseName() + QStringLiteral(" - ") + kAppTitle;
}
