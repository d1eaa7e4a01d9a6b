// The sequencer and the composite operations end to end: the main window reads, writes,
// resets, polls and measures a simulated controller over a pseudo-terminal, and every
// request, question and value is checked on both sides of the line.

#include "e2e.h"

#include <algorithm>

using namespace e2e;
using Type = sim::Device::Type;

namespace {

const QString kChannels = QStringLiteral("Не удалось считать доступные каналы. Проверьте питание. Продолжить?");
const QString kPowers = QStringLiteral("Не удалось считать доступные мощности. Проверьте питание. Продолжить?");
const QString kDataMode = QStringLiteral("Не удалось перевести в режим передачи данных. Проверьте питание. Продолжить?");
const QString kRadioWrite = QStringLiteral("Не удалось сохранить настройки радиомодуля. Продолжить?");
const QString kNoAnswer = QStringLiteral("Нет ответа от контроллера");
const QString kNoSettings = QStringLiteral("Не удалось считать настройки контроллера");
const QString kFactory1 = QStringLiteral("Вы уверены что хотите применить заводские настройки?\r\nВНИМАНИЕ!!!\r\n"
                                         "Текущие параметры будут обновлены!");
const QString kFactory2 = QStringLiteral("Записать заводские настройки в устройство?\r\nВНИМАНИЕ!!!\r\n"
                                         "При записи заводских настроек все текущие параметры устройства будут перезаписаны!");

constexpr int kPeriod = 20;

// The simulator's factory record and tables (what a fresh Device holds).
const QByteArray kTxFactory = hex("03051102020700010a0a0a0a01");
const QByteArray kTxFactoryTable = hex("011202011303000000000000000000000000000000010100");

// What editForWrite() leaves in the window, as the controller must receive it. The subnet (5)
// is the module's: the window does not let it be edited.
const QByteArray kTxWritten = hex("08052a010103000b1e1f202100");
const QByteArray kRxWrittenOld = hex("0805040101030081428607080900");   // modes in bit 7 of 9, 10
const QByteArray kRxWrittenNew = hex("0805040101030181420607080900");   // modes in byte 6
const QList<int> kWrittenRegisters = {0, 5, 8, 3, 1};                    // 220, 250, 200, 202, 201
// Rows 1, 2 and 7 on, row 2 marked In1A; none clashes with the device's own 42 / 11.
const QByteArray kEditedTable = hex("015014015115000000000000000000000000015216010200");
QByteArray editedMap()
{
    QByteArray map(30, '\0');
    map[0] = 0x03;                // transmitters 16 and 17
    map[28] = char(0x80);         // 247
    map[29] = char(0xc0);         // 254 and 255
    return map;
}
const QByteArray kEditedMap = editedMap();

QByteArray zeros(int n) { return QByteArray(n, '\0'); }

void setUpDevice(sim::Device &d, const QByteArray &settings, const QList<int> &regs, const QByteArray &table)
{
    d.setSettings(settings);
    const int numbers[] = {220, 250, 200, 202, 201};
    for (int i = 0; i < regs.size(); ++i)
        d.setSRegister(numbers[i], regs.at(i));
    if (table.isEmpty())
        return;
    if (d.type() == Type::Transmitter)
        d.setAddressTable(table);
    else
        d.setTransmitterMap(table);
}

// A technician's edits before "Записать": every field of the record, the radio values and
// (above 220) the address table or the polled-transmitter map.
void editForWrite(MainWindow &w, sim::Device::Type type, quint16 version)
{
    P::cbSpeed(w)->setCurrentIndex(1);   // 9600: channels up to 11
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
        if (version > 220)
            P::massiveAdr(w)->setMassive(kEditedTable);
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
    if (version > 220)
        rp->setAdrMaskExt(kEditedMap);
}

QByteArray tableFrame(sim::Device::Type type, const QByteArray &table)
{
    return type == Type::Transmitter ? hex("2119") + table + hex("06") : hex("211f") + table + hex("32");
}

QByteArray settingsFrame(const QByteArray &record)
{
    return "!" + QByteArray(1, char(record.size() + 1)) + record + hex("02");
}

int count(const QList<QByteArray> &frames, const QByteArray &frame)
{
    return int(std::count(frames.begin(), frames.end(), frame));
}

// Which replies the relay loses: frames equal to `frame` whose occurrence (0 = first)
// lies in [from, to).
struct Loss
{
    QByteArray frame;
    Relay::Fate fate = Relay::LoseReply;
    int from = 0;
    int to = 1 << 30;
};

} // namespace

Q_DECLARE_METATYPE(Loss)

