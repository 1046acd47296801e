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

// The protocol with a recording host and its own archive image.
struct Session
{
    Recorder host;
    ArchiveImage image;
    DownloadProtocol protocol{host, image};

    void receive(const QByteArray& chars) { receive(chars, int(chars.size())); }
    void receive(const QByteArray& chars, int n)
    {
        protocol.receive(reinterpret_cast<const quint8*>(chars.constData()), quint32(n));
    }
    // The instrument identifies itself and the request timer fires: "N" has
    // gone out and the archive may come.
    void identifyAndRequest()
    {
        protocol.start();
        receive(kGoodId);
        protocol.requestTimeout();
    }
};

// One stream case: what the instrument answers to "V" and to "N", and what
// the PC's side makes of it.
struct StreamCase
{
    QList<QByteArray> reply;
    QList<QByteArray> archive;
    bool anySplit = true; // the same outcome however the stream is cut
    int result = 0;
    bool rangeError = false;
    QByteArray sent;
    QString message;
    QString version;
    int count = -1;
    // The bar as left fed whole and fed byte by byte: it is not updated on the
    // chunk that brings the count, so a one-chunk archive leaves it at 0.
    int progress = 0;
    int progressByteByByte = 0;
    QByteArray image; // empty: the image is untouched
};

} // namespace

Q_DECLARE_METATYPE(StreamCase)

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
    QTest::addColumn<StreamCase>("c");

    using L = QList<QByteArray>;
    const QString v010203 = QStringLiteral("01.02.03");
    const QString wrong = QStringLiteral("wrong");
    const QByteArray two = imageOf(2);
    const QByteArray largest = imageOf(5957);
    const QByteArray emptyImage(2, '\0');

    const auto row = [](const char* name, const StreamCase& c) { QTest::newRow(name) << c; };
    row("empty archive", {.reply = L{kGoodId},
                          .archive = L{"S0000P"},
                          .result = 1,
                          .sent = "VN",
                          .version = v010203,
                          .count = 0,
                          .progressByteByByte = 100,
                          .image = emptyImage});
    row("two records", {.reply = L{kGoodId},
                        .archive = L{"S" + wire(two) + "P"},
                        .result = 1,
                        .sent = "VN",
                        .version = v010203,
                        .count = 2,
                        .progressByteByByte = 102,
                        .image = two});
    row("version digit 2 rejected",
        {.reply = L{"602302010"}, .result = 2, .sent = "V", .message = wrong});
    row("type 22 rejected", {.reply = L{"611302010"}, .result = 2, .sent = "V", .message = wrong});
    row("digit below 0", {.reply = L{"60/302010"}, .rangeError = true, .sent = "V"});
    // the characters after a "Z" in its own chunk are dropped, so this stream
    // depends on where it is cut
    row("Z then a valid block", {.reply = L{"Z", kGoodId},
                                 .archive = L{"S0000P"},
                                 .anySplit = false,
                                 .result = 1,
                                 .sent = "VVN",
                                 .version = v010203,
                                 .count = 0,
                                 .progressByteByByte = 100,
                                 .image = emptyImage});
    row("noise before the block, one chunk", {.reply = L{"12" + kGoodId},
                                              .archive = L{"S0000P"},
                                              .anySplit = false,
                                              .result = 1,
                                              .sent = "VN",
                                              .version = v010203,
                                              .count = 0,
                                              .image = emptyImage});
    row("P and Z in one chunk", {.reply = L{kGoodId},
                                 .archive = L{"S0000PZ"},
                                 .anySplit = false,
                                 .sent = "VNV",
                                 .version = v010203});
    row("odd characters", {.reply = L{kGoodId},
                           .archive = L{"S00001P"},
                           .rangeError = true,
                           .sent = "VN",
                           .version = v010203,
                           .count = 0,
                           .progressByteByByte = 100});
    row("nothing between S and P", {.reply = L{kGoodId},
                                    .archive = L{"SP"},
                                    .rangeError = true,
                                    .sent = "VN",
                                    .version = v010203});
    row("no S", {.reply = L{kGoodId},
                 .archive = L{"0000P"},
                 .rangeError = true,
                 .sent = "VN",
                 .version = v010203});
    row("P before S", {.reply = L{kGoodId},
                       .archive = L{"P", "S0000"},
                       .anySplit = false,
                       .rangeError = true,
                       .sent = "VN",
                       .version = v010203});
    row("pair outside 0..255", {.reply = L{kGoodId},
                                .archive = L{"S1000" + QByteArray(20, '0') + "0@P"},
                                .rangeError = true,
                                .sent = "VN",
                                .version = v010203,
                                .count = 1,
                                .progressByteByByte = 104});
    row("count below 0", {.reply = L{kGoodId},
                          .archive = L{"S/000"},
                          .rangeError = true,
                          .sent = "VN",
                          .version = v010203});
    row("largest archive", {.reply = L{kGoodId},
                            .archive = L{"S" + wire(largest) + "P"},
                            .result = 1,
                            .sent = "VN",
                            .version = v010203,
                            .count = 5957,
                            .progressByteByByte = 100,
                            .image = largest});
    row("image of 65536 bytes",
        {.reply = L{kGoodId},
         .archive = L{"S" + wire(imageOf(5957) + QByteArray(7, '\1')) + "P"},
         .rangeError = true,
         .sent = "VN",
         .version = v010203,
         .count = 5957,
         .progressByteByByte = 100});
}

