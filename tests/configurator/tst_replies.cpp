#include "fixture.h"
#include "massiveadr.h"
#include "power.h"
#include "protocol.h"
#include "resiver.h"

#include <QProgressBar>
#include <QStatusBar>
#include <QtTest>

// Every reply reaches the window through the pseudo-terminal, once as one batch and once one
// byte per batch: a split reply must end in exactly the same state.
namespace {

void addBothWays(const char *name, const std::function<void(QTestData &)> &columns)
{
    for (bool bytewise : {false, true}) {
        QTestData &row = QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(name),
                                        bytewise ? QStringLiteral("bytewise") : QStringLiteral("whole"))));
        row << bytewise;
        columns(row);
    }
}

void deliver(WindowFixture &f, const QByteArray &bytes, bool bytewise)
{
    if (bytewise)
        f.replyBytewise(bytes);
    else
        f.reply(bytes);
}

void identify(WindowFixture &f, const QByteArray &identity)
{
    P::send(f.w(), proto::versionRequest(), SendType::readVersion);
    QCOMPARE(f.pty.readFor(3), QByteArray::fromHex("210101"));
    f.reply(identity);
    QVERIFY(P::answerReceived(f.w()));
    P::answerReceived(f.w()) = false;   // as the sequencer does before its next request
}

QString describeTransmitter(MainWindow &w)
{
    return QStringLiteral("ch%1 sub%2 adr%3 speed%4 regim%5 rs%6 dut%7 t%8,%9,%10,%11 range%12")
        .arg(P::sbChannel(w)->value()).arg(P::sbSubnet(w)->value()).arg(P::sbDeviceAdr(w)->value())
        .arg(P::cbSpeed(w)->currentIndex()).arg(P::cbRegim(w)->currentIndex())
        .arg(P::cbRs485Speed(w)->currentIndex()).arg(P::sbDutAdr(w)->value())
        .arg(P::sbTimeFd1(w)->value()).arg(P::sbTimeFd2(w)->value()).arg(P::sbTimeAd1(w)->value())
        .arg(P::sbTimeAd2(w)->value()).arg(P::cbDutRange(w)->currentIndex());
}

QString describeReceiver(MainWindow &w)
{
    resiver *r = P::resiverPanel(w);
    return QStringLiteral("ch%1 sub%2 period%3 speed%4 regim%5 rs%6 m0=%7 m1=%8 fq1=%9/%10 fq2=%11/%12 an1=%13 an2=%14 old%15")
        .arg(P::sbChannel(w)->value()).arg(P::sbSubnet(w)->value()).arg(r->getPeriod())
        .arg(P::cbSpeed(w)->currentIndex()).arg(P::cbRegim(w)->currentIndex())
        .arg(P::cbRs485Speed(w)->currentIndex()).arg(r->getAdrMask0(), 2, 16, QLatin1Char('0'))
        .arg(r->getAdrMask1(), 2, 16, QLatin1Char('0')).arg(r->getFq1()).arg(r->getFq1Mode())
        .arg(r->getFq2()).arg(r->getFq2Mode()).arg(r->getAn1()).arg(r->getAn2())
        .arg(r->getOldProtokol() ? 1 : 0);
}

} // namespace

class TestReplies : public QObject
{
    Q_OBJECT

private slots:
    void identity_data();
    void identity();
    void transmitterSettings_data();
    void transmitterSettings();
    void receiverSettings_data();
    void receiverSettings();
    void registers_data();
    void registers();
    void radioAcceptance_data();
    void radioAcceptance();
    void rssi_data();
    void rssi();
    void measurement_data();
    void measurement();
    void transmitterTable_data();
    void transmitterTable();
    void receiverTable_data();
    void receiverTable();
    void transmitterRecord_data();
    void transmitterRecord();
    void lateRecordAfterPollIsDropped();
    void supersededReplyIgnored();
};

