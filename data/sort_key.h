#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCollator>
#include <QStringDecoder>

#include <optional>
#include <vector>

// What a key of the sort index holds: the field's bytes (character fields)
// or the field's number as the index file's 12-byte BCD (numeric fields).
enum class SortKeyType : char
{
    Character = 'C',
    Numeric = 'N'
};

constexpr int kNumericKeyLength = 12;

// The 12-byte BCD key of a number written as decimal text (the bytes of a
// numeric field, blanks allowed). A blank or unreadable field counts as 0.
QByteArray numericKey(QByteArrayView text);

// The key of one field of a record image (deletion flag at byte 0).
QByteArray recordKey(QByteArrayView record, int offset, int length, SortKeyType type);

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
