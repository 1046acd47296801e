#include "platform/version_info.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

#include <cstring>

namespace {

// Little- or big-endian readers that return nullopt outside the bytes.
struct Bytes
{
    const QByteArray& b;
    bool big = false;

    bool has(qint64 pos, qint64 n) const { return pos >= 0 && n >= 0 && pos <= b.size() - n; }
    std::optional<std::uint64_t> get(qint64 pos, int n) const
    {
        if (!has(pos, n))
            return std::nullopt;
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            const std::uint64_t byte = static_cast<unsigned char>(b[pos + i]);
            v |= byte << (8 * (big ? n - 1 - i : i));
        }
        return v;
    }
    std::optional<std::uint32_t> u16(qint64 pos) const
    {
        auto v = get(pos, 2);
        return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
    }
    std::optional<std::uint32_t> u32(qint64 pos) const
    {
        auto v = get(pos, 4);
        return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
    }
    std::optional<std::uint64_t> u64(qint64 pos) const { return get(pos, 8); }
};

std::optional<std::uint64_t> widen(std::optional<std::uint32_t> v)
{
    return v ? std::optional<std::uint64_t>(*v) : std::nullopt;
}

int align4(int pos)
{
    return (pos + 3) & ~3;
}

// The version block starts with its own length; a section or resource may
// carry padding behind it.
QByteArray trimToBlock(const QByteArray& data)
{
    if (data.size() < 4)
        return {};
    const int length = static_cast<unsigned char>(data[0]) | static_cast<unsigned char>(data[1])
                                                                 << 8;
    if (length < 4 || length > data.size())
        return data;
    return data.left(length);
}

} // namespace

// --- finding the block ------------------------------------------------------

std::optional<QByteArray> VersionInfo::blockFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    if (size < 64)
        return std::nullopt;
    QByteArray image;
    if (uchar* mapped = file.map(0, size))
        image = QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), size);
    else
        image = file.readAll();
    std::optional<QByteArray> block;
    if (image.startsWith("MZ"))
        block = blockFromPe(image);
    else if (image.startsWith("\x7f"
                              "ELF"))
        block = blockFromElf(image);
    if (block)
        block->detach(); // the mapping ends with the file
    return block;
}

std::optional<QByteArray> VersionInfo::blockFromPe(const QByteArray& image)
{
    const Bytes in{image};
    const auto peOffset = in.u32(0x3C);
    if (!peOffset || !in.has(*peOffset, 24) || image.mid(*peOffset, 4) != QByteArray("PE\0\0", 4))
        return std::nullopt;
    const qint64 coff = *peOffset + 4;
    const auto sectionCount = in.u16(coff + 2);
    const auto optionalSize = in.u16(coff + 16);
    const qint64 opt = coff + 20;
    const auto magic = in.u16(opt);
    if (!sectionCount || !optionalSize || !magic)
        return std::nullopt;
    qint64 dirs = 0, countPos = 0;
    if (*magic == 0x10B) { // PE32
        dirs = opt + 96;
        countPos = opt + 92;
    } else if (*magic == 0x20B) { // PE32+
        dirs = opt + 112;
        countPos = opt + 108;
    } else {
        return std::nullopt;
    }
    const auto dirCount = in.u32(countPos);
    if (!dirCount || *dirCount < 3 || dirs + 3 * 8 > opt + *optionalSize)
        return std::nullopt;
    const auto resourceRva = in.u32(dirs + 2 * 8);
    if (!resourceRva || *resourceRva == 0)
        return std::nullopt;

    const qint64 sections = opt + *optionalSize;
    auto rvaToOffset = [&](std::uint32_t rva) -> std::optional<qint64> {
        for (std::uint32_t i = 0; i < *sectionCount; ++i) {
            const qint64 s = sections + 40 * qint64(i);
            const auto vsize = in.u32(s + 8), vaddr = in.u32(s + 12), rawSize = in.u32(s + 16),
                       rawPtr = in.u32(s + 20);
            if (!vsize || !vaddr || !rawSize || !rawPtr)
                return std::nullopt;
            const std::uint64_t extent = std::max(*vsize, *rawSize);
            if (rva >= *vaddr && rva < std::uint64_t(*vaddr) + extent)
                return qint64(*rawPtr) + (rva - *vaddr);
        }
        return std::nullopt;
    };
    const auto root = rvaToOffset(*resourceRva);
    if (!root)
        return std::nullopt;

    // Three directory levels: type (RT_VERSION = 16), name, language. The
    // offsets inside the resource section are relative to its root.
    auto findEntry = [&](qint64 dir,
                         std::optional<std::uint32_t> id) -> std::optional<std::uint32_t> {
        const auto named = in.u16(dir + 12), ids = in.u16(dir + 14);
        if (!named || !ids)
            return std::nullopt;
        const std::uint32_t count = *named + *ids;
        for (std::uint32_t i = 0; i < count; ++i) {
            const qint64 e = dir + 16 + 8 * qint64(i);
            const auto name = in.u32(e), target = in.u32(e + 4);
            if (!name || !target)
                return std::nullopt;
            if (!id || (!(*name & 0x80000000u) && *name == *id))
                return *target;
        }
        return std::nullopt;
    };
    auto subdirectory = [&](std::uint32_t target) -> std::optional<qint64> {
        if (!(target & 0x80000000u))
            return std::nullopt;
        return *root + (target & 0x7FFFFFFFu);
    };
    const auto typeEntry = findEntry(*root, 16u);
    if (!typeEntry)
        return std::nullopt;
    const auto nameDir = subdirectory(*typeEntry);
    if (!nameDir)
        return std::nullopt;
    const auto nameEntry = findEntry(*nameDir, std::nullopt);
    if (!nameEntry)
        return std::nullopt;
    const auto langDir = subdirectory(*nameEntry);
    if (!langDir)
        return std::nullopt;
    const auto langEntry = findEntry(*langDir, std::nullopt);
    if (!langEntry || (*langEntry & 0x80000000u))
        return std::nullopt;
    const qint64 dataEntry = *root + *langEntry;
    const auto dataRva = in.u32(dataEntry), dataSize = in.u32(dataEntry + 4);
    if (!dataRva || !dataSize || *dataSize == 0)
        return std::nullopt;
    const auto dataOffset = rvaToOffset(*dataRva);
    if (!dataOffset || !in.has(*dataOffset, *dataSize))
        return std::nullopt;
    const QByteArray block = trimToBlock(image.mid(*dataOffset, *dataSize));
    if (block.isEmpty())
        return std::nullopt;
    return block;
}

