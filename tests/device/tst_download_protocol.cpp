// The PC's side of the wire protocol with no port attached: codecs, the
// stream cases as one table, fed whole, byte by byte and split at random.
#include "device/download_protocol.h"
#include "platform/app_error.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Wire encoding written out again here: low nibble first, "0" + nibble.
QByteArray wire(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto b = quint8(c);
        out += char('0' + (b & 15));
        out += char('0' + (b >> 4));
    }
    return out;
}

QByteArray imageOf(int records, quint8 fill = 0x5A)
{
    QByteArray img;
    img += char(records & 0xFF);
    img += char(records >> 8);
    for (int i = 0; i < records * 11; ++i)
        img += char(quint8(fill + i * 7));
    return img;
}

struct Recorder : DownloadHost
{
    QString port = QStringLiteral("none");
    bool open = false;
    QByteArray sent;
    bool detection = false, request = false;
    int progress = -1;
    QString version;
    int count = -1;
    QStringList messages;
    int result = 0;

    void setPortName(const QString& name) override { port = name; }
    QString portName() const override { return port; }
    void openPort() override { open = true; }
    void closePort() override { open = false; }
    void sendChar(char c) override { sent += c; }
    void startDetectionTimer() override { detection = true; }
    void stopDetectionTimer() override { detection = false; }
    void startRequestTimer() override { request = true; }
    void stopRequestTimer() override { request = false; }
    void showProgress(int p) override { progress = p; }
    void showWaiting() override { version.clear(); }
    void showIdentified(const QString& v) override { version = v; }
    void showRecordCount(int c) override { count = c; }
    void reportWrongInstrument() override { messages << QStringLiteral("wrong"); }
    void reportNotFound() override { messages << QStringLiteral("not found"); }
    void finish(int r) override
    {
        if (result == 0)
            result = r;
    }
};

enum class Split
{
    Whole,
    ByteByByte,
    Random
};

struct Outcome
{
    int result = 0;
    bool rangeError = false;
    QByteArray sent;
    QStringList messages;
    int count = -1;
    int progress = -1;
    QString version;
    bool portOpen = false;
    QByteArray image; // the first decodedLength bytes
    int decodedLength = -1;
};

void feed(DownloadProtocol& p, Recorder& h, const QList<QByteArray>& chunks, Split split,
          QRandomGenerator& rnd)
{
    if (split == Split::Whole) {
        for (const QByteArray& chunk : chunks)
            if (h.result == 0 && !chunk.isEmpty())
                p.receive(reinterpret_cast<const quint8*>(chunk.constData()),
                          quint32(chunk.size()));
        return;
    }
    const QByteArray stream = chunks.join();
    qsizetype pos = 0;
    while (pos < stream.size() && h.result == 0) {
        qsizetype n = 1;
        if (split == Split::Random)
            n = std::min<qsizetype>(stream.size() - pos, 1 + rnd.bounded(60));
        p.receive(reinterpret_cast<const quint8*>(stream.constData() + pos), quint32(n));
        pos += n;
    }
}

// Shows the dialog, lets the instrument answer "V" with `reply`, fires the
// request timer when it runs, and lets the instrument answer "N" with
// `archive`.
Outcome run(const QList<QByteArray>& reply, const QList<QByteArray>& archive, Split split,
            quint32 seed = 1)
{
    Recorder h;
    auto image = std::make_unique<ArchiveImage>();
    image->bytes.fill(0xEE);
    image->decodedLength = 7;
    DownloadProtocol p(h, *image);
    QRandomGenerator rnd(seed);
    Outcome o;
    try {
        p.start();
        feed(p, h, reply, split, rnd);
        if (h.result == 0 && h.request) {
            p.requestTimeout();
            feed(p, h, archive, split, rnd);
        }
    } catch (const RangeError&) {
        o.rangeError = true;
    }
    o.result = h.result;
    o.sent = h.sent;
    o.messages = h.messages;
    o.count = h.count;
    o.progress = h.progress;
    o.version = h.version;
    o.portOpen = h.open;
    o.decodedLength = image->decodedLength;
    o.image = QByteArray(reinterpret_cast<const char*>(image->bytes.data()),
                         std::max(0, image->decodedLength));
    return o;
}

const QByteArray kGoodId = "601302010";

} // namespace

class TestDownloadProtocol : public QObject
{
    Q_OBJECT
private slots:
    void codecs_data();
    void codecs();
    void codecRangeErrors_data();
    void codecRangeErrors();
    void streams_data();
    void streams();
    void progressHalfway();
    void progressPastFullOnLastChunk();
    void tooManyCharacters();
    void detectionFallsBackThenGivesUp();
    void cancelWhileReceiving();
    void rejectedBlockAfterAcceptedOneStillEnds();
};

