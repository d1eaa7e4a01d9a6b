#include "protocol.h"

#include <QtTest>

using namespace proto;

Q_DECLARE_METATYPE(std::optional<int>)

namespace {

QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

QString describe(const TransmitterSettings &s)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13")
        .arg(s.channel).arg(s.subnet).arg(s.deviceAdr).arg(s.regim).arg(s.rs485Speed)
        .arg(s.radioSpeed).arg(s.power).arg(s.dutAdr).arg(s.timeFd1).arg(s.timeFd2)
        .arg(s.timeAd1).arg(s.timeAd2).arg(s.range4096);
}

QString describe(const ReceiverSettings &s)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15 %16")
        .arg(s.channel).arg(s.subnet).arg(s.period).arg(s.regim).arg(s.rs485Speed)
        .arg(s.radioSpeed).arg(s.power).arg(s.fq1Mode).arg(s.fq2Mode).arg(s.mask0)
        .arg(s.mask1).arg(s.fq1).arg(s.fq2).arg(s.an1).arg(s.an2).arg(s.range4096);
}

TransmitterSettings sampleTransmitter()
{
    TransmitterSettings s;
    s.channel = 3; s.subnet = 5; s.deviceAdr = 17; s.regim = 0; s.rs485Speed = 2;
    s.radioSpeed = 2; s.power = 7; s.dutAdr = 1; s.range4096 = true;
    return s;
}

ReceiverSettings sampleReceiver(quint8 fq2 = 12, quint8 fq2Mode = 0, bool range4096 = true)
{
    ReceiverSettings s;
    s.channel = 3; s.subnet = 5; s.period = 2; s.rs485Speed = 1; s.radioSpeed = 2;
    s.power = 7; s.fq1Mode = 1; s.fq2Mode = fq2Mode; s.mask0 = 0x09; s.mask1 = 0x80;
    s.fq1 = 5; s.fq2 = fq2; s.an1 = 3; s.an2 = 4; s.range4096 = range4096;
    return s;
}

QByteArray counting(int n, int first = 1)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(char(first + i));
    return b;
}

// A reply split across batches: every prefix gives "not yet" or the final answer.
template <typename Scan, typename Same>
void checkPrefixes(const QByteArray &reply, Scan scan, Same same)
{
    const auto whole = scan(reply);
    for (int n = 0; n < reply.size(); ++n) {
        const auto part = scan(reply.left(n));
        if (part)
            QVERIFY2(whole && same(*part, *whole), qPrintable(QString("prefix %1").arg(n)));
    }
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void roundTrip_data();
    void roundTrip();
    void unpackReceiverOutputs_data();
    void unpackReceiverOutputs();
    void mergeSettingsReply_data();
    void mergeSettingsReply();
    void scanIdentity_data();
    void scanIdentity();
    void scanRegister_data();
    void scanRegister();
    void scanRssi_data();
    void scanRssi();
    void scanMeasurement_data();
    void scanMeasurement();
    void formatting();
    void transmitterRecord_data();
    void transmitterRecord();
    void receiverMap();
    void nextPolledTransmitter_data();
    void nextPolledTransmitter();
    void tableHelpers();
};

