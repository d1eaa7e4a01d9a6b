// The window's operations end to end against the simulated controller: read, write with its
// read-back, factory defaults, silent steps and the questions they raise, the receiver's poll,
// the measurement and a fleet written from one profile. Every request, question and value is
// checked on both sides of the line.

#include "fixture.h"

#include "commissionbar.h"
#include "commissioncontroller.h"
#include "profile.h"
#include "journalmodel.h"
#include "journalwindow.h"
#include "profilecontroller.h"
#include "undocontroller.h"
#include "usersettings.h"

#include <algorithm>

using namespace e2e;

namespace {

const QString kNoAnswer = QStringLiteral("Нет ответа от контроллера");
const QString kChannels = QStringLiteral("Не удалось считать доступные каналы. Проверьте питание. Продолжить?");
const QString kPowers = QStringLiteral("Не удалось считать доступные мощности. Проверьте питание. Продолжить?");
const QString kDataMode = QStringLiteral("Не удалось перевести в режим передачи данных. Проверьте питание. Продолжить?");
const QString kChecked = QStringLiteral("Записано и проверено: ");
const QString kDuplicate = QStringLiteral("В таблице адресов есть продублированные строки. Продолжить?");

// The simulator's factory record and table (what a fresh transmitter holds).
const QByteArray kTxFactory = hex("03051102020700010a0a0a0a01");
const QByteArray kTxFactoryTable = hex("011202011303000000000000000000000000000000010100");

QByteArray tableFrame(bool tx, const QByteArray &table) { return hex(tx ? "2119" : "211f") + table + hex(tx ? "06" : "32"); }
QByteArray settingsFrame(const QByteArray &record) { return "!" + QByteArray(1, char(record.size() + 1)) + record + hex("02"); }
QList<QByteArray> times(const QByteArray &f, int n) { return QVector<QByteArray>(n, f).toList(); }

QStringList ourLines;   // what the program prints of its own (Qt's "qt.*" aside): none by default
void keepOurLines(QtMsgType, const QMessageLogContext &c, const QString &text) { if (!QByteArray(c.category).startsWith("qt.")) ourLines << text; }

// A silent step: which replies are lost (or answered "ERROR"), the answers to the questions, and
// what must hold: the frames from the start of the operation and their attempt digits in the
// log, the questions, whether the operation completes, the module's mode afterwards, the
// first box's detail line and the subnet the window then shows (the module's, once it told).
// The device may hold its own address table.
struct Silence
{
    bool write;   // else the read after connecting
    QList<sim::FrameLoss> losses;
    bool errorAtWrites;
    QList<QMessageBox::StandardButton> answers;
    QList<QByteArray> frames;
    QByteArray digits;
    QStringList questions;
    bool completes, commandMode;
    QString detail;
    int subnet;
    QByteArray table = {};
};

} // namespace

Q_DECLARE_METATYPE(Silence)

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void readWriteReset_data();
    void readWriteReset();
    void silentSteps_data();
    void silentSteps();
    void receiverPoll();
    void measurement();
    void profileFleet();
    void commissioning_data();
    void commissioning();
    void handsFree_data();
    void handsFree();
};

void TestOperations::readWriteReset_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QList<int>>("regs");   // 220, 250, 200, 202, 201
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<bool>("fast");
    const int tx = Type::Transmitter, rx = Type::Receiver;
    // Power in the record differs from S202 on purpose: the knob takes the module's value.
    QTest::newRow("transmitter 200, transparent") << tx << 200 << hex("09072a81010300050c0d0e0f00")
        << QList<int>{1, 7, 9, 6, 1} << QByteArray() << false;
    QTest::newRow("transmitter 221, two-digit subnet") << tx << 221 << hex("040b210300020007141e283201")
        << QList<int>{0, 11, 4, 5, 0} << hex("012208000000012309000000000000000000000000010300") << false;
    QTest::newRow("transmitter 296, range 65536") << tx << 296 << hex("022c30020301000c0506070800")
        << QList<int>{0, 44, 2, 4, 3} << hex("00000001400d00000000000000000000000001410e000000") << false;
    QTest::newRow("receiver 200, modes in bit 7") << rx << 200 << hex("05090380010200a53c85030c0f00")
        << QList<int>{1, 9, 5, 3, 1} << QByteArray() << false;
    QTest::newRow("receiver 221, modes in byte 6") << rx << 221 << hex("040c050102040210802a1163c801")
        << QList<int>{0, 12, 4, 7, 2} << (hex("05000080") + QByteArray(25, '\0') + hex("80")) << false;
    QTest::newRow("receiver 296, range 65536") << rx << 296 << hex("0b630203000103ff01ff00102000")
        << QList<int>{0, 99, 11, 0, 0} << QByteArray(30, '\x5a') << false;
    QTest::newRow("transmitter 296, fast") << tx << 296 << hex("022c30020301000c0506070800")
        << QList<int>{0, 44, 2, 4, 3} << hex("00000001400d00000000000000000000000001410e000000") << true;
}