void TestDownloadProtocol::codecs_data()
{
    QTest::addColumn<QByteArray>("chars");
    QTest::addColumn<int>("byteValue");
    QTest::addColumn<int>("wordValue");
    QTest::addColumn<QString>("version");
    // byte of the first two characters, word of the first four, version of six
    QTest::newRow("count 300") << QByteArray("<21000") << 0x2C << 300 << QStringLiteral("00.01.44");
    QTest::newRow("block digits") << QByteArray("302010") << 3 << 0x0203
                                  << QStringLiteral("01.02.03");
    QTest::newRow("code 64 then 0 is 16")
        << QByteArray("@00000") << 16 << 16 << QStringLiteral("00.00.16");
    QTest::newRow("largest") << QByteArray("??????") << 255 << 65535
                             << QStringLiteral("255.255.255");
    QTest::newRow("two digits") << QByteArray(":0;0<0") << 10 << 11 * 256 + 10
                                << QStringLiteral("12.11.10");
}

void TestDownloadProtocol::codecs()
{
    QFETCH(QByteArray, chars);
    QFETCH(int, byteValue);
    QFETCH(int, wordValue);
    QFETCH(QString, version);
    const auto* b = reinterpret_cast<const quint8*>(chars.constData());
    QCOMPARE(chars2byte(b, chars.size(), 0), byteValue);
    QCOMPARE(chars2word(b, chars.size(), 0), wordValue);
    QCOMPARE(ver2str(b, chars.size(), 0), version);
}

void TestDownloadProtocol::codecRangeErrors_data()
{
    QTest::addColumn<QByteArray>("chars");
    QTest::addColumn<int>("which"); // 0 chars2byte, 1 chars2word, 2 ver2str
    QTest::addColumn<int>("at");
    QTest::newRow("pair 256") << QByteArray("0@") << 0 << 0;
    QTest::newRow("pair below 0") << QByteArray("/0") << 0 << 0;
    QTest::newRow("pair past the end") << QByteArray("00") << 0 << 1;
    QTest::newRow("pair before the start") << QByteArray("00") << 0 << -1;
    QTest::newRow("word below 0") << QByteArray("/000") << 1 << 0;
    QTest::newRow("word past the end") << QByteArray("000") << 1 << 0;
    QTest::newRow("version byte 256") << QByteArray("00000@") << 2 << 0;
}

void TestDownloadProtocol::codecRangeErrors()
{
    QFETCH(QByteArray, chars);
    QFETCH(int, which);
    QFETCH(int, at);
    const auto* b = reinterpret_cast<const quint8*>(chars.constData());
    if (which == 0)
        QVERIFY_THROWS_EXCEPTION(RangeError, chars2byte(b, chars.size(), at));
    else if (which == 1)
        QVERIFY_THROWS_EXCEPTION(RangeError, chars2word(b, chars.size(), at));
    else
        QVERIFY_THROWS_EXCEPTION(RangeError, ver2str(b, chars.size(), at));
}

