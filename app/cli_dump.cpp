// `fln dump FILE [--from MOMENT] [--to MOMENT] [--sort FIELD [--descending]
// [--keep-index]]`: the live rows (of the period) as CSV. Only --keep-index
// writes (the sort index file and the table header).
#include "app/cli_commands.h"

#include "app/command_line.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/table_csv.h"
#include "data/table_period.h"
#include "platform/app_error.h"
#include "platform/console_output.h"

namespace {

// `dump --sort FIELD --keep-index`: the one case that writes. The table is
// opened for writing as the program opens it, and tag "tab1" on FIELD is
// added to its .mdx, selected and kept there.
void keepSortIndex(DbfTable& table, const CommandLineOptions& o)
{
    const QString sortField = o.value(QStringLiteral("sort"));
    table.setTableFile(o.arguments.first());
    table.open(DbfTable::Access::ReadWrite);
    const int field = table.fieldIndex(sortField);
    if (field < 0)
        throw AppError::format(QStringLiteral("Field '%s' not found"), {sortField});
    const QString& tag = MeasurementSchema::kSortTag;
    table.addSortTag(tag, MeasurementSchema::sortExpression(sortField),
                     o.isSet(QStringLiteral("descending")));
    table.selectSortTag(tag);
    // A tag that cannot be built is dropped without an error in the
    // windows; here the user asked for it and hears why not.
    if (table.selectedSortTag().isEmpty()) {
        const char type = table.fields().at(field).type;
        if (type != 'C' && type != 'N' && type != 'F')
            throw AppError::format(
                QStringLiteral("Cannot sort by field '%s': not a text or number"), {sortField});
        throw AppError::format(QStringLiteral("Cannot write the sort index %s"),
                               {table.indexFile()});
    }
}

} // namespace

int runDumpCommand(const CommandLineOptions& o)
{
    DbfTable table;
    // A period without rows writes nothing, not even the index.
    if (o.isSet(QStringLiteral("keep-index")) && givenPeriod(o)) {
        DbfTable check;
        openTableForReading(check, o);
        periodRows(check, o, commandRegionalSettings(o));
    }
    // A command that prints does not write, but for the index it is asked to keep.
    if (o.isSet(QStringLiteral("keep-index")))
        keepSortIndex(table, o);
    else
        openTableForReading(table, o);
    const std::optional<QList<quint32>> period = periodRows(table, o, commandRegionalSettings(o));
    writeTableCsv(table, period ? &*period : nullptr,
                  [](const QString& piece) { writeOut(piece); });
    return kExitDone;
}
