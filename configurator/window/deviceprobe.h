#pragma once

// While the commissioning mode waits for a device: the identification request once a second
// on the open port, each logged as usual. A device is new when it answers after at least two
// unanswered requests (it was unplugged and another one plugged in), or as the first answer
// when the waiting began with `firstCounts`; a finished device still on the line is never
// taken again. The probe is not an operation: nothing of the window's state changes with it.

#include <QObject>
#include <QTimer>

class MainWindow;

class DeviceProbe : public QObject
{
    Q_OBJECT

public:
    explicit DeviceProbe(MainWindow *window, QObject *parent = nullptr);

    void start(bool firstCounts);
    void stop();
    bool running() const { return m_timer.isActive(); }

    static constexpr int kPeriodMs = 1000;

signals:
    void deviceArrived();
    // The port closed under the waiting (the adapter pulled with the device).
    void portLost();

private:
    void tick();
    void answered();

    MainWindow *m_window;
    QTimer m_timer;
    bool m_firstCounts = false;
    bool m_sent = false;       // a request of this probe is out
    bool m_answered = false;   // and has been answered
    int m_silent = 0;          // unanswered requests in a row
    bool m_hadPort = false;    // the port was open on the last tick
};
