// Exchange timing and idle cost of the configurator, in process: the real MainWindow (offscreen)
// on the pseudo-terminal of a simulated transmitter (firmware 296) that answers from its own
// thread, with all three periods of settings.conf at 20 ms.
//
// - Full read and full write: wall time from the tick on which the button is clicked to the
//   tick on which the window reports the read complete or the write checked, divided by the
//   ideal (ticks counted × period).
// - Commissioning: ticks and wall time from "Пуск" (profile in use, port open) to the green
//   result, against the ticks of one full read plus one write with its read-back above.
// - Tick lateness: for every tick of those runs, how long after (previous tick + period)
//   slotTimer began; an event filter on the window's timer sees each tick before slotTimer.
//   The reference is a bare free-running precise QTimer in the same process.
// - Diagnostics of the same runs: how long after its tick began a request reached the
//   simulator, how long after the simulator wrote a reply the window had handled it, and how
//   long slotTimer ran.
// - CPU: the main thread's CPU time (the simulator runs on another thread) over 10 s, as five
//   2-s windows, connected and idle and while measuring; the reference is a bare shown
//   QMainWindow with a timer of the same period connected to an empty slot.
// - The fast pace, at the default periods, each case in a window and directory of its own:
//   wall time from the click to the window's report (or the poll's data dialog), beside the
//   line time of the bytes exchanged; then, against replies 300 ms late, whether any request
//   was repeated (the attempt digit of every outgoing block in log.txt).
//
// BENCH_NO_CPU=1 skips the CPU part; BENCH_VERBOSE=1 lists every tick on standard error.

#include "benchutil.h"
#include "commissionbar.h"
#include "commissioncontroller.h"
#include "probe.h"
#include "resiver.h"
#include "resiverinfo.h"
#include "ptyserver.h"
#include "simdevice.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <array>
#include <functional>
#include <mutex>

using P = MainWindowProbe;