void TestReplies::identity_data()
{
    QTest::addColumn<bool>("bytewise");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("answered");

    addBothWays("receiver 221", [](QTestData &r) { r << QByteArray("<Receiver v.221>\r\n") << 1 << 221 << "<Receiver v.221>" << true; });
    addBothWays("transmitter 296", [](QTestData &r) { r << QByteArray("\r\n<Transmitter v.296>") << 2 << 296 << "<Transmitter v.296>" << true; });
    addBothWays("receiver 200", [](QTestData &r) { r << QByteArray("<Receiver v.200>") << 1 << 200 << "<Receiver v.200>" << true; });
    addBothWays("tag at position 0", [](QTestData &r) { r << QByteArray("Receiver v.221>") << 0 << 0 << "Version:" << false; });
    addBothWays("garbage", [](QTestData &r) { r << QByteArray("\xff\x00zzz<>v.1", 10) << 0 << 0 << "Version:" << false; });
}

void TestReplies::identity()
{
    QFETCH(bool, bytewise);
    QFETCH(QByteArray, reply);
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(QString, label);
    QFETCH(bool, answered);

    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::send(w, proto::versionRequest(), SendType::readVersion);
    deliver(f, reply, bytewise);

    QCOMPARE(int(P::deviceType(w)), type);
    QCOMPARE(int(P::numVersion(w)), version);
    QCOMPARE(P::lbVersion(w)->text(), label);
    QCOMPARE(P::answerReceived(w), answered);
    QCOMPARE(P::expectedReply(w), answered ? SendType::none : SendType::readVersion);
    if (type == 1) {
        auto *fq1 = P::resiverPanel(w)->findChild<QComboBox *>(QStringLiteral("comboBoxFq1"));
        QVERIFY(fq1);
        QCOMPARE(fq1->count(), version > 220 ? 256 : 16);
        QVERIFY(P::resiverPanel(w)->isEnabled());   // the panel rules ran after the reply
    }
}

void TestReplies::transmitterSettings_data()
{
    QTest::addColumn<bool>("bytewise");
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("expected");

    addBothWays("296 with range byte", [](QTestData &r) {
        r << QByteArray("<Transmitter v.296>") << QByteArray::fromHex("030511020207000a0b0c0d0e00")
          << "ch3 sub5 adr17 speed2 regim0 rs2 dut10 t11,12,13,14 range1";
    });
    addBothWays("295 without range byte", [](QTestData &r) {
        r << QByteArray("<Transmitter v.295>") << QByteArray::fromHex("030511020207000a0b0c0d0e")
          << "ch3 sub5 adr17 speed2 regim0 rs2 dut10 t11,12,13,14 range0";
    });
    addBothWays("200 transparent", [](QTestData &r) {
        r << QByteArray("<Transmitter v.200>") << QByteArray::fromHex("0b0001830107000203040506")
          << "ch11 sub0 adr1 speed1 regim1 rs3 dut2 t3,4,5,6 range0";
    });
    addBothWays("unidentified reads as transmitter", [](QTestData &r) {
        r << QByteArray() << QByteArray::fromHex("0201fe000000000001010101")
          << "ch2 sub1 adr254 speed0 regim0 rs0 dut0 t1,1,1,1 range0";
    });
}

void TestReplies::transmitterSettings()
{
    QFETCH(bool, bytewise);
    QFETCH(QByteArray, identity);
    QFETCH(QByteArray, reply);
    QFETCH(QString, expected);

    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    if (!identity.isEmpty())
        ::identify(f, identity);
    P::slotRead(w);
    QCOMPARE(f.pty.readFor(3), QByteArray::fromHex("210103"));
    // Until the last byte is there nothing of the record may reach the panels.
    const QString before = describeTransmitter(w);
    deliver(f, reply.left(reply.size() - 1), bytewise);
    QCOMPARE(describeTransmitter(w), before);
    QVERIFY(!P::answerReceived(w));
    deliver(f, reply.right(1), bytewise);
    QCOMPARE(describeTransmitter(w), expected);
    QVERIFY(P::answerReceived(w));
    QCOMPARE(P::attemptsLeft(w), quint8(5));
    QCOMPARE(P::expectedReply(w), SendType::none);
}

