#include "data/sort_key.h"

#include <QTest>

#include <algorithm>
#include <numeric>

class TstSortKey : public QObject
{
    Q_OBJECT

private slots:
    void numericKeyBytes_data();
    void numericKeyBytes();
    void characterOrder_data();
    void characterOrder();
    void numericOrder();
    void ranksGroupEqualKeys();
    void valueKeyBytes_data();
    void valueKeyBytes();
    void dateKeyBytes_data();
    void dateKeyBytes();
    void dateOrder();
    void keyExpressions_data();
    void keyExpressions();
};

void TstSortKey::numericKeyBytes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("hex");
    // The published reference vectors of the 12-byte BCD key.
    QTest::newRow("0") << QByteArray("   0") << QByteArray("340100000000000000000000");
    QTest::newRow("blank") << QByteArray("    ") << QByteArray("340100000000000000000000");
    QTest::newRow("1") << QByteArray("   1") << QByteArray("350510000000000000000000");
    QTest::newRow("7") << QByteArray("   7") << QByteArray("350570000000000000000000");
    QTest::newRow("10") << QByteArray("  10") << QByteArray("360910000000000000000000");
    QTest::newRow("1000") << QByteArray("1000") << QByteArray("381110000000000000000000");
    QTest::newRow("20.1") << QByteArray("  20.10") << QByteArray("360d20100000000000000000");
    QTest::newRow("36.6") << QByteArray("36.6") << QByteArray("360d36600000000000000000");
    QTest::newRow("123.45") << QByteArray("123.45") << QByteArray("371512345000000000000000");
    QTest::newRow("-2.5") << QByteArray(" -2.5") << QByteArray("358925000000000000000000");
    QTest::newRow("-40") << QByteArray(" -40") << QByteArray("368940000000000000000000");
    QTest::newRow("0.5") << QByteArray("0.5") << QByteArray("340550000000000000000000");
    QTest::newRow("-0.25") << QByteArray("-0.25") << QByteArray("348925000000000000000000");
    QTest::newRow("overflow stars") << QByteArray("****") << QByteArray("340100000000000000000000");
}

void TstSortKey::numericKeyBytes()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, hex);
    QCOMPARE(numericKey(text).toHex(), hex);
}

void TstSortKey::characterOrder_data()
{
    QTest::addColumn<int>("languageDriver");
    QTest::addColumn<QStringList>("expected"); // in ascending order
    // Windows-1251 bytes of Russian texts, as stored in the table.
    QTest::newRow("mode, Russian collation") << 0xC9 << QStringList{"Наблюдения ", "Оперативный"};
    QTest::newRow("dates sort by day first")
        << 0xC9 << QStringList{"01.02.2024", "15.01.2025", "31.01.2024"};
    QTest::newRow("case: lower before upper, letters interleaved")
        << 0xC9 << QStringList{"а", "А", "б", "Б", "ё", "Ё", "я"};
    // Byte order without a language driver: upper case Cyrillic (0xC0..) first.
    QTest::newRow("byte order, driver 0") << 0x00 << QStringList{"B", "a", "Б", "а"};
}

void TstSortKey::characterOrder()
{
    QFETCH(int, languageDriver);
    QFETCH(QStringList, expected);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QStringEncoder cp1251("windows-1251");
    std::vector<QByteArray> keys;
    for (const QString& s : expected)
        keys.push_back(cp1251.encode(s));
    std::vector<QByteArray> shuffled(keys.rbegin(), keys.rend());
    std::rotate(shuffled.begin(), shuffled.begin() + 1, shuffled.end());

    const SortKeyOrder order(SortKeyType::Character, quint8(languageDriver));
    std::vector<QByteArray> sorted = shuffled;
    std::sort(sorted.begin(), sorted.end(),
              [&](const QByteArray& a, const QByteArray& b) { return order.compare(a, b) < 0; });
    QCOMPARE(sorted, keys);

    // The bulk ranking agrees with the pairwise comparison.
    const int length = int(std::max_element(keys.begin(), keys.end(), [](auto& a, auto& b) {
                               return a.size() < b.size();
                           })->size());
    QByteArray flat;
    for (QByteArray k : shuffled)
        flat += k.leftJustified(length, ' ');
    if (std::all_of(keys.begin(), keys.end(), [&](auto& k) { return k.size() == length; })) {
        const auto ranks = order.ranks(flat.constData(), length, shuffled.size());
        for (size_t i = 0; i < shuffled.size(); ++i)
            QCOMPARE(ranks[i],
                     quint32(std::find(keys.begin(), keys.end(), shuffled[i]) - keys.begin()));
    }
}