void TestDownloadProtocol::streams_data()
{
    QTest::addColumn<QList<QByteArray>>("reply");
    QTest::addColumn<QList<QByteArray>>("archive");
    QTest::addColumn<bool>("anySplit"); // the same outcome however the stream is cut
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("rangeError");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("count");
    // The bar as left fed whole and fed byte by byte: it is not updated on the
    // chunk that brings the count, so a one-chunk archive leaves it at 0.
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("progressByteByByte");
    QTest::addColumn<QByteArray>("image"); // empty: the image is untouched

    using L = QList<QByteArray>;
    const QString none;
    const QString v010203 = QStringLiteral("01.02.03");
    const QByteArray two = imageOf(2);
    const QByteArray largest = imageOf(5957);

    QTest::newRow("empty archive")
        << L{kGoodId} << L{"S0000P"} << true << 1 << false << QByteArray("VN") << none << v010203
        << 0 << 0 << 100 << QByteArray(2, '\0');
    QTest::newRow("two records") << L{kGoodId} << L{"S" + wire(two) + "P"} << true << 1 << false
                                 << QByteArray("VN") << none << v010203 << 2 << 0 << 102 << two;
    QTest::newRow("version digit 2 rejected")
        << L{"602302010"} << L{} << true << 2 << false << QByteArray("V") << QStringLiteral("wrong")
        << QString() << -1 << 0 << 0 << QByteArray();
    QTest::newRow("type 22 rejected")
        << L{"611302010"} << L{} << true << 2 << false << QByteArray("V") << QStringLiteral("wrong")
        << QString() << -1 << 0 << 0 << QByteArray();
    QTest::newRow("digit below 0") << L{"60/302010"} << L{} << true << 0 << true << QByteArray("V")
                                   << none << QString() << -1 << 0 << 0 << QByteArray();
    // the characters after a "Z" in its own chunk are dropped, so this stream
    // depends on where it is cut
    QTest::newRow("Z then a valid block")
        << L{"Z", kGoodId} << L{"S0000P"} << false << 1 << false << QByteArray("VVN") << none
        << v010203 << 0 << 0 << 100 << QByteArray(2, '\0');
    QTest::newRow("noise before the block, one chunk")
        << L{"12" + kGoodId} << L{"S0000P"} << false << 1 << false << QByteArray("VN") << none
        << v010203 << 0 << 0 << 0 << QByteArray(2, '\0');
    QTest::newRow("P and Z in one chunk")
        << L{kGoodId} << L{"S0000PZ"} << false << 0 << false << QByteArray("VNV") << none << v010203
        << -1 << 0 << 0 << QByteArray();
    QTest::newRow("odd characters")
        << L{kGoodId} << L{"S00001P"} << true << 0 << true << QByteArray("VN") << none << v010203
        << 0 << 0 << 100 << QByteArray();
    QTest::newRow("nothing between S and P")
        << L{kGoodId} << L{"SP"} << true << 0 << true << QByteArray("VN") << none << v010203 << -1
        << 0 << 0 << QByteArray();
    QTest::newRow("no S") << L{kGoodId} << L{"0000P"} << true << 0 << true << QByteArray("VN")
                          << none << v010203 << -1 << 0 << 0 << QByteArray();
    QTest::newRow("P before S") << L{kGoodId} << L{"P", "S0000"} << false << 0 << true
                                << QByteArray("VN") << none << v010203 << -1 << 0 << 0
                                << QByteArray();
    QTest::newRow("pair outside 0..255")
        << L{kGoodId} << L{"S1000" + QByteArray(20, '0') + "0@P"} << true << 0 << true
        << QByteArray("VN") << none << v010203 << 1 << 0 << 104 << QByteArray();
    QTest::newRow("count below 0")
        << L{kGoodId} << L{"S/000"} << true << 0 << true << QByteArray("VN") << none << v010203
        << -1 << 0 << 0 << QByteArray();
    QTest::newRow("largest archive")
        << L{kGoodId} << L{"S" + wire(largest) + "P"} << true << 1 << false << QByteArray("VN")
        << none << v010203 << 5957 << 0 << 100 << largest;
    QTest::newRow("image of 65536 bytes")
        << L{kGoodId} << L{"S" + wire(imageOf(5957) + QByteArray(7, '\1')) + "P"} << true << 0
        << true << QByteArray("VN") << none << v010203 << 5957 << 0 << 100 << QByteArray();
}

void TestDownloadProtocol::streams()
{
    QFETCH(QList<QByteArray>, reply);
    QFETCH(QList<QByteArray>, archive);
    QFETCH(bool, anySplit);
    QFETCH(int, result);
    QFETCH(bool, rangeError);
    QFETCH(QByteArray, sent);
    QFETCH(QString, message);
    QFETCH(QString, version);
    QFETCH(int, count);
    QFETCH(int, progress);
    QFETCH(int, progressByteByByte);
    QFETCH(QByteArray, image);

    QList<Split> splits{Split::Whole};
    if (anySplit)
        splits << Split::ByteByByte << Split::Random;
    for (const Split split : splits) {
        for (quint32 seed = 1; seed <= (split == Split::Random ? 3u : 1u); ++seed) {
            const Outcome o = run(reply, archive, split, seed);
            const QByteArray where = QByteArray("split " + QByteArray::number(int(split)) +
                                                " seed " + QByteArray::number(seed));
            QVERIFY2(o.result == result, where.constData());
            QVERIFY2(o.rangeError == rangeError, where.constData());
            QVERIFY2(o.sent == sent, QByteArray(where + " sent " + o.sent).constData());
            QVERIFY2(o.messages == (message.isEmpty() ? QStringList() : QStringList{message}),
                     where);
            QVERIFY2(o.version == version, where.constData());
            QVERIFY2(o.count == count,
                     QByteArray(where + " count " + QByteArray::number(o.count)).constData());
            if (split != Split::Random) {
                const int expected = split == Split::Whole ? progress : progressByteByByte;
                QVERIFY2(
                    o.progress == expected,
                    QByteArray(where + " progress " + QByteArray::number(o.progress)).constData());
            }
            if (result != 0)
                QVERIFY2(!o.portOpen, where.constData());
            if (image.isEmpty()) {
                QVERIFY2(o.decodedLength == 7, where.constData()); // untouched
                QVERIFY2(o.image == QByteArray(7, char(0xEE)), where.constData());
            } else {
                QVERIFY2(o.decodedLength == image.size(), where.constData());
                QVERIFY2(o.image == image, where.constData());
            }
        }
    }
}

