// `fln info FILE`: the header facts, fields and footers of a table.
#include "app/cli_commands.h"

#include "app/command_line.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/statistics.h"
#include "data/table_info_json.h"
#include "platform/app_error.h"
#include "platform/code_page.h"
#include "platform/console_output.h"
#include "platform/regional_settings.h"

#include <QFileInfo>

namespace {

QString hex2(int v)
{
    return QStringLiteral("0x%1").arg(v, 2, 16, QLatin1Char('0')).toUpper().replace(u'X', u'x');
}

} // namespace

int runInfoCommand(const CommandLineOptions& o)
{
    DbfTable table;
    openTableForReading(table, o);
    if (o.isSet(QStringLiteral("json"))) {
        writeOut(tableInfoJson(table, o.arguments.first(), commandRegionalSettings(o)));
        return kExitDone;
    }
    const DbfHeaderInfo h = table.header();
    QString s;
    s += QStringLiteral("File: %1\n").arg(QFileInfo(o.arguments.first()).absoluteFilePath());
    s += QStringLiteral("Version: %1\n").arg(hex2(h.version));
    s += QStringLiteral("Level: %1\n").arg(h.level);
    s += QStringLiteral("Last update: %1-%2-%3\n")
             .arg(h.year, 4, 10, QLatin1Char('0'))
             .arg(h.month, 2, 10, QLatin1Char('0'))
             .arg(h.day, 2, 10, QLatin1Char('0'));
    s += QStringLiteral("Records: %1\n").arg(h.recordCount);
    s += QStringLiteral("Header length: %1\n").arg(h.headerLength);
    s += QStringLiteral("Record length: %1\n").arg(h.recordLength);
    s += QStringLiteral("Production index flag: %1\n").arg(h.productionIndexFlag);
    s +=
        QStringLiteral("Language driver: %1 (code page %2)\n")
            .arg(hex2(h.languageDriver),
                 h.codePage
                     ? QString::number(h.codePage)
                     : QStringLiteral("%1, the system's ANSI code page").arg(systemAnsiCodePage()));
    if (!isCodePageInstalled(h.codePage ? h.codePage : systemAnsiCodePage()))
        s += QStringLiteral("Code page not installed: the table opens read-only\n");
    s += QStringLiteral("Fields: %1\n").arg(table.fields().size());
    for (const DbfField& f : table.fields())
        s += QStringLiteral("  %1 %2 %3 %4\n")
                 .arg(f.name, -11)
                 .arg(QChar::fromLatin1(f.type))
                 .arg(f.length, 3)
                 .arg(f.decimals, 2);
    // Field names come from the file: they reach the terminal harmless.
    writeOut(visibleText(s, true));
    // The footers of the grid: minimum/mean/maximum of T_1 and T_2 over the rows.
    const RegionalSettings rs = commandRegionalSettings(o);
    TableStatistics stats;
    try {
        if (find_mma(table, stats, rs) > 0)
            writeOut(MeasurementSchema::kT1Caption + QStringLiteral(": ") + footerT1(stats, rs) +
                     u'\n' + MeasurementSchema::kT2Caption + QStringLiteral(": ") +
                     footerT2(stats, rs) + u'\n');
    } catch (const AppError& e) {
        // The header facts stand; temperatures written with another decimal
        // separator than these regional settings only cost the footers.
        writeOut(QStringLiteral("Statistics: ") + visibleText(e.text()) + u'\n');
    }
    return kExitDone;
}