namespace {

constexpr int kPeriodMs = 20;
constexpr int kRuns = 7;

// The controller on the far end of the line: its own thread and event loop.
class SimulatedController
{
public:
    explicit SimulatedController(sim::Device::Type type = sim::Device::Transmitter,
                                 quint16 version = 296, const sim::Faults &faults = {})
    {
        thread.start();
        home.moveToThread(&thread);
        QMetaObject::invokeMethod(&home, [this, type, version, faults] {
            device = new sim::Device(type, version);
            server = new sim::PtyServer(device, faults, &home);
            path = server->slavePath();
            QObject::connect(server, &sim::PtyServer::requestReceived, &home, [this](const QByteArray &frame) {
                bytes += frame.size();
                const std::int64_t now = bench::nowNs();
                const std::int64_t tick = tickStart ? tickStart->load() : 0;
                if (recording && tick) {
                    const std::lock_guard<std::mutex> lock(mutex);
                    requestUs.push_back(double(now - tick) / 1e3);
                }
            });
            QObject::connect(server, &sim::PtyServer::replySent, &home, [this](const QByteArray &reply) {
                bytes += reply.size();
                replySentAt = bench::nowNs();
            });
        }, Qt::BlockingQueuedConnection);
    }
    ~SimulatedController()
    {
        QThread *mainThread = QCoreApplication::instance()->thread();
        QMetaObject::invokeMethod(&home, [this, mainThread] {
            delete server;
            delete device;
            home.moveToThread(mainThread);
        }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    QString path;
    // The request's way out: from the start of the tick that sent it to the simulator
    // having read it. Set tickStart before recording.
    const std::atomic<std::int64_t> *tickStart = nullptr;
    std::atomic<bool> recording{false};
    std::mutex mutex;
    std::vector<double> requestUs;
    std::atomic<std::int64_t> replySentAt{0};
    std::atomic<int> bytes{0};   // request and reply bytes on the line

private:
    QThread thread;
    QObject home;
    sim::Device *device = nullptr;
    sim::PtyServer *server = nullptr;
};

// Sees every tick of a timer before its timeout() is emitted.
class TickWatch : public QObject
{
public:
    TickWatch(QTimer *timer, QObject *parent) : QObject(parent), timer(timer)
    {
        timer->installEventFilter(this);
    }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (object == timer && event->type() == QEvent::Timer) {
            const std::int64_t t = bench::nowNs();
            if (recording && previous)
                lateUs.push_back(double(t - previous) / 1e3 - timer->interval() * 1000.0);
            previous = t;
            last = t;
        }
        return false;
    }

    QTimer *timer;
    std::atomic<std::int64_t> last{0};   // start of the latest tick
    std::int64_t previous = 0;
    bool recording = false;
    std::vector<double> lateUs;  // lateness of each recorded tick, µs
};

std::vector<double> slotUs;   // how long slotTimer ran, per tick

struct Run
{
    bool ok = false;
    int ticks = 0;
    double wallMs = 0;
};

// Arms on a tick (right after slotTimer has run for it) and counts ticks until done().
Run runSequence(MainWindow &w, TickWatch &watch, const std::function<void()> &arm,
                const std::function<bool()> &done)
{
    Run run;
    QEventLoop loop;
    bool armed = false;
    std::int64_t start = 0;
    const auto connection = QObject::connect(P::timer(w), &QTimer::timeout, &loop, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            std::fprintf(stderr, "bench_exchange: unexpected dialog: %s\n",
                         qPrintable(modal->windowTitle()));
            modal->close();
            loop.quit();
            return;
        }
        slotUs.push_back(double(bench::nowNs() - watch.last) / 1e3);
        if (!armed) {
            armed = true;
            start = watch.last;
            watch.previous = watch.last;
            watch.recording = true;
            arm();
            return;
        }
        ++run.ticks;
        if (done()) {
            run.ok = true;
            run.wallMs = double(watch.last - start) / 1e6;
            loop.quit();
        } else if (P::currentAction(w) == ActionType::none || run.ticks > 100) {
            loop.quit();
        }
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(10000);
    loop.exec();
    QObject::disconnect(connection);
    watch.recording = false;
    return run;
}

// Runs the event loop for five 2-s windows; returns the median CPU share of the main thread
// in percent and the CPU milliseconds of all 10 s.
std::pair<double, double> cpuOver10s()
{
    std::vector<double> shares;
    double totalMs = 0;
    for (int i = 0; i < 5; ++i) {
        const std::int64_t c0 = bench::nowNs(CLOCK_THREAD_CPUTIME_ID);
        const std::int64_t w0 = bench::nowNs();
        QEventLoop loop;
        QTimer::singleShot(2000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        const std::int64_t c1 = bench::nowNs(CLOCK_THREAD_CPUTIME_ID);
        const std::int64_t w1 = bench::nowNs();
        shares.push_back(100.0 * double(c1 - c0) / double(w1 - w0));
        totalMs += double(c1 - c0) / 1e6;
    }
    return {bench::median(shares), totalMs};
}

std::pair<double, double> referenceCpu(int periodMs)
{
    QMainWindow window;
    window.resize(400, 300);
    window.show();
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, &window, [&ticks] { ++ticks; });
    timer.start(periodMs);
    return cpuOver10s();
}

// Lateness of a free-running 20 ms precise timer in the same process: what Qt itself gives.
std::vector<double> referenceLateness()
{
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    TickWatch watch(&timer, nullptr);
    watch.recording = true;
    QEventLoop loop;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (++ticks >= 100)
            loop.quit();
    });
    timer.start(kPeriodMs);
    loop.exec();
    return watch.lateUs;
}

std::string cpuText(const std::pair<double, double> &cpu)
{
    return bench::fmt("%.3f %%", cpu.first) + bench::fmt(" (%.1f ms)", cpu.second);
}

// ---- The fast pace ------------------------------------------------------------------------

using Row = std::array<std::string, 6>;

