// Where "Помощь" finds the manual: beside the program in a build tree, in the
// documentation folder of an installed program, else its own copy.
#include "platform/help_viewer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestHelpViewer : public QObject
{
    Q_OBJECT

private slots:
    void findsTheManual_data()
    {
        QTest::addColumn<QStringList>("manuals"); // files made under the prefix
        QTest::addColumn<QString>("expected");    // relative to the prefix, or the built-in copy

        const QString builtIn = HelpViewer::kBuiltInCopy;
        QTest::newRow("build tree") << QStringList{"bin/fln.html"} << "bin/fln.html";
        QTest::newRow("installed") << QStringList{"share/doc/fln/fln.html"}
                                   << "share/doc/fln/fln.html";
        QTest::newRow("beside wins") << QStringList{"bin/fln.html", "share/doc/fln/fln.html"}
                                     << "bin/fln.html";
        QTest::newRow("documentation removed") << QStringList{} << builtIn;
        // A folder of that name is no manual.
        QTest::newRow("folder") << QStringList{"share/doc/fln/fln.html/"} << builtIn;
    }

    void findsTheManual()
    {
        QFETCH(QStringList, manuals);
        QFETCH(QString, expected);
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        const QDir root(prefix.path());
        QVERIFY(root.mkpath(QStringLiteral("bin")));
        for (const QString& manual : manuals) {
            if (manual.endsWith(u'/')) {
                QVERIFY(root.mkpath(manual));
                continue;
            }
            QVERIFY(root.mkpath(QFileInfo(root.filePath(manual)).path()));
            QFile f(root.filePath(manual));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("<html><body>Руководство</body></html>");
        }

        const HelpViewer help(root.filePath(QStringLiteral("bin")));
        QCOMPARE(help.helpFile(),
                 expected.startsWith(u':') ? expected : root.filePath(expected));
    }
};

QTEST_APPLESS_MAIN(TestHelpViewer)
#include "tst_help_viewer.moc"
