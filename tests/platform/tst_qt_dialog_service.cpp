// The file filters of the Windows dialogs as Qt's dialogs take them.
#include "platform/qt_dialog_service.h"

#include <QTest>

class TestQtDialogService : public QObject
{
    Q_OBJECT

private slots:
    void fileFilter_data();
    void fileFilter();
};

void TestQtDialogService::fileFilter_data()
{
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("qt");
    QTest::newRow("one pair") << "Описание|*.db"
                              << "Описание (*.db)";
    QTest::newRow("two pairs") << "Таблицы|*.db|Все файлы|*.*"
                               << "Таблицы (*.db);;Все файлы (*.*)";
    QTest::newRow("several patterns") << "dBase|*.db;*.dbf"
                                      << "dBase (*.db *.dbf)";
    QTest::newRow("empty") << ""
                           << "";
}

void TestQtDialogService::fileFilter()
{
    QFETCH(QString, windows);
    QFETCH(QString, qt);
    QCOMPARE(qtFileFilter(windows), qt);
}

QTEST_GUILESS_MAIN(TestQtDialogService)
#include "tst_qt_dialog_service.moc"
