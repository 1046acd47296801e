#include "app/cli.h"

#include "app/command_line.h"
#include "data/dbf_table.h"
#include "data/statistics.h"
#include "platform/app_error.h"
#include "platform/code_page.h"
#include "platform/regional_settings.h"

#include "app/cli_download.h"
#include "app/cli_sim.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

void out(const QString& text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
}

QString hex2(int v)
{
    return QStringLiteral("0x%1").arg(v, 2, 16, QLatin1Char('0')).toUpper().replace(u'X', u'x');
}

int runInfo(const CommandLineOptions& o)
{
    DbfTable table;
    table.setTableFile(o.arguments.first());
    table.open(DbfTable::Access::ReadOnly);
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
    out(s);
    // The footers of the grid: minimum/mean/maximum of T_1 and T_2 over the rows.
    const RegionalSettings rs =
        o.locale.isEmpty() ? RegionalSettings::fromSystem() : RegionalSettings::fromName(o.locale);
    TableStatistics stats;
    try {
        if (find_mma(table, stats, rs) > 0)
            out(QStringLiteral("T1, °C: ") + footerT1(stats, rs) + QStringLiteral("\nT2, °C: ") +
                footerT2(stats, rs) + u'\n');
    } catch (const AppError& e) {
        // The header facts stand; temperatures written with another decimal
        // separator than these regional settings only cost the footers.
        out(QStringLiteral("Statistics: ") + e.text() + u'\n');
    }
    return kExitDone;
}

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
    const QString m_tag = QStringLiteral("tab1");
    DbfTable& m_table;
    bool m_keep;
};

int runDump(const CommandLineOptions& o)
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
            out(chunk);
            chunk.clear();
        }
    }
    out(chunk);
    return kExitDone;
}

} // namespace

int runCommand(int& argc, char** argv, const CommandLineOptions& options)
{
    QCoreApplication app(argc, argv);
    if (options.command == u"help") {
        out(usageText());
        return kExitDone;
    }
    try {
        if (!options.locale.isEmpty())
            RegionalSettings::fromName(options.locale); // refuse an unknown name early
        if (options.command == u"info")
            return runInfo(options);
        if (options.command == u"dump")
            return runDump(options);
        if (options.command == u"sim")
            return runSimCommand(options);
        if (options.command == u"download")
            return runDownloadCommand(options);
        std::fprintf(stderr, "fln: unknown command '%s'\n\n%s", qPrintable(options.command),
                     qPrintable(usageText()));
        return kExitUsage;
    } catch (const AppError& e) {
        // A failure without a text (an abandoned open) still says what failed.
        const QString text = e.text().isEmpty()
                                 ? QStringLiteral("Cannot open %1").arg(options.arguments.value(0))
                                 : e.text();
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        return kExitFailed;
    }
}