class TestSequencer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fullRead_data();
    void fullRead();
    void fullWrite_data();
    void fullWrite();
    void factoryReset_data();
    void factoryReset();
    void silentSteps_data();
    void silentSteps();
    void receiverPoll_data();
    void receiverPoll();
    void silentRecord_data();
    void silentRecord();
    void measurement_data();
    void measurement();
    void readDuringWrite();
    void splitAndDelay_data();
    void splitAndDelay();
};

void TestSequencer::initTestCase()
{
    // The window's trace lines would only drown the report.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

// ---- Full read ----------------------------------------------------------------------------

void TestSequencer::fullRead_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QList<int>>("regs");   // 220, 250, 200, 202, 201
    QTest::addColumn<QByteArray>("table");

    // Power in the record differs from S202 on purpose: the knob takes the module's value.
    QTest::newRow("transmitter 200, transparent")
        << int(Type::Transmitter) << 200 << hex("09072a81010300050c0d0e0f00")
        << QList<int>{1, 7, 9, 6, 1} << QByteArray();
    QTest::newRow("transmitter 221, two-digit subnet")
        << int(Type::Transmitter) << 221 << hex("040b210300020007141e283201")
        << QList<int>{0, 11, 4, 5, 0} << hex("012208000000012309000000000000000000000000010300");
    QTest::newRow("transmitter 296, range 65536")
        << int(Type::Transmitter) << 296 << hex("022c30020301000c0506070800")
        << QList<int>{0, 44, 2, 4, 3} << hex("00000001400d00000000000000000000000001410e000000");
    QTest::newRow("receiver 200, modes in bit 7")
        << int(Type::Receiver) << 200 << hex("05090380010200a53c85030c0f00")
        << QList<int>{1, 9, 5, 3, 1} << QByteArray();
    QTest::newRow("receiver 221, modes in byte 6")
        << int(Type::Receiver) << 221 << hex("040c050102040210802a1163c801")
        << QList<int>{0, 12, 4, 7, 2}
        << (QByteArray(hex("05000080")) + QByteArray(25, '\0') + hex("80"));
    QTest::newRow("receiver 296, range 65536")
        << int(Type::Receiver) << 296 << hex("0b630203000103ff01ff00102000")
        << QList<int>{0, 99, 11, 0, 0} << QByteArray(30, '\x5a');
}

// The read after connecting and again after "Считать": the exact requests, the panels equal
// to the device, 10 of 10, two ticks a step, and the log holding every byte.
void TestSequencer::fullRead()
{
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(QByteArray, settings);
    QFETCH(QList<int>, regs);
    QFETCH(QByteArray, table);

    Bench b(periods(kPeriod), Type(type), quint16(version));
    setUpDevice(b.device, settings, regs, table);
    MainWindow &w = b.w();
    const QList<QByteArray> sequence = readSequence(Type(type), quint16(version));

    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    QCOMPARE(b.progressMax(), 10);
    QCOMPARE(describe(b.requests()), describe(sequence));
    comparePanels(w, b.device);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(P::lbVersion(w)->text(), QString::fromLatin1(b.device.identity()));

    // Again by the button, timed: every step is a request tick and a check tick.
    int doneTick = -1;
    qint64 doneMs = -1;
    QElapsedTimer clock;
    const int startTick = b.ticks;
    QObject::connect(P::timer(w), &QTimer::timeout, &b.root, [&] {
        if (doneTick < 0 && b.idle()) {
            doneTick = b.ticks;
            doneMs = clock.elapsed();
        }
    });
    clock.start();
    P::pbRead(w)->click();
    QCOMPARE(P::currentAction(w), ActionType::readVersion);
    WAIT_VERIFY(doneTick >= 0, 5000);
    QCOMPARE(b.progress(), 10);
    QCOMPARE(doneTick - startTick, 2 * sequence.size());
    qInfo("full read, %d steps: %d ticks, %lld ms at %d ms periods; %d s at the default 1000 ms",
          int(sequence.size()), doneTick - startTick, doneMs, kPeriod, doneTick - startTick);
    QCOMPARE(describe(b.requests()), describe(sequence + sequence));
    comparePanels(w, b.device);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(b.watcher->boxes.isEmpty());

    QByteArray digits;
    WAIT_VERIFY(b.logMatches(&digits), 5000);
    QCOMPARE(digits, QByteArray(2 * sequence.size(), '0'));
}

// ---- Full write ---------------------------------------------------------------------------

