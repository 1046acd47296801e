#pragma once

#include "data/dbf_field.h"
#include "platform/regional_settings.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

class CodePageConverter;

// Field values to and from the bytes of a record: integers right-aligned,
// texts in the table's code page padded with blanks.
//
// Failures throw AppError with the texts the user sees.
class DbfRecordCodec
{
public:
    DbfRecordCodec();
    ~DbfRecordCodec();

    // The code page that the language driver byte names, or the system's
    // ANSI code page for byte 0. False when this system cannot convert it:
    // texts are then shown as their bytes and nothing may be written.
    bool setLanguageDriver(quint8 languageDriver);
    void reset();
    bool canConvert() const { return m_converter != nullptr; }

    // null, qint64 (integer kinds), double, or QString
    QVariant decode(const char* record, const DbfField& f) const;
    // A text field holding a regional number read straight from the bytes;
    // false for null. A text that is no number throws the regional error.
    bool readNumber(const char* record, const DbfField& f, const RegionalSettings& rs,
                    double& v) const;

    void encodeInteger(char* record, const DbfField& f, std::optional<qint64> v) const;
    void encodeText(char* record, const DbfField& f, const QString& text) const;

private:
    QString decodeText(const char* p, int n) const;

    std::unique_ptr<CodePageConverter> m_converter; // null: bytes shown as they are
    int m_codePage = 0;
};