// The read after connecting and again after "Считать": the exact requests, the panels equal
// to the device, 10 of 10, two ticks a step (none in the fast pace). Then "Записать" after
// editing: the exact requests, the device equal to the window, the read-back, the bar full.
// Then "По умолчанию", Yes and Yes: the factory values end up in the device. The log holds
// every byte, and nothing was repeated.
void TestOperations::readWriteReset()
{
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(QByteArray, settings);
    QFETCH(QList<int>, regs);
    QFETCH(QByteArray, table);
    QFETCH(bool, fast);
    const bool tx = type == Type::Transmitter;
    const int perStep = fast ? 0 : 2;

    Bench b{Type(type), quint16(version), {}, kPeriod, fast};
    MainWindow &w = b.w();
    b.device.setSettings(settings);
    for (int i = 0; i < regs.size(); ++i)
        b.device.setSRegister(QList<int>{220, 250, 200, 202, 201}.at(i), regs.at(i));
    if (!table.isEmpty() && tx)
        b.device.setAddressTable(table);
    else if (!table.isEmpty())
        b.device.setTransmitterMap(table);
    const QList<QByteArray> sequence = readSequence(Type(type), quint16(version), fast);
    const QtMessageHandler testLib = qInstallMessageHandler(keepOurLines);

    CONNECT_AND_READ(b);
    QCOMPARE(b.progressMax(), 10);
    QCOMPARE(b.requests(), sequence);
    COMPARE_PANELS(w, b.device);
    QCOMPARE(b.ticksUntilIdle(P::pbRead(w)), perStep * sequence.size());   // a request tick and a check tick
    QCOMPARE(b.progress(), 10);
    QCOMPARE(b.requests(), sequence + sequence);

    // The write. Up to 220 the table is not read, so the write sends the window's empty one.
    edit(w, Type(type), quint16(version));
    QByteArray record = tx ? kTxWritten : version > 220 ? kRxWritten : hex("0805040101030081428607080900");
    record[1] = char(regs.at(1));
    const QByteArray written = version > 220 ? (tx ? kEditedTable : kEditedMap) : QByteArray(tx ? 24 : 30, '\0');
    const QList<QByteArray> expected = sequence + sequence + radioWriteSequence(0, regs.at(1), 8, 3, 1)
                                       << tableFrame(tx, written) << settingsFrame(record) << sequence.mid(5);
    QCOMPARE(b.ticksUntilIdle(P::pbWrite(w)), perStep * (9 + sequence.size() - 5));
    QCOMPARE(b.progress(), version > 220 ? 11 : 10);
    QVERIFY(b.barFull());
    WAIT_VERIFY(b.requests() == expected, 5000);
    QCOMPARE(b.status(), kChecked + P::lbVersion(w)->text());
    qInstallMessageHandler(testLib);
    QCOMPARE(ourLines.join('\n'), QString());
    QCOMPARE(b.device.settings().toHex(), record.toHex());
    QCOMPARE(registers(b.device), (QList<int>{0, regs.at(1), 8, 3, 1}));
    QVERIFY(!b.device.commandMode());
    QCOMPARE(deviceTable(b.device).toHex(), written.toHex());
    QVERIFY(b.boxes.isEmpty());

    P::pbDefault(w)->click();   // both questions answered Yes
    QCOMPARE(b.boxes.size(), 2);
    const QByteArray factory = hex(tx ? "01010003010000000a0a0a0a01" : "0101010301000001000000000001");
    WAIT_VERIFY(b.idle() && b.barFull() && b.device.settings() == factory, 5000);
    QCOMPARE(registers(b.device), (QList<int>{0, 1, 1, 0, 1}));
    QCOMPARE(P::sbDeviceAdr(w)->value(), tx ? 0 : 254);   // a receiver's own address
    QCOMPARE(deviceTable(b.device).toHex(), QByteArray(written.size(), '\0').toHex());

    QByteArray digits;
    WAIT_VERIFY(b.logMatches(&digits), 5000);
    QCOMPARE(digits, QByteArray(b.requests().size(), '0'));
}

