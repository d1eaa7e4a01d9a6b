// The simulated controller against byte-exact requests: no I/O.

#include "simdevice.h"

#include <QtTest>

using sim::Device;

Q_DECLARE_METATYPE(Device::Type)

namespace {

// Radio module frames (command 0x04 with the AT text).
const QByteArray PlusPlusPlus = QByteArray::fromHex("21042b2b2b04");                  // "+++"
const QByteArray Ato = QByteArray::fromHex("210541544f0d04");                        // "ATO\r"
const QByteArray ReadS250 = QByteArray::fromHex("21094154533235303f0d04");           // "ATS250?\r"
const QByteArray ReadS202 = QByteArray::fromHex("21094154533230323f0d04");           // "ATS202?\r"
const QByteArray WriteS250_0 = QByteArray::fromHex("210a4154533235303d300d04");      // "ATS250=0\r"
const QByteArray WriteS250_1 = QByteArray::fromHex("210a4154533235303d310d04");      // "ATS250=1\r"
const QByteArray WriteS250_42 = QByteArray::fromHex("210b4154533235303d34320d04");   // "ATS250=42\r"
const QByteArray WriteS250_9 = QByteArray::fromHex("210a4154533235303d390d04");      // "ATS250=9\r"
const QByteArray WriteS202_3 = QByteArray::fromHex("210a4154533230323d330d04");      // "ATS202=3\r"
const QByteArray WriteS202_8 = QByteArray::fromHex("210a4154533230323d380d04");      // "ATS202=8\r"
const QByteArray ReadS999 = QByteArray::fromHex("21094154533939393f0d04");           // "ATS999?\r"
const QByteArray WriteS123 = QByteArray::fromHex("210a4154533132333d310d04");        // "ATS123=1\r"
const QByteArray ReadS250NoCr = QByteArray::fromHex("21084154533235303f04");         // "ATS250?"
const QByteArray ReadS250Lower = QByteArray::fromHex("21096174733235303f0d04");      // "ats250?\r"
const QByteArray Atz = QByteArray::fromHex("210541545a0d04");                        // "ATZ\r"
const QByteArray Rssi = QByteArray::fromHex("210e41542b535244525353493f0d0a04");     // "AT+SRDRSSI?\r\n"

const QByteArray Identity = QByteArray::fromHex("210101");
const QByteArray ReadSettings = QByteArray::fromHex("210103");

QList<QByteArray> feedEach(Device &device, const QList<QByteArray> &frames)
{
    QList<QByteArray> replies;
    for (const QByteArray &frame : frames)
        replies += device.feed(frame);
    return replies;
}

} // namespace

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void identity_data();
    void identity();
    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void commandMode_data();
    void commandMode();
    void registerReadIsDecimal();
    void tables_data();
    void tables();
    void records_data();
    void records();
    void factoryRecords();
    void recordValuesPacking();
    void measurement_data();
    void measurement();
    void ignoredRequests_data();
    void ignoredRequests();
    void batching_data();
    void batching();
    void typeChangesAtRunTime();
    void faults_data();
    void faults();
    void garbage();
};

void TestSimDevice::identity_data()
{
    QTest::addColumn<Device::Type>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("transmitter 296") << Device::Transmitter << 296 << QByteArray("<Transmitter v.296>");
    QTest::newRow("transmitter 200") << Device::Transmitter << 200 << QByteArray("<Transmitter v.200>");
    QTest::newRow("receiver 221") << Device::Receiver << 221 << QByteArray("<Receiver v.221>");
    QTest::newRow("receiver 295") << Device::Receiver << 295 << QByteArray("<Receiver v.295>");
}

void TestSimDevice::identity()
{
    QFETCH(Device::Type, type);
    QFETCH(int, version);
    QFETCH(QByteArray, reply);
    Device device(type, quint16(version));
    QCOMPARE(device.feed(Identity), QList<QByteArray>{reply});
    QCOMPARE(device.requests(), QList<QByteArray>{Identity});
}

