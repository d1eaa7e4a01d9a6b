// The window against a misbehaving controller and line: lost requests, replies in pieces,
// late or noisy replies, an odd device, a controller that changes its kind, "Стоп" or
// "Считать" in the middle of an operation, and the cable pulled. Whatever happens: no hang,
// the right notice or question, the panels show what the device holds or say they do not,
// every byte in the exchange log, and nothing half applied to the panels or to the device.

#include "fixture.h"

#include <ctime>

using namespace e2e;

namespace {

enum Act { Read, Write, Guard, StopWrite, ReadInWrite, StopPoll, TypeChange };

struct Case
{
    Type type;
    quint16 version;
    sim::Faults read;     // faults from connecting on
    sim::Faults write;    // faults from the act on
    QByteArray record;    // the device's settings record; empty: the simulator's factory one
    Act act;
    QList<QMessageBox::StandardButton> answers;
    QString status;       // the status bar at the end; %1 stands for the device's label; "?": not checked
    QStringList texts;    // the boxes' texts; {"?"}: not checked
    int period = kPeriod;
};

const QString kNoSettings = QStringLiteral("Не удалось считать настройки контроллера");
const QString kGuard = QStringLiteral(
    "Устройство не было считано полностью. Записать в него значения, которые показывает окно?");
const QString kReadBack = QStringLiteral("Записанные значения не подтверждены устройством. Записать ещё раз?");
const QString kUnknown = QStringLiteral("Устройство хранит значения, которые окно не может показать. Поля "
                                        "показывают другие значения, и запись отправит их вместо значений устройства.");

sim::Faults faults(const std::function<void(sim::Faults &)> &set)
{
    sim::Faults f;
    set(f);
    return f;
}

// Every panel field that the record and the tables fill, for "nothing changed" (left out: the
// device address, which identifying a receiver sets to 254, and the module's subnet and power).
QString panelFields(MainWindow &w)
{
    proto::DeviceConfig c = w.panelsConfig();
    c.transmitter.deviceAdr = c.transmitter.subnet = c.receiver.subnet = c.transmitter.power = c.receiver.power = 0;
    c.version = 296;
    c.deviceType = proto::Transmitter;
    const QByteArray tx = c.settingsFrame() + c.tableFrame();
    c.deviceType = proto::Receiver;
    return QString::fromLatin1((tx + c.settingsFrame() + c.tableFrame()).toHex());
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void situations_data();
    void situations();
    void pulledCable_data();
    void pulledCable();
};

void TestFaults::situations_data()
{
    QTest::addColumn<Case>("c");
    QTest::addColumn<bool>("fast");
    const Type tx = Type::Transmitter, rx = Type::Receiver;
    const auto Yes = QMessageBox::Yes, No = QMessageBox::No;
    const QString read = QStringLiteral("Считано: %1"), checked = QStringLiteral("Записано и проверено: %1");
    const auto f = faults;
    const sim::Faults drop3 = f([](sim::Faults &f) { f.dropEvery = 3; }), drop5 = f([](sim::Faults &f) { f.dropEvery = 5; }),
                      bytes = f([](sim::Faults &f) { f.splitChunk = 1; f.splitPauseMs = 1; }),
                      late = f([](sim::Faults &f) { f.delayMs = 25; }), noise = f([](sim::Faults &f) { f.garbage = true; });
    const QList<QPair<const char *, Case>> rows = {
        // Over a lossy line the read-back may differ: one more write, then the outcome stands.
        {"transmitter, every 3rd request lost: read, write, read back", {tx, 296, drop3, drop3, {}, Write, {Yes, No}, "?", {"?"}}},
        {"receiver, every 5th request lost: read, write, read back", {rx, 221, drop5, drop5, {}, Write, {Yes, No}, "?", {"?"}}},
        // The longest reply (32 bytes) must be in before the period ends.
        {"receiver, 1-byte chunks", {rx, 221, bytes, bytes, {}, Write, {}, checked, {}, 60}},
        {"transmitter, replies 25 ms late", {tx, 296, late, late, {}, Write, {}, checked, {}, 40}},
        // Noise before a binary record cannot be told from the record: no settings read can be
        // trusted, none may reach the panels; the write then asks first and gives up the read-back.
        {"transmitter, noise before replies", {tx, 296, noise, noise, {}, Write, {Yes, No}, "?", {kNoSettings, "?"}}},
        {"noise on the first replies, records in pieces: channel 3, subnet 5, address 17",
         {tx, 221, f([](sim::Faults &f) { f.garbageFirst = 6; f.splitChunk = 3; f.splitPauseMs = 1; }), {}, {}, Read, {}, read, {}}},
        {"receiver without line ends or \">\": the read completes",
         {rx, 221, f([](sim::Faults &f) { f.noTerminator = true; }), {}, {}, Read, {}, read, {}}},
        // In the fast pace, a pause well below the gap inside every reply.
        {"replies paused halfway: the read completes",
         {tx, 296, f([](sim::Faults &f) { f.pauseInsideMs = 4; }), {}, {}, Read, {}, read, {}}},
        {"speed 7 in the record: named once, and the write asks first; No writes nothing",
         {tx, 296, {}, {}, hex("03051102070700010a0a0a0a01"), Guard, {No}, read, {kUnknown, kGuard}}},
        {"old receiver routes output 1 to transmitter 20: named once",
         {rx, 200, {}, {}, hex("0305020102070009801400000000"), Read, {}, read, {kUnknown}}},
        {"first write frame lost: the read-back asks, Yes writes the same values again",
         {tx, 296, {}, f([](sim::Faults &f) { f.dropWrites = 1; }), {}, Write, {Yes}, checked, {kReadBack}}},
        {"radio module ignores AT: Yes to each question, the registers named",
         {rx, 296, {}, f([](sim::Faults &f) { f.ignoreAt = true; }), {}, Write, {},
          checked + QStringLiteral("; не записаны в радиомодуль: S220, S250, S200, S202, S201"),
          QVector<QString>(7, kRadioWrite).toList()}},
        {"Стоп in the middle of a write: the module back in data mode",
         {tx, 296, {}, {}, {}, StopWrite, {}, QStringLiteral("Запись остановлена"), {}}},
        {"Считать in the middle of a write: ATO, then the read", {tx, 296, {}, {}, {}, ReadInWrite, {}, read, {}}},
        {"Стоп during a receiver poll: the table shows what came",
         {rx, 221, {}, {}, {}, StopPoll, {}, QStringLiteral("Опрос передатчиков остановлен"), {}}},
        // The second read takes the new kind's layout throughout, the panels follow, and the
        // write sends the new kind's record.
        {"receiver, then transmitter", {rx, 221, {}, {}, {}, TypeChange, {}, checked, {}}},
        {"transmitter, then receiver", {tx, 221, {}, {}, {}, TypeChange, {}, checked, {}}},
    };
    // Seven silent steps wait whole periods in either pace, and a bad line is the normal pace's:
    // the fast pace gets the rows where every reply comes.
    for (const bool fast : {false, true}) {
        for (const auto &row : rows) {
            const Case &c = row.second;
            if (!fast || (c.act == Read && c.period == kPeriod) || c.act == StopWrite || c.act == Guard)
                QTest::addRow("%s%s", row.first, fast ? ", fast" : "") << c << fast;
        }
    }
}

// What the technician can trust after a read or a write on a bad line or with an odd device:
// the panels show what the device holds or say they do not, a write is checked by reading it
// back, nothing is half written, a question never loops, and "Стоп" ends what runs.
void TestFaults::situations()
{
    QFETCH(Case, c);
    QFETCH(bool, fast);
    Bench b{c.type, c.version, c.read, false, c.period, fast};
    MainWindow &w = b.w();
    if (!c.record.isEmpty())
        b.device.setSettings(c.record);
    const QByteArray before = b.device.settings() + deviceTable(b.device);
    const QString untouched = panelFields(w);
    const bool noisy = c.read.garbage, lossy = c.read.dropEvery > 0;
    const bool whole = !noisy && !lossy && !c.read.garbageFirst;   // every reply arrives, if in pieces or late
    QSignalSpy reads(&w, &MainWindow::readFinished), writes(&w, &MainWindow::writeFinished);

    QVERIFY(b.connect());
    WAIT_VERIFY(reads.size() == 1 && b.settled(), 20000);
    const bool known = c.texts.value(0) != kUnknown && !noisy;
    if (known)
        COMPARE_PANELS(w, b.device);
    if (noisy)
        QCOMPARE(panelFields(w), untouched);
    QCOMPARE(reads.first().first().toBool(), known);
    if (!noisy) {
        QCOMPARE(b.status(), QStringLiteral("Считано: %1").arg(P::lbVersion(w)->text()));
        QVERIFY(P::ui(w)->statusBar->currentMessage().endsWith(QStringLiteral(" с")));   // and how long it took
    }
    if (whole)
        QCOMPARE(b.requests(), readSequence(c.type, c.version));

    b.server->setFaults(c.write);
    b.answers = c.answers;
    const int start = b.requests().size(), boxes = b.boxes.size();
    const Type type = c.act == TypeChange ? Type(3 - c.type) : c.type;   // the other kind, or the same
    if (c.act == TypeChange) {
        b.device.setType(type);
        P::pbRead(w)->click();
        WAIT_VERIFY(reads.size() == 2 && b.settled(), 5000);
        QCOMPARE(b.requests().mid(start), readSequence(type, c.version));
        COMPARE_PANELS(w, b.device);
        QCOMPARE(P::resiverPanel(w)->isEnabled(), type == Type::Receiver);
        QCOMPARE(P::gbTransmitter(w)->isEnabled(), type == Type::Transmitter);
    }
    if (c.act != Read) {
        edit(w, type, c.version);
        P::sbChannel(w)->setValue(4);   // up to 5 at the device's 19200
    }
    const QByteArray trigger = c.act == StopPoll ? hex("2102281e") : at("ATS200=4\r");
    b.device.setRecordSilent(40, true);
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (frame == trigger && !b.idle() && (c.act == StopWrite || c.act == StopPoll || c.act == ReadInWrite)) {
            QMetaObject::invokeMethod(&w, [&w, &c] {
                if (c.act == StopPoll)
                    QTest::keyClick(&w, Qt::Key_Escape);
                else
                    (c.act == StopWrite ? w.findChild<QPushButton *>(QStringLiteral("pbStop")) : P::pbRead(w))->click();
            }, Qt::QueuedConnection);
        }
    });
    if (c.act == StopPoll) {
        w.show();   // Esc reaches the window's shortcut only when it is the active window
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        startPoll(w, 0x08, 0x02, kMap40);
        WAIT_VERIFY(b.tables.size() == 1 && b.settled(), 5000);
    } else if (c.act != Read) {
        P::pbWrite(w)->click();
        if (c.act != Guard)
            WAIT_VERIFY((c.act == ReadInWrite ? reads.size() == 2 : writes.size() == 1) && b.settled(), 20000);
    }
    const int checkedTexts = c.texts.indexOf("?");   // up to a "?", or all
    WAIT_VERIFY(b.settled() && (b.answers.isEmpty() || checkedTexts >= 0), 5000);
    b.answers.clear();
    QCOMPARE(checkedTexts < 0 ? b.texts : b.texts.mid(0, checkedTexts), c.texts.mid(0, checkedTexts));
    if (c.status != QLatin1String("?"))
        QCOMPARE(b.status(), QString(c.status).replace("%1", P::lbVersion(w)->text()));
    QVERIFY(!b.device.commandMode());
    QVERIFY(b.others.isEmpty());

    if (c.act == Guard)
        QCOMPARE(b.requests().size(), start);
    if (c.act == StopWrite || c.act == ReadInWrite) {
        const QList<QByteArray> radio = radioWriteSequence(0, 5, 4, 3, 1).mid(0, 4) << at("ATO\r");
        QCOMPARE(b.requests().mid(start), radio + (c.act == ReadInWrite ? readSequence(c.type, c.version) : QList<QByteArray>()));
        QCOMPARE((b.device.settings() + deviceTable(b.device)).toHex(), before.toHex());
    }
    if (c.act == ReadInWrite)
        QCOMPARE(P::sbChannel(w)->value(), 3);   // read back from the untouched record
    if (c.act == StopPoll) {
        const QVector<QStringList> table = b.tables.first();
        QCOMPARE(table.value(3).value(1), QString::number(quint8(b.device.record(3).at(0))));
        QCOMPARE(table.value(40).value(1), QString());
    }
    if (c.act == Write || c.act == TypeChange) {
        // The controller confirms neither the record nor the table: a lost frame leaves the
        // whole old one in the device, never a mix, and only the read back below shows it.
        const int n = deviceTable(b.device).size();
        const QByteArray table = w.panelsConfig().tableFrame().mid(2, n);
        QVERIFY(b.device.settings() == panelsRecord(w) || (lossy && b.device.settings() == before.chopped(n)));
        QVERIFY(deviceTable(b.device) == table || (lossy && deviceTable(b.device) == before.right(n)));
        if (b.boxes.size() == boxes)   // the radio registers are confirmed, and repeated until they are
            QCOMPARE(registers(b.device), (QList<int>{0, 5, 4, 3, 1}));
        const int shown = b.boxes.size();
        b.server->setFaults(c.read);
        P::pbRead(w)->click();
        WAIT_VERIFY(b.settled() && (b.readDone() || b.boxes.size() > shown), 20000);
        if (!noisy) {
            QCOMPARE(b.boxes.size(), shown);
            COMPARE_PANELS(w, b.device);
        }
    }
    QByteArray digits;
    WAIT_VERIFY(b.logMatches(&digits), 3000);
    if (whole && c.texts.isEmpty() && c.act != StopPoll)
        QCOMPARE(digits, QByteArray(b.requests().size(), '0'));   // no request had to be repeated
}

