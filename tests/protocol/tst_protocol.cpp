#include "deviceconfig.h"
#include "protocol.h"

#include <QtTest>

using namespace proto;

namespace {

QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

TransmitterSettings transmitter()
{
    TransmitterSettings s;
    s.channel = 3; s.subnet = 5; s.deviceAdr = 17; s.rs485Speed = 2;
    s.radioSpeed = 2; s.power = 7; s.dutAdr = 1;
    return s;
}

ReceiverSettings receiver(quint8 fq2Mode = 0)
{
    ReceiverSettings s;
    s.channel = 3; s.subnet = 5; s.period = 2; s.rs485Speed = 1; s.radioSpeed = 2;
    s.power = 7; s.fq1Mode = 1; s.fq2Mode = fq2Mode; s.mask0 = 0x09; s.mask1 = 0x80;
    s.fq1 = 5; s.fq2 = 12; s.an1 = 3; s.an2 = 4;
    return s;
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void frames_data()
    {
        QTest::addColumn<QByteArray>("actual");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("read settings") << readSettingsRequest() << hex("210103");
        QTest::newRow("table, receiver") << readTableRequest(Receiver) << hex("210133");
        QTest::newRow("tx write") << writeSettingsFrame(transmitter()) << hex("210e 0305110202070001 0a0a0a0a 01 02");
        QTest::newRow("rx write v221") << writeSettingsFrame(receiver(), 221) << hex("210f 03050201020701 0980 050c 0304 01 02");
        QTest::newRow("rx write v220") << writeSettingsFrame(receiver(1), 220) << hex("210f 03050201020700 0980 858c 0304 01 02");
        QTest::newRow("ATS250=0") << registerWriteFrame(250, 0) << hex("210a 4154533235303d300d 04");
        QTest::newRow("data n=15 v220") << transmitterDataRequest(220, 15) << hex("210119");
        QTest::newRow("measurement v220") << levelRequest(220, 2) << hex("210100");
        QTest::newRow("measurement v221, third sensor") << levelRequest(221, 2) << hex("21020208");
        const QByteArray seq = hex("0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
        QTest::newRow("address table") << writeAddressTableFrame(AddressTable::parse(seq))
                                       << hex("2119 0102030405060708090a0b0c0d0e0f101112131415161718 06");
        QTest::newRow("receiver table, long one cut") << writeReceiverTableFrame(seq)
            << hex("211f 0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e 32");
    }
    void frames()
    {
        QFETCH(QByteArray, actual);
        QFETCH(QByteArray, expected);
        QCOMPARE(actual.toHex(), expected.toHex());
    }

    void mergeSettingsReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<quint8>("deviceType");
        QTest::addColumn<quint16>("version");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QByteArray>("merged");
        const QByteArray ones = hex("0101010101010101010101010101");   // the cache before
        const QByteArray full12 = hex("101112131415161718191a1b 01 01"), full13 = hex("101112131415161718191a1b1c 01");
        const quint8 tx = Transmitter, rx = Receiver;
        const QByteArray bytes = hex("101112131415161718191a1b1c1d1e1f");
        QTest::newRow("tx v295, 12 bytes keep byte 12") << bytes.left(12) << tx << quint16(295) << true << full12;
        QTest::newRow("tx v295, 11 bytes") << bytes.left(11) << tx << quint16(295) << false << ones;
        QTest::newRow("tx v296, over-long") << bytes.left(16) << tx << quint16(296) << true << full13;
        QTest::newRow("rx v296, 13 bytes") << bytes.left(13) << rx << quint16(296) << false << ones;
    }
    void mergeSettingsReply()
    {
        QByteArray cached = hex("0101010101010101010101010101");
        QFETCH(QByteArray, reply);
        QFETCH(quint8, deviceType);
        QFETCH(quint16, version);
        QTEST(proto::mergeSettingsReply(cached, reply, deviceType, version), "complete");
        QTEST(cached, "merged");
    }

    // The scanners on a reply and on every prefix of it (a reply split across batches): "not
    // yet" or the final answer. Registers and the signal level (no tag) also at the check tick,
    // which takes a number not yet ended ("=": as without the tick).
    void scan_data()
    {
        QTest::addColumn<QString>("scanner");   // "<" identity, "$" measurement, else the register tag
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("found");     // empty while incomplete
        QTest::addColumn<QString>("atTick");
        QTest::newRow("receiver") << "<" << QByteArray("<Receiver v.221>") << "1 221" << "=";
        QTest::newRow("transmitter amid lines") << "<" << QByteArray("\r\n<Transmitter v.296>\r\n") << "2 296" << "=";
        QTest::newRow("tag at position 0") << "<" << QByteArray("Receiver v.221>") << "" << "=";
        QTest::newRow("two digits still coming") << "<" << QByteArray("<Receiver v.22") << "" << "=";
        QTest::newRow("S250 two-digit subnet") << "S250=" << QByteArray("ATS250?\r\r\nS250=12\r\n") << "12" << "=";
        QTest::newRow("S250 number not ended") << "S250=" << QByteArray("S250=12") << "" << "12";
        QTest::newRow("RSSI 87 amid lines") << "" << QByteArray("\r\n+SRDRSSI: 87\r\nOK\r\n") << "87" << "=";
        QTest::newRow("RSSI line not ended") << "" << QByteArray("+SRDRSSI: 12") << "" << "12";
        QTest::newRow("measurement") << "$" << QByteArray("$1,25,1200,0,99999,0,100,200#") << "25|1200|Hi|Lo|350.277|700.554" << "=";
        QTest::newRow("measurement amid lines") << "$" << QByteArray("\r\n$1,-5,4095,7,125,1234567,0,1#\r\n")
                                                << "-5|4095|12.5|123457|0|3.50277" << "=";
        QTest::newRow("no end mark") << "$" << QByteArray("$1,25,1200,0,99999,0,100,200") << "" << "=";
    }
    void scan()
    {
        QFETCH(QString, scanner);
        QFETCH(QByteArray, reply);
        QFETCH(QString, found);
        QFETCH(QString, atTick);
        const auto show = [&](const QByteArray &r, bool tick) {
            if (scanner == "<") {
                const auto id = scanIdentity(r);
                return id ? QStringLiteral("%1 %2").arg(id->deviceType).arg(id->version) : QString();
            }
            if (scanner == "$") {
                const auto m = scanMeasurement(r);
                return m ? QStringList{m->temp, m->level, m->freq1, m->freq2, m->an1, m->an2}.join('|') : QString();
            }
            const auto v = scanner.isEmpty() ? scanRssi(r, tick) : scanRegister(r, scanner.toLatin1(), tick);
            return v ? QString::number(*v) : QString();
        };
        QCOMPARE(show(reply, false), found);
        if (scanner != "<" && scanner != "$")
            QCOMPARE(show(reply, true), atTick == "=" ? found : atTick);
        for (int n = 0; n < reply.size(); ++n) {
            const QString part = show(reply.left(n), false);
            QVERIFY2(part.isEmpty() || part == found, qPrintable(QString("prefix %1").arg(n)));
        }
    }

    void transmitterRecord_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fields");   // empty when the record is refused
        QTest::newRow("data") << hex("19 00 b004 3412 7d000000 9f860100 6400 c800") << "25 0 1200 4660 125 99999 100 200 0";
        QTest::newRow("19 bytes") << hex("19 00 b004 3412 7d000000 9f860100 6400 c800 00") << "";
    }
    void transmitterRecord()
    {
        QFETCH(QByteArray, bytes);
        const auto r = TransmitterRecord::parse(bytes);
        QTEST(r ? QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9").arg(r->temperature).arg(r->reserved).arg(r->level)
                      .arg(r->frequency).arg(r->fq1).arg(r->fq2).arg(r->an1).arg(r->an2).arg(r->levelIsMarker())
                : QString(), "fields");
        if (r)
            QCOMPARE(r->pack().toHex(), bytes.toHex());
    }

