#include "deviceprobe.h"

#include "mainwindow.h"

DeviceProbe::DeviceProbe(MainWindow *window, QObject *parent)
    : QObject(parent), m_window(window)
{
    m_timer.setInterval(kPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &DeviceProbe::tick);
    connect(window, &MainWindow::probeAnswered, this, &DeviceProbe::answered);
}

void DeviceProbe::start(bool firstCounts)
{
    m_firstCounts = firstCounts;
    m_sent = m_answered = false;
    m_silent = 0;
    m_hadPort = m_window->portOpen();
    m_timer.start();   // the first request a period from now: the device just done stays quiet meanwhile
}

void DeviceProbe::stop()
{
    m_timer.stop();
}

void DeviceProbe::tick()
{
    const bool open = m_window->portOpen();
    if (m_hadPort && !open)
        emit portLost();
    m_hadPort = open;
    // An operation of the technician's own has the line; a closed port has no device.
    if (m_window->runningOperation() != steps::Operation::None || !open) {
        m_sent = false;
        return;
    }
    if (m_sent && !m_answered)
        ++m_silent;
    m_answered = false;
    m_sent = m_window->probeIdentity();
}

void DeviceProbe::answered()
{
    if (!m_timer.isActive() || !m_sent || m_answered)
        return;
    m_answered = true;
    if (m_firstCounts || m_silent >= 2) {
        stop();
        emit deviceArrived();
        return;
    }
    m_silent = 0;
}
