// `fln dump FILE [--sort FIELD [--descending] [--keep-index]]`: the live rows as CSV.
#include "app/cli_dump.h"

#include "app/cli.h"
#include "app/command_line.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "platform/app_error.h"

#include <QLocale>

#include <optional>

namespace {

QString csvField(const QString& v)
{
    if (!v.contains(u',') && !v.contains(u'"') && !v.contains(u'\n') && !v.contains(u'\r'))
        return v;
    QString q = v;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString valueText(const QVariant& v)
{
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    return v.toString();
}

// `dump --sort FIELD`: the table opened for writing as the program opens it,
// tag "tab1" on FIELD added and selected, and removed again at the end (so
// that no .mdx is left) unless --keep-index.
class DumpSort
{
public:
    DumpSort(DbfTable& table, const CommandLineOptions& o) : m_table(table), m_keep(o.keepIndex)
    {
        m_table.open(DbfTable::Access::ReadWrite);
        if (m_table.fieldIndex(o.sortField) < 0)
            throw AppError::format(QStringLiteral("Field '%s' not found"), {o.sortField});
        m_table.addSortTag(m_tag, o.sortField, o.descending);
        m_table.selectSortTag(m_tag);
        // A tag that cannot be built is dropped without an error in the
        // windows; here the user asked for this order and hears why not.
        if (m_table.selectedSortTag().isEmpty())
            throw AppError::format(QStringLiteral("Cannot sort by field '%s'"), {o.sortField});
    }
    ~DumpSort()
    {
        if (m_keep || !m_table.isOpen())
            return;
        try {
            m_table.selectSortTag({});
            m_table.removeSortTag(m_tag);
        } catch (const AppError&) {
            // The table is closed next; nothing better to do here.
        }
    }
    DumpSort(const DumpSort&) = delete;
    DumpSort& operator=(const DumpSort&) = delete;

private:
    const QString m_tag = MeasurementSchema::kSortTag;
    DbfTable& m_table;
    bool m_keep;
};

} // namespace

int runDumpCommand(const CommandLineOptions& o)
{
    DbfTable table;
    table.setTableFile(o.arguments.first());
    std::optional<DumpSort> sort;
    if (!o.sortField.isEmpty())
        sort.emplace(table, o);
    else
        table.open(DbfTable::Access::ReadOnly);
    QStringList names;
    for (const DbfField& f : table.fields())
        names << csvField(f.name);
    QString chunk = names.join(u',') + QStringLiteral("\r\n");
    const int n = int(table.fields().size());
    for (table.first(); !table.eof(); table.next()) {
        for (int i = 0; i < n; ++i) {
            if (i)
                chunk += u',';
            chunk += csvField(valueText(table.value(i)));
        }
        chunk += QStringLiteral("\r\n");
        if (chunk.size() > 65536) {
            writeOut(chunk);
            chunk.clear();
        }
    }
    writeOut(chunk);
    return kExitDone;
}
