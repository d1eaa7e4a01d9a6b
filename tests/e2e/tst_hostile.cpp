// The main window against a misbehaving controller and line: silence, lost requests, "ERROR"
// to every register write, replies in single bytes, late replies, line noise, a controller
// that changes its kind between reads, and the cable pulled in the middle of an exchange.
// Whatever happens: no crash, no hang, the right notice or question, a usable window, every
// byte in the exchange log, and nothing half applied to the panels or to the device.

#include "e2e.h"

using namespace e2e;
using Type = sim::Device::Type;

namespace {

const QString kNoAnswer = QStringLiteral("Нет ответа от контроллера");
const QString kNoSettings = QStringLiteral("Не удалось считать настройки контроллера");
const QString kRadioWrite = QStringLiteral("Не удалось сохранить настройки радиомодуля. Продолжить?");

constexpr int kPeriod = 20;

// What the edits below leave in the window, as the controller must receive it.
const QByteArray kTxWritten = hex("08052a010103000b1e1f202100");
const QByteArray kRxWritten = hex("0805040101030181420607080900");
const QList<int> kWrittenRegisters = {0, 5, 8, 3, 1};   // 220, 250, 200, 202, 201

void edit(MainWindow &w, Type type)
{
    P::cbSpeed(w)->setCurrentIndex(1);
    P::sbChannel(w)->setValue(8);
    P::knobPower(w)->setValue(3);
    P::cbRegim(w)->setCurrentIndex(0);
    P::cbRs485Speed(w)->setCurrentIndex(1);
    if (type == Type::Transmitter) {
        P::sbDeviceAdr(w)->setValue(42);
        P::sbDutAdr(w)->setValue(11);
        P::sbTimeFd1(w)->setValue(30);
        P::sbTimeFd2(w)->setValue(31);
        P::sbTimeAd1(w)->setValue(32);
        P::sbTimeAd2(w)->setValue(33);
        P::cbDutRange(w)->setCurrentIndex(1);
        return;
    }
    resiver *rp = P::resiverPanel(w);
    rp->setPeriod(4);
    rp->setAdrMask0(0x81);
    rp->setAdrMask1(0x42);
    rp->setFq1(6);
    rp->setFq2(7);
    rp->setAn1(8);
    rp->setAn2(9);
    rp->setFq1Mode(1);
    rp->setFq2Mode(0);
    rp->setOldProtokol(false);
}

// Every panel field that the settings record and the tables fill, for "nothing changed". The
// device address is left out: identifying a receiver sets it to 254.
QStringList recordFields(MainWindow &w)
{
    resiver *rp = P::resiverPanel(w);
    return {QString::number(P::sbChannel(w)->value()),
            QString::number(P::cbRegim(w)->currentIndex()), QString::number(P::cbRs485Speed(w)->currentIndex()),
            QString::number(P::cbSpeed(w)->currentIndex()), QString::number(P::sbDutAdr(w)->value()),
            QString::number(P::sbTimeFd1(w)->value()), QString::number(P::sbTimeFd2(w)->value()),
            QString::number(P::sbTimeAd1(w)->value()), QString::number(P::sbTimeAd2(w)->value()),
            QString::number(P::cbDutRange(w)->currentIndex()), QString::number(rp->getPeriod()),
            QString::number(rp->getAdrMask0()), QString::number(rp->getAdrMask1()),
            QString::number(rp->getFq1()), QString::number(rp->getFq2()), QString::number(rp->getAn1()),
            QString::number(rp->getAn2()), QString::number(rp->getFq1Mode()),
            QString::number(rp->getFq2Mode()), QString::number(rp->getOldProtokol()),
            QString::fromLatin1(P::massiveAdr(w)->getMassive().toHex()),
            QString::fromLatin1(rp->getAdrMaskExt().toHex())};
}

// The simulator's factory receiver polls every 10 s, beyond the panel's 1..5.
void periodInRange(sim::Device &d)
{
    if (d.type() != Type::Receiver)
        return;
    QByteArray record = d.settings();
    record[2] = 3;
    d.setSettings(record);
}

bool settled(Bench &b)
{
    return b.idle() && !QApplication::activeModalWidget();
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void silence();
    void faultyLine_data();
    void faultyLine();
    void errorAtWrites_data();
    void errorAtWrites();
    void typeChange_data();
    void typeChange();
    void pulledCable_data();
    void pulledCable();
};

void TestHostile::initTestCase()
{
    // The window's trace lines would only drown the report.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

// A controller that answers nothing: six identification requests, the notice, a quiet
// sequencer while it is open, and a window that reads as soon as the controller is back.
void TestHostile::silence()
{
    sim::Faults faults;
    faults.silent = true;
    Bench b(periods(kPeriod), Type::Transmitter, 296, faults);
    MainWindow &w = b.w();
    b.watcher->setHoldMs(4 * kPeriod);
    QVERIFY(b.connect());
    WAIT_VERIFY(b.watcher->boxes.size() == 1 && settled(b), 5000);
    QCOMPARE(b.watcher->texts(), QStringList{kNoAnswer});
    QCOMPARE(b.watcher->boxes.first().requestsAtShow, 6);
    QCOMPARE(b.watcher->boxes.first().requestsAtClose, 6);
    QCOMPARE(b.watcher->boxes.first().indicatorAtClose, QString::fromLatin1(kGrey));
    QCOMPARE(describe(b.requests()), describe(QList<QByteArray>() << hex("210101") << hex("210101") << hex("210101")
                                                                  << hex("210101") << hex("210101") << hex("210101")));
    const int quiet = b.ticks;
    WAIT_VERIFY(b.ticks >= quiet + 6, 5000);
    QCOMPARE(b.requests().size(), 6);
    QVERIFY(P::port(w)->isOpen());
    QVERIFY(P::pbRead(w)->isEnabled());

    b.server->setFaults({});
    P::pbRead(w)->click();
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    comparePanels(w, b.device);
    if (QTest::currentTestFailed())
        return;
    QByteArray digits;
    WAIT_VERIFY(b.logMatches(&digits), 3000);
    QCOMPARE(digits, QByteArray("012345" "0000000"));
}

void TestHostile::faultyLine_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("dropEvery");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("garbage");
    QTest::addColumn<QString>("readNotice");   // empty: the read completes

    for (int type : {int(Type::Transmitter), int(Type::Receiver)}) {
        const char *name = type == int(Type::Transmitter) ? "transmitter 296" : "receiver 221";
        QTest::addRow("%s, every 3rd request lost", name) << type << kPeriod << 3 << 0 << 0 << false << QString();
        QTest::addRow("%s, every 5th request lost", name) << type << kPeriod << 5 << 0 << 0 << false << QString();
        QTest::addRow("%s, 1-byte chunks", name) << type << 60 << 0 << 1 << 0 << false << QString();
        QTest::addRow("%s, replies 25 ms late", name) << type << 40 << 0 << 0 << 25 << false << QString();
        // Noise before a binary record cannot be told from the record: no settings read can
        // be trusted, and none may reach the panels.
        QTest::addRow("%s, noise before replies", name) << type << kPeriod << 0 << 0 << 0 << true << kNoSettings;
    }
}

// A full read, a full write and a read back over a bad line.
void TestHostile::faultyLine()
{
    QFETCH(int, type);
    QFETCH(int, period);
    QFETCH(int, dropEvery);
    QFETCH(int, chunk);
    QFETCH(int, delayMs);
    QFETCH(bool, garbage);
    QFETCH(QString, readNotice);

    sim::Faults faults;
    faults.dropEvery = dropEvery;
    faults.splitChunk = chunk;
    faults.splitPauseMs = 1;
    faults.delayMs = delayMs;
    faults.garbage = garbage;
    const quint16 version = type == int(Type::Transmitter) ? 296 : 221;
    Bench b(periods(period), Type(type), version, faults);
    MainWindow &w = b.w();
    periodInRange(b.device);
    const QByteArray oldRecord = b.device.settings();
    const QByteArray oldTable = type == int(Type::Transmitter) ? b.device.addressTable() : b.device.transmitterMap();
    const QStringList untouched = recordFields(w);

    // Read.
    QVERIFY(b.connect());
    WAIT_VERIFY(settled(b) && (b.progress() == 10 || !b.watcher->boxes.isEmpty()), 20000);
    if (readNotice.isEmpty()) {
        QCOMPARE(b.watcher->texts(), QStringList());
        comparePanels(w, b.device);
        if (QTest::currentTestFailed())
            return;
    } else {
        QCOMPARE(b.watcher->texts(), QStringList{readNotice});
        QCOMPARE(recordFields(w), untouched);
    }

    // Write.
    edit(w, Type(type));
    const QByteArray table = type == int(Type::Transmitter) ? P::massiveAdr(w)->getMassive()
                                                            : P::resiverPanel(w)->getAdrMaskExt();
    const QByteArray record = type == int(Type::Transmitter) ? kTxWritten : kRxWritten;
    const int boxes = b.watcher->boxes.size();
    P::pbWrite(w)->click();
    WAIT_VERIFY(settled(b) && (b.progress() == 9 || b.watcher->boxes.size() > boxes), 20000);
    const QByteArray frame = hex(type == int(Type::Transmitter) ? "210e" : "210f") + record + hex("02");
    WAIT_VERIFY(b.requests().contains(frame), 3000);   // the last frame of the write is in
    const QByteArray newTable = type == int(Type::Transmitter) ? b.device.addressTable() : b.device.transmitterMap();
    const QByteArray newRecord = b.device.settings();
    if (b.watcher->boxes.size() == boxes) {
        // The radio registers are confirmed, and repeated until they are.
        QCOMPARE(registers(b.device), kWrittenRegisters);
    }
    if (dropEvery == 0) {
        QCOMPARE(newRecord.toHex(), record.toHex());
        QCOMPARE(newTable.toHex(), table.toHex());
    } else {
        // The controller confirms neither the record nor the table: a lost frame leaves the
        // whole old one in the device, never a mix, and only the read back below shows it.
        QVERIFY2(newRecord == oldRecord || newRecord == record, newRecord.toHex().constData());
        QVERIFY2(newTable == oldTable || newTable == table, newTable.toHex().constData());
        if (newRecord != record || newTable != table)
            qInfo("write reported done, but the device missed the %s", newRecord != record ? "record" : "table");
    }

    // Read back: what the panels show is what the device holds.
    const int before = b.watcher->boxes.size();
    P::pbRead(w)->click();
    WAIT_VERIFY(settled(b) && (b.progress() == 10 || b.watcher->boxes.size() > before), 20000);
    if (readNotice.isEmpty()) {
        QCOMPARE(b.watcher->boxes.size(), before);
        comparePanels(w, b.device);
        if (QTest::currentTestFailed())
            return;
    }
    QVERIFY(b.watcher->others.isEmpty());
    WAIT_VERIFY(b.logMatches(), 3000);
}

void TestHostile::errorAtWrites_data()
{
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("writes220");   // how often "ATS220=" goes out
    QTest::newRow("No") << QList<int>{QMessageBox::No} << 6;
    QTest::newRow("Yes, then No") << QList<int>{QMessageBox::Yes, QMessageBox::No} << 7;
}

// A module that answers "ERROR" to every register write: the question, nothing further
// written, and the window still reads.
void TestHostile::errorAtWrites()
{
    QFETCH(QList<int>, answers);
    QFETCH(int, writes220);

    Bench b(periods(kPeriod), Type::Transmitter, 296);
    MainWindow &w = b.w();
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    const QByteArray record = b.device.settings();
    const QByteArray table = b.device.addressTable();
    const QList<int> regs = registers(b.device);

    sim::Faults faults;
    faults.errorAtWrites = true;
    b.server->setFaults(faults);
    for (int a : answers)
        b.watcher->answer(QMessageBox::StandardButton(a));
    edit(w, Type::Transmitter);
    const int start = b.requests().size();
    P::pbWrite(w)->click();
    WAIT_VERIFY(b.watcher->boxes.size() == answers.size() && settled(b), 5000);
    const int quiet = b.ticks;
    WAIT_VERIFY(b.ticks >= quiet + 6, 5000);

    QList<QByteArray> expected = {at("+++")};
    for (int i = 0; i < writes220; ++i)
        expected << at("ATS220=0\r");
    QCOMPARE(describe(b.requests().mid(start)), describe(expected));
    QCOMPARE(b.watcher->texts(), QStringList(QVector<QString>(answers.size(), kRadioWrite).toList()));
    QCOMPARE(registers(b.device), regs);
    QCOMPARE(b.device.settings().toHex(), record.toHex());
    QCOMPARE(b.device.addressTable().toHex(), table.toHex());
    QVERIFY(b.device.commandMode());   // "ATO" never went out

    // The reads still work, and the read puts the module back into data mode.
    b.server->setFaults({});
    P::pbRead(w)->click();
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    comparePanels(w, b.device);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!b.device.commandMode());
    WAIT_VERIFY(b.logMatches(), 3000);
}

