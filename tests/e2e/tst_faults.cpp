// The window against a misbehaving controller and line: lost requests, replies in pieces,
// late or noisy replies, an odd device, a controller that changes its kind, "Стоп" or
// "Считать" in the middle of an operation, and the cable pulled. Whatever happens: no hang,
// the right notice or question, the panels show what the device holds or say they do not,
// every byte in the exchange log, and nothing half applied to the panels or to the device.
// A pulled cable leaves the window closed, quiet and ready for a new connection.

#include "fixture.h"
#include "profilecontroller.h"

#include <ctime>

using namespace e2e;

namespace {

enum Act { Read, Write, Refused, Guard, StopWrite, ReadInWrite, StopPoll, TypeChange, PullRead, PullWrite, PullPoll,
           Disconnect, FailedRead, CloseInWrite, DefaultInWrite };

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
    QString word = {};    // the write's result in the journal; empty: not checked
};

const QString kNoSettings = QStringLiteral("Не удалось считать настройки контроллера");
const QString kGuard = QStringLiteral(
    "Устройство не было считано полностью. Записать в него значения, которые показывает окно?");
// Unwritten edits before "Считать" or "Подключить": the first five named, the rest counted.
const QString kDrop = QStringLiteral("В окне есть изменения, не записанные в устройство: Канал связи; Мощность; Скорость; "
                                     "Интерфейс RS-485, скорость; %1 и ещё %2. Продолжить без записи?");
