#pragma once

// End-to-end bench: the real main window, started in its own working directory, talking over
// a pseudo-terminal to the controller simulator (sim::PtyServer) or to a relay that lets a
// test lose chosen replies. Modal boxes and the transmitter data dialog are answered by a
// watcher that polls for the active modal widget, as a person at the screen would.

#include "fixture.h"   // WindowFixture, MainWindowProbe (P)

#include "adjview.h"
#include "massiveadr.h"
#include "power.h"
#include "ptyserver.h"
#include "resiver.h"
#include "resiverinfo.h"
#include "simdevice.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QSocketNotifier>
#include <QtTest>

#include <functional>

namespace e2e {

using Type = sim::Device::Type;

// Runs the event loop until `done` holds or `timeoutMs` has passed. QTRY_* and qWait sleep
// between event batches, which would delay replies and ticks by up to 10 ms and so turn a
// reply that is in time into a silence at periods of a few tens of milliseconds: the bench
// waits in a real event loop instead.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// The limits are for a quiet machine; a sanitizer build on a loaded one gets three times as
// long. A test that passes never waits for the limit.
#define WAIT_VERIFY(cond, ms) QVERIFY2(e2e::waitUntil([&] { return bool(cond); }, 3 * (ms)), #cond)

constexpr int kPeriod = 20;
constexpr int kFastPeriod = 1000;
const char *const kGrey = "background-color: rgb(170, 170, 170);";
const char *const kGreen = "background-color: rgb(0, 255, 0);";
const char *const kRed = "background-color: rgb(255, 0, 0);";
const QString kNoAnswer = QStringLiteral("Нет ответа от контроллера");
const QString kNoSettings = QStringLiteral("Не удалось считать настройки контроллера");
const QString kRadioWrite = QStringLiteral("Не удалось сохранить настройки радиомодуля. Продолжить?");

// ---- Wire texts ---------------------------------------------------------------------------

inline QByteArray hex(const char *h) { return QByteArray::fromHex(h); }
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

// ---- A technician's edits -----------------------------------------------------------------

// What edit() leaves in the window, as the controller must receive it. The subnet (5) is the
// module's: the window does not let it be edited.
const QByteArray kTxWritten = hex("08052a010103000b1e1f202100");
const QByteArray kRxWrittenOld = hex("0805040101030081428607080900");   // modes in bit 7 of 9, 10
const QByteArray kRxWritten = hex("0805040101030181420607080900");      // modes in byte 6
const QList<int> kWrittenRegisters = {0, 5, 8, 3, 1};                    // 220, 250, 200, 202, 201
// Rows 1, 2 and 7 on, row 2 marked In1A; none clashes with the device's own 42 / 11.
const QByteArray kEditedTable = hex("015014015115000000000000000000000000015216010200");
// Transmitters 16, 17, 247, 254 and 255 polled.
const QByteArray kEditedMap = hex("0300000000000000000000000000000000000000000000000000000080c0");

// Every field of the record, the radio values and (above 220) the address table or the map.
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

// ---- A relay that loses chosen replies ----------------------------------------------------

// Serves a Device on its own pseudo-terminal, like PtyServer without timing faults, but asks
// `rule` about every complete frame: answer it, let the device act on it but lose the reply,
// or keep it from the device altogether.
class Relay : public QObject
{
public:
    enum Fate { Answer, LoseReply, Ignore };

    Relay(sim::Device *device, QObject *parent) : QObject(parent), m_device(device)
    {
        auto *notifier = new QSocketNotifier(m_pty.masterFd(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &Relay::onReadable);
    }

    QString slavePath() const { return m_pty.slavePath(); }
    std::function<Fate(const QByteArray &frame, int seen)> rule;   // seen: earlier arrivals of the frame
    QList<QByteArray> frames;   // every frame that arrived
    QByteArray sent;            // every byte written back

private:
    void onReadable()
    {
        for (const char c : m_pty.readAvailable()) {
            if (m_frame.isEmpty() && c != '!')
                continue;
            m_frame.append(c);
            if (m_frame.size() < 2 || m_frame.size() < 2 + quint8(m_frame.at(1)))
                continue;
            const QByteArray frame = m_frame;
            m_frame.clear();
            frames << frame;
            const Fate fate = rule ? rule(frame, m_seen[frame]++) : Answer;
            if (fate == Ignore)
                continue;
            const QByteArray reply = m_device->feed(frame).join();
            if (fate == Answer) {
                sent += reply;
                m_pty.write(reply);
            }
        }
    }

    sim::Device *m_device;
    PtyPair m_pty;
    QByteArray m_frame;
    QHash<QByteArray, int> m_seen;
};

// ---- The bench ----------------------------------------------------------------------------

class Bench
{
public:
    enum Line { Simulator, Relayed };

