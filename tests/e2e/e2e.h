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
#include <QPushButton>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <set>
#include <sys/resource.h>
#include <tuple>

namespace e2e {

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

#define WAIT_VERIFY(cond, ms) QVERIFY2(e2e::waitUntil([&] { return bool(cond); }, ms), #cond)

inline QByteArray periods(int zapros, int sim, int resiver)
{
    return QStringLiteral("[settings]\nZaprosTimeMs=%1\nZaprosSimTimeMs=%2\nZaprosResiverTimeMs=%3\n")
        .arg(zapros).arg(sim).arg(resiver).toLatin1();
}
inline QByteArray periods(int ms) { return periods(ms, ms, ms); }

const char *const kGrey = "background-color: rgb(170, 170, 170);";
const char *const kGreen = "background-color: rgb(0, 255, 0);";
const char *const kRed = "background-color: rgb(255, 0, 0);";

// ---- Wire texts ---------------------------------------------------------------------------

inline QByteArray at(const QByteArray &text)
{
    return "!" + QByteArray(1, char(text.size() + 1)) + text + "\x04";
}
inline QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

// The read sequence as it leaves the window.
inline QList<QByteArray> readSequence(sim::Device::Type type, quint16 version)
{
    QList<QByteArray> out = {hex("210101"), at("+++"), at("ATS250?\r"), at("ATS202?\r"),
                             at("ATO\r"), hex("210103")};
    if (version > 220)
        out << (type == sim::Device::Receiver ? hex("210133") : hex("210107"));
    return out;
}

// The radio part of the write sequence for the given register values.
inline QList<QByteArray> radioWriteSequence(int regim, int subnet, int channel, int power, int speed)
{
    const auto w = [](int reg, int v) {
        return at("ATS" + QByteArray::number(reg) + "=" + QByteArray::number(v) + "\r");
    };
    return {at("+++"), w(220, regim), w(250, subnet), w(200, channel), w(202, power),
            w(201, speed), at("ATO\r")};
}

inline QString describe(const QList<QByteArray> &frames)
{
    QStringList out;
    for (const QByteArray &f : frames) {
        // AT commands as their text, binary frames in hex.
        if (f.size() > 2 && f.endsWith('\x04') && f.at(2) != '\x04')
            out << QString::fromLatin1(f.mid(2, f.size() - 3)).replace('\r', "\\r").replace('\n', "\\n");
        else
            out << QString::fromLatin1(f.toHex());
    }
    return out.join(QLatin1String(" | "));
}

// ---- Exchange log -------------------------------------------------------------------------

// Checks that `log` is nothing but outgoing blocks for `requests`, in their order, each
// "<digit>------->\r\n" + frame + "\r\n", interleaved with incoming blocks "<-------\r\n" +
// batch + "\r\n" whose batches, joined, are exactly `incoming`. How the incoming bytes were
// cut into batches is the serial driver's business, so any cut is accepted. On success the
// attempt digits of the outgoing blocks are returned in `digits`.
class LogMatcher
{
public:
    LogMatcher(const QByteArray &log, const QList<QByteArray> &requests, const QByteArray &incoming)
        : m_log(log), m_requests(requests), m_in(incoming) {}

    bool match(QByteArray *digits)
    {
        m_digits.clear();
        m_failed.clear();
        const bool ok = walk(0, 0, 0);
        if (ok && digits)
            *digits = m_digits;
        return ok;
    }

private:
    bool walk(int pos, int r, int i)
    {
        if (pos == m_log.size())
            return r == m_requests.size() && i == m_in.size();
        const auto key = std::make_tuple(pos, r, i);
        if (m_failed.count(key))
            return false;

        if (r < m_requests.size()) {
            const QByteArray &q = m_requests.at(r);
            const char d = m_log.at(pos);
            if (d >= '0' && d <= '5' && m_log.mid(pos + 1, 10) == "------->\r\n"
                && m_log.mid(pos + 11, q.size()) == q && m_log.mid(pos + 11 + q.size(), 2) == "\r\n") {
                m_digits.append(d);
                if (walk(pos + 13 + q.size(), r + 1, i))
                    return true;
                m_digits.chop(1);
            }
        }
        if (m_log.mid(pos, 10) == "<-------\r\n") {
            const int p = pos + 10;
            int longest = 0;
            while (i + longest < m_in.size() && p + longest < m_log.size()
                   && m_log.at(p + longest) == m_in.at(i + longest))
                ++longest;
            for (int k = longest; k >= 0; --k) {
                if (m_log.mid(p + k, 2) == "\r\n" && walk(p + k + 2, r, i + k))
                    return true;
            }
        }
        m_failed.insert(key);
        return false;
    }

