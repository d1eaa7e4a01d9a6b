// A fleet from one profile, end to end: device A is read, edited, written and saved as a
// profile; device B is connected, the profile loaded over it keeping B's own address, and
// written. B then holds A's settings with its own address, and the journal has both writes.

#include "e2e.h"
#include "profilecontroller.h"

#include <QStandardPaths>

using namespace e2e;

class TestProfileFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        isolateUserFolders();
    }
    void fleet();
    void atStart_data();
    void atStart();
};

void TestProfileFlow::fleet()
{
    Bench b(Type::Transmitter, 296);
    auto *profiles = b.w().findChild<ProfileController *>();
    QVERIFY(profiles);
    QFile::remove(profiles->journalPath());
    QSignalSpy writes(&b.w(), &MainWindow::writeFinished);

    CONNECT_AND_READ(b);
    const QString portA = P::port(b.w())->portName();
    edit(b.w(), Type::Transmitter, 296);
    P::pbWrite(b.w())->click();
    WAIT_VERIFY(writes.size() == 1, 5000);
    const QString file = b.f.dir.filePath(QStringLiteral("site.json"));
    QCOMPARE(profiles->save(file, QStringLiteral("резервуары 1–12")), QString());

    // Device B: its own address 99, ДУТ 7 and subnet 9.
    sim::Device deviceB(Type::Transmitter, 296);
    QByteArray record = deviceB.settings();
    record[1] = 9;
    record[2] = 99;
    record[7] = 7;
    deviceB.setSettings(record);
    deviceB.setSRegister(250, 9);
    sim::PtyServer serverB(&deviceB);
    P::pbConnect(b.w())->click();   // lets A go
    b.w().selectPort(serverB.slavePath());
    const int tick = b.ticks;
    waitUntil([&] { return b.ticks > tick; });
    P::pbConnect(b.w())->click();
    WAIT_VERIFY(b.idle() && b.w().panelsTrusted(), 5000);
    const QString portB = P::port(b.w())->portName();

    profiles->load(file, true);
    WAIT_VERIFY(b.idle() && b.w().panelsFromProfile(), 5000);
    P::pbWrite(b.w())->click();
    WAIT_VERIFY(writes.size() == 2, 5000);
    QCOMPARE(writes.at(0).at(0).toInt(), int(MainWindow::WriteResult::Checked));
    QCOMPARE(writes.at(1).at(0).toInt(), int(MainWindow::WriteResult::Checked));
    QVERIFY(b.texts.isEmpty());

    QByteArray want = kTxWritten;   // A's values (subnet 5 included), B's address and ДУТ
    want[2] = 99;
    want[7] = 7;
    QCOMPARE(deviceB.settings().toHex(), want.toHex());
    QCOMPARE(deviceB.addressTable().toHex(), kEditedTable.toHex());
    QCOMPARE(registers(deviceB), kWrittenRegisters);

    QFile journal(profiles->journalPath());
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(journal.readAll()).split(QStringLiteral("\r\n"));
    QVERIFY2(lines.size() == 4, qPrintable(lines.join(QLatin1Char('\n'))));   // the titles, two writes, and the end of the last line
    QCOMPARE(lines.at(1).section(QLatin1Char(';'), 1), QStringLiteral("%1;Передатчик;296;42;—;проверено").arg(portA));
    QCOMPARE(lines.at(2).section(QLatin1Char(';'), 1),
             QStringLiteral("%1;Передатчик;296;99;%2;проверено").arg(portB, QDir::toNativeSeparators(file)));
    QCOMPARE(profiles->recentProfiles().value(0), file);
}

void TestProfileFlow::atStart_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("applied");
    const QByteArray head = R"({"format": "talver-profile", "version": 1, "device": ")";
    QTest::newRow("loaded after the read") << head + R"(transmitter", "radio": {"channel": 4}})" << true;
    QTest::newRow("broken file") << head + R"(transmitter", "radio": {"channel": 4})" << false;
    QTest::newRow("other device type") << head + R"(receiver"})" << false;
}

// Started with --port and --profile: the device is opened and read whatever the profile, and a
// refused profile is said in a box.
void TestProfileFlow::atStart()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, applied);
    Bench b(Type::Transmitter, 296);
    const QString file = b.f.dir.filePath(QStringLiteral("site.json"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(json) == json.size());
    f.close();
    b.w().selectPort(b.server->slavePath());
    b.w().findChild<ProfileController *>()->loadAtStart(file, true, true);
    WAIT_VERIFY(b.settled() && b.w().panelsTrusted(), 5000);
    QCOMPARE(b.w().panelsFromProfile(), applied);
    QCOMPARE(P::sbChannel(b.w())->value(), applied ? 4 : 3);
    QCOMPARE(b.texts, applied ? QStringList() : QStringList{QStringLiteral("Профиль не загружен: %1").arg(file)});
}

QTEST_MAIN(TestProfileFlow)
#include "tst_profileflow.moc"