void TstSortKey::numericOrder()
{
    const QList<QByteArray> ascending{"-40", "-2.5", "-0.25", "-0.05", "0",      "0.05", "0.5",
                                      "1",   "7",    "10",    "36.6",  "123.45", "1000"};
    const SortKeyOrder order(SortKeyType::Numeric, 0xC9);
    for (qsizetype i = 0; i < ascending.size(); ++i)
        for (qsizetype j = 0; j < ascending.size(); ++j) {
            const int c = order.compare(numericKey(ascending[i]), numericKey(ascending[j]));
            QVERIFY2((c < 0) == (i < j) && (c == 0) == (i == j),
                     QByteArray(ascending[i] + " vs " + ascending[j]).constData());
        }
}

void TstSortKey::ranksGroupEqualKeys()
{
    // Numeric keys of the same value written differently rank equal.
    QByteArray flat;
    for (const char* t : {"  10", "  7 ", "10.0", "   7", "-1  "})
        flat += numericKey(t);
    const SortKeyOrder order(SortKeyType::Numeric, 0xC9);
    const auto ranks = order.ranks(flat.constData(), kNumericKeyLength, 5);
    QCOMPARE(ranks, (std::vector<quint32>{2, 1, 2, 1, 0}));
}

// VAL of the temperature texts: the index file's BCD of the number, with the
// comma the table writes as the decimal point (vectors of the format notes).
void TstSortKey::valueKeyBytes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("0,0") << QByteArray("0,0   ") << QByteArray("340100000000000000000000");
    QTest::newRow("-0,0") << QByteArray("-0,0  ") << QByteArray("340100000000000000000000");
    QTest::newRow("blank") << QByteArray("      ") << QByteArray("340100000000000000000000");
    QTest::newRow(" 1,0, a one-digit text")
        << QByteArray(" 1,0  ") << QByteArray("350510000000000000000000");
    QTest::newRow("36,6") << QByteArray("36,6  ") << QByteArray("360d36600000000000000000");
    QTest::newRow("36.6, a point")
        << QByteArray("36.6  ") << QByteArray("360d36600000000000000000");
    QTest::newRow("-2,5") << QByteArray("-2,5  ") << QByteArray("358925000000000000000000");
    QTest::newRow("-40,0") << QByteArray("-40,0 ") << QByteArray("368940000000000000000000");
    QTest::newRow("0,5") << QByteArray("0,5   ") << QByteArray("340550000000000000000000");
    QTest::newRow("reading stops at a letter")
        << QByteArray("20,1ab") << QByteArray("360d20100000000000000000");
    QTest::newRow("no digits") << QByteArray("abc   ") << QByteArray("340100000000000000000000");
}

void TstSortKey::valueKeyBytes()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, hex);
    QCOMPARE(valueKey(text).toHex(), hex);
}

// CTOD: the Julian day number as a little-endian double; 2000-01-01 is day
// 2451545 (the format notes' vector), 2024-03-15 day 2460385.
void TstSortKey::dateKeyBytes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("01.01.2000") << QByteArray("01.01.2000") << QByteArray("000000802cb44241");
    QTest::newRow("15.03.2024") << QByteArray("15.03.2024") << QByteArray("0000008070c54241");
    QTest::newRow("year first") << QByteArray("2000-01-01") << QByteArray("000000802cb44241");
    QTest::newRow("31.02.2024, no date")
        << QByteArray("31.02.2024") << QByteArray("0000000000000000");
    QTest::newRow("blank") << QByteArray("          ") << QByteArray("0000000000000000");
    QTest::newRow("garbage after") << QByteArray("01.01.2000x") << QByteArray("0000000000000000");
}

