// Profiles through the value type and the file, and the journal's line: round trips per device
// type and firmware range, what a profile leaves to the device, and every refusal.

#include "journal.h"
#include "profile.h"

#include <QtTest>

#include <functional>

using namespace proto;
using Change = std::function<void(DeviceConfig &)>;
Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(DeviceConfig)

namespace {

DeviceConfig device(quint8 type, quint16 version)
{
    DeviceConfig c;
    c.deviceType = type;
    c.version = version;
    RadioSettings &r = c.radio();
    r.channel = 3; r.subnet = 5; r.rs485Speed = 2; r.radioSpeed = 1; r.power = 7;
    c.transmitter.deviceAdr = 99;
    c.transmitter.dutAdr = 7;
    return c;
}

// Every field away from its default, within what the firmware has.
DeviceConfig edited(quint8 type, quint16 version)
{
    DeviceConfig c = device(type, version);
    RadioSettings &r = c.radio();
    r.channel = 4; r.subnet = 11; r.regim = 1; r.rs485Speed = 3; r.radioSpeed = 2; r.power = 5;
    TransmitterSettings &t = c.transmitter;
    t.deviceAdr = 42; t.dutAdr = 11; t.timeFd1 = 30; t.timeFd2 = 31; t.timeAd1 = 1; t.timeAd2 = 60;
    ReceiverSettings &s = c.receiver;
    s.period = 4; s.fq1Mode = 1; s.mask0 = 0x81; s.mask1 = 0x42; s.fq1 = 6; s.fq2 = 15; s.an1 = 8; s.an2 = 9;
    if (hasRangeByte(version))
        t.range4096 = s.range4096 = false;
    if (hasWideAddresses(version)) {
        s.fq2 = 200;
        c.addressTable = QByteArray::fromHex("015014015115000000000000000000000000015216010200");
        c.receiverMap = QByteArray::fromHex("0300000000000000000000000000000000000000000000000000000080c0");
    }
    return c;
}

// A profile file around the given members.
QByteArray doc(const char *device, const char *members)
{
    return QByteArray(R"({"format": "talver-profile", "version": 1, "device": ")") + device + "\", " + members + "}";
}

const QByteArray kTable = R"("addressTable": {"in1a": null, "rows": [)"
                          R"({"on": true, "address": 1, "dut": 2}, {"on": false, "address": 0, "dut": 0},)"
                          R"({"on": false, "address": 0, "dut": 0}, {"on": false, "address": 0, "dut": 0},)"
                          R"({"on": false, "address": 0, "dut": 0}, {"on": false, "address": 0, "dut": 0},)"
                          R"({"on": false, "address": 0, "dut": 0}]})";

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void apply_data();
    void apply();
    void refusals_data();
    void refusals();
    void journalLine();
};

void TestProfile::roundTrip_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    for (const int type : {int(Transmitter), int(Receiver)}) {
        for (const int version : {200, 221, 296})
            QTest::addRow("%s %d", type == Transmitter ? "transmitter" : "receiver", version) << type << version;
    }
}

// What the panels hold goes through the file and comes back whole over a device of the same
// firmware, and a profile read back writes the same text.
void TestProfile::roundTrip()
{
    QFETCH(int, type);
    QFETCH(int, version);
    const DeviceConfig c = edited(quint8(type), quint16(version));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    QCOMPARE(profile::writeFile(file, profile::Profile::fromConfig(c, QStringLiteral("объект «Север»; ряд 2"))), QString());

    profile::Profile p;
    QCOMPARE(profile::readFile(file, p), QString());
    QCOMPARE(p.comment, QStringLiteral("объект «Север»; ряд 2"));
    QCOMPARE(int(p.firmware), version);
    const profile::Applied a = profile::apply(p, device(quint8(type), quint16(version)), false);
    QCOMPARE(a.refusal, QString());
    QCOMPARE(a.leftOut, QStringList());
    QCOMPARE(a.config.settingsFrame().toHex(), c.settingsFrame().toHex());
    QCOMPARE(a.config.tableFrame().toHex(), c.tableFrame().toHex());
    QCOMPARE(a.config.radio().power, c.radio().power);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(p.toJson(), f.readAll());
}

void TestProfile::apply_data()
{
    QTest::addColumn<DeviceConfig>("base");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("keepAddress");
    QTest::addColumn<QStringList>("leftOut");
    QTest::addColumn<Change>("change");   // what the profile changes in the base

    const DeviceConfig tx = device(Transmitter, 296), rx = device(Receiver, 221);
    QTest::newRow("lacking fields keep the device's") << tx << doc("transmitter", R"("radio": {"channel": 8}, "extra": 1)")
        << true << QStringList() << Change([](DeviceConfig &c) { c.transmitter.channel = 8; });
    const char *addresses = R"("settings": {"address": 42, "dutAddress": 11, "timeFd1": 30})";
    QTest::newRow("device keeps its address") << tx << doc("transmitter", addresses) << true << QStringList()
        << Change([](DeviceConfig &c) { c.transmitter.timeFd1 = 30; });
    QTest::newRow("profile's address") << tx << doc("transmitter", addresses) << false << QStringList()
        << Change([](DeviceConfig &c) { c.transmitter.timeFd1 = 30; c.transmitter.deviceAdr = 42; c.transmitter.dutAdr = 11; });
    QTest::newRow("range taken above 295") << tx << doc("transmitter", R"("settings": {"dutRange": "65536"})") << true
        << QStringList() << Change([](DeviceConfig &c) { c.transmitter.range4096 = false; });
    QTest::newRow("range left out at 295") << device(Transmitter, 295) << doc("transmitter", R"("settings": {"dutRange": "65536"})")
        << true << QStringList{"Диапазон значений ДУТ"} << Change([](DeviceConfig &) {});
    QTest::newRow("table left out at 220") << device(Transmitter, 220) << doc("transmitter", kTable) << true
        << QStringList{"Таблица адресов"} << Change([](DeviceConfig &) {});
    QTest::newRow("receiver lists and outputs") << rx
        << doc("receiver", R"("settings": {"polled": [0, 9, 9], "outputFd1Address": 200, "outputFd1Mode": "Дискрет"}, "polledTable": [16, 255])")
        << true << QStringList() << Change([](DeviceConfig &c) {
               c.receiver.mask0 = 0x01; c.receiver.mask1 = 0x02; c.receiver.fq1 = 200; c.receiver.fq1Mode = 1;
               c.receiverMap = QByteArray::fromHex("0100000000000000000000000000000000000000000000000000000000" "80");
           });
    QTest::newRow("receiver table left out at 220") << device(Receiver, 220) << doc("receiver", R"("polledTable": [])")
        << true << QStringList{"Адреса опрашиваемых передатчиков 16–255"} << Change([](DeviceConfig &) {});
}