    QByteArray m_log;
    QList<QByteArray> m_requests;
    QByteArray m_in;
    QByteArray m_digits;
    std::set<std::tuple<int, int, int>> m_failed;
};

// ---- Modal boxes --------------------------------------------------------------------------

// Answers the program's modal message boxes and closes the transmitter data dialog, keeping
// what they showed. Answers are taken from the queue in order; with the queue empty a
// question gets Yes and a notice OK.
class ModalWatcher : public QObject
{
public:
    struct Seen
    {
        QString text;
        bool question = false;
        int requestsAtShow = 0;
        int requestsAtClose = 0;
        QString indicatorAtClose;
    };

    ModalWatcher(std::function<int()> requestCount, QWidget *indicator, QObject *parent)
        : QObject(parent), m_requestCount(std::move(requestCount)), m_indicator(indicator)
    {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &ModalWatcher::poll);
        poll->start(2);
    }

    void answer(QMessageBox::StandardButton b) { m_answers.append(b); }
    // Keeps each box open this long before answering (the sequencer must stay quiet meanwhile).
    void setHoldMs(int ms) { m_holdMs = ms; }

    QList<Seen> boxes;
    QStringList texts() const
    {
        QStringList out;
        for (const Seen &s : boxes)
            out << s.text;
        return out;
    }

    // The transmitter data dialogs seen: their cells, row by row.
    QList<QVector<QStringList>> tables;
    QList<QVector<QColor>> tableColours;
    QStringList others;   // any other modal widget (closed at once)

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            m_current = nullptr;
            return;
        }
        if (auto *dialog = qobject_cast<ResiverInfo *>(modal)) {
            QAbstractItemModel *model = dialog->table()->model();
            QVector<QStringList> cells;
            QVector<QColor> colours;
            for (int r = 0; r < model->rowCount(); ++r) {
                QStringList row;
                for (int c = 0; c < model->columnCount(); ++c)
                    row << model->index(r, c).data().toString();
                cells << row;
                colours << model->index(r, 0).data(Qt::BackgroundRole).value<QBrush>().color();
            }
            tables << cells;
            tableColours << colours;
            dialog->accept();
            return;
        }
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            others << modal->metaObject()->className();
            modal->close();
            return;
        }
        if (m_current != box || m_currentText != box->text()) {
            // A new box (the program reuses stack addresses, so the text tells them apart too).
            m_current = box;
            m_currentText = box->text();
            m_shown.start();
            Seen s;
            s.text = box->text();
            s.question = box->button(QMessageBox::Yes) != nullptr;
            s.requestsAtShow = m_requestCount();
            boxes << s;
        }
        if (m_shown.elapsed() < m_holdMs)
            return;
        QMessageBox::StandardButton b = m_answers.isEmpty()
                                            ? (boxes.last().question ? QMessageBox::Yes : QMessageBox::Ok)
                                            : m_answers.takeFirst();
        boxes.last().requestsAtClose = m_requestCount();
        boxes.last().indicatorAtClose = m_indicator ? m_indicator->styleSheet() : QString();
        QAbstractButton *button = box->button(b);
        if (!button) {
            others << QStringLiteral("no button %1 on \"%2\"").arg(int(b)).arg(box->text());
            button = box->buttons().value(0);
        }
        m_current = nullptr;
        if (button)
            button->click();
    }

    std::function<int()> m_requestCount;
    QWidget *m_indicator;
    QList<QMessageBox::StandardButton> m_answers;
    int m_holdMs = 0;
    QMessageBox *m_current = nullptr;
    QString m_currentText;
    QElapsedTimer m_shown;
};

// ---- A relay that loses chosen replies ----------------------------------------------------