void TestSequencer::fullWrite_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("record");   // what the device must hold afterwards
    QTest::addColumn<QByteArray>("table");

    // Up to 220 the table is not read, so the write sends the window's empty one.
    QTest::newRow("transmitter 200") << int(Type::Transmitter) << 200 << kTxWritten << zeros(24);
    QTest::newRow("transmitter 221") << int(Type::Transmitter) << 221 << kTxWritten << kEditedTable;
    QTest::newRow("transmitter 296") << int(Type::Transmitter) << 296 << kTxWritten << kEditedTable;
    QTest::newRow("receiver 200") << int(Type::Receiver) << 200 << kRxWrittenOld << zeros(30);
    QTest::newRow("receiver 221") << int(Type::Receiver) << 221 << kRxWrittenNew << kEditedMap;
    QTest::newRow("receiver 296") << int(Type::Receiver) << 296 << kRxWrittenNew << kEditedMap;
}

void TestSequencer::fullWrite()
{
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, table);

    Bench b(periods(kPeriod), Type(type), quint16(version));
    MainWindow &w = b.w();
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    const int start = b.requests().size();

    editForWrite(w, Type(type), quint16(version));
    int doneTick = -1;
    qint64 doneMs = -1;
    QElapsedTimer clock;
    const int startTick = b.ticks;
    QObject::connect(P::timer(w), &QTimer::timeout, &b.root, [&] {
        if (doneTick < 0 && b.idle()) {
            doneTick = b.ticks;
            doneMs = clock.elapsed();
        }
    });
    clock.start();
    P::pbWrite(w)->click();
    QCOMPARE(P::currentAction(w), ActionType::saveSimParam);
    WAIT_VERIFY(doneTick >= 0, 5000);
    QCOMPARE(b.progress(), 9);
    QCOMPARE(b.progressMax(), 9);
    QCOMPARE(doneTick - startTick, 18);
    qInfo("full write, 9 steps: %d ticks, %lld ms at %d ms periods; %d s at the default 1000 ms",
          doneTick - startTick, doneMs, kPeriod, doneTick - startTick);

    const QList<QByteArray> expected = radioWriteSequence(0, 5, 8, 3, 1)
                                       << tableFrame(Type(type), table) << settingsFrame(record);
    WAIT_VERIFY(describe(b.requests().mid(start)) == describe(expected), 5000);
    QCOMPARE(describe(b.requests().mid(start)), describe(expected));
    QCOMPARE(b.device.settings().toHex(), record.toHex());
    QCOMPARE(registers(b.device), kWrittenRegisters);
    QCOMPARE(registers(b.device), windowRegisters(w));
    QVERIFY(!b.device.commandMode());
    if (type == int(Type::Transmitter)) {
        QCOMPARE(b.device.addressTable().toHex(), table.toHex());
        QCOMPARE(b.device.addressTable().toHex(), P::baMassive(w).toHex());
    } else {
        QCOMPARE(b.device.transmitterMap().toHex(), table.toHex());
        QCOMPARE(b.device.transmitterMap().toHex(), P::resiverPanel(w)->getAdrMaskExt().toHex());
    }
    QVERIFY(b.watcher->boxes.isEmpty());

    QByteArray digits;
    WAIT_VERIFY(b.logMatches(&digits), 5000);
    QCOMPARE(digits, QByteArray(b.requests().size(), '0'));
}

// ---- Factory reset ------------------------------------------------------------------------

void TestSequencer::factoryReset_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("table");

    const QByteArray tx = hex("01010003010000000a0a0a0a01");
    const QByteArray rx = hex("0101010301000001000000000001");   // transmitter 0 polled
    QTest::newRow("transmitter 200") << int(Type::Transmitter) << 200 << tx << zeros(24);
    QTest::newRow("transmitter 296") << int(Type::Transmitter) << 296 << tx << zeros(24);
    QTest::newRow("receiver 221") << int(Type::Receiver) << 221 << rx << zeros(30);
}

void TestSequencer::factoryReset()
{
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, table);

    Bench b(periods(kPeriod), Type(type), quint16(version));
    MainWindow &w = b.w();
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);

    P::pbDefault(w)->click();   // both questions answered Yes
    QCOMPARE(b.watcher->texts(), (QStringList{kFactory1, kFactory2}));
    WAIT_VERIFY(b.idle() && b.progress() == 9, 5000);
    WAIT_VERIFY(b.device.settings().toHex() == record.toHex(), 5000);
    QCOMPARE(b.device.settings().toHex(), record.toHex());
    QCOMPARE(registers(b.device), (QList<int>{0, 1, 1, 0, 1}));
    if (type == int(Type::Transmitter))
        QCOMPARE(b.device.addressTable().toHex(), table.toHex());
    else
        QCOMPARE(b.device.transmitterMap().toHex(), table.toHex());
    QVERIFY(b.logMatches());
}

// ---- Silent steps, questions and answers ----------------------------------------------------

