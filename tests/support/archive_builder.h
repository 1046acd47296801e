#pragma once

#include "data/archive_image.h"

#include <cstdint>
#include <initializer_list>

// Builds an archive image by hand, byte for byte as the instrument lays it
// out: a little-endian record count, then 11-byte records.
struct ArchiveRecord
{
    std::uint8_t flags = 0;
    std::uint16_t t1 = 0, t2 = 0; // raw hundredths of a degree, two's complement
    std::uint8_t second = 0, minute = 0, hour = 0;
    std::uint8_t day = 1, month = 1, year = 7; // year minus 2000
};

inline void putRecord(ArchiveImage& image, int index, const ArchiveRecord& r)
{
    std::uint8_t* p = image.bytes.data() + 2 + 11 * index;
    p[0] = r.flags;
    p[1] = r.t1 & 0xFF;
    p[2] = r.t1 >> 8;
    p[3] = r.t2 & 0xFF;
    p[4] = r.t2 >> 8;
    p[5] = r.second;
    p[6] = r.minute;
    p[7] = r.hour;
    p[8] = r.day;
    p[9] = r.month;
    p[10] = r.year;
}

// The image a download of exactly these records leaves.
inline ArchiveImage makeArchive(std::initializer_list<ArchiveRecord> records)
{
    ArchiveImage image;
    const int count = static_cast<int>(records.size());
    image.bytes[0] = count & 0xFF;
    image.bytes[1] = count >> 8;
    int i = 0;
    for (const ArchiveRecord& r : records)
        putRecord(image, i++, r);
    image.decodedLength = 2 + 11 * count;
    return image;
}
