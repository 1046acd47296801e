// The Debian package built from this build tree, as dpkg-deb shows it: name,
// version and dependencies, the files and where they go, and that the
// installed program still finds its manual and its version block.
#include "platform/help_viewer.h"
#include "platform/version_info.h"
#include "tests/support/peers.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestDebianPackage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_deb;
    QString m_root; // the package's files, extracted
    // dpkg-deb --contents: path -> "mode owner"
    QHash<QString, QString> m_entries;

    QString field(const QString& name)
    {
        const peers::Result r = peers::run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, name});
        return text(r.out).trimmed();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const peers::Result arch = peers::run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
        FLN_NEED_PEER(arch, "dpkg");
        const peers::Result deb = peers::run(QStringLiteral("dpkg-deb"), {QStringLiteral("--version")});
        FLN_NEED_PEER(deb, "dpkg-deb");

        const QString out = m_dir.filePath(QStringLiteral("out"));
        const peers::Result cpack = peers::run(
            QStringLiteral(FLN_CPACK_COMMAND),
            {QStringLiteral("--config"), QStringLiteral(FLN_BINARY_DIR "/CPackConfig.cmake"),
             QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out},
            300000);
        QVERIFY2(cpack.exitCode == 0, cpack.out.constData());

        // The file name Debian's tools give: name_version_architecture.deb
        const QString name = QStringLiteral("fln_1.0.0.16_%1.deb").arg(text(arch.out).trimmed());
        QCOMPARE(QDir(out).entryList({QStringLiteral("*.deb")}), QStringList{name});
        m_deb = QDir(out).filePath(name);

        const peers::Result contents = peers::run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), m_deb});
        QCOMPARE(contents.exitCode, 0);
        // "-rw-r--r-- root/root  548 2026-12-10 13:04 ./usr/share/applications/fln.desktop"
        const QRegularExpression line(QStringLiteral("^(\\S+)\\s+(\\S+)\\s+\\d+\\s+\\S+\\s+\\S+\\s+\\./(.*)$"));
        for (const QString& l : text(contents.out).split(u'\n', Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = line.match(l);
            QVERIFY2(m.hasMatch(), qPrintable(l));
            m_entries.insert(m.captured(3), m.captured(1) + u' ' + m.captured(2));
        }

        m_root = m_dir.filePath(QStringLiteral("root"));
        const peers::Result extract = peers::run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root});
        QCOMPARE(extract.exitCode, 0);
    }

    void controlFields()
    {
        QCOMPARE(field(QStringLiteral("Package")), QStringLiteral("fln"));
        QCOMPARE(field(QStringLiteral("Version")), QStringLiteral("1.0.0.16"));
        const peers::Result info = peers::run(QStringLiteral("dpkg-deb"), {QStringLiteral("--info"), m_deb});
        QCOMPARE(info.exitCode, 0);
        QVERIFY(text(info.out).contains(QLatin1String("Description: ")));

        // Ours, and those dpkg-shlibdeps found in the program's libraries.
        const QStringList depends = field(QStringLiteral("Depends")).split(QStringLiteral(", "));
        QSet<QString> names;
        for (const QString& d : depends)
            names.insert(d.section(u' ', 0, 0));
        for (const char* needed :
             {"fonts-liberation", "qt6-translations-l10n", "libc6", "libstdc++6", "libqt6core6",
              "libqt6gui6", "libqt6widgets6", "libharfbuzz-subset0",
              // Qt's SVG icon engine draws the toolbar's pictures
              "libqt6svg6"})
            QVERIFY2(names.contains(QLatin1String(needed)), needed);
        const QRegularExpression versioned(QStringLiteral("^libqt6core6 \\(>= 6\\.\\d.*"));
        QVERIFY2(depends.indexOf(versioned) >= 0, qPrintable(depends.join(u',')));
    }

    void files_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("mode");
        QTest::newRow("program") << "usr/bin/fln" << "-rwxr-xr-x";
        QTest::newRow("manual") << "usr/share/doc/fln/fln.html" << "-rw-r--r--";
        QTest::newRow("copyright") << "usr/share/doc/fln/copyright" << "-rw-r--r--";
        QTest::newRow("changelog") << "usr/share/doc/fln/changelog.gz" << "-rw-r--r--";
        QTest::newRow("manual page") << "usr/share/man/man1/fln.1.gz" << "-rw-r--r--";
        QTest::newRow("Russian manual page") << "usr/share/man/ru/man1/fln.1.gz" << "-rw-r--r--";
        QTest::newRow("desktop entry") << "usr/share/applications/fln.desktop" << "-rw-r--r--";
        QTest::newRow("file type") << "usr/share/mime/packages/fln-table.xml" << "-rw-r--r--";
        QTest::newRow("scalable icon") << "usr/share/icons/hicolor/scalable/apps/fln.svg" << "-rw-r--r--";
        QTest::newRow("metainfo") << "usr/share/metainfo/ru.ostrakon.fln.metainfo.xml" << "-rw-r--r--";
        QTest::newRow("bash completion") << "usr/share/bash-completion/completions/fln" << "-rw-r--r--";
        if (!peers::run(QStringLiteral("rsvg-convert"), {QStringLiteral("--version")}).available)
            return; // the build installs the scalable icon only
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString path = QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/fln.png").arg(size);
            QTest::newRow(qPrintable(path)) << path << "-rw-r--r--";
        }
    }

    void files()
    {
        QFETCH(QString, path);
        QFETCH(QString, mode);
        QVERIFY2(m_entries.contains(path), qPrintable(path));
        QCOMPARE(m_entries.value(path), mode + QStringLiteral(" root/root"));
    }

    void everythingUnderUsrAndOnlyTheProgramInBin()
    {
        QStringList stray;
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
            const QString& path = it.key();
            const bool dir = it.value().startsWith(u'd');
            if (!dir && (!path.startsWith(QLatin1String("usr/share/")) && path != u"usr/bin/fln"))
                stray << path;
            if (path.startsWith(QLatin1String("usr/local")))
                stray << path;
            if (!dir && !it.value().endsWith(QLatin1String(" root/root")))
                stray << path + u' ' + it.value();
        }
        QVERIFY2(stray.isEmpty(), qPrintable(stray.join(QLatin1String(", "))));
    }

    void iconsHaveTheirDirectorysSize()
    {
        const QRegularExpression png(QStringLiteral("^usr/share/icons/hicolor/(\\d+)x(\\d+)/apps/fln\\.png$"));
        int checked = 0;
        for (const QString& path : m_entries.keys()) {
            const QRegularExpressionMatch m = png.match(path);
            if (!m.hasMatch())
                continue;
            // PNG: the IHDR chunk's width and height, big-endian, at 16 and 20.
            const QByteArray bytes = readFile(QDir(m_root).filePath(path));
            QVERIFY2(bytes.startsWith("\x89PNG\r\n\x1a\n") && bytes.size() > 24, qPrintable(path));
            const auto be32 = [&bytes](int at) { return qFromBigEndian<quint32>(bytes.constData() + at); };
            QCOMPARE(be32(16), m.captured(1).toUInt());
            QCOMPARE(be32(20), m.captured(2).toUInt());
            ++checked;
        }
        if (checked == 0)
            QSKIP("only the scalable icon in this build (no rsvg-convert)");
    }

    void installedProgramFindsItsManual()
    {
        const HelpViewer help(QDir(m_root).filePath(QStringLiteral("usr/bin")));
        QCOMPARE(help.helpFile(), QDir(m_root).filePath(QStringLiteral("usr/share/doc/fln/fln.html")));
        QCOMPARE(readFile(help.helpFile()), readFile(QStringLiteral(FLN_SOURCE_DIR "/docs/fln.html")));
    }

    void strippedProgramKeepsItsVersionAndRuns()
    {
        const QString program = QDir(m_root).filePath(QStringLiteral("usr/bin/fln"));
        const std::optional<QByteArray> block = VersionInfo::blockFromFile(program);
        QVERIFY(block);
        const VersionInfo info(*block);
        const auto fixed = info.fixedInfo();
        QVERIFY(fixed);
        QCOMPARE(fixed->fileVersionMS, (1u << 16) | 0u);
        QCOMPARE(fixed->fileVersionLS, (0u << 16) | 16u);
        // No debug information is shipped.
        const peers::Result sections = peers::run(QStringLiteral("readelf"), {QStringLiteral("-S"), program});
        FLN_NEED_PEER(sections, "readelf (binutils)");
        QVERIFY(!text(sections.out).contains(QLatin1String(".debug_info")));

        const peers::Result help = peers::run(program, {QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(text(help.out).startsWith(QLatin1String("Usage: fln")));
    }

    void manualPagesAreThePages_data()
    {
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QString>("source");
        QTest::newRow("English") << "usr/share/man/man1/fln.1.gz" << "man/fln.1";
        QTest::newRow("Russian") << "usr/share/man/ru/man1/fln.1.gz" << "man/ru/fln.1";
        QTest::newRow("changelog") << "usr/share/doc/fln/changelog.gz" << "packaging/changelog";
    }

    void manualPagesAreThePages()
    {
        QFETCH(QString, installed);
        QFETCH(QString, source);
        const peers::Result r = peers::run(QStringLiteral("gzip"),
                                           {QStringLiteral("-dc"), QDir(m_root).filePath(installed)});
        FLN_NEED_PEER(r, "gzip");
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, readFile(QStringLiteral(FLN_SOURCE_DIR "/") + source));
    }

    // Software centres take the metainfo only when it validates, and it must
    // name the desktop entry the package carries.
    void metainfoValidates()
    {
        const QString path = QDir(m_root).filePath(QStringLiteral("usr/share/metainfo/ru.ostrakon.fln.metainfo.xml"));
        const peers::Result r = peers::run(QStringLiteral("appstreamcli"),
                                           {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                            QStringLiteral("--pedantic"), path});
        FLN_NEED_PEER(r, "appstreamcli (appstream)");
        QVERIFY2(r.exitCode == 0, r.out.constData());
        QVERIFY(text(readFile(path)).contains(
            QLatin1String("<launchable type=\"desktop-id\">fln.desktop</launchable>")));
    }

    void copyrightInDebiansFormat()
    {
        const QString copyright = text(readFile(QDir(m_root).filePath(QStringLiteral("usr/share/doc/fln/copyright"))));
        QVERIFY(copyright.startsWith(
            QLatin1String("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")));
        QVERIFY(copyright.contains(QLatin1String("\nLicense: GPL-3+\n")));
        QVERIFY(copyright.contains(QLatin1String("/usr/share/common-licenses/GPL-3")));
    }
};

QTEST_GUILESS_MAIN(TestDebianPackage)
#include "tst_debian_package.moc"