void TestSimDevice::settingsRoundTrip_data()
{
    QTest::addColumn<Device::Type>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray tx = QByteArray::fromHex("210e07092a8301050004141e283200" "02");
    const QByteArray rx = QByteArray::fromHex("210f01021e81030403a55a0506070800" "02");
    // Up to 295 the controller keeps the last byte but does not report it.
    QTest::newRow("transmitter 200") << Device::Transmitter << 200 << tx
                                     << QByteArray::fromHex("07092a8301050004141e2832");
    QTest::newRow("transmitter 221") << Device::Transmitter << 221 << tx
                                     << QByteArray::fromHex("07092a8301050004141e2832");
    QTest::newRow("transmitter 295") << Device::Transmitter << 295 << tx
                                     << QByteArray::fromHex("07092a8301050004141e2832");
    QTest::newRow("transmitter 296") << Device::Transmitter << 296 << tx
                                     << QByteArray::fromHex("07092a8301050004141e283200");
    QTest::newRow("transmitter example frame") << Device::Transmitter << 296
        << QByteArray::fromHex("210e03051102020700010a0a0a0a0102")
        << QByteArray::fromHex("03051102020700010a0a0a0a01");
    QTest::newRow("receiver 200") << Device::Receiver << 200 << rx
                                  << QByteArray::fromHex("01021e81030403a55a05060708");
    QTest::newRow("receiver 221") << Device::Receiver << 221 << rx
                                  << QByteArray::fromHex("01021e81030403a55a05060708");
    QTest::newRow("receiver 295") << Device::Receiver << 295 << rx
                                  << QByteArray::fromHex("01021e81030403a55a05060708");
    QTest::newRow("receiver 296") << Device::Receiver << 296 << rx
                                  << QByteArray::fromHex("01021e81030403a55a0506070800");
}

void TestSimDevice::settingsRoundTrip()
{
    QFETCH(Device::Type, type);
    QFETCH(int, version);
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, reply);
    Device device(type, quint16(version));
    device.setSettings(QByteArray(Device::settingsSize(type), '\xff'));
    QVERIFY(device.feed(write).isEmpty());
    QCOMPARE(device.feed(ReadSettings), QList<QByteArray>{reply});
    QCOMPARE(device.settings(), write.mid(2, write.size() - 3));
}

void TestSimDevice::commandMode_data()
{
    QTest::addColumn<QList<QByteArray>>("requests");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<bool>("commandMode");

    using L = QList<QByteArray>;
    QTest::newRow("read outside command mode") << L{ReadS250} << L{} << false;
    QTest::newRow("enter and read") << L{PlusPlusPlus, ReadS250}
                                    << L{"OK\r\n", "S250=5\r\n"} << true;
    QTest::newRow("write then read") << L{PlusPlusPlus, WriteS250_0, ReadS250, Ato}
                                     << L{"OK\r\n", "OK\r\n", "S250=0\r\n", "OK\r\n"} << false;
    QTest::newRow("two-digit value") << L{PlusPlusPlus, WriteS250_42, ReadS250}
                                     << L{"OK\r\n", "OK\r\n", "S250=42\r\n"} << true;
    QTest::newRow("power") << L{PlusPlusPlus, WriteS202_3, ReadS202}
                           << L{"OK\r\n", "OK\r\n", "S202=3\r\n"} << true;
    QTest::newRow("power out of range") << L{PlusPlusPlus, WriteS202_8, ReadS202}
                                        << L{"OK\r\n", "ERROR\r\n", "S202=7\r\n"} << true;
    QTest::newRow("unknown register read") << L{PlusPlusPlus, ReadS999}
                                           << L{"OK\r\n", "ERROR\r\n"} << true;
    QTest::newRow("unknown register write") << L{PlusPlusPlus, WriteS123}
                                            << L{"OK\r\n", "ERROR\r\n"} << true;
    QTest::newRow("unknown command") << L{PlusPlusPlus, Atz} << L{"OK\r\n", "ERROR\r\n"} << true;
    QTest::newRow("read after ATO") << L{PlusPlusPlus, Ato, ReadS250}
                                    << L{"OK\r\n", "OK\r\n"} << false;
    QTest::newRow("write outside command mode is data") << L{WriteS250_9, PlusPlusPlus, ReadS250}
                                                        << L{"OK\r\n", "S250=5\r\n"} << true;
    QTest::newRow("ATO in data mode") << L{Ato} << L{"OK\r\n"} << false;
    QTest::newRow("no carriage return") << L{PlusPlusPlus, ReadS250NoCr} << L{"OK\r\n"} << true;
    QTest::newRow("lower case") << L{PlusPlusPlus, ReadS250Lower}
                                << L{"OK\r\n", "S250=5\r\n"} << true;
    QTest::newRow("rssi in data mode") << L{Rssi} << L{"+SRDRSSI: 87\r\n"} << false;
    QTest::newRow("rssi in command mode") << L{PlusPlusPlus, Rssi}
                                          << L{"OK\r\n", "+SRDRSSI: 87\r\n"} << true;
}

