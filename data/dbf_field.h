#pragma once

#include <QString>
#include <QtGlobal>

// A field of the open table as its descriptor gives it.
struct DbfField
{
    enum class Kind
    {
        SmallInt,
        Integer,
        LargeInt,
        Float,
        Character,
        Other
    };

    QString name; // upper case; duplicates get the suffix 2, 3, ...
    char type = 'C';
    int length = 0;
    int decimals = 0;
    int offset = 0; // of the field's first byte within the record (the flag is byte 0)
    Kind kind = Kind::Character;
};

// The facts of the file header, for `fln info` and the tests.
struct DbfHeaderInfo
{
    quint8 version = 0;
    int level = 0;
    int year = 0, month = 0, day = 0; // date of last update
    quint32 recordCount = 0;          // physical, deleted-flagged ones included
    quint16 headerLength = 0;
    quint16 recordLength = 0;
    quint8 productionIndexFlag = 0; // byte 28
    quint8 languageDriver = 0;      // byte 29
    int codePage = 0;               // 0: none (the ANSI code page is assumed)
};