void TestSequencer::silentSteps_data()
{
    QTest::addColumn<bool>("write");                   // else the read after connecting
    QTest::addColumn<QList<Loss>>("losses");
    QTest::addColumn<QList<int>>("answers");   // QMessageBox::StandardButton
    QTest::addColumn<QList<QByteArray>>("frames");     // from the start of the operation
    QTest::addColumn<QByteArray>("digits");            // their attempt digits in the log
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<bool>("completes");
    QTest::addColumn<bool>("commandMode");             // the module's mode afterwards

    using B = QList<int>;
    const int Yes = QMessageBox::Yes, No = QMessageBox::No;
    const QByteArray id = hex("210101"), cmd = at("+++"), cha = at("ATS250?\r"), pow = at("ATS202?\r"),
                     ato = at("ATO\r"), rd = hex("210103"), tbl = hex("210107");
    const auto times = [](const QByteArray &f, int n) {
        QList<QByteArray> out;
        for (int i = 0; i < n; ++i)
            out << f;
        return out;
    };

    QTest::newRow("read: controller silent")
        << false << QList<Loss>{{id, Relay::Ignore}} << B{}
        << times(id, 6) << QByteArray("012345") << QStringList{kNoAnswer} << false << false;
    QTest::newRow("read: module never answers +++, budget gone for ATS250?")
        << false << QList<Loss>{{cmd, Relay::Ignore}} << B{Yes, No}
        << (QList<QByteArray>{id} + times(cmd, 6) + QList<QByteArray>{cha} + times(pow, 6))
        << QByteArray("0" "012345" "5" "012345") << QStringList{kChannels, kPowers} << false << false;
    QTest::newRow("read: three +++ lost leave two tries for ATS250?")
        << false << QList<Loss>{{cmd, Relay::LoseReply, 0, 3}, {cha, Relay::Ignore}} << B{Yes}
        << (QList<QByteArray>{id} + times(cmd, 4) + times(cha, 3) + QList<QByteArray>{pow, ato, rd, tbl})
        << QByteArray("0" "0123" "345" "0000") << QStringList{kChannels} << true << false;
    QTest::newRow("read: No to the channels question")
        << false << QList<Loss>{{cha, Relay::Ignore}} << B{No}
        << (QList<QByteArray>{id, cmd} + times(cha, 6))
        << QByteArray("00" "012345") << QStringList{kChannels} << false << true;
    QTest::newRow("read: No to the powers question")
        << false << QList<Loss>{{pow, Relay::Ignore}} << B{No}
        << (QList<QByteArray>{id, cmd, cha} + times(pow, 6))
        << QByteArray("000" "012345") << QStringList{kPowers} << false << true;
    QTest::newRow("read: Yes to the powers question goes on")
        << false << QList<Loss>{{pow, Relay::Ignore}} << B{Yes}
        << (QList<QByteArray>{id, cmd, cha} + times(pow, 6) + QList<QByteArray>{ato, rd, tbl})
        << QByteArray("000" "012345" "550") << QStringList{kPowers} << true << false;
    QTest::newRow("read: No to the data mode question")
        << false << QList<Loss>{{ato, Relay::Ignore}} << B{No}
        << (QList<QByteArray>{id, cmd, cha, pow} + times(ato, 6))
        << QByteArray("0000" "012345") << QStringList{kDataMode} << false << true;
    QTest::newRow("read: settings never come")
        << false << QList<Loss>{{rd, Relay::LoseReply}} << B{}
        << (QList<QByteArray>{id, cmd, cha, pow, ato} + times(rd, 6))
        << QByteArray("00000" "012345") << QStringList{kNoSettings} << false << false;

    // The write after a clean read of the factory state: mode 0, subnet 5, channel 3, power 7,
    // speed 2. "+++" and "ATO" also occur in that read, hence the occurrence ranges.
    const QList<QByteArray> w = radioWriteSequence(0, 5, 3, 7, 2);
    const QList<QByteArray> rest = {tableFrame(Type::Transmitter, kTxFactoryTable), settingsFrame(kTxFactory)};
    // The radio writes with step k unanswered six times, then Yes.
    const auto mended = [&](int k, int next) {
        QList<QByteArray> out = w.mid(0, k) + times(w.at(k), 6) + w.mid(next) + rest;
        return out;
    };
    QTest::newRow("write: +++ unanswered, Yes goes on with ATS220=")
        << true << QList<Loss>{{cmd, Relay::LoseReply, 1}} << B{Yes}
        << mended(0, 1) << QByteArray("012345" "55555555") << QStringList{kRadioWrite} << true << false;
    QTest::newRow("write: ATS220= unanswered, Yes repeats ATS220=")
        << true << QList<Loss>{{w.at(1)}} << B{Yes, No}
        << (QList<QByteArray>{cmd} + times(w.at(1), 7)) << QByteArray("0" "012345" "5")
        << QStringList{kRadioWrite, kRadioWrite} << false << true;
    QTest::newRow("write: ATS250= unanswered, Yes goes on with ATS200=")
        << true << QList<Loss>{{w.at(2)}} << B{Yes}
        << mended(2, 3) << QByteArray("00" "012345" "555555") << QStringList{kRadioWrite} << true << false;
    QTest::newRow("write: ATS200= unanswered, Yes goes on with ATS202=")
        << true << QList<Loss>{{w.at(3)}} << B{Yes}
        << mended(3, 4) << QByteArray("000" "012345" "55555") << QStringList{kRadioWrite} << true << false;
    QTest::newRow("write: ATS202= unanswered, Yes goes on with ATS201=")
        << true << QList<Loss>{{w.at(4)}} << B{Yes}
        << mended(4, 5) << QByteArray("0000" "012345" "5555") << QStringList{kRadioWrite} << true << false;
    QTest::newRow("write: ATS201= unanswered, Yes goes on with ATO")
        << true << QList<Loss>{{w.at(5)}} << B{Yes}
        << mended(5, 6) << QByteArray("00000" "012345" "555") << QStringList{kRadioWrite} << true << false;
    QTest::newRow("write: ATO unanswered, Yes goes on with the table")
        << true << QList<Loss>{{ato, Relay::LoseReply, 1}} << B{Yes}
        << mended(6, 7) << QByteArray("000000" "012345" "55") << QStringList{kRadioWrite} << true << false;
    QTest::newRow("write: No after +++ sends nothing more")
        << true << QList<Loss>{{cmd, Relay::Ignore, 1}} << B{No}
        << times(cmd, 6) << QByteArray("012345") << QStringList{kRadioWrite} << false << false;
    QTest::newRow("write: No after ATS200= leaves command mode on")
        << true << QList<Loss>{{w.at(3)}} << B{No}
        << (w.mid(0, 3) + times(w.at(3), 6)) << QByteArray("000" "012345")
        << QStringList{kRadioWrite} << false << true;
}

