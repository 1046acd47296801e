// `fln info FILE`: the header facts, fields and footers of a table.
#include "app/cli_info.h"

#include "app/command_line.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/recording_summary_text.h"
#include "data/statistics.h"
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

// The same facts as one JSON object, in the style of `fln summary --json`.
QString infoJson(DbfTable& table, const QString& path, const RegionalSettings& rs)
{
    const DbfHeaderInfo h = table.header();
    QStringList fields;
    for (const DbfField& f : table.fields())
        fields << QStringLiteral("{\"name\": %1, \"type\": %2, \"length\": %3, \"decimals\": %4}")
                      .arg(jsonString(f.name), jsonString(QString(QChar::fromLatin1(f.type))))
                      .arg(f.length)
                      .arg(f.decimals);
    const int codePage = h.codePage ? h.codePage : systemAnsiCodePage();
    QString s = QStringLiteral("{\"file\": %1, \"version\": %2, \"level\": %3, "
                               "\"last_update\": \"%4-%5-%6\", \"records\": %7, "
                               "\"header_length\": %8, \"record_length\": %9, ")
                    .arg(jsonString(QFileInfo(path).absoluteFilePath()))
                    .arg(h.version)
                    .arg(h.level)
                    .arg(h.year, 4, 10, QLatin1Char('0'))
                    .arg(h.month, 2, 10, QLatin1Char('0'))
                    .arg(h.day, 2, 10, QLatin1Char('0'))
                    .arg(h.recordCount)
                    .arg(h.headerLength)
                    .arg(h.recordLength);
    s += QStringLiteral("\"production_index_flag\": %1, \"language_driver\": %2, "
                        "\"code_page\": %3, \"code_page_installed\": %4, \"fields\": [%5], ")
             .arg(h.productionIndexFlag)
             .arg(h.languageDriver)
             .arg(codePage)
             .arg(isCodePageInstalled(codePage) ? QStringLiteral("true") : QStringLiteral("false"))
             .arg(fields.join(QStringLiteral(", ")));
    TableStatistics stats;
    try {
        if (find_mma(table, stats, rs) > 0) {
            const auto channel = [](double min, double mean, double max) {
                return QStringLiteral("{\"min\": %1, \"mean\": %2, \"max\": %3}")
                    .arg(QString::number(min, 'g', 15), QString::number(mean, 'g', 15),
                         QString::number(max, 'g', 15));
            };
            s += QStringLiteral("\"footers\": {\"T1\": %1, \"T2\": %2}, \"statistics_error\": null}\n")
                     .arg(channel(stats.t1Min, stats.t1Mean, stats.t1Max),
                          channel(stats.t2Min, stats.t2Mean, stats.t2Max));
        } else {
            s += QStringLiteral("\"footers\": null, \"statistics_error\": null}\n");
        }
    } catch (const AppError& e) {
        s += QStringLiteral("\"footers\": null, \"statistics_error\": %1}\n").arg(jsonString(e.text()));
    }
    return s;
}

} // namespace

int runInfoCommand(const CommandLineOptions& o)
{
    DbfTable table;
    table.setTableFile(o.arguments.first());
    table.open(DbfTable::Access::ReadOnly);
    if (o.json) {
        writeOut(infoJson(table, o.arguments.first(), commandRegionalSettings(o)));
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
    writeOut(s);
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
        writeOut(QStringLiteral("Statistics: ") + e.text() + u'\n');
    }
    return kExitDone;
}