void TestProfile::apply()
{
    QFETCH(DeviceConfig, base);
    QFETCH(QByteArray, json);
    QFETCH(bool, keepAddress);
    QFETCH(QStringList, leftOut);
    QFETCH(Change, change);
    profile::Profile p;
    QString error;
    QVERIFY2(profile::read(json, p, error), qPrintable(error));
    const profile::Applied a = profile::apply(p, base, keepAddress);
    QCOMPARE(a.refusal, QString());
    QCOMPARE(a.leftOut, leftOut);
    DeviceConfig expected = base;
    change(expected);
    QCOMPARE(a.config.settingsFrame().toHex(), expected.settingsFrame().toHex());
    QCOMPARE(a.config.tableFrame().toHex(), expected.tableFrame().toHex());
}

void TestProfile::refusals_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<DeviceConfig>("base");
    QTest::addColumn<QString>("message");   // a part of the refusal that says where or why

    const DeviceConfig tx = device(Transmitter, 296);
    const auto row = [&](const char *name, const QByteArray &json, const char *message, const DeviceConfig &base) {
        QTest::newRow(name) << json << base << QString::fromUtf8(message);
    };
    const auto txRow = [&](const char *name, const char *members, const char *message) {
        row(name, doc("transmitter", members), message, tx);
    };
    row("not JSON", "{\n \"format\": \"talver-profile\",\n \"version\": 1,,\n}", "строка 3, столбец 16", tx);
    row("no format", R"({"version": 1, "device": "transmitter"})", "format", tx);
    row("newer version", R"({"format": "talver-profile", "version": 2, "device": "transmitter"})", "версия формата 2 новее", tx);
    row("no device", R"({"format": "talver-profile", "version": 1})", "device: ожидается одно из значений", tx);
    txRow("firmware negative", R"("firmware": -1)", "firmware: ожидается целое число от 0 до 65535, в файле -1");
    txRow("channel as text", R"("radio": {"channel": "3"})", "radio.channel: ожидается целое число от 0 до 11, в файле \"3\"");
    txRow("subnet beyond its box", R"("radio": {"subnet": 100})", "radio.subnet: ожидается целое число от 0 до 99");
    txRow("speed as a number", R"("radio": {"speed": 9600})", "radio.speed: ожидается одно из значений: «4800», «9600»");
    txRow("table of six rows", R"("addressTable": {"in1a": null, "rows": [1, 2, 3, 4, 5, 6]})", "addressTable.rows: ожидается 7 строк");
    QByteArray noDut = kTable;
    noDut.replace(R"("address": 1, "dut": 2)", R"("address": 1)");
    txRow("row without ДУТ", noDut.constData(), "addressTable.rows[0].dut");
    row("polled beyond 15", doc("receiver", R"("settings": {"polled": [3, 16]})"), "settings.polled[1]", device(Receiver, 296));
    row("other device type", doc("receiver", "\"comment\": \"\""), "для устройства «Приемник», а подключено устройство «Передатчик»", tx);
    txRow("channel beyond the speed's plan", R"("radio": {"speed": "38400"})", "Канал связи: 3");
    row("output the firmware cannot address", doc("receiver", R"("settings": {"outputAd2Address": 16})"),
        "Выход 2 А/Д, адрес: 16", device(Receiver, 220));
}

void TestProfile::refusals()
{
    QFETCH(QByteArray, json);
    QFETCH(DeviceConfig, base);
    QFETCH(QString, message);
    profile::Profile p;
    QString error;
    if (profile::read(json, p, error))
        error = profile::apply(p, base, true).refusal;
    QVERIFY2(error.contains(message), qPrintable(error));
}

void TestProfile::journalLine()
{
    journal::Entry e;
    e.time = QDateTime(QDate(2026, 12, 7), QTime(10, 15, 3));
    e.port = QStringLiteral("/dev/ttyUSB0");
    e.deviceType = Transmitter;
    e.version = 296;
    e.address = 42;
    e.profile = QStringLiteral("/home/т/site;1 \"new\".json");
    e.result = 1;
    QCOMPARE(QString::fromUtf8(journal::line(e)),
             QStringLiteral("2026-12-07 10:15:03;/dev/ttyUSB0;Передатчик;296;42;\"/home/т/site;1 \"\"new\"\".json\";расхождения\r\n"));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
