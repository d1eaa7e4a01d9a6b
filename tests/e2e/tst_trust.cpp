// What the technician can trust after a read or a write on a bad line or with an odd device:
// the panels show what the device holds or say they do not, a write is checked by reading it
// back, a question never loops, and "Стоп" ends what runs. One row a situation.

#include "e2e.h"

using namespace e2e;

namespace {

enum Act { Read, Write, Guard, StopWrite, StopPoll };

struct Case
{
    Type type;
    quint16 version;
    sim::Faults read;     // faults from connecting on
    sim::Faults write;    // faults from the write on
    QByteArray record;    // the device's settings record; empty: the simulator's factory one
    Act act;
    QList<QMessageBox::StandardButton> answers;
    QString status;       // the status bar at the end; %1 stands for the device's label
    QStringList texts;    // the boxes' texts
};

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

// The record a write of the window's panels sends (21 0E/0F rec 02 without its frame).
QByteArray panelsRecordHex(MainWindow &w)
{
    const QByteArray frame = w.panelsConfig().settingsFrame();
    return frame.mid(2, frame.size() - 3).toHex();
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestTrust : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void situations_data();
    void situations();
};

void TestTrust::situations_data()
{
    QTest::addColumn<Case>("c");
    QTest::addColumn<bool>("fast");
    const Type tx = Type::Transmitter, rx = Type::Receiver;
    const auto Yes = QMessageBox::Yes, No = QMessageBox::No;
    const QString read = QStringLiteral("Считано: %1"), checked = QStringLiteral("Записано и проверено: %1");
    const QList<QPair<const char *, Case>> rows = {
        {"noise on the first replies, records in pieces: channel 3, subnet 5, address 17",
         {tx, 221, faults([](sim::Faults &f) { f.garbageFirst = 6; f.splitChunk = 3; f.splitPauseMs = 1; }), {}, {},
          Read, {}, read, {}}},
        {"receiver without line ends or \">\": the read completes",
         {rx, 221, faults([](sim::Faults &f) { f.noTerminator = true; }), {}, {}, Read, {}, read, {}}},
        // In the fast pace, a pause well below the gap inside every reply.
        {"replies paused halfway: the read completes",
         {tx, 296, faults([](sim::Faults &f) { f.pauseInsideMs = 4; }), {}, {}, Read, {}, read, {}}},
        {"speed 7 in the record: named once, and the write asks first; No writes nothing",
         {tx, 296, {}, {}, QByteArray::fromHex("03051102070700010a0a0a0a01"), Guard, {No}, read, {kUnknown, kGuard}}},
        {"old receiver routes output 1 to transmitter 20: named once",
         {rx, 200, {}, {}, QByteArray::fromHex("0305020102070009801400000000"), Read, {}, read, {kUnknown}}},
        {"first write frame lost: the read-back asks, Yes writes the same values again",
         {tx, 296, {}, faults([](sim::Faults &f) { f.dropWrites = 1; }), {}, Write, {Yes}, checked, {kReadBack}}},
        {"radio module ignores AT: Yes to each question, the registers named",
         {rx, 296, {}, faults([](sim::Faults &f) { f.ignoreAt = true; }), {}, Write, {},
          checked + QStringLiteral("; не записаны в радиомодуль: S220, S250, S200, S202, S201"),
          QVector<QString>(7, kRadioWrite).toList()}},
        {"Стоп in the middle of a write: the module back in data mode",
         {tx, 296, {}, {}, {}, StopWrite, {}, QStringLiteral("Запись остановлена"), {}}},
        {"Стоп during a receiver poll: the table shows what came",
         {rx, 221, {}, {}, {}, StopPoll, {}, QStringLiteral("Опрос передатчиков остановлен"), {}}},
    };
    for (const bool fast : {false, true}) {
        for (const auto &row : rows) {
            // Seven silent steps wait whole periods in either pace: once is enough.
            if (!fast || !row.second.write.ignoreAt)
                QTest::addRow("%s%s", row.first, fast ? ", fast" : "") << row.second << fast;
        }
    }
}

void TestTrust::situations()
{
    QFETCH(Case, c);
    QFETCH(bool, fast);
    Bench b{c.type, c.version, c.read, Bench::Simulator, kPeriod, fast};
    MainWindow &w = b.w();
    if (!c.record.isEmpty())
        b.device.setSettings(c.record);
    QSignalSpy reads(&w, &MainWindow::readFinished), writes(&w, &MainWindow::writeFinished);

    QVERIFY(b.connect());
    WAIT_VERIFY(reads.size() == 1 && b.settled(), 10000);
    const bool known = c.texts.value(0) != kUnknown;
    if (known)
        COMPARE_PANELS(w, b.device);
    QCOMPARE(reads.first().first().toBool(), known);
    const QString label = P::lbVersion(w)->text();
    QCOMPARE(b.status(), QStringLiteral("Считано: %1").arg(label));
    QVERIFY(P::ui(w)->statusBar->currentMessage().endsWith(QStringLiteral(" с")));   // and how long it took

    b.server->setFaults(c.write);
    b.answers = c.answers;
    const int start = b.requests().size();
    const QByteArray before = b.device.settings() + deviceTable(b.device);
    if (c.act != Read) {
        edit(w, c.type, c.version);
        P::sbChannel(w)->setValue(4);   // up to 5 at the device's 19200
    }
    const QByteArray trigger = c.act == StopWrite ? at("ATS200=4\r") : QByteArray::fromHex("2102281e");
    if (c.act == StopWrite || c.act == StopPoll) {
        b.device.setRecordSilent(40, true);
        QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
            if (frame == trigger && !b.idle()) {
                // The button for the write, Esc for the poll.
                QMetaObject::invokeMethod(&w, [&w, &c] {
                    if (c.act == StopWrite) {
                        w.findChild<QPushButton *>(QStringLiteral("pbStop"))->click();
                        return;
                    }
                    QTest::keyClick(&w, Qt::Key_Escape);
                }, Qt::QueuedConnection);
            }
        });
    }
    if (c.act == StopPoll) {
        w.show();   // Esc reaches the window's shortcut only when it is the active window
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        startPoll(w, 0x08, 0x02, kMap40);
    }
    else if (c.act != Read)
        P::pbWrite(w)->click();

    if (c.act == Write || c.act == StopWrite)
        WAIT_VERIFY(writes.size() == 1 && b.settled(), 20000);
    else if (c.act == StopPoll)
        WAIT_VERIFY(b.tables.size() == 1 && b.settled(), 5000);
    WAIT_VERIFY(b.settled() && b.answers.isEmpty(), 5000);
    QCOMPARE(b.texts, c.texts);
    QCOMPARE(b.status(), c.status.arg(label));
    QVERIFY(!b.device.commandMode());
    QVERIFY(b.others.isEmpty());

    switch (c.act) {
    case Read:
        break;
    case Guard:
        QCOMPARE(b.requests().size(), start);
        break;
    case Write:
        QCOMPARE(b.device.settings().toHex(), panelsRecordHex(w));
        QVERIFY(b.barFull());
        break;
    case StopWrite:
        QCOMPARE(b.requests().mid(start).last(), at("ATO\r"));
        QCOMPARE((b.device.settings() + deviceTable(b.device)).toHex(), before.toHex());
        break;
    case StopPoll: {
        const QVector<QStringList> table = b.tables.first();
        QCOMPARE(table.value(3).value(1), QString::number(quint8(b.device.record(3).at(0))));
        QCOMPARE(table.value(40).value(1), QString());
        break;
    }
    }
    WAIT_VERIFY(b.logMatches(), 3000);
}

QTEST_MAIN(TestTrust)
#include "tst_trust.moc"