void TestSimDevice::commandMode()
{
    QFETCH(QList<QByteArray>, requests);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(bool, commandMode);
    Device device;
    QCOMPARE(feedEach(device, requests), replies);
    QCOMPARE(device.commandMode(), commandMode);
}

void TestSimDevice::registerReadIsDecimal()
{
    Device device;
    QVERIFY(device.setSRegister(250, 1234));
    QVERIFY(!device.setSRegister(251, 1));
    QCOMPARE(device.sRegister(251), -1);
    device.setRssi(5);
    QCOMPARE(feedEach(device, {PlusPlusPlus, ReadS250, Rssi}),
             (QList<QByteArray>{"OK\r\n", "S250=1234\r\n", "+SRDRSSI: 5\r\n"}));
    QCOMPARE(feedEach(device, {WriteS250_1}), QList<QByteArray>{"OK\r\n"});
    QCOMPARE(device.sRegister(250), 1);
}

void TestSimDevice::tables_data()
{
    QTest::addColumn<Device::Type>("type");
    QTest::addColumn<QByteArray>("readFrame");
    QTest::addColumn<QByteArray>("factoryReply");
    QTest::addColumn<QByteArray>("writeFrame");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("transmitter address table") << Device::Transmitter << QByteArray::fromHex("210107")
        << QByteArray::fromHex("011202011303000000000000000000000000000000010100")
        << QByteArray::fromHex("2119" "011404011505001606000000011808000000000000010300" "06")
        << QByteArray::fromHex("011404011505001606000000011808000000000000010300");
    // The receiver puts the masks of transmitters 0..7 and 8..15 before its 30-byte map.
    QTest::newRow("receiver transmitter map") << Device::Receiver << QByteArray::fromHex("210133")
        << QByteArray::fromHex("0f00" "130000000000000000000000000000000000000000000000000000000000")
        << QByteArray::fromHex("211f" "8001000000000000000000000000000000000000000000000000000000ff" "32")
        << QByteArray::fromHex("0f00" "8001000000000000000000000000000000000000000000000000000000ff");
}

void TestSimDevice::tables()
{
    QFETCH(Device::Type, type);
    QFETCH(QByteArray, readFrame);
    QFETCH(QByteArray, factoryReply);
    QFETCH(QByteArray, writeFrame);
    QFETCH(QByteArray, reply);
    Device device(type, 296);
    QCOMPARE(device.feed(readFrame), QList<QByteArray>{factoryReply});
    QVERIFY(device.feed(writeFrame).isEmpty());
    QCOMPARE(device.feed(readFrame), QList<QByteArray>{reply});
}

void TestSimDevice::records_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("number");

    QTest::newRow("5 at 221") << 221 << QByteArray::fromHex("2102051e") << 5;
    QTest::newRow("5 at 200") << 200 << QByteArray::fromHex("21010f") << 5;
    QTest::newRow("0 at 200") << 200 << QByteArray::fromHex("21010a") << 0;
    QTest::newRow("15 at 220") << 220 << QByteArray::fromHex("210119") << 15;
    QTest::newRow("255 at 296") << 296 << QByteArray::fromHex("2102ff1e") << 255;
}

void TestSimDevice::records()
{
    QFETCH(int, version);
    QFETCH(QByteArray, frame);
    QFETCH(int, number);
    const QByteArray record = QByteArray::fromHex("1701e80390017d0000009f8601006400c800");
    Device device(Device::Receiver, quint16(version));
    device.setRecord(number, record);
    QCOMPARE(device.feed(frame), QList<QByteArray>{record});

    device.setRecord(number, QByteArray::fromHex("0102"));
    QCOMPARE(device.feed(frame), QList<QByteArray>{QByteArray::fromHex("0102")});

    device.setRecordSilent(number, true);
    QVERIFY(device.feed(frame).isEmpty());
    device.setRecordSilent(number, false);
    device.setRecord(number, QByteArray());
    QVERIFY(device.feed(frame).isEmpty());
    QCOMPARE(device.requests().size(), 4);
}

