#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Our reader of the Windows version-information structure (VS_VERSIONINFO):
// the block that GetFileVersionInfo returns, and VerQueryValue-like lookups
// in it. Both layouts are read: the 32-bit one (UTF-16 keys and strings, a
// type word per node) that every PE file carries, and the old 16-bit one
// (single-byte keys and strings, no type word).
//
// Every offset is checked against the block: damaged input gives "not found",
// never a read outside the bytes.
class VersionInfo
{
public:
    // Name of the ELF section in which our executables carry their block.
    static constexpr const char* kElfSection = ".fln_version";

    // The block of a file: from the RT_VERSION resource of a PE file, or
    // from the section kElfSection of an ELF file. nullopt when the file
    // cannot be read or has no version information (GetFileVersionInfoSize 0).
    static std::optional<QByteArray> blockFromFile(const QString& path);
    static std::optional<QByteArray> blockFromPe(const QByteArray& image);
    static std::optional<QByteArray> blockFromElf(const QByteArray& image);

    explicit VersionInfo(QByteArray block);

    bool isValid() const { return m_valid; }
    bool isWide() const { return m_wide; }

    struct Value
    {
        QByteArray data; // the value's bytes as stored
        int length = 0;  // the value length word: characters for text values, else bytes
        bool text = false;
        bool wide = true; // UTF-16 (32-bit layout) or single-byte (16-bit layout)
        // For text values: the characters up to the terminating zero.
        // `codePage` decodes single-byte strings of the 16-bit layout.
        QString string(int codePage = 1252) const;
    };

    // VerQueryValue's sub-block syntax: "\" (the fixed file info),
    // "\VarFileInfo\Translation", "\StringFileInfo\041904E3\FileVersion".
    // Keys compare without regard to case.
    std::optional<Value> query(const QString& subBlock) const;

    // "\" as its numbers; nullopt when absent or not a VS_FIXEDFILEINFO.
    struct FixedInfo
    {
        std::uint32_t fileVersionMS = 0, fileVersionLS = 0;
        std::uint32_t productVersionMS = 0, productVersionLS = 0;
        std::uint32_t fileOS = 0, fileType = 0;
    };
    std::optional<FixedInfo> fixedInfo() const;

private:
    struct Node
    {
        int start = 0, end = 0; // the node's bytes, [start, end)
        QString key;
        int valueStart = 0, valueBytes = 0, valueLength = 0;
        bool text = false;
        int childrenStart = 0;
    };
    std::optional<Node> parseNode(int start, int limit) const;

    QByteArray m_block;
    bool m_valid = false;
    bool m_wide = true;
};