// A step that gets no answer: the retries, the shared budget, the question, and where each
// answer leads. While a box is open the sequencer sends nothing and shows grey.
void TestSequencer::silentSteps()
{
    QFETCH(bool, write);
    QFETCH(QList<Loss>, losses);
    QFETCH(QList<int>, answers);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QByteArray, digits);
    QFETCH(QStringList, questions);
    QFETCH(bool, completes);
    QFETCH(bool, commandMode);
    QCOMPARE(digits.size(), frames.size());

    Bench b(periods(kPeriod), Type::Transmitter, 296, {}, Bench::Relayed);
    MainWindow &w = b.w();
    b.relay->rule = [losses](const QByteArray &frame, int seen) {
        for (const Loss &l : losses) {
            if (l.frame == frame && seen >= l.from && seen < l.to)
                return l.fate;
        }
        return Relay::Answer;
    };
    b.watcher->setHoldMs(4 * kPeriod);
    for (int a : answers)
        b.watcher->answer(QMessageBox::StandardButton(a));

    QVERIFY(b.connect());
    int start = 0;
    if (write) {
        WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
        start = b.requests().size();
        P::pbWrite(w)->click();
    }
    const int last = write ? 9 : 10;
    if (completes) {
        WAIT_VERIFY(b.idle() && b.progress() == last
                                     && b.requests().size() - start >= frames.size(), 10000);
    } else {
        WAIT_VERIFY(b.watcher->boxes.size() == questions.size() && b.idle()
                                     && !QApplication::activeModalWidget(), 10000);
    }
    const int settled = b.ticks;
    WAIT_VERIFY(b.ticks >= settled + 6, 5000);   // nothing more goes out
    QCOMPARE(describe(b.requests().mid(start)), describe(frames));
    QCOMPARE(b.watcher->texts(), questions);
    QVERIFY(b.watcher->others.isEmpty());
    for (const ModalWatcher::Seen &s : b.watcher->boxes) {
        QCOMPARE(s.requestsAtClose, s.requestsAtShow);
        QCOMPARE(s.indicatorAtClose, QString::fromLatin1(kGrey));
    }
    QCOMPARE(b.device.commandMode(), commandMode);
    if (completes && write)
        QCOMPARE(registers(b.device), windowRegisters(w));

    QByteArray logged;
    WAIT_VERIFY(b.logMatches(&logged), 5000);
    QCOMPARE(logged.mid(start), digits);
}

// ---- Receiver data collection --------------------------------------------------------------