void TestProtocol::frames_data()
{
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");
    TransmitterSettings transparent = sampleTransmitter();
    transparent.regim = 1;
    TransmitterSettings wide = sampleTransmitter();
    wide.range4096 = false;

    QTest::newRow("version") << versionRequest() << hex("210101");
    QTest::newRow("read settings") << readSettingsRequest() << hex("210103");
    QTest::newRow("table, transmitter") << readTableRequest(Transmitter) << hex("210107");
    QTest::newRow("table, unidentified") << readTableRequest(NoDevice) << hex("210107");
    QTest::newRow("table, receiver") << readTableRequest(Receiver) << hex("210133");
    QTest::newRow("transmitter write")
        << writeSettingsFrame(sampleTransmitter()) << hex("210e 0305110202070001 0a0a0a0a 01 02");
    QTest::newRow("transmitter write, transparent")
        << writeSettingsFrame(transparent) << hex("210e 0305118202070001 0a0a0a0a 01 02");
    QTest::newRow("transmitter write, 65536")
        << writeSettingsFrame(wide) << hex("210e 0305110202070001 0a0a0a0a 00 02");
    QTest::newRow("receiver write v221")
        << writeSettingsFrame(sampleReceiver(), 221) << hex("210f 03050201020701 0980 050c 0304 01 02");
    QTest::newRow("receiver write v221, both discrete, 65536")
        << writeSettingsFrame(sampleReceiver(200, 1, false), 221)
        << hex("210f 03050201020703 0980 05c8 0304 00 02");
    QTest::newRow("receiver write v220")
        << writeSettingsFrame(sampleReceiver(12, 1), 220) << hex("210f 03050201020700 0980 858c 0304 01 02");
    QTest::newRow("receiver write v200")
        << writeSettingsFrame(sampleReceiver(), 200) << hex("210f 03050201020700 0980 850c 0304 01 02");
    QTest::newRow("AT subnet 0") << atFrame("ATS250=0\r") << hex("210a 4154533235303d300d 04");
    QTest::newRow("register write") << registerWriteFrame(250, 0) << hex("210a 4154533235303d300d 04");
    QTest::newRow("register read") << registerReadFrame(250) << hex("2109 415453323530 3f0d 04");
    QTest::newRow("+++") << commandModeFrame() << hex("2104 2b2b2b 04");
    QTest::newRow("ATO") << dataModeFrame() << hex("2105 41544f0d 04");
    QTest::newRow("RSSI") << rssiRequestFrame() << hex("210e 41542b53524452535349 3f0d0a 04");
    QTest::newRow("level v221 index 2") << levelRequest(221, 2) << hex("21020208");
    QTest::newRow("level v221 empty list") << levelRequest(221, -1) << hex("2102ff08");
    QTest::newRow("level v220") << levelRequest(220, 2) << hex("210100");
    QTest::newRow("data n=5 v200") << transmitterDataRequest(200, 5) << hex("21010f");
    QTest::newRow("data n=15 v220") << transmitterDataRequest(220, 15) << hex("210119");
    QTest::newRow("data n=5 v221") << transmitterDataRequest(221, 5) << hex("2102051e");
    QTest::newRow("address table")
        << writeAddressTableFrame(counting(24))
        << hex("2119 0102030405060708090a0b0c0d0e0f101112131415161718 06");
    QTest::newRow("address table, short one padded")
        << writeAddressTableFrame(hex("0102"))
        << hex("2119 010200000000000000000000000000000000000000000000 06");
    QTest::newRow("receiver table")
        << writeReceiverTableFrame(counting(30))
        << hex("211f 0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e 32");
    QTest::newRow("receiver table, long one cut")
        << writeReceiverTableFrame(counting(31))
        << hex("211f 0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e 32");
}

void TestProtocol::frames()
{
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual.toHex(), expected.toHex());
}

void TestProtocol::roundTrip_data()
{
    QTest::addColumn<quint16>("version");
    for (quint16 v : {200, 220, 221, 295, 296})
        QTest::addRow("v%d", v) << v;
}

void TestProtocol::roundTrip()
{
    QFETCH(quint16, version);
    TransmitterSettings t = sampleTransmitter();
    t.regim = 1; t.timeFd1 = 1; t.timeAd2 = 250; t.range4096 = false;
    QCOMPARE(packTransmitterSettings(t).size(), kTransmitterRecordSize);
    QCOMPARE(describe(unpackTransmitterSettings(packTransmitterSettings(t))), describe(t));

    // Up to 220 the outputs take transmitters 0..15 only.
    const ReceiverSettings r = sampleReceiver(hasWideAddresses(version) ? 255 : 15, 1, false);
    QCOMPARE(packReceiverSettings(r, version).size(), kReceiverRecordSize);
    QCOMPARE(describe(unpackReceiverSettings(packReceiverSettings(r, version), version)), describe(r));
}