const QString kClose = QStringLiteral("Идёт обмен с устройством. Прервать и закрыть?");
const QString kDefaults = QStringLiteral("Вы уверены что хотите применить заводские настройки?\r\nВНИМАНИЕ!!!\r\n"
                                         "Текущие параметры будут обновлены!");
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
                      late = f([](sim::Faults &f) { f.delayMs = 25; }), late10 = f([](sim::Faults &f) { f.delayMs = 10; }),
                      noise = f([](sim::Faults &f) { f.garbage = true; });
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
         {tx, 296, {}, f([](sim::Faults &f) { f.dropWrites = 1; }), {}, Write, {Yes}, checked, {kReadBack}, kPeriod, "проверено"}},
        {"table and settings writes lost: No to writing again", {tx, 296, {}, f([](sim::Faults &f) { f.dropWrites = 2; }), {}, Refused,
          {No}, QStringLiteral("Записано с расхождениями: %1"), {kReadBack}, kPeriod, "расхождения"}},
        {"radio module ignores AT: Yes to each question, the registers named",
         {rx, 296, {}, f([](sim::Faults &f) { f.ignoreAt = true; }), {}, Write, {},
          QStringLiteral("Записано с пропусками: %1; не записаны в радиомодуль: S220, S250, S200, S202, S201; "
                         "радиомодуль может остаться в режиме команд"),
          QVector<QString>(7, kRadioWrite).toList(), kPeriod, "пропуски"}},
        {"radio module ignores AT: No at the first question", {rx, 296, {}, f([](sim::Faults &f) { f.ignoreAt = true; }), {},
          Refused, {No}, QStringLiteral("Запись отменена: таблица и настройки не отправлены"), {kRadioWrite}, kPeriod, "отменено"}},
        {"Стоп in the middle of a write: the module back in data mode",
         {tx, 296, {}, {}, {}, StopWrite, {}, QStringLiteral("Запись остановлена"), {}, kPeriod, "остановлено"}},
        {"Отключить after ticking an empty row: the In1A note and mark, No keeps port and edits",
         {tx, 296, {}, {}, {}, Disconnect, {No}, read, {QStringLiteral("В окне есть изменения, не записанные в устройство: "
          "Таблица адресов, строка 5; Таблица адресов, Вх.1 А/Д. Продолжить без записи?")}}},
        {"a failed read after a good one: the note, the bar at 0, Записать asks, No",
         {tx, 296, {}, f([](sim::Faults &f) { f.silent = true; }), {}, FailedRead, {QMessageBox::Ok, No}, "?",
          {QStringLiteral("Нет ответа от контроллера"), kGuard}}},
        {"closing the window during a write: ATO the last frame", {tx, 296, {}, {}, {}, CloseInWrite, {Yes},
                                                                    QStringLiteral("Запись остановлена"), {kClose}}},
        {"По умолчанию during a write: ATO, then its question", {tx, 296, {}, {}, {}, DefaultInWrite, {No},
                                                                  QStringLiteral("Запись остановлена"), {kDefaults}}},
        {"Считать in the middle of a write: ATO, then the read", {tx, 296, {}, {}, {}, ReadInWrite, {}, read, {kDrop.arg("Адрес устройства").arg(10)}}},
        {"Стоп during a receiver poll: the table shows what came",
         {rx, 221, {}, {}, {}, StopPoll, {}, QStringLiteral("Опрос передатчиков остановлен"), {}}},
        // The second read takes the new kind's layout throughout, the panels follow, and the
        // write sends the new kind's record.
        {"receiver, then transmitter", {rx, 221, {}, {}, {}, TypeChange, {}, checked, {}}},
        {"transmitter, then receiver", {tx, 221, {}, {}, {}, TypeChange, {}, checked, {}}},
        // The answer to the last request is still on its way when the cable goes.
        {"cable pulled during a read", {tx, 221, late10, late10, {}, PullRead, {}, "?", {}, 30}},
        {"cable pulled during a write", {tx, 221, late10, late10, {}, PullWrite, {}, "?", {"?"}, 30, "связь потеряна"}},
        {"cable pulled during a receiver poll", {rx, 221, late10, late10, {}, PullPoll, {}, "?", {kDrop.arg("Период опроса, сек.").arg(13)}, 30}},
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
    Bench b{c.type, c.version, c.read, c.period, fast};
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
    QVERIFY(!noisy || b.details.value(0).contains(QStringLiteral("Пришли лишние байты: помехи на линии")));   // not "late"
    QCOMPARE(reads.first().first().toBool(), known);
    if (!noisy) {
        QCOMPARE(b.status(), QStringLiteral("Считано: %1").arg(P::lbVersion(w)->text()));
        // How long it took, and how many requests were sent again, as the monitor shows them.
        const QString message = P::ui(w)->statusBar->currentMessage();
        const int repeats = b.decisions().filter(QRegularExpression(QStringLiteral("^Повтор"))).size();
        QVERIFY2(message.endsWith(repeats ? QStringLiteral(" с, повторов: %1").arg(repeats) : QStringLiteral(" с")), qPrintable(message));
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
    if (c.act == Disconnect)   // the table's rule clears the In1A mark of row 1
        qobject_cast<QAbstractButton *>(P::massiveAdr(w)->rowBoxes(5).first())->click();
    if (c.act != Read && c.act != PullRead && c.act != Disconnect && c.act != FailedRead) {   // edits a read would guard
        edit(w, type, c.version);
        P::sbChannel(w)->setValue(4);   // up to 5 at the device's 19200
    }
    const bool pull = c.act == PullRead || c.act == PullWrite || c.act == PullPoll;
    const QByteArray trigger = c.act == StopPoll || c.act == PullPoll ? hex("2102281e")
                               : c.act == PullRead ? at("ATS202?\r") : at("ATS200=4\r");
    b.device.setRecordSilent(40, true);
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (frame == trigger && pull)   // not from inside the server's read handler: closing deletes its notifier
            QMetaObject::invokeMethod(b.server, [&b] { b.server->closeMaster(); }, Qt::QueuedConnection);
        if (frame == trigger && !b.idle() && (c.act >= CloseInWrite || c.act == StopWrite || c.act == StopPoll || c.act == ReadInWrite)) {
            QMetaObject::invokeMethod(&w, [&w, &c] {
                if (c.act == StopPoll)
                    QTest::keyClick(&w, Qt::Key_Escape);
                else
                    c.act == CloseInWrite ? void(w.close())
                                          : (c.act == StopWrite ? w.findChild<QPushButton *>(QStringLiteral("pbStop"))
                                             : c.act == DefaultInWrite ? P::pbDefault(w) : P::pbRead(w))->click();
            }, Qt::QueuedConnection);
        }
    });
    if (c.act == StopPoll || c.act == CloseInWrite) {
        w.show();   // Esc reaches the window's shortcut only when it is the active window
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    if (c.act == StopPoll || c.act == PullPoll)
        startPoll(w, 0x08, 0x02, kMap40);
    else if (c.act == PullRead || c.act == FailedRead)
        P::pbRead(w)->click();
    else if (c.act == Disconnect)
        P::pbConnect(w)->click();
    else if (c.act != Read)
        P::pbWrite(w)->click();
    const QString fields = panelFields(w);   // a pulled cable must leave them so
    if (c.act == StopPoll)
        WAIT_VERIFY(b.tables.size() == 1 && b.settled(), 5000);
    else if (c.act == FailedRead)
        WAIT_VERIFY(reads.size() == 2 && b.settled(), 20000);
    else if (c.act != Read && c.act != Guard && c.act != Disconnect && !pull)
        WAIT_VERIFY((c.act == ReadInWrite ? reads.size() == 2 : writes.size() == 1) && b.settled(), 20000);
    if (c.act == FailedRead)
        P::pbWrite(w)->click();
    if (pull) {
        WAIT_VERIFY(!P::port(w)->isOpen(), 5000);
        QVERIFY(b.idle());
        QCOMPARE(P::pbConnect(w)->text(), QStringLiteral("Подключить"));
        QVERIFY(!P::pbRead(w)->isEnabled() && P::cbPort(w)->isEnabled());
        QVERIFY(P::portNote(w)->note().startsWith(QStringLiteral("Связь с портом")));
        QCOMPARE(b.progress(), 0);
        // Idle and quiet: no box, no dialog, and no CPU burnt on a dead descriptor.
        const auto cpuMs = [] { return qint64(std::clock()) * 1000 / CLOCKS_PER_SEC; };   // user and system
        const qint64 cpu = cpuMs();
        waitUntil([] { return false; }, 1000);
        const qint64 spent = cpuMs() - cpu;
        QVERIFY2(spent < 100, qPrintable(QStringLiteral("%1 ms of CPU in 1 s idle").arg(spent)));
        QVERIFY(b.tables.isEmpty() && b.boxes.size() == int(c.act == PullWrite));   // what a write had sent, told
        QVERIFY(b.texts.join("").contains(QStringLiteral("потеряна во время записи. Отправлено до обрыва: +++, S220, S250, S200"))
                == (c.act == PullWrite));
        QCOMPARE(panelFields(w), fields);
        QCOMPARE((b.device.settings() + deviceTable(b.device)).toHex(), before.toHex());
        auto *line = new sim::PtyServer(&b.device, {}, &b.root);
        QObject::connect(line, &sim::PtyServer::replySent, &b.root, [&b](const QByteArray &bytes) { b.incoming += bytes; });
        const int sent = b.requests().size();
        QVERIFY(b.f.connect(line->slavePath()));
        WAIT_VERIFY(b.readDone() && b.requests().size() == sent + 7, 5000);
        COMPARE_PANELS(w, b.device);
    }
    const int checkedTexts = c.texts.indexOf("?");   // up to a "?", or all
    WAIT_VERIFY(b.settled() && (b.answers.isEmpty() || checkedTexts >= 0), 5000);
    b.answers.clear();
    QCOMPARE(checkedTexts < 0 ? b.texts : b.texts.mid(0, checkedTexts), c.texts.mid(0, checkedTexts));
    if (c.status != QLatin1String("?"))
        QCOMPARE(b.status(), QString(c.status).replace("%1", P::lbVersion(w)->text()));
    WAIT_VERIFY(!b.device.commandMode(), 2000);   // the ATO of a stop may still be on the line
    QVERIFY(b.others.isEmpty());

    if (c.act == Guard || c.act == Disconnect)
        QCOMPARE(b.requests().size(), start);
    if (c.act == Refused)   // the settings and the table the device had
        QCOMPARE((b.device.settings() + deviceTable(b.device)).toHex(), before.toHex());
    if (!c.word.isEmpty()) {   // the journal's last line has the status line's result
        QFile journal(w.findChild<ProfileController *>()->journalPath());
        QVERIFY(journal.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(journal.readAll()).split("\r\n", Qt::SkipEmptyParts).last().section(';', 6, 6), c.word);
    }
    if (c.act == Disconnect) {
        QVERIFY(P::port(w)->isOpen() && P::massiveAdr(w)->in1aBox(1)->property("changed").toBool());
        QVERIFY(P::massiveAdr(w)->in1aBox(1)->toolTip().contains(QStringLiteral("На устройстве: строка 1")));
        QVERIFY(P::massiveAdr(w)->findChild<QLabel *>(QStringLiteral("in1aNote"))->isVisibleTo(&w));
    }
    if (c.act == FailedRead) {   // the old device's values pass for nothing
        QCOMPARE(P::portNote(w)->note(), QStringLiteral("Значения в окне не считаны с этого устройства"));
        QCOMPARE(b.progress(), 0);
        QVERIFY(!w.referenceValues());   // nothing to mark or journal against
    }
    QVERIFY(c.act != CloseInWrite || !w.isVisible());
    if (c.act == StopWrite || c.act == ReadInWrite || c.act >= CloseInWrite) {
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
        b.server->setFaults(c.read);
        P::pbRead(w)->click();   // with the guard's question (Yes) when the device did not confirm the edits
        const int shown = b.boxes.size();
        WAIT_VERIFY(b.settled() && (b.readDone() || b.boxes.size() > shown), 20000);
        if (!noisy) {
            QCOMPARE(b.boxes.size(), shown);
            COMPARE_PANELS(w, b.device);
        }
    }
    // A refused reply is its attempt's only word: never also "Нет ответа".
    QVERIFY(!b.decisions().join('\n').contains(QRegularExpression("^Не принято.*\nНет ответа", QRegularExpression::MultilineOption)));
    QByteArray digits;
    WAIT_VERIFY(b.logMatches(&digits), 3000);
    if (whole && c.texts.isEmpty() && c.act != StopPoll)
        QCOMPARE(digits, QByteArray(b.requests().size(), '0'));   // no request had to be repeated
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