void TestSimDevice::factoryRecords()
{
    Device device(Device::Receiver, 296);
    int markers = 0;
    QSet<quint16> levels;
    for (int n = 0; n < Device::RecordCount; ++n) {
        const QByteArray r = device.record(n);
        QCOMPARE(r.size(), Device::RecordSize);
        const quint16 level = quint16(quint8(r.at(2)) | quint8(r.at(3)) << 8);
        if (level == 9999 || level == 65535)
            ++markers;
        levels.insert(level);
    }
    QVERIFY(markers > 0);
    QVERIFY(markers < Device::RecordCount / 4);
    QVERIFY(levels.size() > 100);
}

void TestSimDevice::recordValuesPacking()
{
    sim::RecordValues v;
    v.temperature = 23;
    v.status = 1;
    v.level = 1000;
    v.frequency = 400;
    v.in1 = 125;
    v.in2 = 99999;
    v.an1 = 100;
    v.an2 = 200;
    QCOMPARE(v.toRecord(), QByteArray::fromHex("1701e80390017d0000009f8601006400c800"));
}

void TestSimDevice::measurement_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("own sensor at 200") << 200 << QByteArray::fromHex("210100")
                                       << QByteArray("$0,23,1843,812,5000,1250,285,1427#\r\n");
    QTest::newRow("sensor 2 at 221") << 221 << QByteArray::fromHex("21020208")
                                     << QByteArray("$2,23,1957,812,5000,1250,285,1427#\r\n");
    QTest::newRow("no sensor 255 at 296") << 296 << QByteArray::fromHex("2102ff08")
                                          << QByteArray("$255,23,65535,812,5000,1250,285,1427#\r\n");
}

void TestSimDevice::measurement()
{
    QFETCH(int, version);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    Device device(Device::Transmitter, quint16(version));
    QCOMPARE(device.feed(frame), QList<QByteArray>{reply});
}

void TestSimDevice::ignoredRequests_data()
{
    QTest::addColumn<Device::Type>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("frame");

    // A controller only knows the requests of its own kind and firmware.
    QTest::newRow("receiver record to transmitter") << Device::Transmitter << 296
        << QByteArray::fromHex("210f01021e81030403a55a0506070800" "02");
    QTest::newRow("transmitter record to receiver") << Device::Receiver << 296
        << QByteArray::fromHex("210e07092a8301050004141e283200" "02");
    QTest::newRow("map read on transmitter") << Device::Transmitter << 296 << QByteArray::fromHex("210133");
    QTest::newRow("address table read on receiver") << Device::Receiver << 296 << QByteArray::fromHex("210107");
    QTest::newRow("numbered record at 200") << Device::Receiver << 200 << QByteArray::fromHex("2102051e");
    QTest::newRow("old record code at 221") << Device::Receiver << 221 << QByteArray::fromHex("21010f");
    QTest::newRow("record on transmitter") << Device::Transmitter << 296 << QByteArray::fromHex("2102051e");
    QTest::newRow("sensor level at 220") << Device::Transmitter << 220 << QByteArray::fromHex("21020208");
    QTest::newRow("old level at 221") << Device::Transmitter << 221 << QByteArray::fromHex("210100");
    QTest::newRow("level on receiver") << Device::Receiver << 296 << QByteArray::fromHex("21020208");
    QTest::newRow("unknown command") << Device::Transmitter << 296 << QByteArray::fromHex("210155");
    QTest::newRow("empty frame") << Device::Transmitter << 296 << QByteArray::fromHex("2100");
    QTest::newRow("identity with an argument") << Device::Transmitter << 296 << QByteArray::fromHex("21020101");
}

void TestSimDevice::ignoredRequests()
{
    QFETCH(Device::Type, type);
    QFETCH(int, version);
    QFETCH(QByteArray, frame);
    Device device(type, quint16(version));
    const QByteArray settings = device.settings();
    QVERIFY(device.feed(frame).isEmpty());
    QCOMPARE(device.requests(), QList<QByteArray>{frame});
    QCOMPARE(device.settings(), settings);
    // The line is still in step: the next request is answered.
    QCOMPARE(device.feed(Identity).size(), 1);
}

