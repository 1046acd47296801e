#include "platform/settings_store.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

const QString SettingsStore::kProgramKey = QStringLiteral("\\Software\\Ostrakon\\FLN\\1.0");

namespace {

// "\Software\Ostrakon\FLN\1.0" -> organisation "Ostrakon", application "FLN",
// group "1.0": on Windows QSettings puts that under HKCU\Software, which gives
// the same key path back.
struct KeyParts
{
    QString organisation, application, group;
};

KeyParts splitKey(const QString& key)
{
    QStringList parts = key.split(u'\\', Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().compare(u"Software", Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    KeyParts k;
    if (parts.size() >= 1)
        k.organisation = parts.takeFirst();
    if (parts.size() >= 1)
        k.application = parts.takeFirst();
    k.group = parts.join(u'/');
    return k;
}

} // namespace

SettingsStore::SettingsStore(const QString& filePath) : m_filePath(filePath) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::fileName() const
{
    return m_settings ? m_settings->fileName() : QString();
}

QString SettingsStore::group() const
{
    return splitKey(m_key).group;
}

void SettingsStore::openKey(const QString& key)
{
    const KeyParts parts = splitKey(key);
    const AppError failure = AppError::format(QStringLiteral("Failed to create key %s"), {key});
    if (parts.organisation.isEmpty() || parts.application.isEmpty())
        throw failure;

    std::unique_ptr<QSettings> settings;
    if (m_filePath.isEmpty())
        settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                               parts.organisation, parts.application);
    else
        settings = std::make_unique<QSettings>(m_filePath, QSettings::IniFormat);

    // A key exists when its file can be written: make the folder now, so
    // that a home without a writable config folder fails here and not at
    // the first write.
    const QFileInfo file(settings->fileName());
    if (settings->format() != QSettings::NativeFormat || file.isAbsolute()) {
        if (!QDir().mkpath(file.absolutePath()) || (file.exists() && !file.isFile()))
            throw failure;
    }
    settings->sync();
    if (settings->status() == QSettings::AccessError)
        throw failure;

    m_settings = std::move(settings);
    m_key = key;
    m_open = true;
}

void SettingsStore::requireOpen(const QString& name) const
{
    if (!m_open)
        throw AppError::format(QStringLiteral("Failed to set data for '%s'"), {name});
}

bool SettingsStore::valueExists(const QString& name) const
{
    return m_open && m_settings->contains(group() + u'/' + name);
}

QString SettingsStore::readString(const QString& name) const
{
    const QVariant v = m_open ? m_settings->value(group() + u'/' + name) : QVariant();
    if (!v.isValid())
        return QString(); // a missing value reads as empty, as the registry's does
    // An INI line such as "a, b" reads back as a list, "@Variant(...)" as
    // another type: neither is the string the program stored.
    if (v.typeId() != QMetaType::QString)
        throw AppError::format(QStringLiteral("Invalid data type for '%s'"), {name});
    return v.toString();
}

void SettingsStore::writeString(const QString& name, const QString& value)
{
    requireOpen(name);
    m_settings->setValue(group() + u'/' + name, value);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw AppError::format(QStringLiteral("Failed to set data for '%s'"), {name});
}