void TestProtocol::unpackReceiverOutputs_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<quint16>("version");
    QTest::addColumn<QString>("outputs");   // fq1 fq1Mode fq2 fq2Mode range4096

    QTest::newRow("v200 byte 9 = 0x85") << hex("0000000000000000008500000000") << quint16(200) << "5 1 0 0 0";
    QTest::newRow("v221 byte 9 = 0x85") << hex("0000000000000200008503000000") << quint16(221) << "133 0 3 1 0";
    QTest::newRow("v296 range byte") << hex("0000000000000000000000000001") << quint16(296) << "0 0 0 0 1";
    QTest::newRow("short record") << hex("0000000000000300") << quint16(221) << "0 1 0 1 0";
}

void TestProtocol::unpackReceiverOutputs()
{
    QFETCH(QByteArray, record);
    QFETCH(quint16, version);
    QFETCH(QString, outputs);
    const ReceiverSettings s = unpackReceiverSettings(record, version);
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5").arg(s.fq1).arg(s.fq1Mode).arg(s.fq2).arg(s.fq2Mode)
                 .arg(s.range4096), outputs);
}

void TestProtocol::mergeSettingsReply_data()
{
    QTest::addColumn<QByteArray>("cached");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<quint8>("deviceType");
    QTest::addColumn<quint16>("version");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("merged");
    const QByteArray ones = hex("0101010101010101010101010101");

    QTest::newRow("transmitter v295, 12 bytes keep byte 12")
        << ones << counting(12, 0x10) << quint8(Transmitter) << quint16(295) << true
        << hex("101112131415161718191a1b 01 01");
    QTest::newRow("transmitter v295, 11 bytes")
        << ones << counting(11, 0x10) << quint8(Transmitter) << quint16(295) << false << ones;
    QTest::newRow("transmitter v296, 13 bytes")
        << ones << counting(13, 0x10) << quint8(Transmitter) << quint16(296) << true
        << hex("101112131415161718191a1b1c 01");
    QTest::newRow("transmitter v296, 12 bytes")
        << ones << counting(12, 0x10) << quint8(Transmitter) << quint16(296) << false << ones;
    QTest::newRow("transmitter v296, over-long")
        << ones << counting(16, 0x10) << quint8(Transmitter) << quint16(296) << true
        << hex("101112131415161718191a1b1c 01");
    QTest::newRow("unidentified reads the transmitter layout")
        << ones << counting(12, 0x10) << quint8(NoDevice) << quint16(0) << true
        << hex("101112131415161718191a1b 01 01");
    QTest::newRow("receiver v295, 13 bytes keep byte 13")
        << ones << counting(13, 0x10) << quint8(Receiver) << quint16(295) << true
        << hex("101112131415161718191a1b1c 01");
    QTest::newRow("receiver v296, 13 bytes")
        << ones << counting(13, 0x10) << quint8(Receiver) << quint16(296) << false << ones;
    QTest::newRow("receiver v296, 14 bytes")
        << ones << hex("101112131415161718191a1b1c00") << quint8(Receiver) << quint16(296) << true
        << hex("101112131415161718191a1b1c00");
    QTest::newRow("empty cache grows to 14 bytes")
        << QByteArray() << counting(12, 0x10) << quint8(Transmitter) << quint16(221) << true
        << hex("101112131415161718191a1b 00 00");
}

void TestProtocol::mergeSettingsReply()
{
    QFETCH(QByteArray, cached);
    QFETCH(QByteArray, reply);
    QFETCH(quint8, deviceType);
    QFETCH(quint16, version);
    QFETCH(bool, complete);
    QFETCH(QByteArray, merged);
    QCOMPARE(proto::mergeSettingsReply(cached, reply, deviceType, version), complete);
    QCOMPARE(cached.toHex(), merged.toHex());
}