void TestDownloadProtocol::streams()
{
    QFETCH(StreamCase, c);

    QList<Split> splits{Split::Whole};
    if (c.anySplit)
        splits << Split::ByteByByte << Split::Random;
    for (const Split split : splits) {
        for (quint32 seed = 1; seed <= (split == Split::Random ? 3u : 1u); ++seed) {
            const Outcome o = run(c.reply, c.archive, split, seed);
            const QByteArray where = QByteArray("split " + QByteArray::number(int(split)) +
                                                " seed " + QByteArray::number(seed));
            QVERIFY2(o.result == c.result, where.constData());
            QVERIFY2(o.rangeError == c.rangeError, where.constData());
            QVERIFY2(o.sent == c.sent, QByteArray(where + " sent " + o.sent).constData());
            QVERIFY2(o.messages == (c.message.isEmpty() ? QStringList() : QStringList{c.message}),
                     where);
            QVERIFY2(o.version == c.version, where.constData());
            QVERIFY2(o.count == c.count,
                     QByteArray(where + " count " + QByteArray::number(o.count)).constData());
            if (split != Split::Random) {
                const int expected = split == Split::Whole ? c.progress : c.progressByteByByte;
                QVERIFY2(
                    o.progress == expected,
                    QByteArray(where + " progress " + QByteArray::number(o.progress)).constData());
            }
            if (c.result != 0)
                QVERIFY2(!o.portOpen, where.constData());
            if (c.image.isEmpty()) {
                QVERIFY2(o.decodedLength == 7, where.constData()); // untouched
                QVERIFY2(o.image == QByteArray(7, char(0xEE)), where.constData());
            } else {
                QVERIFY2(o.decodedLength == c.image.size(), where.constData());
                QVERIFY2(o.image == c.image, where.constData());
            }
        }
    }
}

void TestDownloadProtocol::progressHalfway()
{
    Session s;
    s.identifyAndRequest();
    // count 100 (hex 64): expected characters 2200, data start 5
    s.receive("S4600");
    QCOMPARE(s.host.count, 100);
    QCOMPARE(s.host.progress, 0); // not updated on the chunk that brought the count
    QCOMPARE(s.protocol.expectedCharacters(), 2200);
    QCOMPARE(s.protocol.dataStart(), 5);
    const QByteArray records(1100, '1');
    s.receive(records, 1099);
    QCOMPARE(s.host.progress, 49);
    s.receive(records, 1);
    QCOMPARE(s.protocol.receivedCount(), 1105u);
    QCOMPARE(s.host.progress, 50);
}

void TestDownloadProtocol::progressPastFullOnLastChunk()
{
    Session s;
    s.identifyAndRequest();
    const QByteArray stream = "S1000" + QByteArray(22, '1') + "P";
    s.receive(stream.left(5));
    s.receive(stream.mid(5));
    QCOMPARE(s.host.progress, 104); // (28 - 5) * 100 div 22; the bar shows it full
    QCOMPARE(s.host.result, 1);
}

void TestDownloadProtocol::tooManyCharacters()
{
    Session s;
    s.identifyAndRequest();
    const QByteArray block(4096, '1');
    for (int i = 0; i < 63; ++i)
        s.receive(block);
    s.receive(block, 4095); // 262143: still fits
    QCOMPARE(s.protocol.receivedCount(), 262143u);
    QVERIFY_THROWS_EXCEPTION(RangeError, s.receive(block, 1));
    QCOMPARE(s.protocol.receivedCount(), 262143u);
}

void TestDownloadProtocol::detectionFallsBackThenGivesUp()
{
    Session s;
    Recorder& h = s.host;
    DownloadProtocol& p = s.protocol;
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
    Session s;
    s.image.bytes.fill(0x11);
    s.image.decodedLength = 3;
    s.identifyAndRequest();
    s.receive("S4600111111");
    s.protocol.cancel();
    QCOMPARE(s.host.result, 2);
    QVERIFY(!s.host.open);
    QCOMPARE(s.host.progress, 0);
    QCOMPARE(s.protocol.receivedCount(), 0u);
    QCOMPARE(s.image.decodedLength, 3);
    QCOMPARE(s.image.bytes[0], quint8(0x11));
}

void TestDownloadProtocol::rejectedBlockAfterAcceptedOneStillEnds()
{
    // Until "N" goes out the last nine characters are checked on every chunk.
    Session s;
    s.protocol.start();
    s.receive(kGoodId);
    QVERIFY(s.host.request);
    QCOMPARE(s.host.result, 0);
    s.receive("611302010");
    QCOMPARE(s.host.messages, QStringList{QStringLiteral("wrong")});
    QCOMPARE(s.host.result, 2);
    QVERIFY(!s.host.open);
}

QTEST_GUILESS_MAIN(TestDownloadProtocol)
#include "tst_download_protocol.moc"
