#pragma once

#include "data/dbf_field.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCollator>
#include <QList>
#include <QStringDecoder>

#include <optional>
#include <vector>

// What a key of the sort index holds: the field's bytes (character fields),
// a number as the index file's 12-byte BCD (numeric fields, VAL of a text)
// or a date as its Julian day number in an 8-byte little-endian double
// (CTOD of a text).
enum class SortKeyType : char
{
    Character = 'C',
    Numeric = 'N',
    Date = 'D'
};

constexpr int kNumericKeyLength = 12;
constexpr int kDateKeyLength = 8;

// The 12-byte BCD key of a number written as decimal text (the bytes of a
// numeric field, blanks allowed). A blank or unreadable field counts as 0.
QByteArray numericKey(QByteArrayView text);
// VAL of a text as a 12-byte BCD key: leading blanks, a sign, digits and one
// decimal point, which may be a point or a comma (the regional separator the
// table's texts are written with); the reading stops at the first other
// character, and a text without digits counts as 0.
QByteArray valueKey(QByteArrayView text);
// CTOD of a text "dd.mm.yyyy" (any one non-digit between the parts; a first
// part of four digits reads year, month, day) as an 8-byte date key. A text
// that is no calendar date gives the blank date's key, which sorts first.
QByteArray dateKey(QByteArrayView text);
// The key of a dBase date field "yyyymmdd".
QByteArray storedDateKey(QByteArrayView text);

// The key of one field of a record image (deletion flag at byte 0).
QByteArray recordKey(QByteArrayView record, int offset, int length, SortKeyType type);

// A tag's key expression: one field of the table, bare or under one of the
// dBase functions VAL (a text read as a number) and CTOD (a text read as a
// date).
struct SortKeyExpression
{
    enum class Function
    {
        None,
        Val,
        Ctod
    };

    QString text; // as the index file stores it: "T_1", "VAL(T_1)", "CTOD(DATE)"
    DbfField field;
    Function function = Function::None;
    SortKeyType type = SortKeyType::Character;
    int keyLength = 0;

    bool plainField() const { return function == Function::None; }
    // Writes the key of a record image (deletion flag at byte 0) to `out`,
    // keyLength bytes.
    void keyOf(QByteArrayView record, char* out) const;
};

// Reads "FIELD", "VAL(FIELD)" or "CTOD(FIELD)" (letter case and blanks do
// not matter) over the table's fields. A bare field keys by its bytes, or by
// its value when it is numeric; VAL takes a character or numeric field, CTOD
// a character or date field. nullopt for anything else.
std::optional<SortKeyExpression> parseKeyExpression(const QString& text,
                                                    const QList<DbfField>& fields);

// The locale whose collation orders character keys for a language driver
// byte; nullopt means byte order (no language driver).
std::optional<QLocale> collationLocale(quint8 languageDriver);
// The name of the code page a language driver byte stands for, as the
// decoder knows it; empty when the byte names none.
QByteArray codePageName(quint8 languageDriver);

// The ascending order of keys of one type: character keys by the collation of
// the table's language, numeric keys by value. Descending tags and ties (by
// record number) are the index's business, not the key's.
class SortKeyOrder
{
public:
    SortKeyOrder(SortKeyType type, quint8 languageDriver);

    SortKeyType type() const { return m_type; }
    // < 0, 0, > 0 as a sorts before, with, or after b.
    int compare(QByteArrayView a, QByteArrayView b) const;

    // The rank of each of `count` keys of `keyLength` bytes lying one after
    // the other in `keys`: equal keys get the same rank, and ranks follow the
    // order. Each distinct key is decoded and collated once, so that a million
    // keys with few distinct values cost little more than hashing them.
    std::vector<quint32> ranks(const char* keys, int keyLength, size_t count) const;

private:
    QString decode(QByteArrayView key) const;

    SortKeyType m_type;
    bool m_byteOrder = true;
    QCollator m_collator;
    mutable QStringDecoder m_decoder;
};
