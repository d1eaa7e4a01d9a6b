#include "fixture.h"
#include "massiveadr.h"
#include "power.h"
#include "protocol.h"
#include "resiver.h"

#include <QProgressBar>
#include <QStatusBar>
#include <QtTest>

// Every reply reaches the window through the pseudo-terminal, once as one batch and once one
// byte per batch: a split reply must end in exactly the same state. The scanners' edge cases
// (every prefix, odd digits, missing marks) are tst_protocol's.
namespace {

template <typename... T>
void both(const char *name, T... values)
{
    for (bool bytewise : {false, true})
        ((QTest::addRow("%s, %s", name, bytewise ? "bytewise" : "whole") << bytewise) << ... << values);
}

void wholeAndBytewise()
{
    QTest::addColumn<bool>("bytewise");
    both("reply");
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
    P::settleReply(f.w());
    QVERIFY(P::answerReceived(f.w()));
    P::answerReceived(f.w()) = false;   // as the sequencer does before its next request
}

// The settings panels as the record left them, in the device's layout.
QString describeSettings(MainWindow &w)
{
    const QString common = QStringLiteral("ch%1 sub%2 speed%3 regim%4 rs%5 ").arg(P::sbChannel(w)->value())
        .arg(P::sbSubnet(w)->value()).arg(P::cbSpeed(w)->currentIndex()).arg(P::cbRegim(w)->currentIndex())
        .arg(P::cbRs485Speed(w)->currentIndex());
    if (P::deviceType(w) != proto::Receiver)
        return common + QStringLiteral("adr%1 dut%2 t%3,%4,%5,%6 range%7").arg(P::sbDeviceAdr(w)->value())
            .arg(P::sbDutAdr(w)->value()).arg(P::sbTimeFd1(w)->value()).arg(P::sbTimeFd2(w)->value())
            .arg(P::sbTimeAd1(w)->value()).arg(P::sbTimeAd2(w)->value()).arg(P::cbDutRange(w)->currentIndex());
    resiver *r = P::resiverPanel(w);
    return common + QStringLiteral("period%1 m0=%2 m1=%3 fq1=%4/%5 fq2=%6/%7 an1=%8 an2=%9 old%10").arg(r->getPeriod())
        .arg(r->getAdrMask0(), 2, 16, QLatin1Char('0')).arg(r->getAdrMask1(), 2, 16, QLatin1Char('0'))
        .arg(r->getFq1()).arg(r->getFq1Mode()).arg(r->getFq2()).arg(r->getFq2Mode()).arg(r->getAn1())
        .arg(r->getAn2()).arg(r->getOldProtokol());
}

} // namespace