std::optional<QByteArray> VersionInfo::blockFromElf(const QByteArray& image)
{
    if (image.size() < 52 || !image.startsWith("\x7f"
                                               "ELF"))
        return std::nullopt;
    const bool is64 = image[4] == 2;
    Bytes in{image, image[5] == 2};
    const auto shoff = is64 ? in.u64(0x28) : widen(in.u32(0x20));
    const auto shentsize = in.u16(is64 ? 0x3A : 0x2E);
    const auto shnum = in.u16(is64 ? 0x3C : 0x30);
    const auto shstrndx = in.u16(is64 ? 0x3E : 0x32);
    if (!shoff || !shentsize || !shnum || !shstrndx || *shstrndx >= *shnum)
        return std::nullopt;
    if (*shentsize < (is64 ? 64u : 40u) || *shoff > std::uint64_t(image.size()))
        return std::nullopt;

    struct Section
    {
        std::uint32_t name = 0, type = 0;
        std::uint64_t offset = 0, size = 0;
    };
    auto section = [&](std::uint32_t i) -> std::optional<Section> {
        const qint64 s = qint64(*shoff) + qint64(i) * *shentsize;
        Section r;
        const auto name = in.u32(s), type = in.u32(s + 4);
        std::optional<std::uint64_t> offset, size;
        if (is64) {
            offset = in.u64(s + 0x18);
            size = in.u64(s + 0x20);
        } else {
            offset = widen(in.u32(s + 0x10));
            size = widen(in.u32(s + 0x14));
        }
        if (!name || !type || !offset || !size)
            return std::nullopt;
        r.name = *name;
        r.type = *type;
        r.offset = *offset;
        r.size = *size;
        return r;
    };
    const auto strings = section(*shstrndx);
    if (!strings || strings->offset > std::uint64_t(image.size()) ||
        strings->size > std::uint64_t(image.size()) - strings->offset)
        return std::nullopt;
    const QByteArray wanted(kElfSection);
    for (std::uint32_t i = 0; i < *shnum; ++i) {
        const auto s = section(i);
        if (!s)
            return std::nullopt;
        if (s->name >= strings->size)
            continue;
        const qint64 namePos = qint64(strings->offset + s->name);
        const qint64 room = qint64(strings->size - s->name);
        if (room < wanted.size() + 1 || image.mid(namePos, wanted.size() + 1) != wanted + '\0')
            continue;
        if (s->type == 8 /* SHT_NOBITS */ || s->offset > std::uint64_t(image.size()) ||
            s->size > std::uint64_t(image.size()) - s->offset)
            return std::nullopt;
        const QByteArray block = trimToBlock(image.mid(qint64(s->offset), qint64(s->size)));
        if (block.isEmpty())
            return std::nullopt;
        return block;
    }
    return std::nullopt;
}

// --- reading the block ------------------------------------------------------

