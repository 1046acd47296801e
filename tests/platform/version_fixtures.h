#pragma once

// Version blocks made by the GNU resource compiler from resource-script text,
// so that the expected values come from the script and not from our reader.
// windres turns the script into a PE executable (through ld) or into a .res
// file, from which the raw block is cut; objcopy puts a block into an ELF file.

#include "tests/support/peers.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

namespace version_fixtures {

inline const QString kWindres = QStringLiteral("x86_64-w64-mingw32-windres");
inline const QString kLinker = QStringLiteral("x86_64-w64-mingw32-ld");

// A VERSIONINFO script; `strings` holds the BLOCKs of StringFileInfo and
// `translation` the values of the Translation entry ("" leaves it out).
inline QString versionScript(const QString& strings, const QString& translation)
{
    QString rc = QStringLiteral("1 VERSIONINFO\nFILEVERSION 4,3,2,1\nPRODUCTVERSION 5,6,7,8\n"
                                "FILEOS 0x4\nFILETYPE 0x1\nBEGIN\n"
                                "  BLOCK \"StringFileInfo\"\n  BEGIN\n") +
                 strings + QStringLiteral("  END\n");
    if (!translation.isEmpty())
        rc += QStringLiteral("  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", ") +
              translation + QStringLiteral("\n  END\n");
    rc += QStringLiteral("END\n");
    return rc;
}

inline QString stringTable(const QString& name, const QString& fileVersion)
{
    return QStringLiteral("    BLOCK \"%1\"\n    BEGIN\n"
                          "      VALUE \"CompanyName\", \"Peer\\0\"\n"
                          "      VALUE \"FileVersion\", \"%2\"\n    END\n")
        .arg(name, fileVersion);
}

struct Built
{
    peers::Result result; // of the last tool run (for the skip/fail message)
    QString path;         // empty on failure
};

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The script as a PE executable `dir/name.exe`.
inline Built buildPe(const QString& dir, const QString& name, const QString& script)
{
    Built b;
    const QString rc = dir + u'/' + name + QStringLiteral(".rc");
    const QString obj = dir + u'/' + name + QStringLiteral(".o");
    const QString exe = dir + u'/' + name + QStringLiteral(".exe");
    writeFile(rc, script.toUtf8());
    b.result = peers::run(kWindres, {QStringLiteral("--preprocessor=cat"), QStringLiteral("-i"), rc,
                                     QStringLiteral("-o"), obj});
    if (!b.result.available || b.result.exitCode != 0)
        return b;
    b.result = peers::run(kLinker, {QStringLiteral("--entry=0"), QStringLiteral("-o"), exe, obj});
    if (b.result.available && b.result.exitCode == 0)
        b.path = exe;
    return b;
}

// The raw block of the script's first resource, cut from windres' .res output
// (a 32-byte empty entry, then DataSize, HeaderSize, header, data).
inline QByteArray buildBlock(const QString& dir, const QString& name, const QString& script,
                             peers::Result* result = nullptr)
{
    const QString rc = dir + u'/' + name + QStringLiteral(".rc");
    const QString res = dir + u'/' + name + QStringLiteral(".res");
    writeFile(rc, script.toUtf8());
    const peers::Result r = peers::run(
        kWindres, {QStringLiteral("--preprocessor=cat"), QStringLiteral("-i"), rc,
                   QStringLiteral("-O"), QStringLiteral("res"), QStringLiteral("-o"), res});
    if (result)
        *result = r;
    if (!r.available || r.exitCode != 0)
        return {};
    QFile f(res);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    auto u32 = [&](int at) {
        return quint32(quint8(all[at])) | quint32(quint8(all[at + 1])) << 8 |
               quint32(quint8(all[at + 2])) << 16 | quint32(quint8(all[at + 3])) << 24;
    };
    if (all.size() < 40)
        return {};
    const quint32 dataSize = u32(32), headerSize = u32(36);
    return all.mid(32 + headerSize, dataSize);
}

// A copy of a system ELF executable with `block` in the section `section`.
inline Built buildElf(const QString& dir, const QString& name, const QByteArray& block,
                      const QString& section)
{
    Built b;
    const QString bin = dir + u'/' + name + QStringLiteral(".bin");
    const QString elf = dir + u'/' + name + QStringLiteral(".elf");
    writeFile(bin, block);
    b.result = peers::run(
        QStringLiteral("objcopy"),
        {QStringLiteral("--add-section"), section + u'=' + bin, QStringLiteral("/bin/true"), elf});
    if (b.result.available && b.result.exitCode == 0)
        b.path = elf;
    return b;
}

} // namespace version_fixtures