void TestOperations::silentSteps_data()
{
    QTest::addColumn<Silence>("c");
    const auto Yes = QMessageBox::Yes, No = QMessageBox::No;
    using F = QList<QByteArray>;
    const bool unheard = false, unanswered = true;   // the frame lost, or only its reply
    const QByteArray id = hex("210101"), cmd = at("+++"), cha = at("ATS250?\r"), pow = at("ATS202?\r"),
                     ato = at("ATO\r"), rd = hex("210103"), tbl = hex("210107");
    // The write after a clean read of the factory state: mode 0, subnet 5, channel 3, power 7,
    // speed 2, then the read-back. "+++" and "ATO" also occur in that read, hence the ranges.
    const F w = radioWriteSequence(0, 5, 3, 7, 2);
    const F rest = {tableFrame(true, kTxFactoryTable), settingsFrame(kTxFactory), rd, tbl};
    const QList<QPair<const char *, Silence>> rows = {
        {"read: controller silent", {false, {{id, unheard}}, false, {}, times(id, 6), "012345", {kNoAnswer},
                                     false, false, "Запрос: 21 01 01. Устройство не ответило.", 0}},
        {"read: module never answers +++, budget gone for ATS250?, No sends ATO",
         {false, {{cmd, unheard}}, false, {Yes, No}, F{id} + times(cmd, 6) + F{cha} + times(pow, 6) + F{ato},
          "0" "012345" "5" "012345" "5", {kChannels, kPowers}, false, false, "Запрос: ATS250?. Устройство не ответило.", 0}},
        {"read: No to the data mode question, ATO tried once more",
         {false, {{ato, unheard}}, false, {No}, F{id, cmd, cha, pow} + times(ato, 7), "0000" "012345" "5",
          {kDataMode}, false, true, "", 5}},
        {"write: +++ unanswered, Yes goes on with ATS220=",
         {true, {{cmd, unanswered, 1}}, false, {Yes}, times(cmd, 6) + w.mid(1) + rest, "012345" "55555555" "50",
          {kRadioWrite}, true, false, "", 5}},
        {"write: ATS220= unanswered, Yes goes on with ATS250=",
         {true, {{w.at(1)}}, false, {Yes}, F{cmd} + times(w.at(1), 6) + w.mid(2) + rest, "0" "012345" "5555555" "50",
          {kRadioWrite}, true, false, "", 5}},
        {"write: No after +++ takes the module back with ATO",
         {true, {{cmd, unheard, 1}}, false, {No}, times(cmd, 6) + F{ato}, "012345" "5", {kRadioWrite}, false, false, "", 5}},
        {"write: ERROR to every register write, No",
         {true, {}, true, {No}, F{cmd} + times(w.at(1), 6) + F{ato}, "0" "012345" "5", {kRadioWrite}, false, false,
          "Запрос: ATS220=0. Устройство ответило ERROR.", 5}},
        // Rows 1 and 2 of the table read share ДУТ number 2: No writes nothing.
        {"write: duplicated table rows, No", {true, {}, false, {No}, {}, "", {kDuplicate}, false, false, "", 5,
                                              hex("011202011302000000000000000000000000000000010100")}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.first) << row.second;
}

// A step that gets no answer: the retries, the shared budget, the question, and where each
// answer leads. While a box is open the sequencer sends nothing and shows grey. Nothing is
// half written, and the window reads as soon as the line behaves again.
void TestOperations::silentSteps()
{
    QFETCH(Silence, c);
    Bench b{Type::Transmitter, 296};
    MainWindow &w = b.w();
    sim::Faults faults;
    faults.frameLosses = c.losses;
    faults.errorAtWrites = c.errorAtWrites;
    b.server->setFaults(faults);
    b.holdMs = 4 * kPeriod;
    b.answers = c.answers;
    if (!c.table.isEmpty())
        b.device.setAddressTable(c.table);

    QVERIFY(b.connect());
    int start = 0;
    if (c.write) {
        WAIT_VERIFY(b.readDone(), 5000);
        start = b.requests().size();
        P::pbWrite(w)->click();
    }
    if (c.completes)
        WAIT_VERIFY(b.idle() && b.barFull() && b.requests().size() - start >= c.frames.size(), 10000);
    else
        WAIT_VERIFY(b.boxes.size() == c.questions.size() && b.settled(), 10000);
    const int settled = b.ticks;
    WAIT_VERIFY(b.ticks >= settled + 6, 5000);   // nothing more goes out
    QCOMPARE(b.requests().mid(start), c.frames);
    QCOMPARE(b.texts, c.questions);
    if (!c.detail.isEmpty())
        QCOMPARE(b.details.first(), c.detail);
    QVERIFY(b.others.isEmpty());
    for (const Bench::Box &s : b.boxes) {
        QCOMPARE(s.requestsAtClose, s.requestsAtShow);
        QCOMPARE(s.indicatorAtClose, kGrey);
    }
    QCOMPARE(b.device.commandMode(), c.commandMode);
    QCOMPARE(P::sbSubnet(w)->value(), c.subnet);
    if (c.completes)
        QCOMPARE(registers(b.device), (QList<int>{0, 5, 3, 7, 2}));

    b.server->setFaults({});
    const int before = b.requests().size();
    P::pbRead(w)->click();
    WAIT_VERIFY(b.readDone() && b.requests().size() == before + 7, 5000);
    COMPARE_PANELS(w, b.device);
    QVERIFY(!b.device.commandMode());
    QByteArray logged;
    WAIT_VERIFY(b.logMatches(&logged), 5000);
    QCOMPARE(logged.mid(start), c.digits + "0000000");
}

// "Данные с передатчиков" of a receiver whose records come late: one request per chosen
// transmitter (3, 9 and 40), each asked for again on every second tick, the indicator red, six
// times in all; then the next one. The table of all 256 says "нет ответа" in their rows and the
// status names them and the period that was too short.
void TestOperations::receiverPoll()
{
    const QList<QByteArray> frames = {hex("2102031e"), hex("2102091e"), hex("2102281e")};
    Bench b{Type::Receiver, 221, {}, 100};
    CONNECT_AND_READ(b);
    const int start = b.requests().size(), indicatorsBefore = b.indicators.size();
    sim::Faults late;
    late.delayMs = 150;
    b.server->setFaults(late);
    startPoll(b.w(), 0x08, 0x02, kMap40);
    WAIT_VERIFY(b.tables.size() == 1 && b.idle(), 10000);
    const QList<int> ticks = b.requestTicks.value(frames.at(1));
    QCOMPARE(ticks.size(), 6);
    for (int i = 1; i < ticks.size(); ++i)
        QCOMPARE(ticks.at(i) - ticks.at(i - 1), 2);
    QVERIFY(b.indicators.mid(indicatorsBefore).contains(kRed));
    QVERIFY(b.boxes.isEmpty());
    QList<QByteArray> sent = b.requests().mid(start);
    sent.erase(std::unique(sent.begin(), sent.end()), sent.end());
    QCOMPARE(sent, frames);
    QCOMPARE(b.progress(), 255);
    QCOMPARE(b.progressMax(), 255);
    QVERIFY2(b.status().startsWith("Нет данных от приемника по передатчикам: 3, 9, 40; записи приходили позже, чем "
                                   "ZaprosResiverTimeMs = 100 мс"), qPrintable(b.status()));
    const QVector<QStringList> table = b.tables.first();
    QCOMPARE(table.size(), 256);
    for (int n = 0; n < table.size(); ++n)
        QCOMPARE(table.at(n).mid(0, 2), (QStringList{QString::number(n), QList<int>{3, 9, 40}.contains(n) ? "нет ответа" : ""}));
    QVERIFY(b.logMatches());
}

// The measurement of sensor 2 (the simulator's level 1843 and 57 more per sensor) every second
// tick, answered, silent, answered again: silent rounds grey, never red. Switched off just after
// a request left, its late answer must not fill the emptied fields again.
void TestOperations::measurement()
{
    const QByteArray request = hex("21020208");
    Bench b{Type::Transmitter, 296};
    MainWindow &w = b.w();
    CONNECT_AND_READ(b);
    P::cbDataDut(w)->setCurrentIndex(2);
    const auto ticks = [&] { return b.requestTicks.value(request); };
    const auto shown = [&] {
        QStringList out;
        for (QLineEdit *e : {P::leTemp(w), P::leLevel(w), P::leFreq1(w), P::leFreq2(w), P::leAn1(w), P::leAn2(w)})
            out << e->text();
        return out.join(' ');
    };
    const int indicatorsBefore = b.indicators.size();
    sim::Faults faults;
    P::pbMeasure(w)->click();
    for (const bool silent : {false, true, false}) {
        faults.silent = silent;
        b.server->setFaults(faults);
        const int from = ticks().size();
        WAIT_VERIFY(ticks().size() >= from + 3, 5000);
        if (!silent)
            QCOMPARE(shown(), QStringLiteral("23 1957 500 125 998.289 4998.45"));
    }
    for (int i = 1; i < ticks().size(); ++i)
        QCOMPARE(ticks().at(i) - ticks().at(i - 1), 2);
    const QStringList seen = b.indicators.mid(indicatorsBefore);
    QVERIFY(!seen.contains(kRed) && seen.contains(kGreen) && seen.contains(kGrey));

    faults.delayMs = 10;
    b.server->setFaults(faults);
    int stopped = -1;
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (frame == request && stopped < 0) {
            P::pbMeasure(w)->click();
            stopped = ticks().size();
        }
    });
    WAIT_VERIFY(stopped >= 0, 3000);
    const int settled = b.ticks;
    WAIT_VERIFY(b.ticks >= settled + 6, 5000);
    QCOMPARE(ticks().size(), stopped);   // nothing more asked
    QVERIFY(b.incoming.endsWith(b.device.measurementReply(2)));   // the late answer came
    QCOMPARE(shown(), QStringLiteral("     "));
    QVERIFY(b.logMatches());
}