VersionInfo::VersionInfo(QByteArray block) : m_block(std::move(block))
{
    static const char kRootKey[] = "VS_VERSION_INFO";
    const int n = int(std::strlen(kRootKey));
    // The 32-bit layout puts the UTF-16 key after three words, the 16-bit
    // one its single-byte key after two.
    if (m_block.size() >= 6 + 2 * n) {
        bool wide = true;
        for (int i = 0; i < n && wide; ++i)
            wide = m_block[6 + 2 * i] == kRootKey[i] && m_block[7 + 2 * i] == 0;
        if (wide) {
            m_wide = true;
            m_valid = parseNode(0, int(m_block.size())).has_value();
            return;
        }
    }
    if (m_block.size() >= 4 + n + 1 && m_block.mid(4, n + 1) == QByteArray(kRootKey, n + 1)) {
        m_wide = false;
        m_valid = parseNode(0, int(m_block.size())).has_value();
    }
}

std::optional<VersionInfo::Node> VersionInfo::parseNode(int start, int limit) const
{
    const Bytes in{m_block};
    const auto length = in.u16(start), valueLength = in.u16(start + 2);
    if (!length || !valueLength)
        return std::nullopt;
    Node node;
    node.start = start;
    node.end = start + int(*length);
    if (int(*length) < (m_wide ? 6 : 4) || node.end > limit)
        return std::nullopt;
    node.valueLength = int(*valueLength);

    int pos;
    if (m_wide) {
        const auto type = in.u16(start + 4);
        node.text = type && *type == 1;
        pos = start + 6;
        for (;;) {
            const auto c = pos + 2 <= node.end ? in.u16(pos) : std::nullopt;
            if (!c)
                return std::nullopt; // the key runs past the node
            pos += 2;
            if (*c == 0)
                break;
            node.key += QChar(char16_t(*c));
        }
        node.valueBytes = node.text ? 2 * node.valueLength : node.valueLength;
    } else {
        pos = start + 4;
        for (;;) {
            if (pos >= node.end)
                return std::nullopt;
            const char c = m_block[pos++];
            if (c == 0)
                break;
            node.key += QChar::fromLatin1(c);
        }
        node.valueBytes = node.valueLength;
    }
    node.valueStart = std::min(align4(pos), node.end);
    node.valueBytes = std::min(node.valueBytes, node.end - node.valueStart);
    node.childrenStart = std::min(align4(node.valueStart + node.valueBytes), node.end);
    return node;
}

std::optional<VersionInfo::Value> VersionInfo::query(const QString& subBlock) const
{
    if (!m_valid)
        return std::nullopt;
    auto node = parseNode(0, int(m_block.size()));
    if (!node)
        return std::nullopt;
    const QStringList parts = subBlock.split(u'\\', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        std::optional<Node> found;
        int pos = node->childrenStart;
        while (pos < node->end) {
            const auto child = parseNode(pos, node->end);
            if (!child)
                break;
            if (child->key.compare(part, Qt::CaseInsensitive) == 0) {
                found = child;
                break;
            }
            pos = align4(child->end);
        }
        if (!found)
            return std::nullopt;
        node = found;
    }
    Value v;
    v.data = m_block.mid(node->valueStart, node->valueBytes);
    v.length = node->valueLength;
    v.wide = m_wide;
    // The 16-bit layout has no type word: the strings are the leaves of the
    // string tables.
    v.text =
        m_wide ? node->text
               : parts.size() == 3 && parts[0].compare(u"StringFileInfo", Qt::CaseInsensitive) == 0;
    if (m_wide && !node->text && parts.size() == 3 &&
        parts[0].compare(u"StringFileInfo", Qt::CaseInsensitive) == 0)
        v.text = true; // some resource compilers leave the type word 0 on strings
    return v;
}

QString VersionInfo::Value::string(int codePage) const
{
    if (!text)
        return {};
    if (data.isEmpty())
        return {};
    if (wide) {
        QString out;
        for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
            const char16_t c = char16_t(static_cast<unsigned char>(data[i]) |
                                        static_cast<unsigned char>(data[i + 1]) << 8);
            if (c == 0)
                break;
            out += QChar(c);
        }
        return out;
    }
    QByteArray bytes = data;
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    QStringDecoder decoder(QByteArray("windows-" + QByteArray::number(codePage)).constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder(bytes);
}

std::optional<VersionInfo::FixedInfo> VersionInfo::fixedInfo() const
{
    const auto v = query(QStringLiteral("\\"));
    if (!v || v->data.size() < 52)
        return std::nullopt;
    const Bytes in{v->data};
    if (in.u32(0) != 0xFEEF04BDu)
        return std::nullopt;
    FixedInfo f;
    f.fileVersionMS = *in.u32(8);
    f.fileVersionLS = *in.u32(12);
    f.productVersionMS = *in.u32(16);
    f.productVersionLS = *in.u32(20);
    f.fileOS = *in.u32(32);
    f.fileType = *in.u32(36);
    return f;
}