// Serves a Device on its own pseudo-terminal, like PtyServer without faults, but asks `rule`
// about every complete frame: answer it, let the device act on it but lose the reply, or
// keep it from the device altogether.
class Relay : public QObject
{
public:
    enum Fate { Answer, LoseReply, Ignore };
    // seen: how many times this very frame arrived before.
    using Rule = std::function<Fate(const QByteArray &frame, int seen)>;

    Relay(sim::Device *device, QObject *parent) : QObject(parent), m_device(device)
    {
        if (!m_pty.isValid())
            return;
        m_notifier = new QSocketNotifier(m_pty.masterFd(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &Relay::onReadable);
    }

    QString slavePath() const { return m_pty.slavePath(); }
    Rule rule = [](const QByteArray &, int) { return Answer; };
    QList<QByteArray> frames;   // every frame that arrived
    QByteArray sent;            // every byte written back

private:
    void onReadable()
    {
        const QByteArray bytes = m_pty.readAvailable();
        if (bytes.isEmpty()) {   // the other side closed: stop listening
            m_notifier->setEnabled(false);
            return;
        }
        for (const char c : bytes) {
            if (m_frame.isEmpty() && c != '!')
                continue;
            m_frame.append(c);
            if (m_frame.size() < 2 || m_frame.size() < 2 + quint8(m_frame.at(1)))
                continue;
            const QByteArray frame = m_frame;
            m_frame.clear();
            frames << frame;
            const Fate fate = rule(frame, m_seen[frame]++);
            if (fate == Ignore)
                continue;
            const QList<QByteArray> replies = m_device->feed(frame);
            if (fate == Answer) {
                for (const QByteArray &r : replies) {
                    sent += r;
                    m_pty.write(r);
                }
            }
        }
    }

    sim::Device *m_device;
    PtyPair m_pty;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_frame;
    QHash<QByteArray, int> m_seen;
};

// ---- The bench ----------------------------------------------------------------------------

class Bench
{
public:
    enum Line { Simulator, Relayed };

    Bench(const QByteArray &settings, sim::Device::Type type, quint16 version,
          const sim::Faults &faults = {}, Line line = Simulator)
        : f(settings), device(type, version)
    {
        if (line == Relayed) {
            relay = new Relay(&device, &root);
        } else {
            server = new sim::PtyServer(&device, faults, &root);
            QObject::connect(server, &sim::PtyServer::replySent, &root,
                             [this](const QByteArray &bytes) { incoming += bytes; });
        }
        watcher = new ModalWatcher([this] { return requests().size(); }, P::ui(w())->pbLevel, &root);
        QObject::connect(P::timer(w()), &QTimer::timeout, &root, [this] {
            ++ticks;
            indicators << P::ui(w())->pbLevel->styleSheet();
        });
    }

    MainWindow &w() { return f.w(); }
    QString path() const { return relay ? relay->slavePath() : server->slavePath(); }

    QList<QByteArray> requests() const { return relay ? relay->frames : device.requests(); }
    QByteArray received() const { return relay ? relay->sent : incoming; }

    bool connect()
    {
        // Clicked just after a tick, as a person would between two: the sequencer timer then
        // is in phase, and the first request gets its full period. (Before the event loop
        // first runs, the window's timer is already overdue; a late tick would leave the first
        // answer less than a period.)
        const int tick = ticks;
        waitUntil([&] { return ticks > tick; }, 5000);
        w().selectPort(path());
        P::pbConnect(w())->click();
        return P::port(w())->isOpen();
    }

    int progress() { return P::ui(w())->progressBar->value(); }
    int progressMax() { return P::ui(w())->progressBar->maximum(); }
    bool idle() { return P::currentAction(w()) == ActionType::none; }

    // Checks the exchange log against what crossed the line; returns the attempt digits.
    bool logMatches(QByteArray *digits = nullptr) const
    {
        return LogMatcher(f.log(), requests(), received()).match(digits);
    }