void TestProtocol::scanIdentity_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("label");

    QTest::newRow("receiver") << QByteArray("<Receiver v.221>") << true << 1 << 221 << "<Receiver v.221>";
    QTest::newRow("transmitter amid lines")
        << QByteArray("\r\n<Transmitter v.296>\r\n") << true << 2 << 296 << "<Transmitter v.296>";
    QTest::newRow("two digits") << QByteArray("<Transmitter v.95>") << true << 2 << 95 << "<Transmitter v.95>";
    QTest::newRow("not a number") << QByteArray("<Receiver v.abc>") << true << 1 << 0 << "<Receiver v.abc>";
    QTest::newRow("four digits") << QByteArray("<Receiver v.2961") << true << 1 << 296 << "<Receiver v.2961";
    QTest::newRow("no closing mark") << QByteArray("<Receiver v.221 ") << true << 1 << 221 << "<Receiver v.221 ";
    QTest::newRow("no opening mark") << QByteArray("xReceiver v.221>") << true << 1 << 221 << "xReceiver v.221>";
    QTest::newRow("zero byte after digits")
        << QByteArray("<Receiver v.22\0>", 16) << true << 1 << 22 << QString::fromUtf8("<Receiver v.22\0>", 16);
    QTest::newRow("earlier tag counts")
        << QByteArray("<Transmitter v.296><Receiver v.221>") << true << 2 << 296 << "<Transmitter v.296>";
    QTest::newRow("tag at position 0") << QByteArray("Receiver v.221>") << false << 0 << 0 << "";
    QTest::newRow("digits not ended") << QByteArray("<Receiver v.221") << false << 0 << 0 << "";
    QTest::newRow("garbage") << QByteArray("\xff\x00 OK\r\n", 6) << false << 0 << 0 << "";
}

void TestProtocol::scanIdentity()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, complete);
    const auto id = proto::scanIdentity(reply);
    QCOMPARE(id.has_value(), complete);
    if (complete) {
        QTEST(int(id->deviceType), "deviceType");
        QTEST(int(id->version), "version");
        QTEST(id->label, "label");
    }
    checkPrefixes(reply, proto::scanIdentity, [](const Identity &a, const Identity &b) {
        return a.deviceType == b.deviceType && a.version == b.version;
    });
}

void TestProtocol::scanRegister_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<std::optional<int>>("value");
    const std::optional<int> none;

    QTest::newRow("one digit") << QByteArray("S250=5\r\nOK\r\n") << QByteArray("S250=") << std::optional<int>(5);
    QTest::newRow("two-digit subnet") << QByteArray("ATS250?\r\r\nS250=12\r\n") << QByteArray("S250=") << std::optional<int>(12);
    QTest::newRow("power") << QByteArray("S202=7\r") << QByteArray("S202=") << std::optional<int>(7);
    QTest::newRow("speed") << QByteArray("S201=3\r") << QByteArray("S201=") << std::optional<int>(3);
    QTest::newRow("five digits") << QByteArray("S250=12345") << QByteArray("S250=") << std::optional<int>(12345);
    QTest::newRow("six digits") << QByteArray("S250=123456\r") << QByteArray("S250=") << std::optional<int>(12345);
    QTest::newRow("non-digit after tag") << QByteArray("S250=x\r") << QByteArray("S250=") << std::optional<int>(0);
    QTest::newRow("number not ended") << QByteArray("S250=12") << QByteArray("S250=") << none;
    QTest::newRow("nothing after tag") << QByteArray("S250=") << QByteArray("S250=") << none;
    QTest::newRow("other tag") << QByteArray("S202=7\r") << QByteArray("S250=") << none;
    QTest::newRow("garbage") << QByteArray("ERROR\r\n") << QByteArray("S250=") << none;
}

void TestProtocol::scanRegister()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, tag);
    QTEST(proto::scanRegister(reply, tag), "value");
    checkPrefixes(reply, [&](const QByteArray &r) { return proto::scanRegister(r, tag); },
                  std::equal_to<int>());
}