void TestSequencer::receiverPoll_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("mask0");
    QTest::addColumn<int>("mask1");
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<QList<int>>("polled");
    QTest::addColumn<QList<QByteArray>>("frames");

    QTest::newRow("receiver 200: 3, 9, 14") << 200 << 0x08 << 0x42 << zeros(30) << QList<int>{3, 9, 14}
                                            << QList<QByteArray>{hex("21010d"), hex("210113"), hex("210118")};
    QByteArray map = zeros(30);
    map[3] = 0x01;   // transmitter 16 + 24 = 40
    QTest::newRow("receiver 221: 3, 9, 40") << 221 << 0x08 << 0x02 << map << QList<int>{3, 9, 40}
                                            << QList<QByteArray>{hex("2102031e"), hex("2102091e"), hex("2102281e")};
    QTest::newRow("receiver 221: nothing selected") << 221 << 0 << 0 << zeros(30) << QList<int>{}
                                                    << QList<QByteArray>{};
}

void TestSequencer::receiverPoll()
{
    QFETCH(int, version);
    QFETCH(int, mask0);
    QFETCH(int, mask1);
    QFETCH(QByteArray, map);
    QFETCH(QList<int>, polled);
    QFETCH(QList<QByteArray>, frames);

    Bench b(periods(kPeriod), Type::Receiver, quint16(version));
    MainWindow &w = b.w();
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    resiver *rp = P::resiverPanel(w);
    rp->setAdrMask0(quint8(mask0));
    rp->setAdrMask1(quint8(mask1));
    rp->setAdrMaskExt(map);
    const int start = b.requests().size();

    auto *button = rp->findChild<QPushButton *>(QStringLiteral("curValue"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Данные с передатчиков"));
    button->click();
    WAIT_VERIFY(b.watcher->tables.size() == 1, 5000);
    QCOMPARE(b.watcher->tables.size(), 1);
    QVERIFY(b.watcher->boxes.isEmpty());
    QCOMPARE(describe(b.requests().mid(start)), describe(frames));
    WAIT_VERIFY(b.idle(), 5000);
    QCOMPARE(b.progress(), 255);
    QCOMPARE(b.progressMax(), 255);

    const QVector<QStringList> table = b.watcher->tables.first();
    const QVector<QColor> colours = b.watcher->tableColours.first();
    QCOMPARE(table.size(), version > 220 ? 256 : 16);
    for (int n = 0; n < table.size(); ++n) {
        QCOMPARE(table.at(n).value(0), QString::number(n));
        if (!polled.contains(n)) {
            QVERIFY2(table.at(n).value(1).isEmpty(), qPrintable(QString::number(n)));
            QCOMPARE(colours.at(n), QColor(Qt::lightGray));
            continue;
        }
        const QByteArray r = b.device.record(n);
        QCOMPARE(table.at(n).value(1), QString::number(quint8(r.at(0))));
        QCOMPARE(table.at(n).value(2), QString::number(quint8(r.at(2)) | quint8(r.at(3)) << 8));
        QCOMPARE(table.at(n).value(3), QString::number(quint8(r.at(4)) | quint8(r.at(5)) << 8));
        QCOMPARE(colours.at(n), QColor(Qt::white));
    }

    const int settled = b.ticks;
    WAIT_VERIFY(b.ticks >= settled + 4, 5000);
    QCOMPARE(b.requests().size() - start, frames.size());   // the poll is over
    QVERIFY(b.logMatches());
}

void TestSequencer::silentRecord_data()
{
    QTest::addColumn<bool>("answersLater");   // else "Считать" is pressed meanwhile
    QTest::newRow("record answers later") << true;
    QTest::newRow("read started meanwhile") << false;
}

// A transmitter record that does not come is asked for again on every second tick, with no
// limit and the indicator red, until it answers or another operation starts.
void TestSequencer::silentRecord()
{
    QFETCH(bool, answersLater);

    Bench b(periods(kPeriod), Type::Receiver, 221);
    MainWindow &w = b.w();
    QList<QPair<QByteArray, int>> sent;   // frame and the tick that sent it
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root,
                     [&](const QByteArray &frame) { sent << qMakePair(frame, b.ticks); });
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    resiver *rp = P::resiverPanel(w);
    rp->setAdrMask0(0x08);
    rp->setAdrMask1(0x02);
    QByteArray map = zeros(30);
    map[3] = 0x01;
    rp->setAdrMaskExt(map);
    b.device.setRecordSilent(9, true);
    const QByteArray nine = hex("2102091e");

    const int indicatorsBefore = b.indicators.size();
    rp->findChild<QPushButton *>(QStringLiteral("curValue"))->click();
    WAIT_VERIFY(count(b.requests(), nine) >= 5, 5000);
    QList<int> ticks;
    for (const auto &s : sent) {
        if (s.first == nine)
            ticks << s.second;
    }
    for (int i = 1; i < ticks.size(); ++i)
        QCOMPARE(ticks.at(i) - ticks.at(i - 1), 2);
    QVERIFY(b.indicators.mid(indicatorsBefore).contains(QString::fromLatin1(kRed)));
    QCOMPARE(P::currentAction(w), ActionType::resiverInfo);
    QVERIFY(!b.requests().contains(hex("2102281e")));

    if (answersLater) {
        b.device.setRecordSilent(9, false);
        WAIT_VERIFY(b.watcher->tables.size() == 1, 5000);
        QCOMPARE(b.watcher->tables.first().at(9).value(1), QString::number(quint8(b.device.record(9).at(0))));
        QCOMPARE(b.requests().last(), hex("2102281e"));
    } else {
        const int start = b.requests().size();
        P::pbRead(w)->click();
        WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
        QCOMPARE(describe(b.requests().mid(start)), describe(readSequence(Type::Receiver, 221)));
        const int settled = b.ticks;
        WAIT_VERIFY(b.ticks >= settled + 4, 5000);
        QCOMPARE(b.requests().size() - start, readSequence(Type::Receiver, 221).size());
        QVERIFY(b.watcher->tables.isEmpty());
    }
    QVERIFY(b.watcher->boxes.isEmpty());
    QVERIFY(b.logMatches());
}

// ---- Measurement --------------------------------------------------------------------------

void TestSequencer::measurement_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("sensor");   // index chosen in "Адрес ДУТ"
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("level");

    // Level 1843 of the device's own sensor; the simulator adds 57 per sensor index.
    QTest::newRow("transmitter 200") << 200 << -1 << hex("210100") << QStringLiteral("1843");
    QTest::newRow("transmitter 296, sensor 2") << 296 << 2 << hex("21020208") << QStringLiteral("1957");
}