class TestReplies : public QObject
{
    Q_OBJECT
    std::unique_ptr<WindowFixture> f;

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>(quietSettings());
        QVERIFY(f->connectPty());
    }
    void cleanup() { f.reset(); }

    void identity_data()
    {
        QTest::addColumn<bool>("bytewise");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("found");   // device type, version, label, answered
        both("receiver 221", QByteArray("<Receiver v.221>\r\n"), "1 221 <Receiver v.221> 1");
        both("transmitter 296", QByteArray("\r\n<Transmitter v.296>"), "2 296 <Transmitter v.296> 1");
        both("receiver 200", QByteArray("<Receiver v.200>"), "1 200 <Receiver v.200> 1");
        both("receiver 221 without '>'", QByteArray("<Receiver v.221"), "1 221 <Receiver v.221 1");
        both("garbage", QByteArray("\xff\x00zzz<>v.1", 10), "0 0 Version: 0");
    }
    void identity()
    {
        QFETCH(bool, bytewise);
        QFETCH(QByteArray, reply);
        MainWindow &w = f->w();
        P::send(w, proto::versionRequest(), SendType::readVersion);
        P::currentAction(w) = ActionType::readVersion;   // the step whose check tick comes
        P::requestPending(w) = false;
        deliver(*f, reply, bytewise);
        P::settleReply(w);
        QTEST(QStringLiteral("%1 %2 %3 %4").arg(P::deviceType(w)).arg(P::numVersion(w))
                  .arg(P::lbVersion(w)->text()).arg(P::answerReceived(w)), "found");
        QCOMPARE(P::expectedReply(w), P::answerReceived(w) ? SendType::none : SendType::readVersion);
        if (P::deviceType(w) == proto::Receiver) {
            auto *fq1 = P::resiverPanel(w)->findChild<QComboBox *>(QStringLiteral("comboBoxFq1"));
            QVERIFY(fq1);
            QCOMPARE(fq1->count(), P::numVersion(w) > 220 ? 256 : 16);
            QVERIFY(P::resiverPanel(w)->isEnabled());   // the panel rules ran after the reply
        }
    }

    // A record is taken at the check tick at exactly its length: short, nothing of it shows.
    void settings_data()
    {
        QTest::addColumn<bool>("bytewise");
        QTest::addColumn<QByteArray>("identity");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("expected");
        both("transmitter 296 with range byte", QByteArray("<Transmitter v.296>"),
             QByteArray::fromHex("030511020207000a0b0c0d0e00"), "ch3 sub5 speed2 regim0 rs2 adr17 dut10 t11,12,13,14 range1");
        both("transmitter 295 without range byte", QByteArray("<Transmitter v.295>"),
             QByteArray::fromHex("030511020207000a0b0c0d0e"), "ch3 sub5 speed2 regim0 rs2 adr17 dut10 t11,12,13,14 range0");
        both("transmitter 200 transparent", QByteArray("<Transmitter v.200>"),
             QByteArray::fromHex("0b0001830107000203040506"), "ch11 sub0 speed1 regim1 rs3 adr1 dut2 t3,4,5,6 range0");
        both("unidentified reads as transmitter", QByteArray(),
             QByteArray::fromHex("0201fe000000000001010101"), "ch2 sub1 speed0 regim0 rs0 adr254 dut0 t1,1,1,1 range0");
        both("receiver 296", QByteArray("<Receiver v.296>"), QByteArray::fromHex("020403010105020980141e283200"),
             "ch2 sub4 speed1 regim0 rs1 period3 m0=09 m1=80 fq1=20/0 fq2=30/1 an1=40 an2=50 old0");
        both("receiver 221 without range byte", QByteArray("<Receiver v.221>"), QByteArray::fromHex("0204028102050101000203ff04"),
             "ch2 sub4 speed2 regim1 rs1 period2 m0=01 m1=00 fq1=2/1 fq2=3/0 an1=255 an2=4 old1");
        both("receiver 200 with modes in bit 7", QByteArray("<Receiver v.200>"), QByteArray::fromHex("0b00050300000303ff85030f0e"),
             "ch11 sub0 speed0 regim0 rs3 period5 m0=03 m1=ff fq1=5/1 fq2=3/0 an1=15 an2=14 old1");
    }
    void settings()
    {
        QFETCH(bool, bytewise);
        QFETCH(QByteArray, identity);
        QFETCH(QByteArray, reply);
        MainWindow &w = f->w();
        if (!identity.isEmpty())
            ::identify(*f, identity);
        P::slotRead(w);
        QCOMPARE(f->pty.readFor(3), QByteArray::fromHex("210103"));
        const QString before = describeSettings(w);
        deliver(*f, reply.left(reply.size() - 1), bytewise);
        P::settleReply(w);
        QCOMPARE(describeSettings(w), before);
        QVERIFY(!P::answerReceived(w));
        deliver(*f, reply.right(1), bytewise);
        P::settleReply(w);
        QTEST(describeSettings(w), "expected");
        QVERIFY(P::answerReceived(w));
        QCOMPARE(P::attemptsLeft(w), quint8(5));
        QCOMPARE(P::expectedReply(w), SendType::none);
    }

    // Register reads set the subnet or the power; "+++"/"ATO" take any "OK", writes "OK" without "ERROR".
    void radioModule_data()
    {
        QTest::addColumn<bool>("bytewise");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");   // answered, subnet, power
        both("subnet 12", int(SendType::readCHA), QByteArray("\r\nS250=12\r\n"), "1 12 1");
        both("subnet read, ERROR", int(SendType::readCHA), QByteArray("ERROR\r\n"), "0 9 1");
        both("power 7", int(SendType::readPower), QByteArray("S202=7\r\n"), "1 9 7");
        both("subnet without line end", int(SendType::readCHA), QByteArray("S250=5"), "1 5 1");
        both("+++, ERROR and OK", int(SendType::comandRegim), QByteArray("ERROR\r\nOK\r\n"), "1 9 1");
        both("ATO, nothing useful", int(SendType::dataRegim), QByteArray("O\r\nK\r\n"), "0 9 1");
        both("write, OK", int(SendType::saveSimParam), QByteArray("OK\r\n"), "1 9 1");
        both("write, OK and ERROR", int(SendType::saveSimParam), QByteArray("OK\r\nERROR\r\n"), "0 9 1");
    }
    void radioModule()
    {
        QFETCH(bool, bytewise);
        QFETCH(int, type);
        QFETCH(QByteArray, reply);
        MainWindow &w = f->w();
        P::sbSubnet(w)->setValue(9);
        P::knobPower(w)->setValue(1);
        P::send(w, proto::atFrame("AT\r"), SendType::SendType(type));
        deliver(*f, reply, bytewise);
        P::settleReply(w);
        QTEST(QStringLiteral("%1 %2 %3").arg(P::answerReceived(w)).arg(P::sbSubnet(w)->value())
                  .arg(P::knobPower(w)->value()), "shown");
    }

    // The bar stops at its end, the status line shows the level as received.
    void rssi_data()
    {
        QTest::addColumn<bool>("bytewise");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("level");
        both("87", QByteArray("+SRDRSSI: 87\r\nOK\r\n"), 87);
        both("300 is not cut", QByteArray("+SRDRSSI: 300\r\n"), 300);
        both("7 without line end", QByteArray("+SRDRSSI: 7"), 7);
    }
    void rssi()
    {
        QFETCH(bool, bytewise);
        QFETCH(QByteArray, reply);
        QFETCH(int, level);
        MainWindow &w = f->w();
        P::ui(w)->pbLevel->click();
        QCOMPARE(f->pty.readFor(15), QByteArray::fromHex("210e41542b53524452535349 3f0d0a04"));
        deliver(*f, reply, bytewise);
        P::slotTimer(w);   // the first tick after the request
        QCOMPARE(P::ui(w)->progressBar_2->value(), qMin(level, 256));
        QCOMPARE(P::ui(w)->statusBar->currentMessage(), QStringLiteral("Уровень сигнала: %1").arg(level));
        QVERIFY(!P::answerReceived(w));   // the level never answers a sequencer step
    }

    void measurement_data()
    {
        QTest::addColumn<bool>("bytewise");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");
        both("example", QByteArray("$1,25,1200,0,99999,0,100,200#\r\n"), "25|1200|Hi|Lo|350.277|700.554");
        both("too few fields", QByteArray("$1,25,1200#"), "|||||");
    }
    void measurement()
    {
        QFETCH(bool, bytewise);
        QFETCH(QByteArray, reply);
        MainWindow &w = f->w();
        P::send(w, proto::levelRequest(221, 0), SendType::readLevel);
        deliver(*f, reply, bytewise);
        QTEST(QStringList({P::leTemp(w)->text(), P::leLevel(w)->text(), P::leFreq1(w)->text(),
                           P::leFreq2(w)->text(), P::leAn1(w)->text(), P::leAn2(w)->text()}).join('|'), "shown");
    }

    void transmitterTable_data() { wholeAndBytewise(); }
    void transmitterTable()
    {
        QFETCH(bool, bytewise);
        MainWindow &w = f->w();
        ::identify(*f, "<Transmitter v.221>");
        P::slotReadMassive(w);
        QCOMPARE(f->pty.readFor(3), QByteArray::fromHex("210107"));
        const QByteArray table = QByteArray::fromHex("010506" "000708" "01090a" "000000" "000000" "000000" "01ff01" "010300");
        deliver(*f, table.left(23), bytewise);
        P::settleReply(w);
        QVERIFY(!P::answerReceived(w));
        deliver(*f, table.right(1), bytewise);
        P::settleReply(w);
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

    void receiverTable_data() { wholeAndBytewise(); }
    void receiverTable()
    {
        QFETCH(bool, bytewise);
        MainWindow &w = f->w();
        ::identify(*f, "<Receiver v.221>");
        P::slotReadMassive(w);
        QCOMPARE(f->pty.readFor(3), QByteArray::fromHex("210133"));
        // Transmitters 16, 25, 31 and 255.
        const QByteArray map = QByteArray::fromHex("0182").append(27, '\0').append('\x80');
        deliver(*f, QByteArray::fromHex("aabb") + map, bytewise);
        P::settleReply(w);
        QVERIFY(P::answerReceived(w));
        QCOMPARE(P::resiverPanel(w)->getAdrMaskExt(), map);
    }

    void transmitterRecord_data() { wholeAndBytewise(); }
    void transmitterRecord()
    {
        QFETCH(bool, bytewise);
        MainWindow &w = f->w();
        P::resiverInfoIndex(w) = 3;
        P::send(w, proto::transmitterDataRequest(221, 3), SendType::resiverInfo);
        QCOMPARE(f->pty.readFor(4), QByteArray::fromHex("2102031e"));
        const QByteArray record = QByteArray::fromHex("19 00 b004 0000 7d000000 00000000 6400 c800");
        deliver(*f, record, bytewise);
        P::settleReply(w);
        QVERIFY(P::answerReceived(w));
        QCOMPARE(P::resiverInfoData(w)[3], record);
        QCOMPARE(P::expectedReply(w), SendType::resiverInfo);
    }

    // A poll with no transmitter left holds index 65535: its bytes have nowhere to go.
    void lateRecordAfterPollIsDropped()
    {
        MainWindow &w = f->w();
        P::send(w, proto::transmitterDataRequest(221, 255), SendType::resiverInfo);
        P::resiverInfoIndex(w) = 65535;
        f->reply(QByteArray(18, '\x11'));
        P::settleReply(w);
        QVERIFY(!P::answerReceived(w));
        for (const QByteArray &data : P::resiverInfoData(w))
            QVERIFY(data.isEmpty());
    }

    // A device that keeps talking to an idle window must not grow the reply buffer, and a
    // request that waits gets at most a bounded tail of a chatty line.
    void replyBufferBounded()
    {
        MainWindow &w = f->w();
        f->reply(QByteArray(3000, 'x'));
        QVERIFY(P::reply(w).isEmpty());
        P::send(w, proto::transmitterDataRequest(221, 0), SendType::resiverInfo);
        for (int i = 0; i < 3; ++i)
            f->reply(QByteArray(3000, 'y'));
        QCOMPARE(P::reply(w).size(), 4096);
        QVERIFY(P::resiverInfoData(w)[0].size() <= 4096);
    }

    void supersededReplyIgnored()
    {
        MainWindow &w = f->w();
        P::slotRead(w);
        P::getLevel(w);   // a click on the status button replaces the awaited reply
        f->reply(QByteArray::fromHex("030511020207000a0b0c0d0e"));
        P::settleReply(w);
        QCOMPARE(P::sbChannel(w)->value(), 0);
        QCOMPARE(P::settingsRecord(w), QByteArray(14, '\0'));
        QVERIFY(!P::answerReceived(w));
    }
};

QTEST_MAIN(TestReplies)
#include "tst_replies.moc"
