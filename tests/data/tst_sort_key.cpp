#include "data/sort_key.h"

#include <QTest>

#include <algorithm>

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

QTEST_GUILESS_MAIN(TstSortKey)
#include "tst_sort_key.moc"