void TestSequencer::measurement()
{
    QFETCH(int, version);
    QFETCH(int, sensor);
    QFETCH(QByteArray, request);
    QFETCH(QString, level);

    Bench b(periods(kPeriod), Type::Transmitter, quint16(version));
    MainWindow &w = b.w();
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    if (sensor >= 0)
        P::cbDataDut(w)->setCurrentIndex(sensor);

    QList<int> ticks;
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (frame == request)
            ticks << b.ticks;
    });
    const int indicatorsBefore = b.indicators.size();
    QPushButton *measure = P::pbMeasure(w);
    measure->click();
    QVERIFY(measure->isChecked());
    QCOMPARE(measure->text(), QStringLiteral("Выключить измерение"));
    WAIT_VERIFY(P::leLevel(w)->text() == level, 3000);
    QCOMPARE(P::leLevel(w)->text(), level);
    QCOMPARE(P::leTemp(w)->text(), QStringLiteral("23"));
    QCOMPARE(P::leFreq1(w)->text(), QStringLiteral("500"));
    QCOMPARE(P::leFreq2(w)->text(), QStringLiteral("125"));
    QCOMPARE(P::leAn1(w)->text(), QStringLiteral("998.289"));
    QCOMPARE(P::leAn2(w)->text(), QStringLiteral("4998.45"));

    // A few silent rounds: the indicator goes grey, never red, and the requests go on.
    WAIT_VERIFY(ticks.size() >= 3, 5000);
    sim::Faults silent;
    silent.silent = true;
    b.server->setFaults(silent);
    const int silentFrom = ticks.size();
    WAIT_VERIFY(ticks.size() >= silentFrom + 3, 5000);
    b.server->setFaults({});
    WAIT_VERIFY(ticks.size() >= silentFrom + 6, 5000);
    for (int i = 1; i < ticks.size(); ++i)
        QCOMPARE(ticks.at(i) - ticks.at(i - 1), 2);
    const QStringList seen = b.indicators.mid(indicatorsBefore);
    QVERIFY(!seen.contains(QString::fromLatin1(kRed)));
    QVERIFY(seen.contains(QString::fromLatin1(kGreen)));
    QVERIFY(seen.contains(QString::fromLatin1(kGrey)));
    QCOMPARE(P::leLevel(w)->text(), level);

    // Off just after a request left, its answer 10 ms behind: the late answer must not fill
    // the emptied fields again.
    sim::Faults late;
    late.delayMs = 10;
    b.server->setFaults(late);
    int stopped = -1;
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (frame == request && stopped < 0) {
            measure->click();
            stopped = ticks.size();
        }
    });
    WAIT_VERIFY(stopped >= 0, 3000);
    QVERIFY(!measure->isChecked());
    QCOMPARE(measure->text(), QStringLiteral("Включить измерение"));
    QCOMPARE(P::currentAction(w), ActionType::none);
    const int settled = b.ticks;
    WAIT_VERIFY(b.ticks >= settled + 6, 5000);
    QCOMPARE(ticks.size(), stopped);   // nothing more asked
    QVERIFY(b.incoming.endsWith(b.device.measurementReply(qMax(sensor, 0))));   // the late answer came
    for (QLineEdit *field : {P::leTemp(w), P::leLevel(w), P::leFreq1(w), P::leFreq2(w), P::leAn1(w), P::leAn2(w)})
        QVERIFY(field->text().isEmpty());
    QVERIFY(b.logMatches());
}

