#pragma once

#include "data/recording_summary.h"

#include <QString>

class SettingsStore;

// The summary's limits and ΔH kept between runs, beside the program's other
// values in the settings store: "Summary_T1_Lower", "Summary_T1_Upper",
// "Summary_T2_Lower", "Summary_T2_Upper" (empty: no limit) and "Summary_DH"
// (kJ/mol), each a number written with a decimal point whatever the
// regional settings, so that a change of them does not lose the values.
namespace SummaryOptionValues {
inline const QString kLower[2] = {QStringLiteral("Summary_T1_Lower"),
                                  QStringLiteral("Summary_T2_Lower")};
inline const QString kUpper[2] = {QStringLiteral("Summary_T1_Upper"),
                                  QStringLiteral("Summary_T2_Upper")};
inline const QString kActivationEnergy = QStringLiteral("Summary_DH");
} // namespace SummaryOptionValues

// The stored options; a value that is missing or not a number counts as not
// set (no limit, the default ΔH). The store must be open.
SummaryOptions loadSummaryOptions(const SettingsStore& store);
void saveSummaryOptions(SettingsStore& store, const SummaryOptions& options);

// Each table keeps its own options, under the same names after
// "Table_<key>_", where <key> stands for the table file's canonical path
// (kept beside them as "Table_<key>_Path"); the names above hold the options
// used last, which a table starts with.
QString tableOptionsPrefix(const QString& tableFile);
bool hasTableSummaryOptions(const SettingsStore& store, const QString& tableFile);
// The table's own options, else those used last. Only reads.
SummaryOptions loadTableSummaryOptions(const SettingsStore& store, const QString& tableFile);
// Keeps them as the table's own and as those used last.
void saveTableSummaryOptions(SettingsStore& store, const QString& tableFile,
                             const SummaryOptions& options);
// A table met for the first time takes the options used last as its own,
// so that later changes for other tables leave it as it was. Returns the
// table's options.
SummaryOptions adoptTableSummaryOptions(SettingsStore& store, const QString& tableFile);

// A limit or ΔH typed by the user: a decimal point or the regional
// separator; empty gives nothing. False for any other text.
bool parseOptionalNumber(const QString& text, const RegionalSettings& rs, std::optional<double>& v);

// The ΔH the summary takes, kJ/mol: the activation energies of real
// degradation lie well inside; far outside, the mean kinetic temperature
// means nothing (and near zero it is lost to rounding).
inline constexpr double kMinActivationEnergy = 1;
inline constexpr double kMaxActivationEnergy = 1000;
bool plausibleActivationEnergy(double kjPerMol);

// ΔH typed by the user: empty when `text` gives a plausible ΔH (then in
// `v`), else why not: "ΔH: «0,001» — нужно число от 1 до 1000 кДж/моль".
QString readActivationEnergy(const QString& text, const RegionalSettings& rs, double& v);
// Empty when every channel's lower limit is at most its upper one, else
// which is not: "T1: нижняя граница 9 выше верхней 2".
QString limitsProblem(const SummaryOptions& options, const RegionalSettings& rs);
