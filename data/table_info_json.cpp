#include "data/table_info_json.h"

#include "data/dbf_table.h"
#include "data/recording_summary_text.h"
#include "data/statistics.h"
#include "platform/app_error.h"
#include "platform/code_page.h"

#include <QFileInfo>

#include <cmath>

QString tableInfoJson(DbfTable& table, const QString& path, const RegionalSettings& rs)
{
    const DbfHeaderInfo h = table.header();
    // Texts from the file go in last, each by itself: a "%1" in a field's
    // name or in the path must stay as it is.
    QStringList fields;
    for (const DbfField& f : table.fields())
        fields << QStringLiteral("{\"name\": ") + jsonString(f.name) +
                      QStringLiteral(", \"type\": %1, \"length\": %2, \"decimals\": %3}")
                          .arg(jsonString(QString(QChar::fromLatin1(f.type))))
                          .arg(f.length)
                          .arg(f.decimals);
    const int codePage = h.codePage ? h.codePage : systemAnsiCodePage();
    QString s = QStringLiteral("{\"file\": ") + jsonString(QFileInfo(path).absoluteFilePath()) +
                QStringLiteral(", \"version\": %1, \"level\": %2, "
                               "\"last_update\": \"%3-%4-%5\", \"records\": %6, "
                               "\"header_length\": %7, \"record_length\": %8, ")
                    .arg(h.version)
                    .arg(h.level)
                    .arg(h.year, 4, 10, QLatin1Char('0'))
                    .arg(h.month, 2, 10, QLatin1Char('0'))
                    .arg(h.day, 2, 10, QLatin1Char('0'))
                    .arg(h.recordCount)
                    .arg(h.headerLength)
                    .arg(h.recordLength);
    s +=
        QStringLiteral("\"production_index_flag\": %1, \"language_driver\": %2, "
                       "\"code_page\": %3, \"code_page_installed\": %4, \"fields\": [")
            .arg(h.productionIndexFlag)
            .arg(h.languageDriver)
            .arg(codePage)
            .arg(isCodePageInstalled(codePage) ? QStringLiteral("true") : QStringLiteral("false")) +
        fields.join(QStringLiteral(", ")) + QStringLiteral("], ");
    TableStatistics stats;
    try {
        if (find_mma(table, stats, rs) > 0) {
            // A mean whose sum overflowed (readings near 1e308) is no figure.
            const auto number = [](double v) {
                return std::isfinite(v) ? QString::number(v, 'g', 15) : QStringLiteral("null");
            };
            const auto channel = [&number](double min, double mean, double max) {
                return QStringLiteral("{\"min\": %1, \"mean\": %2, \"max\": %3}")
                    .arg(number(min), number(mean), number(max));
            };
            s += QStringLiteral(
                     "\"footers\": {\"T1\": %1, \"T2\": %2}, \"statistics_error\": null}\n")
                     .arg(channel(stats.t1Min, stats.t1Mean, stats.t1Max),
                          channel(stats.t2Min, stats.t2Mean, stats.t2Max));
        } else {
            s += QStringLiteral("\"footers\": null, \"statistics_error\": null}\n");
        }
    } catch (const AppError& e) {
        s += QStringLiteral("\"footers\": null, \"statistics_error\": ") + jsonString(e.text()) +
             QStringLiteral("}\n");
    }
    return s;
}