void TstSortKey::dateKeyBytes()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, hex);
    QCOMPARE(dateKey(text).toHex(), hex);
}

void TstSortKey::dateOrder()
{
    // The calendar, not the text: the day-first text order would be reversed here.
    const QList<QByteArray> ascending{"          ", "31.12.2023", "01.01.2024", "31.01.2024",
                                      "01.02.2024", "29.02.2024", "16.12.2026", "02.01.2027"};
    const SortKeyOrder order(SortKeyType::Date, 0xC9);
    QByteArray flat;
    for (qsizetype i = 0; i < ascending.size(); ++i) {
        flat += dateKey(ascending[i]);
        for (qsizetype j = 0; j < ascending.size(); ++j) {
            const int c = order.compare(dateKey(ascending[i]), dateKey(ascending[j]));
            QVERIFY2((c < 0) == (i < j) && (c == 0) == (i == j),
                     QByteArray(ascending[i] + " vs " + ascending[j]).constData());
        }
    }
    std::vector<quint32> expected(size_t(ascending.size()));
    std::iota(expected.begin(), expected.end(), 0u);
    QCOMPARE(order.ranks(flat.constData(), kDateKeyLength, size_t(ascending.size())), expected);
}

void TstSortKey::keyExpressions_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("stored"); // "" when refused
    QTest::addColumn<char>("type");
    QTest::addColumn<int>("keyLength");
    QTest::newRow("character field") << "mode"
                                     << "MODE" << 'C' << 11;
    QTest::newRow("numeric field") << "N"
                                   << "N" << 'N' << 12;
    QTest::newRow("VAL of a text") << " val( t_1 ) "
                                   << "VAL(T_1)" << 'N' << 12;
    QTest::newRow("VAL of a number") << "VAL(N)"
                                     << "VAL(N)" << 'N' << 12;
    QTest::newRow("CTOD of a text") << "ctod(DATE)"
                                    << "CTOD(DATE)" << 'D' << 8;
    QTest::newRow("CTOD of a number") << "CTOD(N)"
                                      << "" << 'C' << 0;
    QTest::newRow("unknown field") << "VAL(T_3)"
                                   << "" << 'C' << 0;
    QTest::newRow("unknown function") << "STR(N)"
                                      << "" << 'C' << 0;
    QTest::newRow("unclosed") << "VAL(T_1"
                              << "" << 'C' << 0;
    QTest::newRow("empty") << ""
                           << "" << 'C' << 0;
}

void TstSortKey::keyExpressions()
{
    QFETCH(QString, expression);
    QFETCH(QString, stored);
    QFETCH(char, type);
    QFETCH(int, keyLength);
    const QList<DbfField> fields{{"N", 'N', 4, 0, 1, DbfField::Kind::SmallInt},
                                 {"MODE", 'C', 11, 0, 5, DbfField::Kind::Character},
                                 {"DATE", 'C', 10, 0, 16, DbfField::Kind::Character},
                                 {"T_1", 'C', 6, 0, 26, DbfField::Kind::Character}};
    const auto key = parseKeyExpression(expression, fields);
    QCOMPARE(key.has_value(), !stored.isEmpty());
    if (!key)
        return;
    QCOMPARE(key->text, stored);
    QCOMPARE(char(key->type), type);
    QCOMPARE(key->keyLength, keyLength);

    // The key of a record: flag, N, MODE, DATE, T_1.
    const QByteArray record = QByteArray(" ") + "  -3" + "Observation" + "29.02.2024" + "-9,9  ";
    QByteArray out(keyLength, '\0');
    key->keyOf(record, out.data());
    if (stored == "VAL(T_1)")
        QCOMPARE(out, valueKey("-9,9"));
    else if (stored.startsWith("CTOD"))
        QCOMPARE(out, dateKey("29.02.2024"));
    else if (type == 'N')
        QCOMPARE(out, numericKey("-3"));
}

QTEST_GUILESS_MAIN(TstSortKey)
#include "tst_sort_key.moc"