void TestHostile::typeChange_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("receiver, then transmitter") << int(Type::Receiver) << int(Type::Transmitter);
    QTest::newRow("transmitter, then receiver") << int(Type::Transmitter) << int(Type::Receiver);
}

// The controller on the line changes its kind between two reads: the second read takes the
// new kind's layout throughout, the panels follow, and the write sends the new kind's record.
void TestHostile::typeChange()
{
    QFETCH(int, first);
    QFETCH(int, second);

    Bench b(periods(kPeriod), Type(first), 221);
    MainWindow &w = b.w();
    periodInRange(b.device);
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    comparePanels(w, b.device);
    if (QTest::currentTestFailed())
        return;
    const QByteArray firstRecord = b.device.settings();

    b.device.setType(Type(second));
    periodInRange(b.device);
    const int start = b.requests().size();
    P::pbRead(w)->click();
    WAIT_VERIFY(b.idle() && b.progress() == 10 && b.requests().size() - start == 7, 5000);
    QCOMPARE(describe(b.requests().mid(start)), describe(readSequence(Type(second), 221)));
    comparePanels(w, b.device);
    if (QTest::currentTestFailed())
        return;
    const bool receiver = second == int(Type::Receiver);
    QCOMPARE(P::resiverPanel(w)->isEnabled(), receiver);
    QCOMPARE(P::gbTransmitter(w)->isEnabled(), !receiver);
    QCOMPARE(P::gbData(w)->isEnabled(), !receiver);
    if (receiver)
        QCOMPARE(P::sbDeviceAdr(w)->value(), 254);

    edit(w, Type(second));
    P::pbWrite(w)->click();
    const QByteArray record = receiver ? kRxWritten : kTxWritten;
    WAIT_VERIFY(b.idle() && b.progress() == 9 && b.device.settings() == record, 5000);
    QCOMPARE(b.requests().last().toHex(), (hex(receiver ? "210f" : "210e") + record + hex("02")).toHex());
    b.device.setType(Type(first));
    QCOMPARE(b.device.settings().toHex(), firstRecord.toHex());   // the other kind's record untouched
    QVERIFY(b.watcher->boxes.isEmpty());
    WAIT_VERIFY(b.logMatches(), 3000);
}

