#include "data/table_info_json.h"

#include "data/dbf_table.h"
#include "data/statistics.h"
#include "platform/app_error.h"
#include "platform/code_page.h"
#include "platform/json_writer.h"

#include <QFileInfo>

#include <optional>

QString tableInfoJson(DbfTable& table, const QString& path, const RegionalSettings& rs)
{
    const DbfHeaderInfo h = table.header();
    const int codePage = h.codePage ? h.codePage : systemAnsiCodePage();
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("file")).string(QFileInfo(path).absoluteFilePath());
    w.key(QStringLiteral("version")).integer(h.version);
    w.key(QStringLiteral("level")).integer(h.level);
    w.key(QStringLiteral("last_update"))
        .string(QStringLiteral("%1-%2-%3")
                    .arg(h.year, 4, 10, QLatin1Char('0'))
                    .arg(h.month, 2, 10, QLatin1Char('0'))
                    .arg(h.day, 2, 10, QLatin1Char('0')));
    w.key(QStringLiteral("records")).integer(h.recordCount);
    w.key(QStringLiteral("header_length")).integer(h.headerLength);
    w.key(QStringLiteral("record_length")).integer(h.recordLength);
    w.key(QStringLiteral("production_index_flag")).integer(h.productionIndexFlag);
    w.key(QStringLiteral("language_driver")).integer(h.languageDriver);
    w.key(QStringLiteral("code_page")).integer(codePage);
    w.key(QStringLiteral("code_page_installed")).boolean(isCodePageInstalled(codePage));
    w.key(QStringLiteral("fields")).beginArray();
    for (const DbfField& f : table.fields()) {
        w.beginObject();
        w.key(QStringLiteral("name")).string(f.name);
        w.key(QStringLiteral("type")).string(QString(QChar::fromLatin1(f.type)));
        w.key(QStringLiteral("length")).integer(f.length);
        w.key(QStringLiteral("decimals")).integer(f.decimals);
        w.endObject();
    }
    w.endArray();
    TableStatistics stats;
    std::optional<QString> statisticsError;
    bool footers = false;
    try {
        footers = find_mma(table, stats, rs) > 0;
    } catch (const AppError& e) {
        // Temperatures written with another decimal separator than these
        // regional settings only cost the footers.
        statisticsError = e.text();
    }
    w.key(QStringLiteral("footers"));
    if (footers) {
        // A mean whose sum overflowed (readings near 1e308) is no figure.
        const auto channel = [&w](double min, double mean, double max) {
            w.beginObject();
            w.key(QStringLiteral("min")).number(min);
            w.key(QStringLiteral("mean")).number(mean);
            w.key(QStringLiteral("max")).number(max);
            w.endObject();
        };
        w.beginObject();
        w.key(QStringLiteral("T1"));
        channel(stats.t1Min, stats.t1Mean, stats.t1Max);
        w.key(QStringLiteral("T2"));
        channel(stats.t2Min, stats.t2Mean, stats.t2Max);
        w.endObject();
    } else {
        w.null();
    }
    w.key(QStringLiteral("statistics_error"));
    if (statisticsError)
        w.string(*statisticsError);
    else
        w.null();
    w.endObject();
    return w.text() + u'\n';
}
