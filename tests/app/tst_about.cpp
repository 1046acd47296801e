// The splash window and the about box, and get_file_version over version
// blocks made by the GNU resource compiler and over the built program.
#include "app/about.h"
#include "app/logo.h"
#include "platform/version_info.h"
#include "tests/platform/version_fixtures.h"
#include "tests/support/fln_process.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace version_fixtures;

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void fileVersion_data();
    void fileVersion();
    void shortTranslation();
    void programsOwnVersion();
    void aboutBox();
    void splashWindow();
    void splashClosesItselfFromItsTimer();

private:
    QTemporaryDir m_dir;
};

void TestAbout::fileVersion_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");
    // A decoy table ahead of the right one: the translation picks the table.
    QTest::newRow("0409/04B0") << versionScript(stringTable("041904E3", "9.9.9.9\\0") +
                                                    stringTable("040904B0", "2.5.0.7\\0"),
                                                "0x0409, 0x04B0")
                               << "2.5.0.7";
    QTest::newRow("0419/04E3") << versionScript(stringTable("041904E3", "1.0.0.16\\0"),
                                                "0x0419, 0x04E3")
                               << "1.0.0.16";
    QTest::newRow("language 0400")
        << versionScript(stringTable("040004E3", "3.1\\0"), "0x0400, 0x04E3") << "3.1";
    QTest::newRow("empty FileVersion")
        << versionScript(stringTable("040904B0", ""), "0x0409, 0x04B0") << "0.0.0.0";
    QTest::newRow("FileVersion only a zero")
        << versionScript(stringTable("040904B0", "\\0"), "0x0409, 0x04B0") << "0.0.0.0";
    QTest::newRow("one-character FileVersion")
        << versionScript(stringTable("040904B0", "7\\0"), "0x0409, 0x04B0") << "7";
    QTest::newRow("no translation")
        << versionScript(stringTable("040904B0", "2.5.0.7\\0"), "") << "0.0.0.0";
    QTest::newRow("no FileVersion in the table")
        << versionScript(
               "    BLOCK \"040904B0\"\n    BEGIN\n      VALUE \"ProductName\", \"P\\0\"\n"
               "    END\n",
               "0x0409, 0x04B0")
        << "0.0.0.0";
    QTest::newRow("no version information")
        << QStringLiteral("STRINGTABLE\nBEGIN\n  1 \"text\"\nEND\n") << "0.0.0.0";
}

void TestAbout::fileVersion()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    const Built pe = buildPe(
        m_dir.path(),
        QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_').replace(u'/', u'_'),
        script);
    FLN_NEED_PEER(pe.result, kWindres);
    QVERIFY2(!pe.path.isEmpty(), pe.result.err.constData());
    QCOMPARE(get_file_version(pe.path), expected);
}

// windres writes translations only in pairs: the compiled block is cut down
// by hand to a 2-byte value and carried in an ELF section.
void TestAbout::shortTranslation()
{
    peers::Result r;
    QByteArray block =
        buildBlock(m_dir.path(), QStringLiteral("short"),
                   versionScript(stringTable("040904B0", "2.5.0.7\\0"), "0x0409, 0x04B0"), &r);
    FLN_NEED_PEER(r, kWindres);
    const QByteArray key = QByteArray::fromRawData("T\0r\0a\0n\0s\0l\0a\0t\0i\0o\0n\0", 22);
    const qsizetype at = block.indexOf(key);
    QVERIFY(at > 6);
    QCOMPARE(int(quint8(block[at - 4])), 4); // the value length word
    const Built full = buildElf(m_dir.path(), QStringLiteral("full"), block,
                                QString::fromLatin1(VersionInfo::kElfSection));
    FLN_NEED_PEER(full.result, "objcopy");
    QCOMPARE(get_file_version(full.path), QStringLiteral("2.5.0.7"));

    block[at - 4] = 2;
    const Built cut = buildElf(m_dir.path(), QStringLiteral("cut"), block,
                               QString::fromLatin1(VersionInfo::kElfSection));
    QCOMPARE(get_file_version(cut.path), QStringLiteral("0.0.0.0"));
}

void TestAbout::programsOwnVersion()
{
    const QString fln = flnExecutable();
    if (!QFileInfo::exists(fln))
        QSKIP("the program is not built in this tree");
    QCOMPARE(get_file_version(fln), QStringLiteral("1.0.0.16"));
    QCOMPARE(get_file_version(m_dir.filePath(QStringLiteral("missing"))),
             QStringLiteral("0.0.0.0"));
}

void TestAbout::aboutBox()
{
    const QString script = versionScript(stringTable("041904E3", "1.2.3.4\\0"), "0x0419, 0x04E3");
    const Built pe = buildPe(m_dir.path(), QStringLiteral("about"), script);
    FLN_NEED_PEER(pe.result, kWindres);
    Tform6 box(nullptr, pe.path);
    QCOMPARE(box.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(box.size(), QSize(515, 151));
    QCOMPARE(box.StaticText1->text(), QStringLiteral("ФЛН-РК2"));
    QCOMPARE(box.StaticText1->pos(), QPoint(12, 12));
    QVERIFY(box.StaticText1->font().bold());
    QCOMPARE(box.StaticText1->font().pixelSize(), 16);
    QCOMPARE(box.StaticText3->pos(), QPoint(12, 44));
    QCOMPARE(box.StaticText2->text(),
             QStringLiteral("Программа для передачи данных с прибора ФЛН-РК2"));
    QCOMPARE(box.StaticText2->pos(), QPoint(12, 72));
    QCOMPARE(box.Button1->text(), QStringLiteral("Ок"));
    QCOMPARE(box.Button1->geometry(), QRect(434, 116, 75, 25));

    // Shown twice, the same text both times; "Ок" ends it with 1.
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, box.Button1, [&] { QTest::mouseClick(box.Button1, Qt::LeftButton); });
        QCOMPARE(box.exec(), 1);
        QCOMPARE(box.StaticText3->text(), QStringLiteral("Версия 1.2.3.4"));
    }
}

void TestAbout::splashWindow()
{
    const QImage picture = TForm5::splashPicture();
    QCOMPARE(picture.size(), QSize(400, 78));
    QCOMPARE(picture.depth(), 24);

    TForm5 splash;
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(splash.size(), QSize(400, 77));
    QCOMPARE(splash.Image1->geometry(), QRect(0, 0, 401, 81));
    QCOMPARE(splash.Image1->pixmap().size(), QSize(400, 78));
    QCOMPARE(splash.Timer1->interval(), 3000);
    QVERIFY(!splash.Timer1->isActive()); // disabled until shown
    splash.show();
    QVERIFY(splash.Timer1->isActive());
    splash.Timer1Timer();
    QCOMPARE(splash.result(), 1);
    QVERIFY(!splash.isVisible());
}

void TestAbout::splashClosesItselfFromItsTimer()
{
    // The modal showing ends by the window's own timer, with result 1.
    TForm5 splash;
    splash.Timer1->setInterval(20);
    QCOMPARE(splash.exec(), 1);
    QVERIFY(!splash.Timer1->isActive());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
