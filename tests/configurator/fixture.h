#pragma once

// The one fixture of every suite that opens the main window.
//
// WindowFixture: a window started in a fresh working directory (its own "settings.conf" and
// "log.txt") with a pseudo-terminal whose master side the test drives.
// Bench: the window talking over a pseudo-terminal to the controller simulator (sim::PtyServer).
// Modal boxes and the transmitter data dialog are
// answered by a watcher that polls for the active modal widget, as a person at the screen would.

#include "probe.h"
#include "ptypair.h"
#include "ptyserver.h"
#include "simdevice.h"

#include "adjview.h"
#include "exchangemodel.h"
#include "exchangemonitor.h"
#include "massiveadr.h"
#include "power.h"
#include "resiver.h"
#include "resiverinfo.h"

#include <QGroupBox>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using P = MainWindowProbe;
Q_DECLARE_METATYPE(sim::Faults)

// The write journal, recent profiles and remembered menus of every window a test process
// opens go to a home of its own: never the user's, nor another suite's running beside it.
inline void isolateUserFolders()
{
    static QTemporaryDir home;
    static const bool done = [] {
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(name, home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
        return true;
    }();
    Q_UNUSED(done);
}

class WindowFixture
{
public:
    explicit WindowFixture(const QByteArray &settingsConf = QByteArray()) : oldCwd(QDir::currentPath())
    {
        isolateUserFolders();
        QDir::setCurrent(dir.path());
        QFile conf(dir.filePath(QStringLiteral("settings.conf")));
        if (conf.open(QIODevice::WriteOnly))
            conf.write(settingsConf);
        conf.close();
        window = std::make_unique<MainWindow>();
    }
    ~WindowFixture()
    {
        window.reset();
        QDir::setCurrent(oldCwd);
    }

    MainWindow &w() { return *window; }

    // Opens `path` (the pseudo-terminal's slave end by default) with the window's own button.
    bool connect(const QString &path = QString())
    {
        window->selectPort(path.isEmpty() ? pty.slavePath() : path);
        P::pbConnect(*window)->click();
        return P::port(*window)->isOpen();
    }

    QByteArray log() const
    {
        QFile f(dir.filePath(QStringLiteral("log.txt")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    sim::PtyPair pty;

private:
    QString oldCwd;
    std::unique_ptr<MainWindow> window;
};

inline QByteArray hex(const char *h) { return QByteArray::fromHex(h); }
// Periods long enough that no tick interferes with a test that drives the window by hand.
inline QByteArray periods(int zapros, int sim = 60000, int resiver = 60000)
{
    return QStringLiteral("[settings]\nZaprosTimeMs=%1\nZaprosSimTimeMs=%2\nZaprosResiverTimeMs=%3\n")
        .arg(zapros).arg(sim).arg(resiver).toLatin1();
}

namespace e2e {

using Type = sim::Device::Type;

// Runs the event loop until `done` holds or `timeoutMs` has passed. QTRY_* and qWait sleep
// between event batches, which would turn a reply that is in time into a silence at periods
// of a few tens of milliseconds: the bench waits in a real event loop instead.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// The limits are for a quiet machine; a sanitizer build on a loaded one gets three times as
// long. A test that passes never waits for the limit.
#define WAIT_VERIFY(cond, ms) QVERIFY2(e2e::waitUntil([&] { return bool(cond); }, 3 * (ms)), #cond)

// The periods of the end-to-end benches. The sanitizer run, three times slower, doubles them
// (TALVER_TEST_PERIOD_MS) so that a loaded machine does not turn a prompt answer into a silence.
inline const int kPeriod = qEnvironmentVariableIsSet("TALVER_TEST_PERIOD_MS")
                               ? qEnvironmentVariableIntValue("TALVER_TEST_PERIOD_MS") : 20;
const QString kGrey = QStringLiteral("background-color: rgb(170, 170, 170);");
const QString kGreen = QStringLiteral("background-color: rgb(0, 255, 0);");
const QString kRed = QStringLiteral("background-color: rgb(255, 0, 0);");
const QString kRadioWrite = QStringLiteral("Не удалось сохранить настройки радиомодуля. Продолжить?");

inline QByteArray at(const QByteArray &text) { return "!" + QByteArray(1, char(text.size() + 1)) + text + "\x04"; }

// The read sequence as it leaves the window.
inline QList<QByteArray> readSequence(Type type, quint16 version)
{
    QList<QByteArray> out = {hex("210101"), at("+++"), at("ATS250?\r"), at("ATS202?\r"), at("ATO\r"), hex("210103")};
    if (version > 220)
        out << (type == Type::Receiver ? hex("210133") : hex("210107"));
    return out;
}

// The radio part of the write sequence for the given register values.
inline QList<QByteArray> radioWriteSequence(int regim, int subnet, int channel, int power, int speed)
{
    const auto w = [](int reg, int v) { return at("ATS" + QByteArray::number(reg) + "=" + QByteArray::number(v) + "\r"); };
    return {at("+++"), w(220, regim), w(250, subnet), w(200, channel), w(202, power), w(201, speed), at("ATO\r")};
}

// What edit() leaves in the window, as the controller must receive it. The subnet (5) is the
// module's: the window does not let it be edited.
const QByteArray kTxWritten = hex("08052a010103000b1e1f202100");
const QByteArray kRxWritten = hex("0805040101030181420607080900");   // modes in byte 6
// Rows 1, 2 and 7 on, row 2 marked In1A; none clashes with the device's own 42 / 11.
const QByteArray kEditedTable = hex("015014015115000000000000000000000000015216010200");
// Transmitters 16, 17, 247, 254 and 255 polled.
const QByteArray kEditedMap = hex("0300000000000000000000000000000000000000000000000000000080c0");
const QByteArray kMap40 = QByteArray(3, '\0') + '\x01' + QByteArray(26, '\0');   // transmitter 16 + 24

// A technician's edits: every field of the record, the radio values and (above 220) the
// address table or the map.
inline void edit(MainWindow &w, Type type, quint16 version)
{
    P::cbSpeed(w)->setCurrentIndex(1);   // 9600: channels up to 11
    P::sbChannel(w)->setValue(8);
    P::knobPower(w)->setValue(3);
    P::cbRegim(w)->setCurrentIndex(0);
    P::cbRs485Speed(w)->setCurrentIndex(1);
    if (type == Type::Transmitter) {
        const QList<QSpinBox *> boxes = {P::sbDeviceAdr(w), P::sbDutAdr(w), P::sbTimeFd1(w),
                                         P::sbTimeFd2(w), P::sbTimeAd1(w), P::sbTimeAd2(w)};
        for (int i = 0; i < boxes.size(); ++i)
            boxes.at(i)->setValue(QList<int>{42, 11, 30, 31, 32, 33}.at(i));
        P::cbDutRange(w)->setCurrentIndex(1);
        if (version > 220)
            P::massiveAdr(w)->setMassive(proto::AddressTable::parse(kEditedTable));
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

class Bench
{
public:
    // The fast pace gets periods far above its gap: its steps never wait for a tick.
    Bench(Type type, quint16 version, const sim::Faults &faults = {}, int period = kPeriod, bool fast = false)
        : f(periods(fast ? 1000 : period, fast ? 1000 : period, fast ? 1000 : period) + "FastExchange="
            + QByteArray::number(int(fast)) + "\n"),
          device(type, version), fastPace(fast)
    {
        server = new sim::PtyServer(&device, faults, &root);
        QObject::connect(server, &sim::PtyServer::replySent, &root, [this](const QByteArray &bytes) { incoming += bytes; });
        QObject::connect(server, &sim::PtyServer::requestReceived, &root,
                         [this](const QByteArray &frame) { requestTicks[frame] << ticks; });
        QObject::connect(P::timer(w()), &QTimer::timeout, &root, [this] {
            ++ticks;
            indicators << P::ui(w())->pbLevel->styleSheet();
        });
        auto *modalPoll = new QTimer(&root);
        QObject::connect(modalPoll, &QTimer::timeout, &root, [this] { answerModal(); });
        modalPoll->start(2);
    }

    MainWindow &w() { return f.w(); }
    QList<QByteArray> requests() const { return device.requests(); }

    // Clicked just after a tick, as a person would between two: the sequencer timer then is in
    // phase, and the first request gets its full period.
    bool connect(const QString &path = QString())
    {
        const int tick = ticks;
        waitUntil([&] { return ticks > tick; }, 5000);
        return f.connect(!path.isEmpty() ? path : server->slavePath());
    }

    int progress() { return P::ui(w())->progressBar->value(); }
    int progressMax() { return P::ui(w())->progressBar->maximum(); }
    bool barFull() { return progress() == progressMax(); }
    // The status bar without the operation's time and repeats (" за 0,4 с, повторов: 2").
    QString status() { return P::ui(w())->statusBar->currentMessage().remove(QRegularExpression(" за \\d+,\\d с(, повторов: \\d+)?")); }
    // The monitor's decisions, "→" for each request between them.
    QStringList decisions()
    {
        QStringList out;
        for (int r = 0, n = model()->heldRows(); r < n; ++r) {
            const ExchangeModel::Entry &e = model()->entry(r);
            if (e.kind != ExchangeModel::Kind::Reply)
                out << (e.kind == ExchangeModel::Kind::Request ? QStringLiteral("→") : e.meaning);
        }
        return out;
    }
    const ExchangeModel *model() { return w().findChild<ExchangeMonitor *>()->model(); }
    bool idle() { return P::currentAction(w()) == ActionType::none; }
    bool settled() { return idle() && !QApplication::activeModalWidget(); }
    bool readDone() { return idle() && progress() == 10; }

    // Clicks `button` and counts the ticks until the sequencer is idle again (-1: it never is).
    int ticksUntilIdle(QAbstractButton *button)
    {
        QObject context;
        int done = -1;
        const int start = ticks;
        QObject::connect(P::timer(w()), &QTimer::timeout, &context, [&] {
            if (done < 0 && idle())
                done = ticks - start;
        });
        button->click();
        if (fastPace)
            return waitUntil([&] { return idle(); }) ? ticks - start : -1;
        waitUntil([&] { return done >= 0; });
        return done;
    }

    // The exchange as the monitor shows it is "log.txt" block for block; its requests are the
    // frames that arrived, in order, and its replies, joined, exactly the bytes sent back (cut
    // anywhere). The requests' attempt digits go to `digits`.
    bool logMatches(QByteArray *digits = nullptr)
    {
        const ExchangeModel *m = model();
        QByteArray log, in, d;
        QList<QByteArray> out;
        for (int r = 0; r < m->heldRows(); ++r) {
            const ExchangeModel::Entry &e = m->entry(r);
            const bool request = e.kind == ExchangeModel::Kind::Request;
            if (e.kind != ExchangeModel::Kind::Decision)
                log += (request ? e.attempt + QByteArray("------->") : "<-------") + "\r\n" + e.bytes + "\r\n";
            if (request) {
                out << e.bytes;
                d += e.attempt;
            } else if (e.kind == ExchangeModel::Kind::Reply) {
                in += e.bytes;
            }
        }
        if (digits)
            *digits = d;
        return log == f.log() && out == requests() && in == incoming;
    }

    WindowFixture f;
    sim::Device device;
    bool fastPace;
    QObject root;   // owns the line and the timers; goes before the device
    sim::PtyServer *server = nullptr;
    QByteArray incoming;                           // every reply byte the simulator sent
    QHash<QByteArray, QList<int>> requestTicks;   // the ticks at which each frame arrived
    int ticks = 0;
    QStringList indicators;   // the indicator after each tick

    // The modal boxes seen, answered from `answers` in order (with none left, a question gets
    // Yes and a notice OK) after `holdMs` (the sequencer must stay quiet meanwhile), and the
    // cells of each transmitter data dialog, which is closed at once.
    struct Box
    {
        int requestsAtShow = 0, requestsAtClose = 0;
        QString indicatorAtClose;
    };
    QList<Box> boxes;
    QStringList texts;     // the boxes' texts
    QStringList details;   // and their detail lines
    QList<QMessageBox::StandardButton> answers;
    int holdMs = 0;
    QList<QVector<QStringList>> tables;
    QStringList others;   // any other modal widget (closed at once), or a missing button

private:
    void answerModal()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            m_box = nullptr;
            return;
        }
        if (auto *dialog = qobject_cast<ResiverInfo *>(modal)) {
            QAbstractItemModel *model = dialog->table()->model();
            QVector<QStringList> cells(model->rowCount());
            for (int r = 0; r < model->rowCount(); ++r) {
                for (int c = 0; c < model->columnCount(); ++c)
                    cells[r] << model->index(r, c).data().toString();
            }
            tables << cells;
            dialog->accept();
            return;
        }
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            others << modal->metaObject()->className();
            modal->close();
            return;
        }
        if (m_box != box || texts.last() != box->text()) {   // stack addresses are reused: the text tells
            m_box = box;
            m_shown.start();
            boxes << Box{int(requests().size()), 0, QString()};
            texts << box->text();
            details << box->informativeText();
            if (box->button(QMessageBox::Yes) && box->defaultButton() != box->button(QMessageBox::No))
                others << QStringLiteral("default not No on \"%1\"").arg(box->text());   // Enter must send nothing
        }
        if (m_shown.elapsed() < holdMs)
            return;
        const bool question = box->button(QMessageBox::Yes);
        const auto b = answers.isEmpty() ? (question ? QMessageBox::Yes : QMessageBox::Ok) : answers.takeFirst();
        boxes.last().requestsAtClose = requests().size();
        boxes.last().indicatorAtClose = P::ui(w())->pbLevel->styleSheet();
        m_box = nullptr;
        if (!box->button(b))
            others << QStringLiteral("no button %1 on \"%2\"").arg(int(b)).arg(box->text());
        (box->button(b) ? box->button(b) : box->buttons().first())->click();
    }

    QMessageBox *m_box = nullptr;
    QElapsedTimer m_shown;
};

#define CONNECT_AND_READ(b) \
    QVERIFY((b).connect()); \
    WAIT_VERIFY((b).readDone(), 5000)

inline QByteArray deviceTable(const sim::Device &d)
{
    return d.type() == Type::Transmitter ? d.addressTable() : d.transmitterMap();
}

// The record as a write of the panels would send it (21 0E/0F rec 02 without its frame).
inline QByteArray panelsRecord(MainWindow &w)
{
    const QByteArray frame = w.panelsConfig().settingsFrame();
    return frame.mid(2, frame.size() - 3);
}

// The panels after a full read hold what the device holds: its kind and firmware, the record
// as far as the firmware reports it (the power is the radio module's), the table above 220.
inline void comparePanels(MainWindow &w, const sim::Device &d)
{
    QByteArray want = d.settings();
    want[5] = char(d.sRegister(202));
    const int reported = sim::Device::settingsSize(d.type()) - (d.version() > 295 ? 0 : 1);
    const proto::DeviceConfig c = w.panelsConfig();
    QCOMPARE(QString("%1 %2 ").arg(c.deviceType).arg(c.version) + panelsRecord(w).left(reported).toHex(),
             QString("%1 %2 ").arg(int(d.type())).arg(d.version()) + want.left(reported).toHex());
    if (d.version() > 220)
        QCOMPARE(c.tableFrame().mid(2, deviceTable(d).size()).toHex(), deviceTable(d).toHex());
}

#define COMPARE_PANELS(w, d)            \
    do {                                \
        e2e::comparePanels(w, d);       \
        if (QTest::currentTestFailed()) \
            return;                     \
    } while (false)

// The device's radio registers as (220, 250, 200, 202, 201), and the window's values for them.
inline QList<int> registers(const sim::Device &d)
{
    return {d.sRegister(220), d.sRegister(250), d.sRegister(200), d.sRegister(202), d.sRegister(201)};
}

// Starts the receiver's data collection over the transmitters chosen by the two masks and the map.
inline void startPoll(MainWindow &w, int mask0, int mask1, const QByteArray &map)
{
    resiver *rp = P::resiverPanel(w);
    rp->setAdrMask0(quint8(mask0));
    rp->setAdrMask1(quint8(mask1));
    rp->setAdrMaskExt(map);
    rp->findChild<QPushButton *>(QStringLiteral("curValue"))->click();
}

} // namespace e2e