// A fleet from one profile: device A is read, edited, written and saved as a profile; device
// B is connected, the profile loaded over it keeping B's own address, and written, then edited
// and written again. B then holds A's settings with its own address, and the journal has the
// three writes: what each changed, whether the profile was written as loaded, and the values
// held before each write beside the values sent.
void TestOperations::profileFleet()
{
    Bench b(Type::Transmitter, 296);
    auto *profiles = b.w().findChild<ProfileController *>();
    QDir().mkpath(QFileInfo(profiles->journalPath()).absolutePath());
    {   // a journal of the first kind, seven columns, and a line broken off by hand
        QFile old(profiles->journalPath());
        QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
        old.write("Время;Порт;Устройство;Версия;Адрес;Профиль;Результат\r\n2024-01-01 08:00:00;COM3;Приемник;221;254;—;проверено\r\n"
                  "2024-01-02;\"COM3\r\n");
    }
    QSignalSpy writes(&b.w(), &MainWindow::writeFinished);

    CONNECT_AND_READ(b);
    const QByteArray originalA = b.device.settings() + b.device.addressTable();
    const QList<int> registersA = registers(b.device);
    const QString portA = P::port(b.w())->portName();
    QByteArray heldA = b.device.settings();
    heldA[5] = char(b.device.sRegister(202));   // the power, the module's
    edit(b.w(), Type::Transmitter, 296);
    P::pbWrite(b.w())->click();
    WAIT_VERIFY(writes.size() == 1, 5000);
    const QString file = b.f.dir.filePath(QStringLiteral("site.json"));
    QCOMPARE(profiles->save(file, QStringLiteral("резервуары 1–12")), QString());

    sim::Device deviceB(Type::Transmitter, 296);   // its own subnet 9, address 99 and ДУТ 7
    deviceB.setSettings(hex("03096302020700070a0a0a0a01"));
    deviceB.setSRegister(250, 9);
    sim::PtyServer serverB(&deviceB);
    P::pbConnect(b.w())->click();   // lets A go
    QVERIFY(b.connect(serverB.slavePath()));
    const QString portB = P::port(b.w())->portName();

    profiles->load(file, true);   // while the read that connecting started runs
    WAIT_VERIFY(b.idle() && b.w().panelsFromProfile(), 5000);
    P::pbWrite(b.w())->click();
    WAIT_VERIFY(writes.size() == 2, 5000);
    QCOMPARE(writes.at(0).at(0).value<MainWindow::WriteResult>(), MainWindow::WriteResult::Checked);
    QCOMPARE(writes.at(1).at(0).value<MainWindow::WriteResult>(), MainWindow::WriteResult::Checked);
    QVERIFY(b.texts.isEmpty());

    QByteArray want = kTxWritten;   // A's values (subnet 5 included), B's address and ДУТ
    want[2] = 99;
    want[7] = 7;
    QCOMPARE(deviceB.settings().toHex(), want.toHex());
    QCOMPARE(deviceB.addressTable().toHex(), kEditedTable.toHex());
    QCOMPARE(registers(deviceB), (QList<int>{0, 5, 8, 3, 1}));

    P::sbChannel(b.w())->setValue(9);
    P::pbWrite(b.w())->click();
    WAIT_VERIFY(writes.size() == 3, 5000);

    QFile journal(profiles->journalPath());
    QVERIFY(journal.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(journal.readAll()).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 7);   // the titles, the two old lines, three writes, and the end of the last line
    lines.erase(lines.begin() + 1, lines.begin() + 3);
    QCOMPARE(lines.at(1).section(';', 1, 6), QStringLiteral("%1;Передатчик;296;42;—;проверено").arg(portA));
    QVERIFY2(lines.at(1).contains(QStringLiteral("\"Канал связи: 3 → 8; Мощность: 7 → 3;")), qPrintable(lines.join("\n")));
    QCOMPARE(lines.at(2).section(';', 1, 6),
             QStringLiteral("%1;Передатчик;296;99;%2;проверено").arg(portB, QDir::toNativeSeparators(file)));
    QCOMPARE(lines.at(3).section(';', 5, 9), QStringLiteral("%1 (изменён);проверено;Канал связи: 8 → 9;—;—")
                                                  .arg(QDir::toNativeSeparators(file)));
    // The values A held before its write and those sent, in the profile format.
    const QString before = lines.at(1).section(';', -1);
    QVERIFY2(before.endsWith(QStringLiteral("_transmitter-296_42_before.json")), qPrintable(before));
    profile::Profile held, sent;
    QCOMPARE(profile::readFile(before, held) + profile::readFile(QString(before).replace("_before", "_written"), sent), QString());
    QCOMPARE(held.values.settingsFrame().mid(2, 13).toHex() + held.comment, heldA.toHex() + "до записи");
    QCOMPARE(sent.values.settingsFrame().mid(2, 13).toHex() + sent.values.tableFrame().mid(2, 24).toHex() + sent.comment,
             (kTxWritten + kEditedTable).toHex() + "записано");
    QCOMPARE(profiles->recentProfiles().value(0), file);

    // The journal window: the writes newest first, the old lines as they are, what A's write
    // changed. Undoing it on B is refused (B does not hold what it sent); on A it brings back
    // what A held, written with "Записать", and the window follows that write's line.
    profiles->undo()->showJournal();
    JournalWindow *jw = profiles->undo()->journalWindow();
    QCOMPARE(jw->model()->rowCount(), 5);
    QCOMPARE(jw->model()->index(3, 0).data().toString(), QStringLiteral("2024-01-02;\"COM3"));
    QCOMPARE(jw->model()->index(4, 6).data().toString(), QStringLiteral("проверено"));
    jw->selectRow(2);
    QVERIFY2(jw->changesText().startsWith(QStringLiteral("Канал связи: 3 → 8\nМощность: 7 → 3\n")), qPrintable(jw->changesText()));
    const journal::Line lineA = *jw->selectedLine();
    const QByteArray heldB = deviceB.settings();
    profiles->undo()->undo(lineA);
    WAIT_VERIFY(b.settled() && b.texts.size() == 1, 5000);
    QCOMPARE(b.texts.at(0), QStringLiteral("Прежние значения не возвращены"));
    QVERIFY2(b.details.at(0).contains(QStringLiteral("Адрес устройства: 42 → 99")), qPrintable(b.details.at(0)));
    QCOMPARE(deviceB.settings().toHex(), heldB.toHex());
    P::pbConnect(b.w())->click();
    QVERIFY(b.connect());
    WAIT_VERIFY(b.readDone(), 5000);
    profiles->undo()->undo(lineA);
    WAIT_VERIFY(b.idle() && b.w().panelsFromProfile(), 5000);
    P::pbWrite(b.w())->click();
    WAIT_VERIFY(writes.size() == 4 && b.settled(), 5000);
    QCOMPARE(writes.at(3).at(0).value<MainWindow::WriteResult>(), MainWindow::WriteResult::Checked);
    QCOMPARE((b.device.settings() + b.device.addressTable()).toHex(), originalA.toHex());
    QCOMPARE(registers(b.device), registersA);
    WAIT_VERIFY(jw->model()->rowCount() == 6, 5000);
    QCOMPARE(jw->model()->line(0).cells.value(5), QDir::toNativeSeparators(before));
}