void TestProtocol::scanRssi_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<std::optional<int>>("value");
    const std::optional<int> none;

    QTest::newRow("87") << QByteArray("+SRDRSSI: 87\r\n") << std::optional<int>(87);
    QTest::newRow("x7") << QByteArray("+SRDRSSI: x7\r\n") << std::optional<int>(7);
    QTest::newRow("123") << QByteArray("\r\n+SRDRSSI: 123\r\n\r\nOK\r\n") << std::optional<int>(123);
    QTest::newRow("300 is not cut") << QByteArray("+SRDRSSI: 300") << std::optional<int>(300);
    QTest::newRow("7 and line end") << QByteArray("+SRDRSSI: 7\r") << std::optional<int>(7);
    QTest::newRow("1x2") << QByteArray("+SRDRSSI: 1x2") << std::optional<int>(12);
    QTest::newRow("four digits") << QByteArray("+SRDRSSI: 1234") << std::optional<int>(123);
    QTest::newRow("empty line") << QByteArray("+SRDRSSI: \n") << std::optional<int>(0);
    QTest::newRow("line not ended") << QByteArray("+SRDRSSI: 12") << none;
    QTest::newRow("tag without space") << QByteArray("+SRDRSSI:7\r\n") << none;
}

void TestProtocol::scanRssi()
{
    QFETCH(QByteArray, reply);
    QTEST(proto::scanRssi(reply), "value");
    checkPrefixes(reply, proto::scanRssi, std::equal_to<int>());
}

void TestProtocol::scanMeasurement_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown");   // temp|level|freq1|freq2|an1|an2, empty for nullopt

    QTest::newRow("example") << QByteArray("$1,25,1200,0,99999,0,100,200#") << "25|1200|Hi|Lo|350.277|700.554";
    QTest::newRow("amid lines, fractions")
        << QByteArray("\r\n$1,-5,4095,7,125,1234567,0,1#\r\n") << "-5|4095|12.5|123457|0|3.50277";
    QTest::newRow("non-integer fields") << QByteArray("$1,t,1200,0,12.5,abc,x,200#") << "0|1200|Lo|Lo|0|700.554";
    QTest::newRow("extra field ignored") << QByteArray("$1,2,3,4,5,6,7,8,9#") << "2|3|0.5|0.6|24.5194|28.0222";
    QTest::newRow("'#' before '$'") << QByteArray("#x$1,25,1200,0,99999,0,100,200#") << "25|1200|Hi|Lo|350.277|700.554";
    QTest::newRow("seven fields") << QByteArray("$1,25,1200,0,99999,0,100#") << "";
    QTest::newRow("no end mark") << QByteArray("$1,25,1200,0,99999,0,100,200") << "";
    QTest::newRow("garbage") << QByteArray("OK\r\n") << "";
}

void TestProtocol::scanMeasurement()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);
    const auto join = [](const Measurement &m) {
        return QStringList{m.temp, m.level, m.freq1, m.freq2, m.an1, m.an2}.join('|');
    };
    const auto m = proto::scanMeasurement(reply);
    QCOMPARE(m ? join(*m) : QString(), shown);
    checkPrefixes(reply, proto::scanMeasurement,
                  [&](const Measurement &a, const Measurement &b) { return join(a) == join(b); });
}

void TestProtocol::formatting()
{
    QCOMPARE(formatFrequency(125), QString("12.5"));
    QCOMPARE(formatFrequency(99999), QString("Hi"));
    QCOMPARE(formatFrequency(0), QString("Lo"));
    QCOMPARE(formatFrequency(4294967295LL), QString("4.29497e+08"));
    QCOMPARE(formatMillivolts(65535), QString("229554"));
}

void TestProtocol::transmitterRecord_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fields");   // empty when the record is refused

    QTest::newRow("data") << hex("19 00 b004 3412 7d000000 9f860100 6400 c800") << "25 0 1200 4660 125 99999 100 200 0";
    QTest::newRow("marker 0xFFFF") << hex("00 07 ffff 0000 00000000 ffffffff 0000 ffff") << "0 7 65535 0 0 4294967295 0 65535 1";
    QTest::newRow("marker 9999") << hex("00 00 0f27 0000 00000000 00000000 0000 0000") << "0 0 9999 0 0 0 0 0 1";
    QTest::newRow("17 bytes") << hex("19 00 b004 3412 7d000000 9f860100 6400 c8") << "";
    QTest::newRow("19 bytes") << hex("19 00 b004 3412 7d000000 9f860100 6400 c800 00") << "";
    QTest::newRow("empty") << QByteArray() << "";
}

