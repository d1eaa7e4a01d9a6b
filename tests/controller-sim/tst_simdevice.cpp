// The simulated controller against byte-exact requests: no I/O.

#include "simdevice.h"

#include <QtTest>

using sim::Device;
using L = QList<QByteArray>;

Q_DECLARE_METATYPE(Device::Type)
Q_DECLARE_METATYPE(sim::Faults)

namespace {

// Radio module frames (command 0x04 with the AT text).
const QByteArray PlusPlusPlus = QByteArray::fromHex("21042b2b2b04");                  // "+++"
const QByteArray Ato = QByteArray::fromHex("210541544f0d04");                        // "ATO\r"
const QByteArray ReadS250 = QByteArray::fromHex("21094154533235303f0d04");           // "ATS250?\r"
const QByteArray ReadS202 = QByteArray::fromHex("21094154533230323f0d04");           // "ATS202?\r"
const QByteArray WriteS250_42 = QByteArray::fromHex("210b4154533235303d34320d04");   // "ATS250=42\r"
const QByteArray WriteS202_8 = QByteArray::fromHex("210a4154533230323d380d04");      // "ATS202=8\r"
const QByteArray ReadS999 = QByteArray::fromHex("21094154533939393f0d04");           // "ATS999?\r"
const QByteArray Rssi = QByteArray::fromHex("210e41542b535244525353493f0d0a04");     // "AT+SRDRSSI?\r\n"
const QByteArray Ok("OK\r\n");
const QByteArray Error("ERROR\r\n");

const QByteArray Identity = QByteArray::fromHex("210101");
const QByteArray ReadSettings = QByteArray::fromHex("210103");
const QByteArray TransmitterIdentity("<Transmitter v.296>");

void addRow(const char *tag, Device::Type type, int version, const L &requests, const L &replies,
            int subnet = 5, const sim::Faults &faults = {})
{
    QTest::newRow(tag) << type << version << requests << replies << subnet << faults;
}

} // namespace

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void exchange_data();
    void exchange();
    void records_data();
    void records();
    void batching_data();
    void batching();
};