void TestOperations::commissioning_data()
{
    QTest::addColumn<QList<int>>("types");   // the devices "Пуск" meets, one after another
    QTest::addColumn<sim::Faults>("faults");
    QTest::addColumn<QByteArray>("pullAt");   // the cable is pulled when this frame arrives
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QStringList>("journal");   // address and result of each line
    QTest::addColumn<QByteArray>("lastFrame");
    QTest::addColumn<int>("from");   // "Следующий свободный" from here; 0: the device keeps its address
    QTest::addColumn<QString>("note");   // in amber after the last device
    sim::Faults error;
    const QList<int> three{int(Type::Transmitter), int(Type::Transmitter), int(Type::Transmitter)};
    error.errorAtWrites = true;
    const QString done = QStringLiteral("Готово: <Transmitter v.296>, адрес %1, проверено за ");
    QTest::newRow("three transmitters") << three << sim::Faults() << QByteArray()
                                        << QStringList{done.arg(17), done.arg(99), done.arg(17)}
                                        << QStringList{"17 проверено", "99 проверено", "17 проверено"} << hex("210107") << 0
                                        << "адрес 17 уже записан";
    QTest::newRow("next free from 40") << three << sim::Faults() << QByteArray()
                                       << QStringList{done.arg(40), done.arg(41), done.arg(42)}
                                       << QStringList{"40 проверено", "41 проверено", "42 проверено"} << hex("210107") << 40 << "";
    QTest::newRow("receiver refused") << QList<int>{int(Type::Receiver)} << sim::Faults() << QByteArray()
                                      << QStringList{"Приемник вместо передатчика"} << QStringList() << hex("210101") << 0 << "";
    QTest::newRow("radio step fails") << QList<int>{int(Type::Transmitter)} << error << QByteArray()
                                      << QStringList{"Не удалось сохранить настройки радиомодуля: ATS220=0: ERROR; в радиомодуль ничего не записано"}
                                      << QStringList{"17 отменено"} << at("ATO\r") << 0 << "";
    QTest::newRow("cable pulled in the write") << QList<int>{int(Type::Transmitter)} << sim::Faults() << at("ATS200=8\r")
                                               << QStringList{"Связь с портом"} << QStringList{"17 связь потеряна"}
                                               << at("ATS200=8\r") << 0 << "";
}