    // The fast pace gets periods far above its gap: its steps never wait for a tick.
    Bench(sim::Device::Type type, quint16 version, const sim::Faults &faults = {}, Line line = Simulator,
          int period = kPeriod, bool fast = false)
        : f(QStringLiteral("[settings]\nZaprosTimeMs=%1\nZaprosSimTimeMs=%1\nZaprosResiverTimeMs=%1\nFastExchange=%2\n")
                .arg(fast ? kFastPeriod : period).arg(int(fast)).toLatin1()),
          device(type, version), fastPace(fast)
    {
        if (line == Relayed) {
            relay = new Relay(&device, &root);
        } else {
            server = new sim::PtyServer(&device, faults, &root);
            QObject::connect(server, &sim::PtyServer::replySent, &root, [this](const QByteArray &bytes) { incoming += bytes; });
            QObject::connect(server, &sim::PtyServer::requestReceived, &root,
                             [this](const QByteArray &frame) { requestTicks[frame] << ticks; });
        }
        QObject::connect(P::timer(w()), &QTimer::timeout, &root, [this] {
            ++ticks;
            indicators << P::ui(w())->pbLevel->styleSheet();
        });
        auto *modalPoll = new QTimer(&root);
        QObject::connect(modalPoll, &QTimer::timeout, &root, [this] { answerModal(); });
        modalPoll->start(2);
    }

    MainWindow &w() { return f.w(); }
    QList<QByteArray> requests() const { return relay ? relay->frames : device.requests(); }

    bool connect()
    {
        // Clicked just after a tick, as a person would between two: the sequencer timer then
        // is in phase, and the first request gets its full period. (Before the event loop
        // first runs, the window's timer is already overdue; a late tick would leave the first
        // answer less than a period.)
        const int tick = ticks;
        waitUntil([&] { return ticks > tick; }, 5000);
        w().selectPort(relay ? relay->slavePath() : server->slavePath());
        P::pbConnect(w())->click();
        return P::port(w())->isOpen();
    }

    int progress() { return P::ui(w())->progressBar->value(); }
    bool barFull() { return progress() == progressMax(); }
    // The status bar without the operation's time (" за 0,4 с").
    QString status() { return P::ui(w())->statusBar->currentMessage().remove(QRegularExpression(" за \\d+,\\d с")); }
    int progressMax() { return P::ui(w())->progressBar->maximum(); }
    bool idle() { return P::currentAction(w()) == ActionType::none; }
    bool fast() const { return fastPace; }
    bool settled() { return idle() && !QApplication::activeModalWidget(); }

    // Clicks `button` and counts the ticks until the sequencer is idle again (-1: it never is).
    // In the fast pace no step should wait for a tick at all.
    int ticksUntilIdle(QAbstractButton *button)
    {
        if (fast()) {
            const int start = ticks;
            button->click();
            return waitUntil([&] { return idle(); }, 5000) ? ticks - start : -1;
        }
        QObject context;
        int done = -1;
        const int start = ticks;
        QObject::connect(P::timer(w()), &QTimer::timeout, &context, [&] {
            if (done < 0 && idle())
                done = ticks - start;
        });
        button->click();
        waitUntil([&] { return done >= 0; }, 5000);
        return done;
    }

    // Checks that log.txt is nothing but outgoing blocks for the requests, in their order, each
    // "<digit>------->\r\n" + frame + "\r\n", interleaved with incoming blocks "<-------\r\n" +
    // batch + "\r\n" whose batches, joined, are exactly the bytes sent back. How the incoming
    // bytes were cut into batches is the serial driver's business, so any cut is accepted. On
    // success the attempt digits of the outgoing blocks are returned in `digits`.
    bool logMatches(QByteArray *digits = nullptr) const
    {
        const QByteArray log = f.log(), in = relay ? relay->sent : incoming;
        const QList<QByteArray> out = requests();
        const auto outgoing = [&](int p) {
            return p < log.size() && log.at(p) >= '0' && log.at(p) <= '5' && log.mid(p + 1, 10) == "------->\r\n";
        };
        const auto header = [&](int p) { return p == log.size() || outgoing(p) || log.mid(p, 10) == "<-------\r\n"; };
        QByteArray d, got;
        int pos = 0, r = 0;
        while (pos < log.size()) {
            if (outgoing(pos)) {
                if (r == out.size() || log.mid(pos + 11, out.at(r).size() + 2) != out.at(r) + "\r\n")
                    return false;
                d += log.at(pos);
                pos += 13 + out.at(r++).size();
            } else if (log.mid(pos, 10) == "<-------\r\n") {
                // The batch ends at the first line end that a block or the end of the log follows.
                int end = pos + 10;
                while (end < log.size() && !(log.mid(end, 2) == "\r\n" && header(end + 2)))
                    ++end;
                got += log.mid(pos + 10, end - pos - 10);
                pos = end + 2;
            } else {
                return false;
            }
        }
        if (digits)
            *digits = d;
        return r == out.size() && got == in;
    }

    WindowFixture f;
    sim::Device device;
    bool fastPace;
    QObject root;   // owns the line and the timers; goes before the device
    sim::PtyServer *server = nullptr;
    Relay *relay = nullptr;
    QByteArray incoming;                           // every reply byte the simulator sent
    QHash<QByteArray, QList<int>> requestTicks;   // the ticks at which each frame arrived
    int ticks = 0;
    QStringList indicators;   // the indicator after each tick