void TestReplies::receiverSettings_data()
{
    QTest::addColumn<bool>("bytewise");
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("expected");

    addBothWays("296", [](QTestData &r) {
        r << QByteArray("<Receiver v.296>") << QByteArray::fromHex("020403010105020980141e283200")
          << "ch2 sub4 period3 speed1 regim0 rs1 m0=09 m1=80 fq1=20/0 fq2=30/1 an1=40 an2=50 old0";
    });
    addBothWays("221 without range byte", [](QTestData &r) {
        r << QByteArray("<Receiver v.221>") << QByteArray::fromHex("0204028102050101000203ff04")
          << "ch2 sub4 period2 speed2 regim1 rs1 m0=01 m1=00 fq1=2/1 fq2=3/0 an1=255 an2=4 old1";
    });
    addBothWays("200 with modes in bit 7", [](QTestData &r) {
        r << QByteArray("<Receiver v.200>") << QByteArray::fromHex("0b00050300000303ff85030f0e")
          << "ch11 sub0 period5 speed0 regim0 rs3 m0=03 m1=ff fq1=5/1 fq2=3/0 an1=15 an2=14 old1";
    });
}

void TestReplies::receiverSettings()
{
    QFETCH(bool, bytewise);
    QFETCH(QByteArray, identity);
    QFETCH(QByteArray, reply);
    QFETCH(QString, expected);

    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    ::identify(f, identity);
    P::slotRead(w);
    deliver(f, reply, bytewise);
    QCOMPARE(describeReceiver(w), expected);
    QCOMPARE(P::sbDeviceAdr(w)->value(), 254);
}

void TestReplies::registers_data()
{
    QTest::addColumn<bool>("bytewise");
    QTest::addColumn<bool>("power");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("answered");

    addBothWays("subnet 5", [](QTestData &r) { r << false << QByteArray("S250=5\r\nOK\r\n") << 5 << true; });
    addBothWays("two-digit subnet", [](QTestData &r) { r << false << QByteArray("\r\nS250=12\r\n") << 12 << true; });
    addBothWays("no digit", [](QTestData &r) { r << false << QByteArray("S250=\r\n") << 0 << true; });
    addBothWays("error", [](QTestData &r) { r << false << QByteArray("ERROR\r\n") << 9 << false; });
    addBothWays("power 7", [](QTestData &r) { r << true << QByteArray("S202=7\r\n") << 7 << true; });
    addBothWays("power 3 after noise", [](QTestData &r) { r << true << QByteArray("\x00\xffS202=3\r", 9) << 3 << true; });
}

void TestReplies::registers()
{
    QFETCH(bool, bytewise);
    QFETCH(bool, power);
    QFETCH(QByteArray, reply);
    QFETCH(int, value);
    QFETCH(bool, answered);

    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::sbSubnet(w)->setValue(9);
    P::knobPower(w)->setValue(9 % 8);
    if (power)
        P::readPower(w);
    else
        P::readCHA(w);
    QCOMPARE(f.pty.readFor(10), power ? QByteArray::fromHex("2109415453323032 3f0d04")
                                      : QByteArray::fromHex("21094154533235303f0d04"));
    deliver(f, reply, bytewise);
    if (!answered)
        value = power ? 1 : 9;   // unchanged
    QCOMPARE(power ? int(P::knobPower(w)->value()) : P::sbSubnet(w)->value(), value);
    QCOMPARE(P::answerReceived(w), answered);
}