    WindowFixture f;
    sim::Device device;
    QObject root;   // owns the line and the watcher; goes before the device
    sim::PtyServer *server = nullptr;
    Relay *relay = nullptr;
    ModalWatcher *watcher = nullptr;
    QByteArray incoming;   // every reply byte the simulator sent
    int ticks = 0;
    QStringList indicators;   // the indicator after each tick
};

// CPU time this process has used, user and system, in milliseconds.
inline qint64 cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return qint64(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000
           + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

// ---- Panels against the device ------------------------------------------------------------

// The settings panels after a full read hold what the device holds: the record (all fields the
// read reports), subnet and power from the radio module, the tables above version 220.
inline void comparePanels(MainWindow &w, const sim::Device &d)
{
    const QByteArray r = d.settings();
    const auto b = [&r](int i) { return int(quint8(r.at(i))); };
    const quint16 v = d.version();
    QCOMPARE(int(P::deviceType(w)), int(d.type()));
    QCOMPARE(int(P::numVersion(w)), int(v));
    QCOMPARE(P::sbChannel(w)->value(), b(0));
    QCOMPARE(P::sbSubnet(w)->value(), d.sRegister(250));
    QCOMPARE(P::sbSubnet(w)->value(), b(1));
    QCOMPARE(P::cbRegim(w)->currentIndex(), b(3) >> 7);
    QCOMPARE(P::cbRs485Speed(w)->currentIndex(), b(3) & 0x7F);
    QCOMPARE(P::cbSpeed(w)->currentIndex(), b(4));
    QCOMPARE(int(P::knobPower(w)->value()), d.sRegister(202));

    if (d.type() == sim::Device::Transmitter) {
        QCOMPARE(P::sbDeviceAdr(w)->value(), b(2));
        QCOMPARE(P::sbDutAdr(w)->value(), b(7));
        QCOMPARE(P::sbTimeFd1(w)->value(), b(8));
        QCOMPARE(P::sbTimeFd2(w)->value(), b(9));
        QCOMPARE(P::sbTimeAd1(w)->value(), b(10));
        QCOMPARE(P::sbTimeAd2(w)->value(), b(11));
        if (v > 295)
            QCOMPARE(P::cbDutRange(w)->currentIndex(), b(12) ? 0 : 1);
        if (v > 220) {
            QCOMPARE(P::massiveAdr(w)->getMassive().toHex(), d.addressTable().toHex());
            QCOMPARE(P::baMassive(w).toHex(), d.addressTable().toHex());
            QCOMPARE(P::cbDataDut(w)->count(), 8);
        }
        return;
    }
    resiver *rp = P::resiverPanel(w);
    QCOMPARE(rp->getPeriod(), b(2));
    QCOMPARE(int(rp->getAdrMask0()), b(7));
    QCOMPARE(int(rp->getAdrMask1()), b(8));
    QCOMPARE(rp->getAn1(), b(11));
    QCOMPARE(rp->getAn2(), b(12));
    if (v > 220) {
        QCOMPARE(rp->getFq1(), b(9));
        QCOMPARE(rp->getFq2(), b(10));
        QCOMPARE(rp->getFq1Mode(), b(6) & 1);
        QCOMPARE(rp->getFq2Mode(), (b(6) >> 1) & 1);
        QCOMPARE(rp->getAdrMaskExt().toHex(), d.transmitterMap().toHex());
    } else {
        QCOMPARE(rp->getFq1(), b(9) & 0x7F);
        QCOMPARE(rp->getFq2(), b(10) & 0x7F);
        QCOMPARE(rp->getFq1Mode(), b(9) >> 7);
        QCOMPARE(rp->getFq2Mode(), b(10) >> 7);
    }
    if (v > 295)
        QCOMPARE(rp->getOldProtokol(), b(13) != 0);
}

// The device's radio registers as (220, 250, 200, 202, 201).
inline QList<int> registers(const sim::Device &d)
{
    return {d.sRegister(220), d.sRegister(250), d.sRegister(200), d.sRegister(202), d.sRegister(201)};
}

// The window's values for the same registers.
inline QList<int> windowRegisters(MainWindow &w)
{
    return {P::cbRegim(w)->currentIndex(), P::sbSubnet(w)->value(), P::sbChannel(w)->value(),
            int(P::knobPower(w)->value()), P::cbSpeed(w)->currentIndex()};
}

} // namespace e2e