void TestDownloadProtocol::progressHalfway()
{
    Recorder h;
    ArchiveImage image;
    DownloadProtocol p(h, image);
    p.start();
    p.receive(reinterpret_cast<const quint8*>(kGoodId.constData()), 9);
    p.requestTimeout();
    // count 100 (hex 64): expected characters 2200, data start 5
    p.receive(reinterpret_cast<const quint8*>("S4600"), 5);
    QCOMPARE(h.count, 100);
    QCOMPARE(h.progress, 0); // not updated on the chunk that brought the count
    QCOMPARE(p.expectedCharacters(), 2200);
    QCOMPARE(p.dataStart(), 5);
    const QByteArray records(1100, '1');
    p.receive(reinterpret_cast<const quint8*>(records.constData()), 1099);
    QCOMPARE(h.progress, 49);
    p.receive(reinterpret_cast<const quint8*>(records.constData()), 1);
    QCOMPARE(p.receivedCount(), 1105u);
    QCOMPARE(h.progress, 50);
}

void TestDownloadProtocol::progressPastFullOnLastChunk()
{
    Recorder h;
    ArchiveImage image;
    DownloadProtocol p(h, image);
    p.start();
    p.receive(reinterpret_cast<const quint8*>(kGoodId.constData()), 9);
    p.requestTimeout();
    const QByteArray stream = "S1000" + QByteArray(22, '1') + "P";
    p.receive(reinterpret_cast<const quint8*>(stream.constData()), 5);
    p.receive(reinterpret_cast<const quint8*>(stream.constData() + 5), stream.size() - 5);
    QCOMPARE(h.progress, 104); // (28 - 5) * 100 div 22; the bar shows it full
    QCOMPARE(h.result, 1);
}

void TestDownloadProtocol::tooManyCharacters()
{
    Recorder h;
    ArchiveImage image;
    DownloadProtocol p(h, image);
    p.start();
    p.receive(reinterpret_cast<const quint8*>(kGoodId.constData()), 9);
    p.requestTimeout();
    const QByteArray block(4096, '1');
    for (int i = 0; i < 63; ++i)
        p.receive(reinterpret_cast<const quint8*>(block.constData()), 4096);
    p.receive(reinterpret_cast<const quint8*>(block.constData()), 4095); // 262143: still fits
    QCOMPARE(p.receivedCount(), 262143u);
    QVERIFY_THROWS_EXCEPTION(RangeError,
                             p.receive(reinterpret_cast<const quint8*>(block.constData()), 1));
    QCOMPARE(p.receivedCount(), 262143u);
}

void TestDownloadProtocol::detectionFallsBackThenGivesUp()
{
    Recorder h;
    ArchiveImage image;
    DownloadProtocol p(h, image);
    p.start();
    QCOMPARE(h.port, QStringLiteral("\\\\.\\COM1"));
    QVERIFY(h.open && h.detection);
    p.detectionTimeout();
    QCOMPARE(h.port, QStringLiteral("\\\\.\\COM2"));
    QVERIFY(h.open && h.detection);
    QCOMPARE(h.sent, QByteArray("VV"));
    QCOMPARE(h.result, 0);
    p.detectionTimeout();
    QCOMPARE(h.port, QStringLiteral("\\\\.\\COM1"));
    QVERIFY(!h.open);
    QVERIFY(!h.detection);
    QCOMPARE(h.messages, QStringList{QStringLiteral("not found")});
    QCOMPARE(h.result, 2);
}

void TestDownloadProtocol::cancelWhileReceiving()
{
    Recorder h;
    ArchiveImage image;
    image.bytes.fill(0x11);
    image.decodedLength = 3;
    DownloadProtocol p(h, image);
    p.start();
    p.receive(reinterpret_cast<const quint8*>(kGoodId.constData()), 9);
    p.requestTimeout();
    p.receive(reinterpret_cast<const quint8*>("S4600111111"), 11);
    p.cancel();
    QCOMPARE(h.result, 2);
    QVERIFY(!h.open);
    QCOMPARE(h.progress, 0);
    QCOMPARE(p.receivedCount(), 0u);
    QCOMPARE(image.decodedLength, 3);
    QCOMPARE(image.bytes[0], quint8(0x11));
}

void TestDownloadProtocol::rejectedBlockAfterAcceptedOneStillEnds()
{
    // Until "N" goes out the last nine characters are checked on every chunk.
    Recorder h;
    ArchiveImage image;
    DownloadProtocol p(h, image);
    p.start();
    p.receive(reinterpret_cast<const quint8*>(kGoodId.constData()), 9);
    QVERIFY(h.request);
    QCOMPARE(h.result, 0);
    p.receive(reinterpret_cast<const quint8*>("611302010"), 9);
    QCOMPARE(h.messages, QStringList{QStringLiteral("wrong")});
    QCOMPARE(h.result, 2);
    QVERIFY(!h.open);
}

QTEST_GUILESS_MAIN(TestDownloadProtocol)
#include "tst_download_protocol.moc"