// Command mode: any "OK" answers; register writes need "OK" and no "ERROR".
void TestReplies::radioAcceptance_data()
{
    QTest::addColumn<bool>("bytewise");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("answered");

    addBothWays("+++ OK", [](QTestData &r) { r << int(SendType::comandRegim) << QByteArray("OK\r\n") << true; });
    addBothWays("+++ ERROR and OK", [](QTestData &r) { r << int(SendType::comandRegim) << QByteArray("ERROR\r\nOK\r\n") << true; });
    addBothWays("ATO nothing useful", [](QTestData &r) { r << int(SendType::dataRegim) << QByteArray("O\r\nK\r\n") << false; });
    addBothWays("write OK", [](QTestData &r) { r << int(SendType::saveSimParam) << QByteArray("OK\r\n") << true; });
    addBothWays("write ERROR and OK", [](QTestData &r) { r << int(SendType::saveSimParam) << QByteArray("OK\r\nERROR\r\n") << false; });
    addBothWays("write ERROR", [](QTestData &r) { r << int(SendType::saveSimParam) << QByteArray("ERROR\r\n") << false; });
}

void TestReplies::radioAcceptance()
{
    QFETCH(bool, bytewise);
    QFETCH(int, type);
    QFETCH(QByteArray, reply);
    QFETCH(bool, answered);

    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::send(w, proto::atFrame("+++"), SendType::SendType(type));
    deliver(f, reply, bytewise);
    QCOMPARE(P::answerReceived(w), answered);
    QCOMPARE(int(P::expectedReply(w)), type);
}

void TestReplies::rssi_data()
{
    QTest::addColumn<bool>("bytewise");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("level");

    addBothWays("87", [](QTestData &r) { r << QByteArray("+SRDRSSI: 87\r\nOK\r\n") << 87; });
    addBothWays("7 then line end", [](QTestData &r) { r << QByteArray("+SRDRSSI: 7\r\n") << 7; });
    addBothWays("300 is not cut", [](QTestData &r) { r << QByteArray("+SRDRSSI: 300\r\n") << 300; });
    addBothWays("non-digit first", [](QTestData &r) { r << QByteArray("+SRDRSSI: x7\r\n") << 7; });
}

void TestReplies::rssi()
{
    QFETCH(bool, bytewise);
    QFETCH(QByteArray, reply);
    QFETCH(int, level);

    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::ui(w)->pbLevel->click();
    QCOMPARE(f.pty.readFor(15), QByteArray::fromHex("210e41542b53524452535349 3f0d0a04"));
    QCOMPARE(P::timer(w)->interval(), 60000);
    deliver(f, reply, bytewise);
    QCOMPARE(P::ui(w)->progressBar_2->value(), qMin(level, 256));
    QCOMPARE(P::ui(w)->statusBar->currentMessage(), QStringLiteral("Уровень сигнала: %1").arg(level));
    QVERIFY(!P::answerReceived(w));   // the level never answers a sequencer step
    QCOMPARE(P::expectedReply(w), SendType::getLevel);
}

void TestReplies::measurement_data()
{
    QTest::addColumn<bool>("bytewise");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("fields");

    addBothWays("example", [](QTestData &r) {
        r << QByteArray("$1,25,1200,0,99999,0,100,200#\r\n")
          << QStringList{"25", "1200", "Hi", "Lo", "350.277", "700.554"};
    });
    addBothWays("frequency in tenths", [](QTestData &r) {
        r << QByteArray("xx$0,-5,65535,7,125,3,0,1#")
          << QStringList{"-5", "65535", "12.5", "0.3", "0", "3.50277"};
    });
    addBothWays("too few fields", [](QTestData &r) {
        r << QByteArray("$1,25,1200#") << QStringList{"", "", "", "", "", ""};
    });
}

void TestReplies::measurement()
{
    QFETCH(bool, bytewise);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, fields);

    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::send(w, proto::levelRequest(221, 0), SendType::readLevel);
    deliver(f, reply, bytewise);
    const QStringList shown = {P::leTemp(w)->text(), P::leLevel(w)->text(), P::leFreq1(w)->text(),
                               P::leFreq2(w)->text(), P::leAn1(w)->text(), P::leAn2(w)->text()};
    QCOMPARE(shown, fields);
}