// Requests in one by one, replies out; then the subnet register, which shows whether writes
// were taken. A request the controller does not know is not answered and leaves the line in
// step: the request behind it is.
void TestSimDevice::exchange_data()
{
    QTest::addColumn<Device::Type>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<L>("requests");
    QTest::addColumn<L>("replies");
    QTest::addColumn<int>("subnet");
    QTest::addColumn<sim::Faults>("faults");

    const auto T = Device::Transmitter;
    const auto R = Device::Receiver;
    addRow("identity transmitter 200", T, 200, {Identity}, {"<Transmitter v.200>"});
    addRow("identity receiver 221", R, 221, {Identity}, {"<Receiver v.221>"});

    // Up to 295 the controller keeps the last settings byte but does not report it.
    const QByteArray tx = QByteArray::fromHex("210e07092a8301050004141e283200" "02");
    const QByteArray rx = QByteArray::fromHex("210f01021e81030403a55a0506070800" "02");
    const QByteArray txOld = QByteArray::fromHex("07092a8301050004141e2832");
    const QByteArray rxOld = QByteArray::fromHex("01021e81030403a55a05060708");
    const QByteArray txNew = QByteArray::fromHex("07092a8301050004141e283200");
    const QByteArray rxNew = QByteArray::fromHex("01021e81030403a55a0506070800");
    for (int v : {200, 221, 295, 296}) {
        addRow(qPrintable(QStringLiteral("settings transmitter %1").arg(v)), T, v, {tx, ReadSettings},
               {v > 295 ? txNew : txOld});
        addRow(qPrintable(QStringLiteral("settings receiver %1").arg(v)), R, v, {rx, ReadSettings},
               {v > 295 ? rxNew : rxOld});
    }

    // Read the factory table, write one, read it back.
    const QByteArray readTable = QByteArray::fromHex("210107");
    addRow("address table", T, 296,
           {readTable, QByteArray::fromHex("2119" "011404011505001606000000011808000000000000010300" "06"),
            readTable},
           {QByteArray::fromHex("011202011303000000000000000000000000000000010100"),
            QByteArray::fromHex("011404011505001606000000011808000000000000010300")});
    // The receiver puts the masks of transmitters 0..7 and 8..15 before its 30-byte map.
    const QByteArray readMap = QByteArray::fromHex("210133");
    addRow("transmitter map", R, 296,
           {readMap, QByteArray::fromHex("211f" "8001000000000000000000000000000000000000000000000000000000ff" "32"),
            readMap},
           {QByteArray::fromHex("0f00" "130000000000000000000000000000000000000000000000000000000000"),
            QByteArray::fromHex("0f00" "8001000000000000000000000000000000000000000000000000000000ff")});
    addRow("sensor 2 at 221", T, 221, {QByteArray::fromHex("21020208")},
           {"$2,23,1957,812,5000,1250,285,1427#\r\n"});

    addRow("AT read outside command mode", T, 296, {ReadS250}, {});
    addRow("AT write, read, ATO, read", T, 296, {PlusPlusPlus, WriteS250_42, ReadS250, Ato, ReadS250},
           {Ok, Ok, "S250=42\r\n", Ok}, 42);
    addRow("AT write outside command mode is data", T, 296, {WriteS250_42, PlusPlusPlus, ReadS250},
           {Ok, "S250=5\r\n"});
    addRow("AT power out of range", T, 296, {PlusPlusPlus, WriteS202_8, ReadS202}, {Ok, Error, "S202=7\r\n"});
    addRow("AT unknown register", T, 296, {PlusPlusPlus, ReadS999}, {Ok, Error});
    addRow("AT rssi in data mode", T, 296, {Rssi}, {"+SRDRSSI: 87\r\n"});

    // A controller only knows the requests of its own kind and firmware.
    addRow("ignored receiver settings to a transmitter", T, 296,
           {QByteArray::fromHex("210f01021e81030403a55a050607080002"), ReadSettings},
           {QByteArray::fromHex("03051102020700010a0a0a0a01")});
    const auto ignored = [](const char *tag, Device::Type type, int version, const char *frame) {
        addRow(tag, type, version, {QByteArray::fromHex(frame), Identity},
               {Device(type, quint16(version)).identity()});
    };
    ignored("ignored map read on a transmitter", T, 296, "210133");
    ignored("ignored address table read on a receiver", R, 296, "210107");
    ignored("ignored numbered record at 200", R, 200, "2102051e");
    ignored("ignored old record request at 221", R, 221, "21010f");
    ignored("ignored sensor level at 220", T, 220, "21020208");
    ignored("ignored unknown command", T, 296, "210155");

    sim::Faults drop3, errorAtWrites, silent, garbage;
    drop3.dropEvery = 3;
    errorAtWrites.errorAtWrites = true;
    silent.silent = true;
    garbage.garbage = true;
    addRow("fault drop every third", T, 296,
           {Identity, Identity, Identity, PlusPlusPlus, WriteS250_42, ReadS250, ReadS250, Identity},
           {TransmitterIdentity, TransmitterIdentity, Ok, Ok, "S250=42\r\n", TransmitterIdentity}, 42, drop3);
    addRow("fault error at writes", T, 296, {PlusPlusPlus, WriteS250_42, ReadS250, Ato},
           {Ok, Error, "S250=5\r\n", Ok}, 5, errorAtWrites);
    addRow("fault silent", T, 296, {Identity, PlusPlusPlus, WriteS250_42, Ato}, {}, 5, silent);
    // Every reply comes after one to three bytes of line noise, all at 0x80 or above.
    addRow("fault garbage", T, 296, {Identity, Identity, Identity},
           {TransmitterIdentity, TransmitterIdentity, TransmitterIdentity}, 5, garbage);
    sim::Faults firstNoisyUnended, deafRadioLostWrite;
    firstNoisyUnended.garbageFirst = 1;
    firstNoisyUnended.noTerminator = true;
    addRow("fault noise on the first reply, no terminators", T, 296,
           {Identity, PlusPlusPlus, ReadS250, Rssi, Identity},
           {"<Transmitter v.296", "OK", "S250=5", "+SRDRSSI: 87", "<Transmitter v.296"}, 5, firstNoisyUnended);
    deafRadioLostWrite.ignoreAt = true;
    deafRadioLostWrite.dropWrites = 1;
    addRow("fault radio module ignores AT, first write lost", T, 296,
           {PlusPlusPlus, WriteS250_42, tx, ReadSettings, tx, ReadSettings},
           {QByteArray::fromHex("03051102020700010a0a0a0a01"), txNew}, 5, deafRadioLostWrite);
}

