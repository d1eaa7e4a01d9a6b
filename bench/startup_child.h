#pragma once

// The start-up harness run inside the measured process: it shows one window and, as soon as
// that window's first expose has been handled (which paints it), prints the CLOCK_MONOTONIC
// time and quits. The launching bench_startup subtracts the time it forked the process.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <ctime>

class StartupApplication : public QApplication
{
public:
    using QApplication::QApplication;

    QWidget *watched = nullptr;

    bool notify(QObject *receiver, QEvent *event) override
    {
        const bool result = QApplication::notify(receiver, event);
        if (!shown && watched && event->type() == QEvent::Expose
            && receiver == watched->windowHandle() && watched->windowHandle()->isExposed()) {
            shown = true;
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            std::printf("shown %lld\n", static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec);
            std::fflush(stdout);
            QTimer::singleShot(0, this, &QCoreApplication::quit);
        }
        return result;
    }

private:
    bool shown = false;
};
