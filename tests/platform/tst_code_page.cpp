// Language driver bytes and the code-page conversions behind them.
#include "platform/code_page.h"

#include <QTest>

class TestCodePage : public QObject
{
    Q_OBJECT

private slots:
    void languageDriverNamesItsCodePage_data()
    {
        QTest::addColumn<int>("ldid");
        QTest::addColumn<int>("codePage");
        QTest::newRow("0x65 Russian MS-DOS") << 0x65 << 866;
        QTest::newRow("0x66 Nordic, not Russian") << 0x66 << 865;
        QTest::newRow("0x26 Russian OEM") << 0x26 << 866;
        QTest::newRow("0xC9 Russian Windows") << 0xC9 << 1251;
        QTest::newRow("0x96 Russian Macintosh") << 0x96 << 10007;
        QTest::newRow("0x57 ANSI") << 0x57 << 1252;
        QTest::newRow("0x03 Windows ANSI") << 0x03 << 1252;
        QTest::newRow("0x37 US OEM secondary") << 0x37 << 850;
        QTest::newRow("0x00 none") << 0x00 << 0;
        QTest::newRow("0x30 unknown") << 0x30 << 0;
    }

    void languageDriverNamesItsCodePage()
    {
        QFETCH(int, ldid);
        QFETCH(int, codePage);
        QCOMPARE(codePageOfLanguageDriver(quint8(ldid)), codePage);
    }

    void newTableByteFollowsTheSelectionRule_data()
    {
        QTest::addColumn<int>("ansi");
        QTest::addColumn<int>("locale");
        QTest::addColumn<int>("ldid");
        QTest::newRow("Russian Windows") << 1251 << 0x0419 << 0xC9;
        QTest::newRow("Russian DOS: the dBase range wins") << 866 << 0x0419 << 0x26;
        QTest::newRow("US OEM: the dBase range wins") << 437 << 0x0409 << 0x1B;
        QTest::newRow("British ANSI: only the FoxPro row") << 1252 << 0x0809 << 0x03;
        QTest::newRow("code page unmatched: locale alone") << 1251 << 0x0809 << 0x1A;
        QTest::newRow("nothing matches") << 1251 << 0x0000 << 0x57;
        QTest::newRow("unknown locale") << 1251 << 0x7777 << 0x00;
    }

    void newTableByteFollowsTheSelectionRule()
    {
        QFETCH(int, ansi);
        QFETCH(int, locale);
        QFETCH(int, ldid);
        QCOMPARE(int(selectLanguageDriver(ansi, quint16(locale))), ldid);
    }

    void bytesDecode_data()
    {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("unicode");
        QTest::newRow("866 F0") << 866 << 0xF0 << 0x0401;
        QTest::newRow("866 E0") << 866 << 0xE0 << 0x0440;
        QTest::newRow("866 80") << 866 << 0x80 << 0x0410;
        QTest::newRow("1251 A8") << 1251 << 0xA8 << 0x0401;
        QTest::newRow("1251 C0") << 1251 << 0xC0 << 0x0410;
        QTest::newRow("1251 FF") << 1251 << 0xFF << 0x044F;
        QTest::newRow("1251 B9") << 1251 << 0xB9 << 0x2116;
        QTest::newRow("10007 DD") << 10007 << 0xDD << 0x0401;
        QTest::newRow("10007 DF") << 10007 << 0xDF << 0x044F;
    }

    void bytesDecode()
    {
        QFETCH(int, codePage);
        QFETCH(int, byte);
        QFETCH(int, unicode);
        CodePageConverter c(codePage);
        QVERIFY(c.isValid());
        const QByteArray b(1, char(byte));
        const QString s = c.toUnicode(b);
        QCOMPARE(s.size(), 1);
        QCOMPARE(int(s[0].unicode()), unicode);
        QCOMPARE(c.fromUnicode(s).value_or("<refused>"), b);
    }

    void unrepresentableTextIsRefused_data()
    {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("text");
        QTest::newRow("euro in 866") << 866 << QStringLiteral("5 €");
        QTest::newRow("Cyrillic in 850") << 850 << QStringLiteral("Наблюдения");
        QTest::newRow("Cyrillic in 1252") << 1252 << QStringLiteral("Ё");
        QTest::newRow("CJK in 1251") << 1251 << QStringLiteral("日");
    }

    void unrepresentableTextIsRefused()
    {
        QFETCH(int, codePage);
        QFETCH(QString, text);
        QVERIFY(!CodePageConverter(codePage).fromUnicode(text));
    }

    void missingCodePagesAreReported()
    {
        QVERIFY(isCodePageInstalled(1251));
        QVERIFY(isCodePageInstalled(866));
        QVERIFY(!isCodePageInstalled(895)); // Kamenicky has no converter here
        QVERIFY(!isCodePageInstalled(0));
        for (const LanguageDriver& d : languageDrivers())
            QVERIFY2(d.codePage == 895 || d.codePage == 620 || isCodePageInstalled(d.codePage),
                     qPrintable(QString::number(d.id, 16)));
    }
};

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_code_page.moc"
