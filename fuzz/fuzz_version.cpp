// The version-information reader over any bytes: as a whole file image (PE,
// ELF) and as a block, with the lookups the about box makes.
#include "platform/version_info.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray block = bytes;
    if (bytes.startsWith("MZ")) {
        if (auto b = VersionInfo::blockFromPe(bytes))
            block = *b;
    } else if (bytes.startsWith("\x7f"
                                "ELF")) {
        if (auto b = VersionInfo::blockFromElf(bytes))
            block = *b;
    }
    const VersionInfo info(block);
    static const char* const kQueries[] = {
        "\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904B0\\FileVersion",
        "\\StringFileInfo\\041904E3\\FileVersion", "\\StringFileInfo\\\\FileVersion"};
    for (const char* q : kQueries) {
        if (const auto v = info.query(QString::fromLatin1(q))) {
            (void)v->string(1251);
            if (v->data.size() > block.size())
                __builtin_trap();
        }
    }
    (void)info.fixedInfo();
    return 0;
}
