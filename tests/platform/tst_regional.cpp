// The regional conversions with the Russian settings the target systems use.
#include "platform/app_error.h"
#include "platform/regional_settings.h"

#include <QTest>

#include <cmath>
#include <limits>

class TestRegional : public QObject
{
    Q_OBJECT

    const RegionalSettings m_ru = RegionalSettings::russian();

private slots:
    void textToFloat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value"); // NaN: refused
        QTest::newRow("plain") << "36,6" << 36.6;
        QTest::newRow("blanks around") << " 5,0  " << 5.0;
        QTest::newRow("negative") << "-40,0" << -40.0;
        QTest::newRow("integer") << "7" << 7.0;
        QTest::newRow("exponent") << "1,5E3" << 1500.0;
        QTest::newRow("point is not the separator") << "36.6" << qQNaN();
        QTest::newRow("empty") << "" << qQNaN();
        QTest::newRow("letters") << "abc" << qQNaN();
        QTest::newRow("two separators") << "1,2,3" << qQNaN();
        QTest::newRow("inner blank") << "- 5" << qQNaN();
        QTest::newRow("infinity") << "inf" << qQNaN();
    }

    void textToFloat()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        if (std::isnan(value)) {
            try {
                ::textToFloat(text, m_ru);
                QFAIL("accepted");
            } catch (const AppError& e) {
                QCOMPARE(e.text(),
                         QStringLiteral("'%1' is not a valid floating point value").arg(text));
            }
            return;
        }
        QCOMPARE(::textToFloat(text, m_ru), value);
    }

    void textToDateTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("value"); // invalid: refused
        QTest::newRow("date and time")
            << "15.03.2024 12:30:00" << QDateTime(QDate(2024, 3, 15), QTime(12, 30));
        QTest::newRow("no seconds")
            << "01.01.2007 0:05" << QDateTime(QDate(2007, 1, 1), QTime(0, 5));
        QTest::newRow("date alone") << "29.02.2024" << QDateTime(QDate(2024, 2, 29), QTime(0, 0));
        QTest::newRow("no such day") << "31.02.2024 10:00:00" << QDateTime();
        QTest::newRow("hour 24") << "01.01.2024 24:00:00" << QDateTime();
        QTest::newRow("wrong separator") << "2024-03-15 12:30:00" << QDateTime();
        QTest::newRow("garbage") << "вчера" << QDateTime();
    }

    void textToDateTime()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, value);
        if (!value.isValid()) {
            try {
                ::textToDateTime(text, m_ru);
                QFAIL("accepted");
            } catch (const AppError& e) {
                QCOMPARE(e.text(), QStringLiteral("'%1' is not a valid date and time").arg(text));
            }
            return;
        }
        QCOMPARE(::textToDateTime(text, m_ru), value);
    }

    void floatToText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one decimal") << 36.6 << "36,6";
        QTest::newRow("whole") << 20.0 << "20";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative") << -2.5 << "-2,5";
        QTest::newRow("binary noise rounds away") << 0.1 + 0.2 << "0,3";
        QTest::newRow("mean of thirds") << 10.0 / 3.0 << "3,33333333333333";
        QTest::newRow("15 digits stay fixed") << 123456789012345.0 << "123456789012345";
        QTest::newRow("16 digits go scientific") << 1234567890123456.0 << "1,23456789012346E15";
        QTest::newRow("small stays fixed") << 0.0001 << "0,0001";
        QTest::newRow("smaller goes scientific") << 0.000001 << "1E-6";
    }

    void floatToText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(::floatToText(value, m_ru), text);
    }

    void temperatureFormat_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one digit is padded") << 5.0 << " 5,0";
        QTest::newRow("negative") << -12.5 << "-12,5";
        QTest::newRow("rounds to one decimal") << 36.64 << "36,6";
        QTest::newRow("wider than four") << -100.0 << "-100,0";
        QTest::newRow("zero") << 0.0 << " 0,0";
    }

    void temperatureFormat()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(::temperatureFormat(value, m_ru), text);
    }

    // Russian settings group with a non-breaking space (U+00A0).
    void groupedInteger_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0";
        QTest::newRow("three digits") << qint64(999) << "999";
        QTest::newRow("four digits") << qint64(1000) << "1\u00A0000";
        QTest::newRow("a million") << qint64(1000000) << "1\u00A0000\u00A0000";
        QTest::newRow("negative") << qint64(-12345) << "-12\u00A0345";
        QTest::newRow("most negative")
            << std::numeric_limits<qint64>::min()
            << "-9\u00A0223\u00A0372\u00A0036\u00A0854\u00A0775\u00A0808";
    }

    void groupedInteger()
    {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(::groupedInteger(value, m_ru), text);
    }

    void settingsFromLocaleNames()
    {
        QCOMPARE(RegionalSettings::fromName("ru_RU"), m_ru);
        const RegionalSettings us = RegionalSettings::fromName("en_US");
        QCOMPARE(us.decimalSeparator, QChar(u'.'));
        QCOMPARE(us.dateOrder, RegionalSettings::DateOrder::MonthDayYear);
        QCOMPARE(us.dateSeparator, QChar(u'/'));
        QCOMPARE(::textToFloat("36.6", us), 36.6);
        // The C library's locale (Russian under the tests) has no say.
        QCOMPARE(::temperatureFormat(23.5, us), QString("23.5"));
        QCOMPARE(::floatToText(18.02, us), QString("18.02"));
        QCOMPARE(::groupedInteger(1234567, us), QString("1,234,567"));
        QCOMPARE(::textToDateTime("3/15/2024 12:30", us),
                 QDateTime(QDate(2024, 3, 15), QTime(12, 30)));
        try {
            RegionalSettings::fromName("xyzzy");
            QFAIL("accepted");
        } catch (const AppError& e) {
            QVERIFY(e.text().contains("xyzzy"));
        }
    }
};

QTEST_GUILESS_MAIN(TestRegional)
#include "tst_regional.moc"
