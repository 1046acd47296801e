// Writes the program's version-information block (the Windows VS_VERSIONINFO
// structure, 32-bit layout) as a C++ source that places it in the ELF section
// ".fln_version" of the executable, where the about box reads it.
//
//   make_version_block OUTPUT.cpp 1.0.0.16
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The string table: language 0419 (Russian), code page 04E3 (1251).
constexpr std::uint16_t kLanguage = 0x0419;
constexpr std::uint16_t kCodePage = 0x04E3;

std::u16string utf16(const std::string& utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else {
            cp = c & 0x07;
            extra = 3;
        }
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

void put16(Bytes& b, std::uint16_t v)
{
    b.push_back(std::uint8_t(v & 0xFF));
    b.push_back(std::uint8_t(v >> 8));
}

void put32(Bytes& b, std::uint32_t v)
{
    put16(b, std::uint16_t(v & 0xFFFF));
    put16(b, std::uint16_t(v >> 16));
}

void pad(Bytes& b)
{
    while (b.size() % 4)
        b.push_back(0);
}

// One node: length, value length, type, key, padding, value, padding, children.
// Offsets are aligned relative to the block's start, which every node here
// keeps because each node is built from an aligned start.
Bytes node(const std::string& key, const Bytes& value, std::uint16_t valueLength, bool text,
           const std::vector<Bytes>& children)
{
    Bytes b;
    put16(b, 0); // length, filled in below
    put16(b, valueLength);
    put16(b, text ? 1 : 0);
    for (char16_t c : utf16(key))
        put16(b, c);
    put16(b, 0);
    pad(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        pad(b);
        b.insert(b.end(), child.begin(), child.end());
    }
    b[0] = std::uint8_t(b.size() & 0xFF);
    b[1] = std::uint8_t(b.size() >> 8);
    return b;
}

Bytes stringNode(const std::string& key, const std::string& value)
{
    Bytes v;
    const std::u16string s = utf16(value);
    for (char16_t c : s)
        put16(v, c);
    put16(v, 0);
    // The value length counts characters with the terminating zero.
    return node(key, v, std::uint16_t(s.size() + 1), true, {});
}

bool parseVersion(const std::string& text, std::uint16_t (&parts)[4])
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        return false;
    parts[0] = std::uint16_t(a);
    parts[1] = std::uint16_t(b);
    parts[2] = std::uint16_t(c);
    parts[3] = std::uint16_t(d);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_version_block OUTPUT.cpp MAJOR.MINOR.RELEASE.BUILD\n");
        return 2;
    }
    std::uint16_t v[4];
    if (!parseVersion(argv[2], v)) {
        std::fprintf(stderr, "make_version_block: bad version '%s'\n", argv[2]);
        return 2;
    }
    const std::string fileVersion = argv[2];

    Bytes fixed;
    put32(fixed, 0xFEEF04BD);                       // signature
    put32(fixed, 0x00010000);                       // structure version
    put32(fixed, std::uint32_t(v[0]) << 16 | v[1]); // file version
    put32(fixed, std::uint32_t(v[2]) << 16 | v[3]);
    put32(fixed, std::uint32_t(v[0]) << 16 | v[1]); // product version
    put32(fixed, std::uint32_t(v[2]) << 16 | v[3]);
    put32(fixed, 0x3F);       // flags mask
    put32(fixed, 0);          // flags
    put32(fixed, 0x00000004); // VOS__WINDOWS32
    put32(fixed, 0x00000001); // VFT_APP
    put32(fixed, 0);          // subtype
    put32(fixed, 0);          // date
    put32(fixed, 0);

    char tableName[9];
    std::snprintf(tableName, sizeof tableName, "%04X%04X", kLanguage, kCodePage);
    const std::vector<Bytes> strings = {
        stringNode("CompanyName", "Остракон"),
        stringNode("FileDescription", "Программа для обмена данными с прибором ФЛН-РК2"),
        stringNode("FileVersion", fileVersion),
        stringNode("InternalName", "ФЛН-РК2"),
        stringNode("LegalCopyright", ""),
        stringNode("OriginalFilename", "fln.exe"),
        stringNode("ProductName", "ФЛН-РК2"),
        stringNode("ProductVersion", "1.0.0.0"),
    };
    Bytes translation;
    put16(translation, kLanguage);
    put16(translation, kCodePage);

    const Bytes block =
        node("VS_VERSION_INFO", fixed, std::uint16_t(fixed.size()), false,
             {node("StringFileInfo", {}, 0, true, {node(tableName, {}, 0, true, strings)}),
              node("VarFileInfo", {}, 0, true, {node("Translation", translation, 4, false, {})})});

    std::ofstream out(argv[1], std::ios::binary);
    out << "// Generated by make_version_block; the program's version information.\n"
           "extern const unsigned char kProgramVersionBlock[];\n"
           "__attribute__((section(\".fln_version\"), used, aligned(4)))\n"
           "const unsigned char kProgramVersionBlock[] = {";
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (i % 16 == 0)
            out << "\n   ";
        char hex[8];
        std::snprintf(hex, sizeof hex, " 0x%02X,", block[i]);
        out << hex;
    }
    out << "\n};\n";
    return out ? 0 : 1;
}
