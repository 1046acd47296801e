#include "data/summary_options.h"

#include "data/statistics.h"
#include "platform/settings_store.h"

#include <cmath>

namespace {

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

} // namespace

SummaryOptions loadSummaryOptions(const SettingsStore& store)
{
    using namespace SummaryOptionValues;
    SummaryOptions o;
    for (int c = 0; c < 2; ++c) {
        o.lower[size_t(c)] = stored(store, kLower[c]);
        o.upper[size_t(c)] = stored(store, kUpper[c]);
    }
    if (const std::optional<double> dh = stored(store, kActivationEnergy);
        dh && plausibleActivationEnergy(*dh))
        o.activationEnergy = *dh;
    return o;
}

void saveSummaryOptions(SettingsStore& store, const SummaryOptions& options)
{
    using namespace SummaryOptionValues;
    for (int c = 0; c < 2; ++c) {
        store.writeString(kLower[c], storedText(options.lower[size_t(c)]));
        store.writeString(kUpper[c], storedText(options.upper[size_t(c)]));
    }
    store.writeString(kActivationEnergy, storedText(options.activationEnergy));
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