void TestSimDevice::exchange()
{
    QFETCH(Device::Type, type);
    QFETCH(int, version);
    QFETCH(L, requests);
    QFETCH(L, replies);
    QFETCH(int, subnet);
    QFETCH(sim::Faults, faults);
    Device device(type, quint16(version));
    device.setFaults(faults);
    L got;
    for (const QByteArray &request : requests)
        got += device.feed(request);
    for (int r = 0; r < qMin(got.size(), replies.size()); ++r) {
        if (!faults.garbage && r >= faults.garbageFirst)
            continue;
        const int noise = got.at(r).size() - replies.at(r).size();
        QVERIFY2(noise >= 1 && noise <= 3, got.at(r).toHex().constData());
        for (int i = 0; i < noise; ++i)
            QVERIFY(quint8(got.at(r).at(i)) >= 0x80);
        got[r].remove(0, noise);
    }
    QCOMPARE(got, replies);
    QCOMPARE(device.requests(), requests);
    QCOMPARE(device.sRegister(250), subnet);
}

void TestSimDevice::records_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("number");
    QTest::newRow("0 at 200") << 200 << QByteArray::fromHex("21010a") << 0;
    QTest::newRow("15 at 220") << 220 << QByteArray::fromHex("210119") << 15;
    QTest::newRow("5 at 221") << 221 << QByteArray::fromHex("2102051e") << 5;
    QTest::newRow("255 at 296") << 296 << QByteArray::fromHex("2102ff1e") << 255;
}

void TestSimDevice::records()
{
    QFETCH(int, version);
    QFETCH(QByteArray, frame);
    QFETCH(int, number);
    // 23 °C, status 1, level 1000, 400 Hz, inputs 12.5 Hz and "Hi", analog 100 and 200.
    const QByteArray record = QByteArray::fromHex("1701e80390017d0000009f8601006400c800");
    QCOMPARE((sim::RecordValues{23, 1, 1000, 400, 125, 99999, 100, 200}.toRecord()), record);
    Device device(Device::Receiver, quint16(version));
    device.setRecord(number, record);
    QCOMPARE(device.feed(frame), L{record});
    device.setRecordSilent(number, true);
    QVERIFY(device.feed(frame).isEmpty());
}

void TestSimDevice::batching_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("one byte") << 1;
    QTest::newRow("seven bytes") << 7;
    QTest::newRow("all at once") << 1000;
}

void TestSimDevice::batching()
{
    QFETCH(int, chunk);
    // Noise before, between and after the frames is skipped up to the next "!".
    const QByteArray stream = QByteArray::fromHex(
        "0055" "210101" "ff" "21042b2b2b04" "21094154533235303f0d04" "0d0a"
        "210e07092a8301050004141e28320002" "210103" "210541544f0d04" "00");
    const L expected{TransmitterIdentity, Ok, "S250=5\r\n",
                     QByteArray::fromHex("07092a8301050004141e283200"), Ok};
    Device device;
    L replies;
    for (int at = 0; at < stream.size(); at += chunk)
        replies += device.feed(stream.mid(at, chunk));
    QCOMPARE(replies, expected);
    QCOMPARE(device.requests().size(), 6);
    QVERIFY(!device.hasPartialFrame());
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
