#pragma once

#include "data/sort_key.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <vector>

// One tag of a multiple-index file with its keys in index order.
struct MdxTag
{
    QString name;           // upper case, at most 10 characters
    QString expression;     // the key expression: a field name, or VAL or CTOD of one
    bool plainField = true; // the key is the field itself, not calculated from it
    SortKeyType keyType = SortKeyType::Character;
    int keyLength = 0; // 1..100; 12 for numeric keys, 8 for date keys
    bool descending = false;
    bool unique = false;
    QByteArray keys;              // keyLength bytes per entry, one after the other
    std::vector<quint32> records; // record number of each entry
};

// The contents of a dBase IV production index (.mdx) as this program keeps it.
struct MdxContents
{
    QString tableName; // the table's base name (stored upper case, 16 bytes at most)
    QDate date;        // creation and update date written to the header
    std::vector<MdxTag> tags;
    // The tag that was selected when the file was last written. dBase keeps no
    // such field; we keep it in the unused part of the file header so that a
    // table closed and opened again (Save) browses in the same order.
    QString selectedTag;
};

// The file's layout: 512-byte pages, nodes and tag headers of one 1024-byte
// block, file header and tag table in pages 0-3, at most 47 tags.
namespace mdx {
constexpr int kPage = 512;
constexpr int kBlock = 1024;
constexpr int kMaxTags = 47;
constexpr int kMaxKeyLength = 100;

int keyItemLength(int keyLength); // 4-byte pointer + key, rounded up to 4
int maxKeysPerBlock(int keyLength);
} // namespace mdx

// The file's bytes for the contents; B-trees as deep as the keys need.
// Throws AppError when a tag breaks a limit of the format.
QByteArray buildMdx(const MdxContents& contents);
// Reads and checks every byte it uses; a damaged or foreign file throws
// AppError, never reads outside the data.
MdxContents parseMdx(QByteArrayView bytes);

void writeMdxFile(const QString& path, const MdxContents& contents); // throws AppError
MdxContents readMdxFile(const QString& path);                        // throws AppError