// A window in a working directory of its own whose settings.conf asks for the fast pace and
// leaves the periods at their defaults, connected to its own simulated controller.
struct FastWindow
{
    FastWindow(sim::Device::Type type, quint16 version, const sim::Faults &faults = {})
        : controller(type, version, faults)
    {
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QFile conf(QStringLiteral("settings.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write("[settings]\nFastExchange=1\n");
        conf.close();
        w = std::make_unique<MainWindow>();
        QDir::setCurrent(cwd);
        w->show();
        w->selectPort(controller.path);
    }

    // Outgoing blocks in log.txt, and those with an attempt digit other than '0' (a repeat).
    std::pair<int, int> requestsAndRepeats() const
    {
        QFile f(dir.filePath(QStringLiteral("log.txt")));
        const QByteArray log = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        int total = 0, repeated = 0;
        for (int at = log.indexOf("------->\r\n"); at > 0; at = log.indexOf("------->\r\n", at + 1)) {
            ++total;
            repeated += log.at(at - 1) != '0';
        }
        return {total, repeated};
    }

    QTemporaryDir dir;
    SimulatedController controller;
    std::unique_ptr<MainWindow> w;
};

struct Timed
{
    bool ok = false;
    double ms = 0;
    int bytes = 0;   // on the line, both ways
};

// Starts an operation and runs the event loop until the window reports it finished (a complete
// read, a checked write) or a modal widget shows: the poll ends in its data dialog, which is
// closed; any other is unexpected.
Timed timeOperation(FastWindow &f, const std::function<void()> &start)
{
    Timed t;
    QEventLoop loop;
    bool done = false;
    std::int64_t t0 = 0;
    const auto end = [&](bool ok) {
        if (!done) {
            done = true;
            t.ok = ok;
            t.ms = double(bench::nowNs() - t0) / 1e6;
            t.bytes = f.controller.bytes;
        }
        loop.quit();
    };
    QObject::connect(f.w.get(), &MainWindow::readFinished, &loop, end);
    QObject::connect(f.w.get(), &MainWindow::writeFinished, &loop,
                     [&end](MainWindow::WriteResult result) { end(result == MainWindow::WriteResult::Checked); });
    QTimer modal;
    QObject::connect(&modal, &QTimer::timeout, &loop, [&end] {
        if (QWidget *m = QApplication::activeModalWidget()) {
            const bool data = qobject_cast<ResiverInfo *>(m);
            if (!data)
                std::fprintf(stderr, "bench_exchange: unexpected dialog: %s\n", qPrintable(m->windowTitle()));
            end(data);
            m->close();
        }
    });
    modal.start(1);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    f.controller.bytes = 0;
    t0 = bench::nowNs();
    start();
    loop.exec();
    if (!t.ok)
        std::fprintf(stderr, "bench_exchange: a fast-pace operation did not finish well\n");
    return t;
}

// The median time of the runs that finished well, and its ratio to the time the line needs
// for their bytes (10 bits a byte at 19200 baud).
Row fastRow(const std::string &figure, const std::vector<Timed> &runs, const std::string &target)
{
    std::vector<double> ms, ratio, wireMs;
    for (const Timed &t : runs) {
        if (!t.ok)
            continue;
        const double wire = t.bytes * 10 * 1000.0 / 19200;
        ms.push_back(t.ms);
        wireMs.push_back(wire);
        ratio.push_back(t.ms / wire);
    }
    const std::string n = " (median of " + std::to_string(ms.size()) + " of " + std::to_string(runs.size()) + ")";
    return {"2 fast exchange", figure + n, bench::fmt("%.3f s", bench::median(ms) / 1000),
            bench::fmt("%.3f s", bench::median(wireMs) / 1000)
                + bench::fmt(" wire time (%.0f bytes)", runs.empty() ? 0 : runs.front().bytes),
            bench::fmt("%.1f×", bench::median(ratio)), target};
}

// The fast pace at the default periods against a simulator answering at once: full read,
// write with its read-back, a receiver's poll of all 256 transmitters; then a full read and a
// write against one answering 300 ms late, where no step may be taken for a silence.
std::vector<Row> fastPace()
{
    std::vector<Row> rows;
    constexpr int kFastRuns = 5, kPollRuns = 3, kLateRuns = 3;
    {
        FastWindow f(sim::Device::Transmitter, 296);
        MainWindow &w = *f.w;
        timeOperation(f, [&w] { P::pbConnect(w)->click(); });   // connecting reads: a warm-up
        std::vector<Timed> reads, writes;
        for (int i = 0; i < kFastRuns; ++i) {
            reads.push_back(timeOperation(f, [&w] { P::pbRead(w)->click(); }));
            writes.push_back(timeOperation(f, [&w] { P::pbWrite(w)->click(); }));
        }
        const auto [requests, repeated] = f.requestsAndRepeats();
        std::fprintf(stderr, "bench_exchange: transmitter, fast pace: %d requests, %d repeated\n", requests, repeated);
        rows.push_back(fastRow("full read by \"Считать\", transmitter 296, default periods", reads, "≤ 0.5 s"));
        rows.push_back(fastRow("write with its read-back, transmitter 296", writes, "≤ 0.8 s"));
    }
    {
        FastWindow f(sim::Device::Receiver, 221);
        MainWindow &w = *f.w;
        timeOperation(f, [&w] { P::pbConnect(w)->click(); });
        resiver *panel = P::resiverPanel(w);
        panel->setAdrMask0(0xFF);
        panel->setAdrMask1(0xFF);
        panel->setAdrMaskExt(QByteArray(30, '\xFF'));   // transmitters 16 to 255
        std::vector<Timed> polls;
        for (int i = 0; i < kPollRuns; ++i) {
            polls.push_back(timeOperation(f, [panel] {
                panel->findChild<QPushButton *>(QStringLiteral("curValue"))->click();
            }));
            int records = 0;
            for (const QByteArray &record : P::resiverInfoData(w))
                records += !record.isEmpty();
            if (records != 256) {
                std::fprintf(stderr, "bench_exchange: the poll collected %d records\n", records);
                polls.back().ok = false;
            }
        }
        rows.push_back(fastRow("receiver 221: poll of all 256 transmitters", polls, "< 10 s"));
    }
    {
        sim::Faults late;
        late.delayMs = 300;
        FastWindow f(sim::Device::Transmitter, 296, late);
        MainWindow &w = *f.w;
        timeOperation(f, [&w] { P::pbConnect(w)->click(); });
        std::vector<double> reads, writes;
        int failed = 0;
        for (int i = 0; i < kLateRuns; ++i) {
            const Timed read = timeOperation(f, [&w] { P::pbRead(w)->click(); });
            const Timed write = timeOperation(f, [&w] { P::pbWrite(w)->click(); });
            failed += !read.ok + !write.ok;
            reads.push_back(read.ms);
            writes.push_back(write.ms);
        }
        const auto [requests, repeated] = f.requestsAndRepeats();
        rows.push_back({"2 fast exchange",
                        "replies 300 ms late: full read / write with read-back (median of "
                            + std::to_string(kLateRuns) + "); requests repeated, of all sent on connecting and in the runs",
                        bench::fmt("%.2f s", bench::median(reads) / 1000) + bench::fmt(" / %.2f s; ", bench::median(writes) / 1000)
                            + std::to_string(repeated) + " of " + std::to_string(requests)
                            + (failed ? "; " + std::to_string(failed) + " runs failed" : std::string()),
                        "–", "–", "0 repeated"});
    }
    return rows;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The window's trace lines go to standard error as in the program (run.sh keeps them in
    // build-bench/bench.log): writing them is part of what a tick costs.

    // The fast pace first, each window in a directory of its own; its rows follow the normal
    // pace's.
    const std::vector<Row> fastRows = fastPace();

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    {
        QFile conf(QStringLiteral("settings.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write("[settings]\nZaprosTimeMs=20\nZaprosSimTimeMs=20\nZaprosResiverTimeMs=20\nFastExchange=0\n");
    }

    SimulatedController controller;

    // References first, before the configurator exists.
    const std::vector<double> refLate = referenceLateness();
    const bool cpu = !qEnvironmentVariableIsSet("BENCH_NO_CPU");
    const auto refCpu20 = cpu ? referenceCpu(kPeriodMs) : std::make_pair(0.0, 0.0);
    const auto refCpu1000 = cpu ? referenceCpu(1000) : std::make_pair(0.0, 0.0);

    MainWindow w;
    w.show();
    w.selectPort(controller.path);
    TickWatch watch(P::timer(w), &w);
    // A run ends on the tick whose check finished the read (complete) or the write (checked).
    bool finished = false;
    QObject::connect(&w, &MainWindow::readFinished, &w, [&finished](bool complete) { finished = complete; });
    QObject::connect(&w, &MainWindow::writeFinished, &w, [&finished](MainWindow::WriteResult result) {
        finished = result == MainWindow::WriteResult::Checked;
    });
    const auto ended = [&finished] { return finished; };
    const auto click = [&finished](QAbstractButton *button) {
        return [&finished, button] {
            finished = false;
            button->click();
        };
    };

    // A reply's way in: from the simulator's write to the window having handled readyRead
    // (this slot is connected after the window's own).
    std::vector<double> replyUs;
    QObject::connect(P::port(w), &QSerialPort::readyRead, &w, [&controller, &replyUs] {
        const std::int64_t sent = controller.replySentAt.exchange(0);
        if (sent)
            replyUs.push_back(double(bench::nowNs() - sent) / 1e3);
    });
    // Commissioning from a profile that changes the channel, the power and a measuring time.
    auto *mode = w.findChild<CommissionController *>();
    {
        QFile profile(QStringLiteral("site.json"));
        profile.open(QIODevice::WriteOnly);
        profile.write(R"({"format": "talver-profile", "version": 1, "device": "transmitter",)"
                      R"( "radio": {"channel": 8, "speed": "9600", "power": 3}, "settings": {"timeFd1": 30}})");
    }
    if (!mode->enter(QStringLiteral("site.json")).isEmpty())
        return 1;
    bool passDone = false;
    QObject::connect(mode, &CommissionController::passFinished, &w, [&passDone](bool ok) { passDone = ok; });

    controller.tickStart = &watch.last;
    controller.recording = true;

    std::vector<double> readRatio, writeRatio, readMs, writeMs, rereadRatio, rereadMs, passMs;
    int readTicks = 0, writeTicks = 0, passTicks = 0, failures = 0;
    for (int i = 0; i < kRuns; ++i) {
        // A full read is what connecting does: close the port, then connect on a tick.
        if (P::port(w)->isOpen())
            P::pbConnect(w)->click();
        const Run read = runSequence(w, watch, click(P::pbConnect(w)), ended);
        const Run write = runSequence(w, watch, click(P::pbWrite(w)), ended);
        // The same read started by "Считать" on an open port.
        const Run reread = runSequence(w, watch, click(P::pbRead(w)), ended);
        const Run pass = runSequence(w, watch, [&passDone, mode] { passDone = false; mode->start(); },
                                     [&passDone] { return passDone; });
        controller.replySentAt = 0;
        if (!read.ok || !write.ok || !reread.ok || !pass.ok) {
            std::fprintf(stderr, "bench_exchange: run %d: read %d write %d reread %d pass %d (%s)\n", i, read.ok,
                         write.ok, reread.ok, pass.ok, qPrintable(mode->bar()->result()));
            ++failures;
            continue;
        }
        readTicks = read.ticks;
        writeTicks = write.ticks;
        readMs.push_back(read.wallMs);
        writeMs.push_back(write.wallMs);
        rereadMs.push_back(reread.wallMs);
        passTicks = pass.ticks;
        passMs.push_back(pass.wallMs);
        rereadRatio.push_back(reread.wallMs / (reread.ticks * kPeriodMs));
        readRatio.push_back(read.wallMs / (read.ticks * kPeriodMs));
        writeRatio.push_back(write.wallMs / (write.ticks * kPeriodMs));
    }
    mode->leave();   // not left for the next start of the program
    if (readMs.empty()) {
        std::fprintf(stderr, "bench_exchange: no read or write completed\n");
        return 1;
    }
    if (failures)
        std::fprintf(stderr, "bench_exchange: %d failed runs\n", failures);
    const std::vector<double> late = watch.lateUs;
    controller.recording = false;
    std::vector<double> requestUs;
    {
        const std::lock_guard<std::mutex> lock(controller.mutex);
        requestUs = controller.requestUs;
    }

    const std::string n = " (median of " + std::to_string(readMs.size()) + ")";
    const double rr = bench::median(readRatio), wr = bench::median(writeRatio);
    bench::row("2 exchange", "full read on connecting, " + std::to_string(readTicks) + " ticks × 20 ms" + n,
               bench::fmt("%.1f ms", bench::median(readMs)),
               bench::fmt("%.0f ms ideal", readTicks * double(kPeriodMs)), bench::fmt("%.3f", rr),
               "≤ 1.05");
    bench::row("2 exchange", "full read by \"Считать\" on the open port" + n,
               bench::fmt("%.1f ms", bench::median(rereadMs)),
               bench::fmt("%.0f ms ideal", readTicks * double(kPeriodMs)),
               bench::fmt("%.3f", bench::median(rereadRatio)), "≤ 1.05");
    bench::row("2 exchange", "full write with its read-back, " + std::to_string(writeTicks) + " ticks × 20 ms" + n,
               bench::fmt("%.1f ms", bench::median(writeMs)),
               bench::fmt("%.0f ms ideal", writeTicks * double(kPeriodMs)), bench::fmt("%.3f", wr),
               "≤ 1.05");
    bench::row("2 exchange", "commissioning pass, \"Пуск\" to the green result, " + std::to_string(passTicks)
                                 + " ticks × 20 ms" + n,
               bench::fmt("%.1f ms", bench::median(passMs)),
               std::to_string(readTicks + writeTicks) + " ticks ideal: one read " + std::to_string(readTicks)
                   + " + one write " + std::to_string(writeTicks),
               bench::fmt("%.3f", double(passTicks) / (readTicks + writeTicks)), "≤ 1 (ticks)");
    const char *type = P::timer(w)->timerType() == Qt::PreciseTimer ? "precise" : "coarse";
    const std::string ticks = " (" + std::to_string(late.size()) + " ticks; "
                              + std::to_string(refLate.size()) + " for the reference)";
    bench::row("2 exchange", std::string("tick lateness p50, ") + type + " timer" + ticks,
               bench::fmt("%.0f µs", bench::percentile(late, 50)),
               bench::fmt("%.0f µs", bench::percentile(refLate, 50)) + " bare precise QTimer", "–");
    bench::row("2 exchange", std::string("tick lateness p99, ") + type + " timer" + ticks,
               bench::fmt("%.0f µs", bench::percentile(late, 99)),
               bench::fmt("%.0f µs", bench::percentile(refLate, 99)) + " bare precise QTimer", "–");
    bench::row("2 exchange", "request read by the simulator thread after its tick began, p50 / p99 ("
                                 + std::to_string(requestUs.size()) + " requests)",
               bench::fmt("%.0f", bench::percentile(requestUs, 50))
                   + bench::fmt(" / %.0f µs", bench::percentile(requestUs, 99)),
               "–", "–");
    bench::row("2 exchange", "reply written → handled by the window, p50 / p99 ("
                                 + std::to_string(replyUs.size()) + " replies)",
               bench::fmt("%.0f", bench::percentile(replyUs, 50))
                   + bench::fmt(" / %.0f µs", bench::percentile(replyUs, 99)),
               "–", "–");
    bench::row("2 exchange", "slotTimer run time per tick, p50 / p99",
               bench::fmt("%.0f", bench::percentile(slotUs, 50))
                   + bench::fmt(" / %.0f µs", bench::percentile(slotUs, 99)),
               "–", "–");
    for (const Row &r : fastRows)
        bench::row(r[0], r[1], r[2], r[3], r[4], r[5]);
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE")) {
        for (std::size_t i = 0; i < late.size(); ++i)
            std::fprintf(stderr, "late %zu %.0f\n", i, late[i]);
        for (std::size_t i = 0; i < slotUs.size(); ++i)
            std::fprintf(stderr, "slot %zu %.0f\n", i, slotUs[i]);
    }

    if (!cpu)
        return 0;
    // Connected and idle at 20 ms periods, then measuring, then idle at the default periods.
    const auto idle20 = cpuOver10s();
    P::pbMeasure(w)->click();
    const auto measuring = cpuOver10s();
    P::pbMeasure(w)->click();
    P::timerInterval(w) = 1000;
    P::timerSimInterval(w) = 1000;
    P::timerResiverInterval(w) = 200;
    P::timer(w)->setInterval(1000);
    const auto idle1000 = cpuOver10s();

    bench::row("3 idle cost", "CPU, connected and idle, 20 ms periods, 10 s", cpuText(idle20),
               cpuText(refCpu20) + " bare window + 20 ms timer",
               bench::ratioText(idle20.first, refCpu20.first), "< 0.1 %");
    bench::row("3 idle cost", "CPU, connected and idle, default periods (1 s), 10 s",
               cpuText(idle1000), cpuText(refCpu1000) + " bare window + 1 s timer",
               bench::ratioText(idle1000.first, refCpu1000.first), "< 0.1 %");
    bench::row("3 idle cost", "CPU, measuring at 20 ms periods, 10 s", cpuText(measuring),
               cpuText(refCpu20) + " bare window + 20 ms timer",
               bench::ratioText(measuring.first, refCpu20.first));
    return 0;
}
