// A device that sends bytes without end, the exchange monitor shown: the configurator's memory
// (VmRSS) once the monitor holds its 10,000 rows (and 5 s more), beside the same after one more
// minute of the flood, the largest seen in between, and log.txt against its limit (MaxLogMb=10).
// A thread writes noise into the master side of a pseudo-terminal as fast as the window reads it.

#include "benchutil.h"
#include "exchangemodel.h"
#include "exchangemonitor.h"
#include "mainwindow.h"
#include "ptypair.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <thread>
#include <unistd.h>

namespace {

double rssMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;   // the monitor remembers its place in the user's configuration: not the real one
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        qputenv(name, home.path().toLocal8Bit());
    QApplication app(argc, argv);
    // The window's trace lines name every batch: under a flood they would only measure stderr.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QDir::setCurrent(home.path());
    QFile conf(QStringLiteral("settings.conf"));
    if (conf.open(QIODevice::WriteOnly))
        conf.write("[settings]\nZaprosTimeMs=60000\nZaprosSimTimeMs=60000\nZaprosResiverTimeMs=60000\nMaxLogMb=10\n");
    conf.close();

    MainWindow window;
    auto *monitor = window.findChild<ExchangeMonitor *>();
    monitor->show();
    window.show();
    sim::PtyPair pty;
    window.selectPort(pty.slavePath());
    window.connectPort();
    window.findChild<QPushButton *>(QStringLiteral("pbStop"))->click();   // nothing awaited: the idle window

    std::atomic<bool> stop{false};
    std::atomic<qint64> sent{0};
    std::thread writer([&] {
        QByteArray noise(509, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char(i * 37 + 11);
        while (!stop) {
            const ssize_t n = ::write(pty.masterFd(), noise.constData(), size_t(noise.size()));
            if (n > 0)
                sent += n;
            else
                usleep(200);
        }
    });

    constexpr int kSettleMs = 5000, kMinuteMs = 60000;
    double start = 0, peak = 0, end = 0;
    qint64 sentAtStart = 0;
    QElapsedTimer clock;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, &app, [&] {
        if (!clock.isValid()) {
            if (monitor->model()->heldRows() >= ExchangeModel::kMaxRows)
                clock.start();
            return;
        }
        if (clock.elapsed() < kSettleMs)
            return;
        const double now = rssMb();
        if (start == 0) {
            start = now;
            sentAtStart = sent;
        }
        peak = std::max(peak, now);
        if (clock.elapsed() >= kSettleMs + kMinuteMs) {
            end = now;
            app.quit();
        }
    });
    sample.start(250);
    app.exec();
    stop = true;
    writer.join();
    const double mbs = double(sent - sentAtStart) / 1048576.0 / (kMinuteMs / 1000.0);

    bench::row("8 flood", "RSS after 60 s of noise at " + bench::fmt("%.1f", mbs) + " MB/s, monitor shown and full",
               bench::fmt("%.1f MB", end), bench::fmt("%.1f MB", start) + " when it had 10,000 rows (+5 s)",
               bench::ratioText(end, start), "≈ 1");
    bench::row("8 flood", "largest RSS during that minute", bench::fmt("%.1f MB", peak),
               bench::fmt("%.1f MB", start) + " at its start", bench::ratioText(peak, start));
    const double logMb = double(QFileInfo(QStringLiteral("log.txt")).size()) / 1048576.0;
    bench::row("8 flood", "log.txt after the flood", bench::fmt("%.2f MB", logMb), "10 MB limit (MaxLogMb=10)",
               bench::ratioText(logMb, 10), "≤ 1.001");
    return 0;
}