void TestReplies::transmitterTable_data()
{
    QTest::addColumn<bool>("bytewise");
    addBothWays("table", [](QTestData &) {});
}

void TestReplies::transmitterTable()
{
    QFETCH(bool, bytewise);
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    ::identify(f, "<Transmitter v.221>");
    P::slotReadMassive(w);
    QCOMPARE(f.pty.readFor(3), QByteArray::fromHex("210107"));
    const QByteArray table = QByteArray::fromHex("010506" "000708" "01090a" "000000" "000000" "000000" "01ff01" "010300");
    deliver(f, table.left(23), bytewise);
    QVERIFY(!P::answerReceived(w));
    deliver(f, table.right(1), bytewise);
    QVERIFY(P::answerReceived(w));
    QCOMPARE(P::baMassive(w), table);
    QCOMPARE(P::massiveAdr(w)->getMassive(), table);
    QStringList items;
    for (int i = 0; i < P::cbDataDut(w)->count(); ++i)
        items << P::cbDataDut(w)->itemText(i);
    QCOMPARE(items, (QStringList{"0", "6", "-", "10", "-", "-", "-", "1"}));
    // The table reply also applies the cached (still all-zero) settings record.
    QCOMPARE(P::sbChannel(w)->value(), 0);
}

void TestReplies::receiverTable_data()
{
    QTest::addColumn<bool>("bytewise");
    addBothWays("map", [](QTestData &) {});
}

void TestReplies::receiverTable()
{
    QFETCH(bool, bytewise);
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    ::identify(f, "<Receiver v.221>");
    P::slotReadMassive(w);
    QCOMPARE(f.pty.readFor(3), QByteArray::fromHex("210133"));
    QByteArray map(30, '\0');
    map[0] = '\x01';   // transmitter 16
    map[1] = '\x82';   // 25 and 31
    map[29] = '\x80';  // 255
    deliver(f, QByteArray::fromHex("aabb") + map, bytewise);
    QVERIFY(P::answerReceived(w));
    QCOMPARE(P::resiverPanel(w)->getAdrMaskExt(), map);
}

void TestReplies::transmitterRecord_data()
{
    QTest::addColumn<bool>("bytewise");
    addBothWays("record", [](QTestData &) {});
}

void TestReplies::transmitterRecord()
{
    QFETCH(bool, bytewise);
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::resiverInfoIndex(w) = 3;
    P::send(w, proto::transmitterDataRequest(221, 3), SendType::resiverInfo);
    QCOMPARE(f.pty.readFor(4), QByteArray::fromHex("2102031e"));
    const QByteArray record = QByteArray::fromHex("19 00 b004 0000 7d000000 00000000 6400 c800");
    deliver(f, record, bytewise);
    QVERIFY(P::answerReceived(w));
    QCOMPARE(P::resiverInfoData(w)[3], record);
    QCOMPARE(P::expectedReply(w), SendType::resiverInfo);
}

void TestReplies::lateRecordAfterPollIsDropped()
{
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::send(w, proto::transmitterDataRequest(221, 255), SendType::resiverInfo);
    P::resiverInfoIndex(w) = 65535;   // the poll has ended
    f.reply(QByteArray(18, '\x11'));
    QVERIFY(!P::answerReceived(w));
    for (int i = 0; i < 256; ++i)
        QVERIFY(P::resiverInfoData(w)[i].isEmpty());
}

void TestReplies::supersededReplyIgnored()
{
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::slotRead(w);
    P::getLevel(w);   // a click on the status button replaces the awaited reply
    f.reply(QByteArray::fromHex("030511020207000a0b0c0d0e"));
    QCOMPARE(P::sbChannel(w)->value(), 0);
    QCOMPARE(P::settingsRecord(w), QByteArray(14, '\0'));
    QVERIFY(!P::answerReceived(w));
}

QTEST_MAIN(TestReplies)
#include "tst_replies.moc"