void TestProtocol::transmitterRecord()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fields);
    const auto r = TransmitterRecord::parse(bytes);
    QCOMPARE(r.has_value(), !fields.isEmpty());
    if (!r)
        return;
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9").arg(r->temperature).arg(r->reserved)
                 .arg(r->level).arg(r->frequency).arg(r->fq1).arg(r->fq2).arg(r->an1).arg(r->an2)
                 .arg(r->levelIsMarker()), fields);
    QCOMPARE(r->pack().toHex(), bytes.toHex());
}

void TestProtocol::receiverMap()
{
    const QByteArray reply = hex("aabb 01 00000000000000000000000000000000000000000000000000000000 80");
    const QByteArray map = receiverMapFromReply(reply);
    QCOMPARE(map.toHex(), reply.mid(2).toHex());
    QVERIFY(receiverMapHas(map, 16));
    QVERIFY(!receiverMapHas(map, 17));
    QVERIFY(receiverMapHas(map, 255));
    QVERIFY(!receiverMapHas(map, 254));
    QVERIFY(!receiverMapHas(QByteArray(30, '\xff'), 15));
    QVERIFY(!receiverMapHas(QByteArray(30, '\xff'), 256));
    QVERIFY(!receiverMapHas(hex("ff"), 24));
    QCOMPARE(receiverMapFromReply(hex("aabb0102")).toHex(), hex("0102").append(28, '\0').toHex());
}

void TestProtocol::nextPolledTransmitter_data()
{
    QTest::addColumn<quint8>("mask0");
    QTest::addColumn<quint8>("mask1");
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("next");
    const QByteArray first = QByteArray(1, '\x01').append(29, '\0');
    const QByteArray last = QByteArray(29, '\0').append('\x80');

    QTest::newRow("box 3 first") << quint8(0x08) << quint8(0) << first << 0 << 3;
    QTest::newRow("after 3 the table") << quint8(0x08) << quint8(0) << first << 4 << 16;
    QTest::newRow("after 16 none") << quint8(0x08) << quint8(0) << first << 17 << -1;
    QTest::newRow("box 15") << quint8(0) << quint8(0x80) << QByteArray(30, '\0') << 0 << 15;
    QTest::newRow("255 itself") << quint8(0) << quint8(0) << last << 255 << 255;
    QTest::newRow("start above 255") << quint8(0xff) << quint8(0xff) << last << 256 << -1;
    QTest::newRow("nothing selected") << quint8(0) << quint8(0) << QByteArray(30, '\0') << 0 << -1;
}

void TestProtocol::nextPolledTransmitter()
{
    QFETCH(quint8, mask0);
    QFETCH(quint8, mask1);
    QFETCH(QByteArray, map);
    QFETCH(int, start);
    QTEST(proto::nextPolledTransmitter(mask0, mask1, map, start), "next");
}

void TestProtocol::tableHelpers()
{
    QCOMPARE(tableReplySize(Receiver), 32);
    QCOMPARE(tableReplySize(Transmitter), 24);
    QCOMPARE(dutSelectorItems(4, hex("010a05 000b06 010c07 000000 000000 000000 01ff08 010200")),
             (QStringList{"4", "5", "-", "7", "-", "-", "-", "8"}));
    QVERIFY(replyHasOk("\r\nERROR\r\nOK\r\n"));
    QVERIFY(!replyAcceptsWrite("\r\nERROR\r\nOK\r\n"));
    QVERIFY(replyAcceptsWrite("\r\nOK\r\n"));
    QVERIFY(!replyHasOk("O"));
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
