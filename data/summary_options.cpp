#include "data/summary_options.h"

#include "data/statistics.h"
#include "platform/settings_store.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <cmath>

namespace {

const QString kPathValue = QStringLiteral("Path");

std::optional<double> stored(const SettingsStore& store, const QString& name)
{
    if (!store.valueExists(name))
        return std::nullopt;
    bool ok = false;
    const double v = store.readString(name).trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

QString storedText(const std::optional<double>& v)
{
    return v ? QString::number(*v, 'g', 15) : QString();
}

// The options under these names, after `prefix`.
SummaryOptions load(const SettingsStore& store, const QString& prefix)
{
    using namespace SummaryOptionValues;
    SummaryOptions o;
    for (int c = 0; c < 2; ++c) {
        o.lower[size_t(c)] = stored(store, prefix + kLower[c]);
        o.upper[size_t(c)] = stored(store, prefix + kUpper[c]);
    }
    if (const std::optional<double> dh = stored(store, prefix + kActivationEnergy);
        dh && plausibleActivationEnergy(*dh))
        o.activationEnergy = *dh;
    return o;
}

void save(SettingsStore& store, const QString& prefix, const SummaryOptions& options)
{
    using namespace SummaryOptionValues;
    for (int c = 0; c < 2; ++c) {
        store.writeString(prefix + kLower[c], storedText(options.lower[size_t(c)]));
        store.writeString(prefix + kUpper[c], storedText(options.upper[size_t(c)]));
    }
    store.writeString(prefix + kActivationEnergy, storedText(options.activationEnergy));
}

QString canonicalPath(const QString& tableFile)
{
    const QFileInfo info(tableFile);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

SummaryOptions loadSummaryOptions(const SettingsStore& store)
{
    return load(store, QString());
}

void saveSummaryOptions(SettingsStore& store, const SummaryOptions& options)
{
    save(store, QString(), options);
}

QString tableOptionsPrefix(const QString& tableFile)
{
    // A value name holds no path: its separators would open groups. 16 hex
    // digits of a hash tell a user's tables apart.
    const QByteArray hash =
        QCryptographicHash::hash(canonicalPath(tableFile).toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("Table_%1_").arg(QString::fromLatin1(hash.toHex().left(16)));
}

bool hasTableSummaryOptions(const SettingsStore& store, const QString& tableFile)
{
    return store.valueExists(tableOptionsPrefix(tableFile) + kPathValue);
}

SummaryOptions loadTableSummaryOptions(const SettingsStore& store, const QString& tableFile)
{
    return hasTableSummaryOptions(store, tableFile) ? load(store, tableOptionsPrefix(tableFile))
                                                    : load(store, QString());
}

void saveTableSummaryOptions(SettingsStore& store, const QString& tableFile,
                             const SummaryOptions& options)
{
    const QString prefix = tableOptionsPrefix(tableFile);
    save(store, prefix, options);
    store.writeString(prefix + kPathValue, canonicalPath(tableFile));
    save(store, QString(), options);
}

SummaryOptions adoptTableSummaryOptions(SettingsStore& store, const QString& tableFile)
{
    const SummaryOptions o = loadTableSummaryOptions(store, tableFile);
    if (!hasTableSummaryOptions(store, tableFile))
        saveTableSummaryOptions(store, tableFile, o);
    return o;
}

bool parseOptionalNumber(const QString& text, const RegionalSettings& rs, std::optional<double>& v)
{
    QString t = text.trimmed();
    if (t.isEmpty()) {
        v.reset();
        return true;
    }
    t.replace(rs.decimalSeparator, u'.');
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    v = d;
    return true;
}

bool plausibleActivationEnergy(double kjPerMol)
{
    return kjPerMol >= kMinActivationEnergy && kjPerMol <= kMaxActivationEnergy;
}

QString readActivationEnergy(const QString& text, const RegionalSettings& rs, double& v)
{
    std::optional<double> dh;
    if (parseOptionalNumber(text, rs, dh) && dh && plausibleActivationEnergy(*dh)) {
        v = *dh;
        return {};
    }
    return QStringLiteral("ΔH: «%1» — нужно число от %2 до %3 кДж/моль")
        .arg(text, floatToText(kMinActivationEnergy, rs), floatToText(kMaxActivationEnergy, rs));
}

QString limitsProblem(const SummaryOptions& options, const RegionalSettings& rs)
{
    for (size_t c = 0; c < 2; ++c) {
        const std::optional<double>&lower = options.lower[c], &upper = options.upper[c];
        if (lower && upper && *lower > *upper)
            return QStringLiteral("T%1: нижняя граница %2 выше верхней %3")
                .arg(c + 1)
                .arg(floatToText(*lower, rs), floatToText(*upper, rs));
    }
    return {};
}