void TestHostile::pulledCable_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("trigger");   // the request whose answer never comes

    QTest::newRow("during a read") << int(Type::Transmitter) << "read" << at("ATS202?\r");
    QTest::newRow("during a write") << int(Type::Transmitter) << "write" << at("ATS200=4\r");
    QTest::newRow("during a receiver poll") << int(Type::Receiver) << "poll" << hex("2102091e");
}

// The cable is pulled while a request waits for its answer: the port is closed and the
// window says why, waits for a new connection without spinning, applied and wrote nothing
// half, and reads again once connected to a line that works.
void TestHostile::pulledCable()
{
    QFETCH(int, type);
    QFETCH(QString, operation);
    QFETCH(QByteArray, trigger);

    constexpr int period = 30;
    sim::Faults faults;
    faults.delayMs = 10;   // the trigger's answer is still on its way when the cable goes
    Bench b(periods(period), Type(type), 221, faults);
    MainWindow &w = b.w();
    periodInRange(b.device);
    bool armed = operation == QLatin1String("read");
    bool pulled = false;
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (armed && frame == trigger && !pulled) {
            pulled = true;
            // Not from inside the server's own read handler: closing deletes its notifier.
            QMetaObject::invokeMethod(b.server, [&b] { b.server->closeMaster(); }, Qt::QueuedConnection);
        }
    });

    QVERIFY(b.connect());
    if (operation != QLatin1String("read")) {
        WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
        if (operation == QLatin1String("write")) {
            P::sbChannel(w)->setValue(4);
            P::pbWrite(w)->click();
        } else {
            resiver *rp = P::resiverPanel(w);
            rp->setAdrMask0(0x08);
            rp->setAdrMask1(0x02);
            QByteArray map(30, '\0');
            map[3] = 0x01;
            rp->setAdrMaskExt(map);
            rp->findChild<QPushButton *>(QStringLiteral("curValue"))->click();
        }
        armed = true;
    }
    const QByteArray record = b.device.settings();
    const QByteArray table = type == int(Type::Transmitter) ? b.device.addressTable() : b.device.transmitterMap();
    const QStringList fields = recordFields(w);

    WAIT_VERIFY(pulled && !P::port(w)->isOpen(), 5000);
    QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Подключить"));
    QVERIFY(!P::pbRead(w)->isEnabled());
    QVERIFY(!P::pbWrite(w)->isEnabled());
    QVERIFY(!P::pbDefault(w)->isEnabled());
    QVERIFY(P::cbPort(w)->isEnabled());
    QVERIFY(P::ui(w)->statusBar->currentMessage().startsWith(QStringLiteral("Связь с портом потеряна")));
    QVERIFY(b.idle());

    // Idle and quiet: no box, no dialog, no request, and no CPU burnt on a dead descriptor.
    const int requests = b.requests().size();
    const qint64 cpu = cpuMs();
    QEventLoop idle;
    QTimer::singleShot(1000, &idle, &QEventLoop::quit);
    idle.exec();
    const qint64 spent = cpuMs() - cpu;
    QVERIFY2(spent < 100, qPrintable(QStringLiteral("%1 ms of CPU in 1 s idle").arg(spent)));
    QCOMPARE(b.requests().size(), requests);
    QVERIFY(b.watcher->boxes.isEmpty());
    QVERIFY(b.watcher->tables.isEmpty());
    QVERIFY(b.watcher->others.isEmpty());
    QCOMPARE(b.requests().last(), trigger);
    QCOMPARE(recordFields(w), fields);
    QCOMPARE(b.device.settings().toHex(), record.toHex());
    QCOMPARE((type == int(Type::Transmitter) ? b.device.addressTable() : b.device.transmitterMap()).toHex(),
             table.toHex());
    QVERIFY(b.logMatches());

    // A new line: connect and read.
    auto *line = new sim::PtyServer(&b.device, {}, &b.root);
    w.selectPort(line->slavePath());
    P::pbConnect(w)->click();
    QVERIFY(P::port(w)->isOpen());
    WAIT_VERIFY(b.idle() && b.progress() == 10 && b.requests().size() == requests + 7, 5000);
    comparePanels(w, b.device);
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
