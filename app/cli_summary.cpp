// `fln summary`: the analysis of a whole recording, or of the period of
// --from and --to. The table is only read; the limits come from the
// options, else from those stored for the table.
#include "app/cli_commands.h"

#include "app/command_line.h"
#include "data/dbf_table.h"
#include "data/recording_summary_text.h"
#include "data/summary_options.h"
#include "platform/app_error.h"
#include "platform/console_output.h"
#include "platform/settings_store.h"

namespace {

SummaryOptions storedOptions(const QString& tableFile)
{
    // The limits stored for the table (else those used last); a settings
    // folder that cannot be opened only costs them.
    try {
        SettingsStore store;
        store.openKey();
        return loadTableSummaryOptions(store, tableFile);
    } catch (const AppError&) {
        return {};
    }
}

void take(const std::optional<QString>& given, const RegionalSettings& rs,
          std::optional<double>& value)
{
    if (!given)
        return;
    if (!parseOptionalNumber(*given, rs, value))
        throw AppError::format(QStringLiteral("'%s' is not a valid floating point value"),
                               {*given});
}

} // namespace

SummaryOptions commandSummaryOptions(const CommandLineOptions& o, const RegionalSettings& rs)
{
    SummaryOptions options = storedOptions(o.arguments.value(0));
    take(o.valueIfSet(QStringLiteral("lower1")), rs, options.lower[0]);
    take(o.valueIfSet(QStringLiteral("upper1")), rs, options.upper[0]);
    take(o.valueIfSet(QStringLiteral("lower2")), rs, options.lower[1]);
    take(o.valueIfSet(QStringLiteral("upper2")), rs, options.upper[1]);
    if (const std::optional<QString> dh = o.valueIfSet(QStringLiteral("dh")))
        if (const QString problem = readActivationEnergy(*dh, rs, options.activationEnergy);
            !problem.isEmpty())
            throw AppError(problem);
    if (const QString problem = limitsProblem(options, rs); !problem.isEmpty())
        throw AppError(problem);
    return options;
}

int runSummaryCommand(const CommandLineOptions& o)
{
    const RegionalSettings rs = commandRegionalSettings(o);
    const SummaryOptions options = commandSummaryOptions(o, rs);

    DbfTable table;
    openTableForReading(table, o);
    const std::optional<QList<quint32>> rows = periodRows(table, o, rs);
    const RecordingSummary s =
        rows ? summarizeRecords(table, *rows, options, rs) : summarizeTable(table, options, rs);
    if (o.isSet(QStringLiteral("json"))) {
        writeOut(summaryJson(s));
        return kExitDone;
    }
    QString text = alignedText(summaryRows(s, rs));
    if (!s.days.isEmpty())
        text += u'\n' + alignedText(dayRows(s, rs));
    if (s.gaps.size() > 1) {
        QList<QStringList> gaps{{QStringLiteral("Пропуск"), QStringLiteral("с"),
                                 QStringLiteral("по"), QStringLiteral("длина")}};
        for (qsizetype i = 0; i < s.gaps.size(); ++i)
            gaps << QStringList{QString::number(i + 1), momentText(s.gaps[i].from, rs),
                                momentText(s.gaps[i].to, rs), durationText(s.gaps[i].seconds())};
        text += u'\n' + alignedText(gaps);
    }
    // Texts of the table (its MODE texts) reach the terminal harmless.
    writeOut(visibleText(text, true));
    return kExitDone;
}
