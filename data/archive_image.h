#pragma once

#include <array>
#include <cstdint>

// The instrument's archive as decoded bytes: a little-endian 16-bit record
// count at offset 0, then 11-byte records. The download fills it; the
// decoding into table rows reads it in place.
struct ArchiveImage
{
    static constexpr int kSize = 65536;
    static constexpr int kRecordSize = 11;
    static constexpr int kMaxRecords = 5957; // 2 + 11 * 5957 = 65529 bytes

    std::array<std::uint8_t, kSize> bytes{};
    // Number of bytes the last download decoded (0 when nothing was decoded).
    int decodedLength = 0;
};