    // Transmitters 0..15 from the two masks, 16..255 from the map (bit 0 of byte 0 is 16).
    void nextPolledTransmitter()
    {
        const QByteArray first = QByteArray(1, '\x01').append(29, '\0'), last = QByteArray(29, '\0').append('\x80');
        QCOMPARE(proto::nextPolledTransmitter(0x08, 0, first, 0), 3);
        QCOMPARE(proto::nextPolledTransmitter(0x08, 0, first, 4), 16);
        QCOMPARE(proto::nextPolledTransmitter(0, 0, last, 255), 255);
        QCOMPARE(proto::nextPolledTransmitter(0, 0, QByteArray(30, '\0'), 0), -1);
    }

    // What the read-back names after a write: only what the device reports for its firmware,
    // by the field's label in the window, with the sent and the read value.
    void compareConfigs_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("change");   // what the device reports differently
        QTest::addColumn<QStringList>("named");
        const int tx = Transmitter, rx = Receiver;
        QTest::newRow("range byte unreported at 295") << tx << 295 << "range" << QStringList();
        QTest::newRow("range byte at 296") << rx << 296 << "range" << QStringList{"Диапазон значений ДУТ: 4096 / 65536"};
        QTest::newRow("table row at 221") << tx << 221 << "table" << QStringList{"Таблица адресов, строка 2"};
        QTest::newRow("receiver masks") << rx << 200 << "masks" << QStringList{"Адреса опрашиваемых передатчиков 0–15: 0, 3, 15 / 0, 3"};
        QTest::newRow("receiver map at 221") << rx << 221 << "table" << QStringList{"Адреса опрашиваемых передатчиков 16–255"};
    }
    void compareConfigs()
    {
        QFETCH(int, type);
        QFETCH(int, version);
        QFETCH(QString, change);
        DeviceConfig sent;
        sent.deviceType = quint8(type);
        sent.version = quint16(version);
        sent.transmitter = transmitter();
        sent.receiver = receiver();
        DeviceConfig read = sent;
        if (change == "range")
            read.transmitter.range4096 = read.receiver.range4096 = false;
        else if (change == "masks")
            read.receiver.mask1 = 0;
        else if (change == "table")
            read.addressTable.rows[1].on = quint8(read.receiverMap[29] = '\x80');
        QStringList named;
        for (const DeviceConfig::Difference &d : sent.compare(read))
            named << (d.field.startsWith("Таблица") || d.field.endsWith("16–255") ? d.field
                                                                                     : d.field + ": " + d.sent + " / " + d.read);
        QTEST(named, "named");
    }

    // When the fast pace may decide a step: never on part of a reply, a longer record or ERROR.
    void replyComplete_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("complete");
        const QByteArray record13 = hex("03051102020700010a0a0a0a01");
        QTest::newRow("record, exact") << int(SendType::readSetting) << record13 << true;
        QTest::newRow("record, noise before") << int(SendType::readSetting) << ("\x7f" + record13) << false;
        QTest::newRow("ERROR") << int(SendType::saveSimParam) << QByteArray("\r\nERROR\r\nOK\r\n") << false;
    }
    void replyComplete()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, reply);
        QTEST(proto::replyComplete(SendType::SendType(kind), reply, Transmitter, 296), "complete");
    }

    // A settings reply fills the record's fields, the power staying the radio module's; the
    // receiver map, the ДУТ list and a write's acceptance.
    void helpers()
    {
        DeviceConfig c;
        c.deviceType = Transmitter;
        c.version = 296;
        c.transmitter.power = 3;
        c.takeSettingsReply(hex("0305110202070001 0a0a0a0a 00"));
        QCOMPARE(writeSettingsFrame(c.transmitter).toHex(), hex("210e 0305110202030001 0a0a0a0a 00 02").toHex());
        const QByteArray reply = hex("aabb 01 00000000000000000000000000000000000000000000000000000000 80");
        QCOMPARE(receiverMapFromReply(reply).toHex(), reply.mid(2).toHex());
        QCOMPARE(dutSelectorItems(4, AddressTable::parse(hex("010a05 000b06 010c07 000000 000000 000000 01ff08 010200"))),
                 (QStringList{"4", "5", "-", "7", "-", "-", "-", "8"}));
        QVERIFY(!replyAcceptsWrite("\r\nERROR\r\nOK\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
