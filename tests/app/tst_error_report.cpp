// The default error report: its full-stop rule, and exceptions from any
// handler ending at the event loop as a stop box while the program goes on.
#include "app/error_report.h"
#include "platform/app_error.h"
#include "platform/app_title.h"
#include "tests/support/scripted_dialog_service.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>

class TestErrorReport : public QObject
{
    Q_OBJECT

private slots:
    void fullStopRule_data();
    void fullStopRule();
    void handlerExceptionsAreReported();
    void withoutServiceGoesToStderr();
};

void TestErrorReport::fullStopRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Range check error"
                            << "Range check error.";
    QTest::newRow("cyrillic") << "Нет данных"
                              << "Нет данных.";
    QTest::newRow("digit") << "Error 5"
                           << "Error 5.";
    QTest::newRow("quote") << "'x' is not a valid floating point value"
                           << "'x' is not a valid floating point value.";
    QTest::newRow("apostrophe") << "Failed to set data for 'Default_dir'"
                                << "Failed to set data for 'Default_dir'";
    QTest::newRow("colon sorts after stop") << "Path:"
                                            << "Path:.";
    QTest::newRow("slash sorts after stop") << "/tmp/"
                                            << "/tmp/.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("exclamation") << "Stop!"
                                 << "Stop!";
    QTest::newRow("closing parenthesis") << "(none)"
                                         << "(none)";
    QTest::newRow("comma") << "a,"
                           << "a,";
    QTest::newRow("hyphen") << "a-"
                            << "a-";
    QTest::newRow("space") << "a "
                           << "a ";
    QTest::newRow("empty") << ""
                           << "";
}

void TestErrorReport::fullStopRule()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(errorReportText(text), shown);
    QCOMPARE(errorReportText(AppError(text)), shown);
}

void TestErrorReport::handlerExceptionsAreReported()
{
    auto* app = qobject_cast<ErrorReportApplication*>(qApp);
    QVERIFY(app);
    ScriptedDialogService dialogs;
    app->setDialogService(&dialogs);

    // A button whose handler throws, a timer whose handler throws a plain
    // standard exception, and a timer after both: the program goes on.
    QPushButton button(QStringLiteral("Go"));
    int clicks = 0;
    connect(&button, &QPushButton::clicked, [&] {
        ++clicks;
        throw AppError(QStringLiteral("Failed to create key \\Software\\Ostrakon\\FLN\\1.0"));
    });
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks, 1);

    bool later = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("Disk full"); });
    QTimer::singleShot(5, [&] { later = true; });
    QTRY_VERIFY(later);

    const auto shown = dialogs.messages();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].text, QStringLiteral("Failed to create key \\Software\\Ostrakon\\FLN\\1.0."));
    QCOMPARE(shown[1].text, QStringLiteral("Disk full."));
    for (const auto& m : shown) {
        QCOMPARE(m.caption, kAppTitle);
        QCOMPARE(m.icon, DialogService::Icon::Stop);
        QCOMPARE(m.buttons, DialogService::Buttons::Ok);
    }
    // The button still works.
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(dialogs.messages().size(), 3);
    app->setDialogService(nullptr);
}

void TestErrorReport::withoutServiceGoesToStderr()
{
    auto* app = qobject_cast<ErrorReportApplication*>(qApp);
    app->setDialogService(nullptr);
    bool after = false;
    QTimer::singleShot(0, [] { throw AppError(QStringLiteral("Early")); });
    QTimer::singleShot(5, [&] { after = true; });
    QTRY_VERIFY(after); // reported on stderr, and the loop went on
}

int main(int argc, char** argv)
{
    ErrorReportApplication app(argc, argv);
    TestErrorReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_error_report.moc"