// Commissioning: each "Пуск" takes the device on the selected port through identification,
// one read, the profile (the device keeps its address), the write with its read-back and the
// journal line, and the result stays on the bar. A receiver is refused after its identity
// alone; a failing step ends red, "ATO" last, and no box is ever shown.
void TestOperations::commissioning()
{
    QFETCH(QList<int>, types);
    QFETCH(sim::Faults, faults);
    QFETCH(QStringList, results);
    Bench b(Type(types.first()), 296, faults);
    auto *mode = b.w().findChild<CommissionController *>();
    auto *profiles = b.w().findChild<ProfileController *>();
    QFile::remove(profiles->journalPath());
    const QString file = b.f.dir.filePath(QStringLiteral("site.json"));
    QFile json(file);
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write(R"({"format": "talver-profile", "version": 1, "device": "transmitter",
                   "radio": {"channel": 8, "speed": "9600", "power": 3}, "settings": {"address": 42, "timeFd1": 30}})");
    json.close();
    QFETCH(int, from);
    UserSettings().remove(QStringLiteral("commissioning"));   // the rule of the row before
    QCOMPARE(mode->enter(file, from), QString());
    QSignalSpy passes(mode, &CommissionController::passFinished);
    QFETCH(QByteArray, pullAt);
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (frame == pullAt)
            QMetaObject::invokeMethod(b.server, [&b] { b.server->closeMaster(); }, Qt::QueuedConnection);
    });

    sim::Device second(Type::Transmitter, 296);   // its own address 99
    second.setSettings(hex("03096302020700070a0a0a0a01"));
    sim::PtyServer secondServer(&second);
    for (int i = 0; i < types.size(); ++i) {
        if (P::port(b.w())->isOpen())
            P::pbConnect(b.w())->click();   // the next device on the line
        b.w().selectPort(i % 2 == 0 ? b.server->slavePath() : secondServer.slavePath());
        mode->bar()->findChild<QPushButton *>(QStringLiteral("commissionStart"))->click();
        WAIT_VERIFY(passes.size() == i + 1 && b.idle(), 8000);
        QVERIFY2(mode->bar()->result().startsWith(results.at(i)), qPrintable(mode->bar()->result()));
    }
    QTEST(mode->bar()->note().left(20), "note");
    QFile reserved(QFileInfo(profiles->journalPath()).absolutePath() + "/addresses.csv");   // freed after each pass
    QVERIFY(!reserved.open(QIODevice::ReadOnly) || reserved.readAll().count('\n') == 1);
    QTest::qWait(50);   // a notice the pass's end has queued would show now
    QCOMPARE(b.texts + b.others, QStringList());
    QFETCH(QByteArray, lastFrame);
    WAIT_VERIFY(b.requests().last() == lastFrame, 2000);   // the line delivers it after the result
    if (types.first() == int(Type::Receiver))
        QCOMPARE(b.requests(), QList<QByteArray>{hex("210101")});
    if (types.size() > 1)
        QCOMPARE(registers(second).at(2), 8);   // the profile's channel
    QFile journal(profiles->journalPath());
    QStringList lines;
    if (journal.open(QIODevice::ReadOnly))
        lines = QString::fromUtf8(journal.readAll()).split(QStringLiteral("\r\n")).mid(1, passes.size());
    for (QString &line : lines)
        line = line.section(';', 4, 4) + ' ' + line.section(';', 6, 6);
    QTEST(QStringList(lines.mid(0, lines.indexOf(QStringLiteral(" ")))), "journal");
    mode->leave();
}

