#include "fixture.h"

#include <QStatusBar>
#include <QtTest>

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    void openAndClose();
    void failedOpen_data();
    void failedOpen();
    void send_data();
    void send();
    void attemptDigit_data();
    void attemptDigit();
    void reconnectResetsAttempts();
    void incomingBatchLogged();
    void sendWhileClosedIsLogged();
    void firstTickSendsVersionRequest();
    void pulledCableClosesPort();
};

void TestLink::openAndClose()
{
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Отключить"));
    QVERIFY(P::pbRead(w)->isEnabled());
    QVERIFY(P::pbWrite(w)->isEnabled());
    QVERIFY(P::pbDefault(w)->isEnabled());
    QVERIFY(!P::cbPort(w)->isEnabled());
    QCOMPARE(P::currentAction(w), ActionType::readVersion);
    QVERIFY(P::requestPending(w));
    QCOMPARE(P::port(w)->baudRate(), 19200);
    QCOMPARE(P::port(w)->dataBits(), QSerialPort::Data8);
    QCOMPARE(P::port(w)->parity(), QSerialPort::NoParity);
    QCOMPARE(P::port(w)->stopBits(), QSerialPort::OneStop);
    QCOMPARE(P::port(w)->flowControl(), QSerialPort::NoFlowControl);

    // A running measurement stops when the port closes.
    P::pbMeasure(w)->setChecked(true);
    P::doTransmiterInfo(w);
    QCOMPARE(P::currentAction(w), ActionType::transmiterInfo);
    P::leTemp(w)->setText(QStringLiteral("25"));

    P::pbConnect(w)->click();
    QVERIFY(!P::port(w)->isOpen());
    QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Подключить"));
    QVERIFY(!P::pbRead(w)->isEnabled());
    QVERIFY(!P::pbWrite(w)->isEnabled());
    QVERIFY(!P::pbDefault(w)->isEnabled());
    QVERIFY(P::cbPort(w)->isEnabled());
    QVERIFY(!P::pbMeasure(w)->isChecked());
    QCOMPARE(P::pbMeasure(w)->text(), QStringLiteral("Включить измерение"));
    QCOMPARE(P::currentAction(w), ActionType::none);
    QVERIFY(P::leTemp(w)->text().isEmpty());
}

void TestLink::failedOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing device") << "/dev/does-not-exist-0";
    QTest::newRow("not a tty") << "/dev/null/x";
    QTest::newRow("empty name") << "";
}

void TestLink::failedOpen()
{
    QFETCH(QString, name);
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    P::cbPort(w)->setEditText(name);
    P::pbConnect(w)->click();
    QVERIFY(!P::port(w)->isOpen());
    QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Подключить"));
    QVERIFY(!P::pbRead(w)->isEnabled());
    QVERIFY(!P::pbWrite(w)->isEnabled());
    QVERIFY(!P::pbDefault(w)->isEnabled());
    QVERIFY(P::cbPort(w)->isEnabled());
    QCOMPARE(P::currentAction(w), ActionType::none);
    QVERIFY(!P::ui(w)->statusBar->currentMessage().isEmpty());   // the reason is shown
}

// Each kind of request leaves as it is, is logged as one block and sets the answer time.
void TestLink::send_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("interval");
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
        QTest::newRow(qPrintable(QStringLiteral("type %1").arg(row.first))) << row.first << row.second;
}

void TestLink::send()
{
    QFETCH(int, type);
    QFETCH(int, interval);
    WindowFixture f("[settings]\nZaprosTimeMs=41000\nZaprosSimTimeMs=42000\nZaprosResiverTimeMs=43000\n");
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());

    const QByteArray frame = QByteArray::fromHex("2105415453300d04") + char(type);
    P::send(w, frame, SendType::SendType(type));
    QCOMPARE(f.pty.readFor(frame.size()), frame);
    QCOMPARE(f.log(), "0------->\r\n" + frame + "\r\n");
    QCOMPARE(P::timer(w)->interval(), interval);
    QCOMPARE(int(P::expectedReply(w)), type);
}

void TestLink::attemptDigit_data()
{
    QTest::addColumn<int>("attempts");
    QTest::addColumn<char>("digit");
    QTest::newRow("first attempt") << 5 << '0';
    QTest::newRow("one repeat") << 4 << '1';
    QTest::newRow("last repeat") << 0 << '5';
}

void TestLink::attemptDigit()
{
    QFETCH(int, attempts);
    QFETCH(char, digit);
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    P::attemptsLeft(w) = quint8(attempts);
    P::send(w, QByteArray::fromHex("210101"), SendType::readVersion);
    QCOMPARE(f.log(), QByteArray(1, digit) + "------->\r\n" + QByteArray::fromHex("210101") + "\r\n");
}

void TestLink::reconnectResetsAttempts()
{
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    P::pbConnect(w)->click();
    P::attemptsLeft(w) = 2;
    QVERIFY(f.connectPty());
    QCOMPARE(P::attemptsLeft(w), quint8(5));
    P::send(w, QByteArray::fromHex("210101"), SendType::readVersion);
    QVERIFY(f.log().startsWith("0------->\r\n"));
}

void TestLink::incomingBatchLogged()
{
    WindowFixture f(quietSettings());
    QVERIFY(f.connectPty());
    f.reply(QByteArray(1, '\x7f'));
    QCOMPARE(f.log(), QByteArray("<-------\r\n\x7f\r\n"));
}

void TestLink::sendWhileClosedIsLogged()
{
    WindowFixture f(quietSettings());
    MainWindow &w = f.w();
    P::attemptsLeft(w) = 5;
    P::slotRead(w);
    QCOMPARE(f.log(), "0------->\r\n" + QByteArray::fromHex("210103") + "\r\n");
    QCOMPARE(P::expectedReply(w), SendType::readSetting);
}

void TestLink::firstTickSendsVersionRequest()
{
    WindowFixture f("[settings]\nZaprosTimeMs=20\nZaprosSimTimeMs=20\nZaprosResiverTimeMs=20\n");
    QVERIFY(f.connectPty());
    QCOMPARE(f.pty.readFor(3), QByteArray::fromHex("210101"));
    QVERIFY(f.log().startsWith("0------->\r\n" + QByteArray::fromHex("210101") + "\r\n"));
}

void TestLink::pulledCableClosesPort()
{
    WindowFixture f("[settings]\nZaprosTimeMs=20\nZaprosSimTimeMs=20\nZaprosResiverTimeMs=20\n");
    MainWindow &w = f.w();
    QVERIFY(f.connectPty());
    f.pty.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!P::port(w)->isOpen(), 3000);
    QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Подключить"));
    QVERIFY(P::cbPort(w)->isEnabled());
    QVERIFY(!P::pbRead(w)->isEnabled());
    QCOMPARE(P::currentAction(w), ActionType::none);
    QVERIFY(P::ui(w)->statusBar->currentMessage().contains(QStringLiteral("потеряна")));
}

QTEST_MAIN(TestLink)
#include "tst_link.moc"