void TestFaults::pulledCable_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("trigger");   // the request whose answer never comes
    QTest::newRow("during a read") << int(Type::Transmitter) << "read" << at("ATS202?\r");
    QTest::newRow("during a write") << int(Type::Transmitter) << "write" << at("ATS200=4\r");
    QTest::newRow("during a receiver poll") << int(Type::Receiver) << "poll" << hex("2102091e");
}

// The cable is pulled while a request waits for its answer: the port is closed with a note,
// the window waits for a new connection without spinning, applied and wrote nothing half, and
// reads again once connected to a line that works.
void TestFaults::pulledCable()
{
    QFETCH(int, type);
    QFETCH(QString, operation);
    QFETCH(QByteArray, trigger);
    sim::Faults faults;
    faults.delayMs = 10;   // the trigger's answer is still on its way when the cable goes
    Bench b{Type(type), 221, faults, false, 30};
    MainWindow &w = b.w();
    bool armed = operation == QLatin1String("read"), pulled = false;
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (armed && frame == trigger && !pulled) {
            pulled = true;
            // Not from inside the server's own read handler: closing deletes its notifier.
            QMetaObject::invokeMethod(b.server, [&b] { b.server->closeMaster(); }, Qt::QueuedConnection);
        }
    });
    QVERIFY(b.connect());
    if (!armed) {
        WAIT_VERIFY(b.readDone(), 5000);
        if (operation == QLatin1String("write")) {
            P::sbChannel(w)->setValue(4);
            P::pbWrite(w)->click();
        } else {
            startPoll(w, 0x08, 0x02, kMap40);
        }
        armed = true;
    }
    const QByteArray held = b.device.settings() + deviceTable(b.device);
    const QString fields = panelFields(w);

    WAIT_VERIFY(pulled && !P::port(w)->isOpen(), 5000);
    QVERIFY(b.idle());
    QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Подключить"));
    QVERIFY(!P::pbRead(w)->isEnabled() && P::cbPort(w)->isEnabled());
    QVERIFY(P::portNote(w)->note().startsWith(QStringLiteral("Связь с портом")));
    QCOMPARE(b.progress(), 0);

    // Idle and quiet: no box, no dialog, no request, and no CPU burnt on a dead descriptor.
    const auto cpuMs = [] { return qint64(std::clock()) * 1000 / CLOCKS_PER_SEC; };   // user and system
    const int requests = b.requests().size();
    const qint64 cpu = cpuMs();
    waitUntil([] { return false; }, 1000);
    const qint64 spent = cpuMs() - cpu;
    QVERIFY2(spent < 100, qPrintable(QStringLiteral("%1 ms of CPU in 1 s idle").arg(spent)));
    QCOMPARE(b.requests().size(), requests);
    QVERIFY(b.boxes.isEmpty() && b.tables.isEmpty() && b.others.isEmpty());
    QCOMPARE(b.requests().last(), trigger);
    QCOMPARE(panelFields(w), fields);
    QCOMPARE((b.device.settings() + deviceTable(b.device)).toHex(), held.toHex());
    QVERIFY(b.logMatches());

    auto *line = new sim::PtyServer(&b.device, {}, &b.root);
    QVERIFY(b.f.connect(line->slavePath()));
    WAIT_VERIFY(b.readDone() && b.requests().size() == requests + 7, 5000);
    COMPARE_PANELS(w, b.device);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
