// What the program start sets up around the windows: Qt's own texts in Russian.
#include "app/program_start.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTest>
#include <QTranslator>

class TestProgramStart : public QObject
{
    Q_OBJECT

private slots:
    // The question "Сохранить изменения в таблицах ?" must not be answered
    // with English buttons.
    void standardButtonsSpeakRussian()
    {
        QTranslator texts;
        QVERIFY2(loadQtTexts(texts), "Qt's Russian texts (qt6-translations-l10n) are missing");
        QCoreApplication::installTranslator(&texts);
        QMessageBox box(QMessageBox::Question, QStringLiteral("ФЛН-РК2"),
                        QStringLiteral("Сохранить изменения в таблицах ?"),
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(u'&'), QStringLiteral("Да"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove(u'&'), QStringLiteral("Нет"));
        QCoreApplication::removeTranslator(&texts);
    }
};

QTEST_MAIN(TestProgramStart)
#include "tst_program_start.moc"