void TestOperations::handsFree_data()
{
    QTest::addColumn<int>("swapMs");   // the device is swapped for a fresh one after its write
    QTest::addColumn<bool>("fast");
    QTest::addColumn<int>("passes");
    QTest::newRow("two devices through the swap") << 2500 << false << 2;
    QTest::newRow("two devices, fast") << 2500 << true << 2;
    QTest::newRow("a finished device stays plugged in") << 0 << false << 1;
}

// Hands free: the mode starts with a device on the line, takes it, then waits for silence and a
// device answering again; a device left on the line is never done twice.
void TestOperations::handsFree()
{
    QFETCH(int, swapMs);
    QFETCH(bool, fast);
    QFETCH(int, passes);
    sim::Faults swap;
    swap.swapSilenceMs = swapMs;
    Bench b(Type::Transmitter, 296, swap, kPeriod, fast);
    QVERIFY(b.connect());
    WAIT_VERIFY(b.readDone(), 8000);
    auto *mode = b.w().findChild<CommissionController *>();
    QFile::remove(b.w().findChild<ProfileController *>()->journalPath());
    const QString file = b.f.dir.filePath(QStringLiteral("site.json"));
    QFile json(file);
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write(R"({"format": "talver-profile", "version": 1, "device": "transmitter", "settings": {"timeFd1": 30}})");
    json.close();
    UserSettings().remove(QStringLiteral("commissioning"));
    QSignalSpy done(mode, &CommissionController::passFinished);
    QCOMPARE(mode->enter(file, 40), QString());
    WAIT_VERIFY(done.size() == passes, 20000);
    QTest::qWait(2500);   // two requests unanswered and one answered would start another pass by now
    mode->leave();
    QCOMPARE(done.size(), passes);
    QCOMPARE(b.device.swaps(), passes - 1);
    for (int i = 0; i < passes; ++i)
        QVERIFY2(done.at(i).at(0).toBool(), qPrintable(done.at(i).at(1).toString()));
    QVERIFY(mode->bar()->result().contains(QStringLiteral("адрес %1").arg(39 + passes)));
    QCOMPARE(b.texts + b.others, QStringList());
}

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