    // The modal boxes seen, answered from `answers` in order (with none left, a question gets
    // Yes and a notice OK) after `holdMs` (the sequencer must stay quiet meanwhile), and the
    // cells of each transmitter data dialog, which is closed at once.
    struct Box
    {
        bool question = false;
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
    // Polled like a person at the screen would look at it.
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
        if (m_box != box || texts.last() != box->text()) {
            // A new box (the program reuses stack addresses, so the text tells them apart too).
            m_box = box;
            m_shown.start();
            boxes << Box{box->button(QMessageBox::Yes) != nullptr, int(requests().size()), 0, QString()};
            texts << box->text();
            details << box->informativeText();
        }
        if (m_shown.elapsed() < holdMs)
            return;
        const auto b = answers.isEmpty() ? (boxes.last().question ? QMessageBox::Yes : QMessageBox::Ok)
                                         : answers.takeFirst();
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

#define CONNECT_AND_READ(b)                                      \
    QVERIFY((b).connect());                                      \
    WAIT_VERIFY((b).idle() && (b).progress() == 10, 5000)

// ---- Panels against the device ------------------------------------------------------------

inline QByteArray deviceTable(const sim::Device &d)
{
    return d.type() == Type::Transmitter ? d.addressTable() : d.transmitterMap();
}

// The settings panels after a full read hold what the device holds: the record (all fields the
// read reports), subnet and power from the radio module, the tables above version 220.
inline void comparePanels(MainWindow &w, const sim::Device &d)
{
    const QByteArray r = d.settings();
    const auto b = [&r](int i) { return int(quint8(r.at(i))); };
    const quint16 v = d.version();
    const bool tx = d.type() == Type::Transmitter;
    resiver *rp = P::resiverPanel(w);
    QList<int> got, want;
    got << int(P::deviceType(w)) << int(P::numVersion(w)) << P::sbChannel(w)->value() << P::sbSubnet(w)->value()
        << P::sbSubnet(w)->value() << P::cbRegim(w)->currentIndex() << P::cbRs485Speed(w)->currentIndex()
        << P::cbSpeed(w)->currentIndex() << int(P::knobPower(w)->value());
    want << int(d.type()) << v << b(0) << d.sRegister(250) << b(1) << (b(3) >> 7) << (b(3) & 0x7F) << b(4)
         << d.sRegister(202);
    if (tx) {
        got << P::sbDeviceAdr(w)->value() << P::sbDutAdr(w)->value() << P::sbTimeFd1(w)->value()
            << P::sbTimeFd2(w)->value() << P::sbTimeAd1(w)->value() << P::sbTimeAd2(w)->value();
        want << b(2) << b(7) << b(8) << b(9) << b(10) << b(11);
        if (v > 295) {
            got << P::cbDutRange(w)->currentIndex();
            want << (b(12) ? 0 : 1);
        }
    } else {
        got << rp->getPeriod() << rp->getAdrMask0() << rp->getAdrMask1() << rp->getAn1() << rp->getAn2()
            << rp->getFq1() << rp->getFq2() << rp->getFq1Mode() << rp->getFq2Mode();
        want << b(2) << b(7) << b(8) << b(11) << b(12);
        if (v > 220)
            want << b(9) << b(10) << (b(6) & 1) << ((b(6) >> 1) & 1);
        else
            want << (b(9) & 0x7F) << (b(10) & 0x7F) << (b(9) >> 7) << (b(10) >> 7);
        if (v > 295) {
            got << rp->getOldProtokol();
            want << (b(13) != 0);
        }
    }
    QCOMPARE(got, want);
    if (v > 220)
        QCOMPARE((tx ? P::massiveAdr(w)->getMassive() : rp->getAdrMaskExt()).toHex(), deviceTable(d).toHex());
    if (v > 220 && tx)
        QCOMPARE(P::baMassive(w).toHex(), d.addressTable().toHex());
}

#define COMPARE_PANELS(w, d)          \
    do {                              \
        e2e::comparePanels(w, d);     \
        if (QTest::currentTestFailed()) \
            return;                   \
    } while (false)

// The device's radio registers as (220, 250, 200, 202, 201), and the window's values for them.
inline QList<int> registers(const sim::Device &d)
{
    return {d.sRegister(220), d.sRegister(250), d.sRegister(200), d.sRegister(202), d.sRegister(201)};
}
inline QList<int> windowRegisters(MainWindow &w)
{
    return {P::cbRegim(w)->currentIndex(), P::sbSubnet(w)->value(), P::sbChannel(w)->value(),
            int(P::knobPower(w)->value()), P::cbSpeed(w)->currentIndex()};
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
const QByteArray kMap40 = QByteArray(3, '\0') + '\x01' + QByteArray(26, '\0');   // transmitter 16 + 24

} // namespace e2e
