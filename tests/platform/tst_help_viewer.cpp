// Where "Помощь" finds the manual: beside the program in a build tree, in the
// documentation folder of an installed program, else its own copy.
#include "platform/help_viewer.h"

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
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

    // "Помощь" of the preview: the manual at its printing section, wholly on
    // the screen; Esc closes it.
    void opensAtASectionOnTheScreenAndEscCloses()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(HelpViewer::kFileName));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray page = "<html><body>";
        for (int i = 0; i < 200; ++i)
            page += "<p>Раздел " + QByteArray::number(i) + "</p>";
        page += "<h2><a name=\"print\"></a>Печать</h2><p>Печать отчета</p></body></html>";
        f.write(page);
        f.close();
        HelpViewer help(dir.path());
        help.showSection(QStringLiteral("print"));
        QTextBrowser* w = help.window();
        QVERIFY(w && w->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->source().fragment(), QString("print"));
        QVERIFY(w->verticalScrollBar()->value() > 0); // down at the section
        QVERIFY(w->screen()->availableGeometry().contains(w->frameGeometry()));
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TestHelpViewer)
#include "tst_help_viewer.moc"
