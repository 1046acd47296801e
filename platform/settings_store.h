#pragma once

#include <QString>

#include <memory>

class QSettings;

// The program's key in the user's settings: HKEY_CURRENT_USER
// `\Software\Ostrakon\FLN\1.0` with string values. On Windows QSettings keeps
// it in the registry under that very path; here it is the "1.0" group of the
// file Ostrakon/FLN.conf in the user's config folder. Tests give a file of
// their own.
//
// Every failure throws AppError with the text the user sees.
class SettingsStore
{
public:
    static const QString kProgramKey; // "\Software\Ostrakon\FLN\1.0"

    // Empty path: the user's own settings (native format).
    explicit SettingsStore(const QString& filePath = QString());
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Creates the key when it does not exist yet and holds it open; reads and
    // writes go to it from then on. "Failed to create key %s".
    void openKey(const QString& key = kProgramKey);
    bool isOpen() const { return m_open; }
    QString key() const { return m_key; }

    bool valueExists(const QString& name) const;
    // "Invalid data type for '%s'" when the stored value is not a string.
    QString readString(const QString& name) const;
    // Written through to the backing store at once; "Failed to set data for '%s'".
    void writeString(const QString& name, const QString& value);

    QString fileName() const;

private:
    QString group() const;
    void requireOpen(const QString& name) const;

    QString m_filePath;
    std::unique_ptr<QSettings> m_settings;
    QString m_key;
    bool m_open = false;
};
