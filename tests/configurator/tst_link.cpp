#include "fixture.h"

#include <QStatusBar>
#include <QtTest>

namespace {

// pbConnect's text; whether pbRead, pbWrite, pbDefault and cbPort are enabled; the sequencer step.
QString linkState(MainWindow &w)
{
    return QStringLiteral("%1 %2%3%4%5 %6").arg(P::pbConnect(w)->text()).arg(P::pbRead(w)->isEnabled())
        .arg(P::pbWrite(w)->isEnabled()).arg(P::pbDefault(w)->isEnabled()).arg(P::cbPort(w)->isEnabled())
        .arg(int(P::currentAction(w)));
}

const QString kClosed = QStringLiteral("Подключить 0001 0");

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    void openAndClose()
    {
        WindowFixture f(quietSettings());
        MainWindow &w = f.w();
        QVERIFY(f.connectPty());
        QCOMPARE(linkState(w), QStringLiteral("Отключить 1110 1"));   // the next tick asks for the version
        QVERIFY(P::requestPending(w));
        const QSerialPort *port = P::port(w);
        QCOMPARE(port->baudRate(), 19200);
        QCOMPARE(port->dataBits(), QSerialPort::Data8);
        QCOMPARE(port->parity(), QSerialPort::NoParity);
        QCOMPARE(port->stopBits(), QSerialPort::OneStop);
        QCOMPARE(port->flowControl(), QSerialPort::NoFlowControl);

        // A running measurement stops when the port closes.
        P::pbMeasure(w)->setChecked(true);
        P::doTransmiterInfo(w);
        QCOMPARE(P::currentAction(w), ActionType::transmiterInfo);
        P::leTemp(w)->setText(QStringLiteral("25"));
        P::pbConnect(w)->click();
        QVERIFY(!P::port(w)->isOpen());
        QCOMPARE(linkState(w), kClosed);
        QVERIFY(!P::pbMeasure(w)->isChecked());
        QCOMPARE(P::pbMeasure(w)->text(), QStringLiteral("Включить измерение"));
        QVERIFY(P::leTemp(w)->text().isEmpty());

        // Closed, a measurement cannot be switched on, and says why.
        P::pbMeasure(w)->setChecked(true);
        P::doTransmiterInfo(w);
        QVERIFY(!P::pbMeasure(w)->isChecked());
        QCOMPARE(P::ui(w)->statusBar->currentMessage(), QStringLiteral("Измерение не включено: порт не открыт"));

        // Reconnecting starts the attempt count afresh ("0" in the next outgoing log block) and
        // keeps nothing of the last line: half a record received before closing is forgotten.
        QVERIFY(f.connectPty());
        P::slotRead(w);
        f.reply(QByteArray::fromHex("0305110202"));
        P::attemptsLeft(w) = 2;
        P::pbConnect(w)->click();
        QVERIFY(f.connectPty());
        QCOMPARE(P::attemptsLeft(w), quint8(5));
        QVERIFY(P::reply(w).isEmpty());
        QCOMPARE(P::expectedReply(w), SendType::none);
    }

    void failedOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing device") << "/dev/does-not-exist-0";
        QTest::newRow("not a tty") << "/dev/null/x";
        QTest::newRow("empty name") << "";
    }
    void failedOpen()
    {
        QFETCH(QString, name);
        WindowFixture f(quietSettings());
        MainWindow &w = f.w();
        P::cbPort(w)->setEditText(name);
        P::pbConnect(w)->click();
        QVERIFY(!P::port(w)->isOpen());
        QCOMPARE(linkState(w), kClosed);
        QVERIFY(!P::ui(w)->statusBar->currentMessage().isEmpty());   // the reason is shown
        // A request made while closed is still logged.
        P::slotRead(w);
        QCOMPARE(f.log(), "0------->\r\n" + QByteArray::fromHex("210103") + "\r\n");
        QCOMPARE(P::expectedReply(w), SendType::readSetting);
    }

    // Each kind of request leaves as it is, is logged as one block with its attempt digit and
    // sets the answer time.
    void send_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("attempts");
        const int zapros = 41000, sim = 42000, resiver = 43000;
        const QList<QPair<int, int>> rows = {
            {SendType::readVersion, zapros}, {SendType::saveSetting, zapros},
            {SendType::readSetting, zapros}, {SendType::comandRegim, sim},
            {SendType::readCHA, sim},        {SendType::dataRegim, sim},
            {SendType::readPower, sim},      {SendType::saveSimParam, sim},
            {SendType::readPower2, zapros},  {SendType::saveSimParam2, zapros},
            {SendType::getLevel, zapros},    {SendType::resiverInfo, resiver},
            {SendType::readLevel, zapros},   {SendType::saveMassive, zapros},
            {SendType::readMassive, zapros}, {SendType::saveMassiveResiver, zapros},
        };
        for (const auto &row : rows)
            QTest::addRow("type %d", row.first) << row.first << row.second << 5;
        QTest::newRow("one repeat") << int(SendType::readVersion) << zapros << 4;
        QTest::newRow("last repeat") << int(SendType::readVersion) << zapros << 0;
    }
    void send()
    {
        QFETCH(int, type);
        QFETCH(int, attempts);
        WindowFixture f("[settings]\nZaprosTimeMs=41000\nZaprosSimTimeMs=42000\nZaprosResiverTimeMs=43000\n");
        MainWindow &w = f.w();
        QVERIFY(f.connectPty());
        P::attemptsLeft(w) = quint8(attempts);
        const QByteArray frame = QByteArray::fromHex("2105415453300d04") + char(type);
        P::send(w, frame, SendType::SendType(type));
        QCOMPARE(f.pty.readFor(frame.size()), frame);
        QCOMPARE(f.log(), char('5' - attempts) + QByteArray("------->\r\n") + frame + "\r\n");
        QTEST(P::timer(w)->interval(), "interval");
        QCOMPARE(int(P::expectedReply(w)), type);
    }

    void incomingBatchLogged()
    {
        WindowFixture f(quietSettings());
        QVERIFY(f.connectPty());
        f.reply(QByteArray(1, '\x7f'));
        QCOMPARE(f.log(), QByteArray("<-------\r\n\x7f\r\n"));
    }

    void pulledCableClosesPort()
    {
        WindowFixture f("[settings]\nZaprosTimeMs=20\nZaprosSimTimeMs=20\nZaprosResiverTimeMs=20\n");
        MainWindow &w = f.w();
        QVERIFY(f.connectPty());
        f.pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!P::port(w)->isOpen(), 3000);
        QCOMPARE(linkState(w), kClosed);
        QVERIFY(P::ui(w)->statusBar->currentMessage().contains(QStringLiteral("потеряна")));
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