// "Считать" in the middle of a write abandons the write at once and reads instead.
void TestSequencer::readDuringWrite()
{
    Bench b(periods(kPeriod), Type::Transmitter, 296);
    MainWindow &w = b.w();
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 5000);
    const int start = b.requests().size();
    P::sbChannel(w)->setValue(4);   // up to 5 at the device's 19200
    const QList<QByteArray> write = radioWriteSequence(0, 5, 4, 7, 2);
    QObject::connect(b.server, &sim::PtyServer::requestReceived, &b.root, [&](const QByteArray &frame) {
        if (frame == write.at(3))
            P::pbRead(w)->click();
    });
    P::pbWrite(w)->click();
    WAIT_VERIFY(b.requests().size() - start >= 4 + 7 && b.idle() && b.progress() == 10, 5000);
    QCOMPARE(describe(b.requests().mid(start)),
             describe(write.mid(0, 4) + readSequence(Type::Transmitter, 296)));
    QCOMPARE(b.device.settings().toHex(), kTxFactory.toHex());
    QCOMPARE(b.device.addressTable().toHex(), kTxFactoryTable.toHex());
    QCOMPARE(P::sbChannel(w)->value(), 3);   // read back from the untouched record
    QVERIFY(b.watcher->boxes.isEmpty());
    QVERIFY(b.logMatches());
}

// ---- Replies in pieces and late ----------------------------------------------------------

void TestSequencer::splitAndDelay_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<int>("delayMs");

    for (int type : {int(Type::Transmitter), int(Type::Receiver)}) {
        const int version = type == int(Type::Transmitter) ? 296 : 221;
        const char *name = type == int(Type::Transmitter) ? "transmitter 296" : "receiver 221";
        // The longest reply (32 bytes) must be in before the period ends.
        QTest::addRow("%s, 1-byte chunks", name) << type << version << 60 << 1 << 1 << 0;
        QTest::addRow("%s, 3-byte chunks", name) << type << version << 50 << 3 << 3 << 0;
        QTest::addRow("%s, replies 25 ms late", name) << type << version << 40 << 0 << 0 << 25;
    }
}

void TestSequencer::splitAndDelay()
{
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(int, period);
    QFETCH(int, chunk);
    QFETCH(int, pauseMs);
    QFETCH(int, delayMs);

    sim::Faults faults;
    faults.splitChunk = chunk;
    faults.splitPauseMs = pauseMs;
    faults.delayMs = delayMs;
    Bench b(periods(period), Type(type), quint16(version), faults);
    MainWindow &w = b.w();
    if (type == int(Type::Receiver)) {
        // The simulator's factory period (10 s) lies beyond the panel's 1..5.
        QByteArray record = b.device.settings();
        record[2] = 3;
        b.device.setSettings(record);
    }
    QVERIFY(b.connect());
    WAIT_VERIFY(b.idle() && b.progress() == 10, 10000);
    QCOMPARE(describe(b.requests()), describe(readSequence(Type(type), quint16(version))));
    comparePanels(w, b.device);
    if (QTest::currentTestFailed())
        return;

    editForWrite(w, Type(type), quint16(version));
    P::pbWrite(w)->click();
    const QByteArray record = type == int(Type::Transmitter) ? kTxWritten : kRxWrittenNew;
    WAIT_VERIFY(b.idle() && b.progress() == 9 && b.device.settings() == record, 10000);
    QCOMPARE(registers(b.device), kWrittenRegisters);
    if (type == int(Type::Transmitter))
        QCOMPARE(b.device.addressTable().toHex(), kEditedTable.toHex());
    else
        QCOMPARE(b.device.transmitterMap().toHex(), kEditedMap.toHex());
    QVERIFY(b.watcher->boxes.isEmpty());

    QByteArray digits;
    WAIT_VERIFY(b.logMatches(&digits), 5000);
    QCOMPARE(digits, QByteArray(b.requests().size(), '0'));   // no request had to be repeated
}

QTEST_MAIN(TestSequencer)
#include "tst_sequencer.moc"