void TestSimDevice::batching_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("one byte") << 1;
    QTest::newRow("two bytes") << 2;
    QTest::newRow("three bytes") << 3;
    QTest::newRow("seven bytes") << 7;
    QTest::newRow("eleven bytes") << 11;
    QTest::newRow("all at once") << 1000;
}

void TestSimDevice::batching()
{
    QFETCH(int, chunk);
    // Noise before, between and after the frames is skipped up to the next "!".
    const QByteArray stream = QByteArray::fromHex(
        "0055" "210101" "ff" "21042b2b2b04" "21094154533235303f0d04" "0d0a"
        "210e07092a8301050004141e28320002" "210103" "210541544f0d04" "00");
    const QList<QByteArray> expected{"<Transmitter v.296>", "OK\r\n", "S250=5\r\n",
                                     QByteArray::fromHex("07092a8301050004141e283200"), "OK\r\n"};
    Device device;
    QList<QByteArray> replies;
    for (int at = 0; at < stream.size(); at += chunk)
        replies += device.feed(stream.mid(at, chunk));
    QCOMPARE(replies, expected);
    QCOMPARE(device.requests().size(), 6);
    QVERIFY(!device.hasPartialFrame());
}

void TestSimDevice::typeChangesAtRunTime()
{
    Device device(Device::Transmitter, 296);
    QCOMPARE(device.feed(Identity), QList<QByteArray>{"<Transmitter v.296>"});
    device.setType(Device::Receiver);
    device.setVersion(221);
    QCOMPARE(device.feed(Identity), QList<QByteArray>{"<Receiver v.221>"});
    QCOMPARE(device.feed(ReadSettings),
             QList<QByteArray>{QByteArray::fromHex("030503020207000f0001020103")});
    device.clearRequests();
    QVERIFY(device.requests().isEmpty());
}

void TestSimDevice::faults_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QList<QByteArray>>("requests");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<int>("subnet");

    using L = QList<QByteArray>;
    QTest::newRow("drop every third") << QByteArray("drop3")
        << L{Identity, Identity, Identity, PlusPlusPlus, WriteS250_42, ReadS250, ReadS250, Identity}
        << L{"<Transmitter v.296>", "<Transmitter v.296>", "OK\r\n", "OK\r\n", "S250=42\r\n",
             "<Transmitter v.296>"}
        << 42;
    QTest::newRow("error at writes") << QByteArray("errorAtWrites")
        << L{PlusPlusPlus, WriteS250_42, ReadS250, Ato}
        << L{"OK\r\n", "ERROR\r\n", "S250=5\r\n", "OK\r\n"}
        << 5;
    QTest::newRow("silent") << QByteArray("silent")
        << L{Identity, PlusPlusPlus, WriteS250_42, Ato} << L{} << 5;
}

void TestSimDevice::faults()
{
    QFETCH(QByteArray, kind);
    QFETCH(QList<QByteArray>, requests);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, subnet);
    sim::Faults f;
    f.dropEvery = kind == "drop3" ? 3 : 0;
    f.errorAtWrites = kind == "errorAtWrites";
    f.silent = kind == "silent";
    Device device;
    device.setFaults(f);
    QCOMPARE(feedEach(device, requests), replies);
    QCOMPARE(device.requests(), requests);
    QCOMPARE(device.sRegister(250), subnet);
}

void TestSimDevice::garbage()
{
    sim::Faults f;
    f.garbage = true;
    Device device;
    device.setFaults(f);
    for (int i = 0; i < 20; ++i) {
        const QList<QByteArray> replies = device.feed(Identity);
        QCOMPARE(replies.size(), 1);
        const QByteArray reply = replies.first();
        QVERIFY(reply.endsWith("<Transmitter v.296>"));
        const QByteArray noise = reply.left(reply.size() - 19);
        QVERIFY2(noise.size() >= 1 && noise.size() <= 3, noise.toHex().constData());
        for (const char c : noise)
            QVERIFY(quint8(c) >= 0x80);
    }
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
